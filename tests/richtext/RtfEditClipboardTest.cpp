// Copy, cut and paste of the edit control through the clipboard in each of
// its MIME types, RTF written by LibreOffice, and text as a string.
#include "RtControlTestSupport.h"
#include "RtObject.h"

#include "../common/MetafileRecords.h"

#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMimeData>

namespace {

class RtfEditClipboard : public RtControlTest {
protected:
    // A bold word between plain ones.
    void TypeBoldMiddle()
    {
        Type("plain ");
        uint8_t state = rtcmdClick;
        Rtf->Execute(256, 2, state);
        Type("bold");
        state = rtcmdRelease;
        Rtf->Execute(256, 2, state);
        Type(" end");
    }
    static void SetClipboard(const char* Mime, const QByteArray& Data)
    {
        auto* d = new QMimeData;
        d->setData(Mime, Data);
        QGuiApplication::clipboard()->setMimeData(d);
    }
    // Replaces the text by an RTF picture (the words after "\\pict") pasted from the clipboard.
    void PastePictureAlone(const QByteArray& Pict)
    {
        Rtf->SelectAll();
        Key(Qt::Key_Delete);
        SetClipboard(RtMimeRtf, "{\\rtf1\\ansi {\\pict" + Pict + "}}");
        Rtf->PasteFromClipboard();
    }
};

TEST_F(RtfEditClipboard, CopyOffersRtfUnderBothNamesAndUtf8Text)
{
    TypeBoldMiddle();
    E()->SetSelection(6, 4);
    Rtf->CopyToClipboard();
    const QMimeData* d = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->data(RtMimeRtf).startsWith("{\\rtf1"));
    EXPECT_EQ(d->data(RtMimeRichText), d->data(RtMimeRtf));
    EXPECT_TRUE(d->data(RtMimeRtf).contains("\\b"));
    EXPECT_EQ(QString::fromUtf8(d->data(RtMimeText)), QString("bold"));
    EXPECT_EQ(d->text(), QString("bold"));
    // Without RTF only the text goes; with neither the clipboard is empty.
    Rtf->ClipboardOptions.Include(rtcoDontCopyRTF);
    Rtf->CopyToClipboard();
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasFormat(RtMimeRtf));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), QString("bold"));
    Rtf->ClipboardOptions.Include(rtcoDontCopyANSI);
    Rtf->CopyToClipboard();
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->formats().isEmpty());
}

TEST_F(RtfEditClipboard, PastesRtfFromEachMimeTypeWithItsAttributes)
{
    TypeBoldMiddle();
    E()->SetSelection(6, 4);
    Rtf->CopyToClipboard();
    const QByteArray rtf = QGuiApplication::clipboard()->mimeData()->data(RtMimeRtf);
    for (const char* mime : {RtMimeRtf, RtMimeRichText}) {
        SCOPED_TRACE(mime);
        Rtf->SelectAll();
        Key(Qt::Key_Delete);
        ASSERT_EQ(Text(), "");
        Type("x ");
        SetClipboard(mime, rtf);
        Key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(Text(), "x bold");
        ASSERT_NE(AttrAt(3), nullptr);
        EXPECT_TRUE(AttrAt(3)->Style.Has(afsBold));
        EXPECT_FALSE(AttrAt(0)->Style.Has(afsBold));
    }
    // Plain UTF-8 text keeps umlauts and the euro sign.
    SetClipboard(RtMimeText, QString::fromUtf8(" Grüße €").toUtf8());
    Rtf->PasteFromClipboard();
    EXPECT_EQ(Text(), "x bold Grüße €");
    // Shift+Insert pastes, Shift+Ctrl+V does not.
    Key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Text(), "x bold Grüße €");
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Text(), "x bold Grüße € Grüße €");
}

TEST_F(RtfEditClipboard, PastedWordKeepsASpaceBeforeTheNextWord)
{
    Type("world");
    Key(Qt::Key_Home);
    SetClipboard(RtMimeText, "hello");
    Rtf->PasteFromClipboard();
    EXPECT_EQ(Text(), "hello world");
    Rtf->SelectAll();
    Key(Qt::Key_Delete);
    Type("world");
    Key(Qt::Key_Home);
    Rtf->ClipboardOptions.Include(rtcoDontAutoAppendSpace);
    Rtf->PasteFromClipboard();
    EXPECT_EQ(Text(), "helloworld");
}

// Embedded objects in the text.
int32_t CountObjects(const TRtRTFTextInput* E)
{
    int32_t n = 0;
    for (TParagraph* p = E->FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next)
            for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
                n += l->Attrs[i].Style.Has(afsIsObject) ? 1 : 0;
    return n;
}

TEST_F(RtfEditClipboard, GraphicsArePastedUnlessRefused)
{
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QByteArray png = ImageBytes(picture);
    // RTF pictures become image objects where the program names the class.
    TPictureClasses pictureClass{".PNG"};
    const QByteArray rtf = "{\\rtf1\\ansi before {\\pict\\pngblip\\picw8\\pich6 " + png.toHex() + "} after}";
    auto pasteImage = [&] {
        auto* d = new QMimeData;
        d->setImageData(picture);
        QGuiApplication::clipboard()->setMimeData(d);
        Rtf->PasteFromClipboard();
    };
    // Refused: a picture alone pastes nothing, RTF comes without its pictures.
    Type("x");
    Rtf->ClipboardOptions.Include(rtcoDontPasteGraphics);
    pasteImage();
    EXPECT_EQ(CountObjects(E()), 0);
    EXPECT_EQ(Text(), "x");
    SetClipboard(RtMimeRtf, rtf);
    Rtf->PasteFromClipboard();
    EXPECT_EQ(CountObjects(E()), 0);
    EXPECT_EQ(Text(), "xbefore  after");
    // Allowed: both bring their picture.
    Rtf->SelectAll();
    Key(Qt::Key_Delete);
    Rtf->ClipboardOptions.Exclude(rtcoDontPasteGraphics);
    pasteImage();
    EXPECT_EQ(CountObjects(E()), 1);
    SetClipboard(RtMimeRtf, rtf);
    Rtf->PasteFromClipboard();
    EXPECT_EQ(CountObjects(E()), 2);
    // Text moved inside the control keeps its picture whatever the option says.
    Rtf->SelectAll();
    Key(Qt::Key_Delete);
    Type("x");
    ASSERT_TRUE(Rtf->InsertPicture(picture));
    Type("ab cd");
    Rtf->ClipboardOptions.Include(rtcoDontPasteGraphics);
    E()->SetSelection(1, 3);
    const QPoint end = PointOf(7);
    ASSERT_TRUE(Rtf->MoveSelectionTo(E()->ScreenToDoc(end.x()), E()->ScreenToDoc(end.y())));
    EXPECT_EQ(CountObjects(E()), 1);
    EXPECT_EQ(Text(), "x cd\x01" "ab");
}

TEST_F(RtfEditClipboard, CutDeletesUnlessReadOnly)
{
    Type("one two");
    E()->SetSelection(3, 4);
    Rtf->ReadOnly = true;
    Rtf->CutToClipboard();
    EXPECT_EQ(Text(), "one two");
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), QString(" two"));
    Rtf->ReadOnly = false;
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Text(), "one");
    Rtf->Undo();
    EXPECT_EQ(Text(), "one two");
}

TEST_F(RtfEditClipboard, PastesRtfWrittenByLibreOffice)
{
    QFile f(QString(LUMI_TEST_DATA) + "/rtf/libreoffice.rtf");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    SetClipboard(RtMimeRtf, f.readAll());
    Type("Start ");
    Rtf->PasteFromClipboard();
    const std::string text = Text();
    EXPECT_EQ(text.rfind("Start ", 0), 0u);
    EXPECT_NE(text.find("Grüße aus Köln € 5"), std::string::npos) << text;
    // "bold" of "bold italic under red big" is bold, "italic" is not.
    const qsizetype at = QString::fromStdString(text).indexOf("bold italic");
    ASSERT_GE(at, 0);
    ASSERT_NE(AttrAt(int32_t(at)), nullptr);
    EXPECT_TRUE(AttrAt(int32_t(at))->Style.Has(afsBold));
    EXPECT_FALSE(AttrAt(int32_t(at) + 5)->Style.Has(afsBold));
    EXPECT_TRUE(AttrAt(int32_t(at) + 5)->Style.Has(afsItalic));
}

TEST_F(RtfEditClipboard, TextAsStringLoadsRtfAndPlainText)
{
    Rtf->SetText("{\\rtf1\\ansi {\\b fett} normal}");
    EXPECT_EQ(Text(), "fett normal");
    EXPECT_TRUE(AttrAt(0)->Style.Has(afsBold));
    Rtf->SetText("{not rtf} plain");
    EXPECT_EQ(Text(), "{not rtf} plain");
    E()->TextSaveFormat = "RTF";
    const AnsiString rtf = Rtf->GetTextAsString();
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    Rtf->SelectionOnlyText = true;
    EXPECT_EQ(Rtf->GetTextAsString(), "");
}

}  // namespace

namespace {

TEST_F(RtfEditClipboard, EditStateTellsSelectionAndClipboard)
{
    QWidget parent;
    Rtf->setParent(&parent);
    parent.show();
    Rtf->show();
    std::vector<std::pair<bool, bool>> states;
    Rtf->EditStateEvent = [&](TObject*, bool Marked, bool NotEmpty) { states.emplace_back(Marked, NotEmpty); };
    QGuiApplication::clipboard()->clear();
    Type("abc");
    E()->SetSelection(0, 2);
    Rtf->CopyToClipboard();
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), std::make_pair(true, true));
    QGuiApplication::clipboard()->clear();
    E()->ClearSelection(false);
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(1));
    EXPECT_EQ(states.back(), std::make_pair(false, false));
    Rtf->setParent(nullptr);
}

}  // namespace

// Plain text from the clipboard: each character in the font's entry of a
// charset that holds it; copied text gives the same characters back.
TEST_F(RtfEditClipboard, PlainTextOfEveryCharsetInAndOut)
{
    const QString text = QString::fromUtf8("Grüße Łódź Αθήνα Київ 日本語 한국어");
    QGuiApplication::clipboard()->setText(text);
    Rtf->PasteFromClipboard();
    EXPECT_EQ(Text(), text.toStdString());
    Rtf->SelectAll();
    Rtf->CopyToClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
    EXPECT_EQ(QString::fromUtf8(QGuiApplication::clipboard()->mimeData()->data("text/plain;charset=utf-8")), text);
}

TEST_F(RtfEditClipboard, PlainTextOfASymbolFontIsTheCharactersItShows)
{
    SetClipboard(RtMimeRtf, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fnil\\fcharset2 Symbol;}}x{\\f1 ab\\'b7}y}");
    Rtf->PasteFromClipboard();
    Rtf->SelectAll();
    Rtf->CopyToClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text().trimmed(), QString::fromUtf8("xαβ•y"));
}

TEST_F(RtfEditClipboard, MetafilePicturesOfWordProcessorsAreDrawn)
{
    TPictureClasses pictureClass{".WMF", ".EMF"};
    auto bytes = [](const char* Name) {
        QFile f(QStringLiteral(LUMI_TEST_DATA "/metafile/") + QLatin1String(Name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    // RTF holds a Windows metafile without its placeable header; 189 x 89 pixels are 2835 x 1335 twips.
    for (const QByteArray& pict : {"\\wmetafile8\\picw4994\\pich2348\\picwgoal2835\\pichgoal1335 "
                                       + bytes("shapes.wmf").mid(22).toHex(),
                                   "\\emfblip\\picw4994\\pich2348\\picwgoal2835\\pichgoal1335 "
                                       + bytes("shapes.emf").toHex()}) {
        PastePictureAlone(pict);
        ASSERT_EQ(CountObjects(E()), 1);
        Rtf->viewport()->repaint();
        const QImage shown = Rtf->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int red = 0, blue = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                red += shown.pixel(x, y) == qRgb(255, 0, 0);
                blue += shown.pixel(x, y) == qRgb(0, 0, 255);
            }
        // The rectangle (about 64 x 38 pixels inside its frame) and the ellipse (about 75 x 47).
        EXPECT_GT(red, 1800);
        EXPECT_GT(blue, 2200);
    }
}

TEST_F(RtfEditClipboard, MetafileTextStretchedOutOfShapeIsPastedAndDrawnWithoutCrash)
{
    TPictureClasses pictureClass{".WMF", ".EMF"};
    using namespace metafile_records;
    for (const QByteArray& pict : {"\\wmetafile8\\picwgoal1500\\pichgoal900 " + StretchedTextWmf(true).toHex(),
                                   "\\wmetafile8\\picwgoal1500\\pichgoal900 " + StretchedTextWmf(false).toHex(),
                                   "\\emfblip\\picwgoal1500\\pichgoal900 " + StretchedTextEmf().toHex()}) {
        PastePictureAlone(pict);
        ASSERT_EQ(CountObjects(E()), 1);
        Rtf->viewport()->repaint();
        EXPECT_FALSE(Rtf->viewport()->grab().toImage().isNull());
    }
}
