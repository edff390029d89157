// Letters of every European script and East-Asian text through the text
// panel: typed with key events and the input method, pasted as plain text and
// as RTF written by LibreOffice, each sample sentence comes out the same in the
// editor, in the box's RTF, in the page drawer's runs, on the page, in the
// saved and reopened project and in a PDF printed to "PDF-Datei".
#include "../document/PrintTestUtil.h"
#include "Canvas.h"
#include "Charsets.h"
#include "FMainform.h"
#include "PageViewFixture.h"
#include "RichText.h"
#include "SFormDlgRTFText.h"
#include "uDefaultwerte.h"
#include "uFotobuchPrinter.h"
#include "uPrinterSupport.h"
#include "uFotobuchDocument.h"
#include "uModalDialog.h"
#include "uQwDruckDlg.h"
#include "uRTFDrawer.h"
#include "uUndo.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>
#include <memory>

namespace {

struct TSample {
    QString Code;
    QString Sentence;
};

// The sample sentences of tests/data/rtf/charsets (one "code sentence" a line).
std::vector<TSample> Samples()
{
    std::vector<TSample> samples;
    QFile f(QStringLiteral(LUMI_TEST_DATA "/rtf/charsets/sentences.txt"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    for (const QByteArray& line : f.readAll().split('\n')) {
        const int blank = line.indexOf(' ');
        if (blank > 0)
            samples.push_back({QString::fromUtf8(line.left(blank)), QString::fromUtf8(line.mid(blank + 1))});
    }
    return samples;
}

QByteArray Fixture(const QString& Code)
{
    QFile f(QStringLiteral(LUMI_TEST_DATA "/rtf/charsets/") + Code + QStringLiteral(".rtf"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << Code.toStdString();
    return f.readAll();
}

// Composed, without blanks and line ends: lines may wrap anywhere.
QString Letters(QString S)
{
    S = S.normalized(QString::NormalizationForm_C);
    S.remove(QRegularExpression(QStringLiteral("\\s")));
    return S;
}

// A text store's text as the plain-text writer gives it (UTF-8 by each font's charset).
QString StoreText(TRtRTFTextIo& Text)
{
    TMemoryStream stream;
    const AnsiString saved = Text.TextSaveFormat;
    Text.TextSaveFormat = "UTF8";
    Text.SaveToStream(&stream);
    Text.TextSaveFormat = saved;
    QByteArray bytes(reinterpret_cast<const char*>(stream.Memory()), int(stream.Size()));
    if (const int zero = bytes.indexOf('\0'); zero >= 0)
        bytes.truncate(zero);
    return QString::fromUtf8(bytes).trimmed();
}

// The text of RTF as the editor reads it.
QString RtfText(const AnsiString& Rtf)
{
    TRtRTFTextIo text;
    TMemoryStream stream;
    stream.WriteBuffer(Rtf.data(), int32_t(Rtf.size()));
    stream.SetPosition(0);
    text.LoadFromStream(&stream, "RTF");
    return StoreText(text);
}

// The box's text as its page drawer holds it, each run by its charset.
QString DrawnText(const TFBTextElement* E)
{
    QString s;
    for (int i = 0; i < E->Drawer->TokenCount(); ++i) {
        const TRTFToken& t = *E->Drawer->GetToken(i);
        if (t.Kind == rtkParagraph)
            s += QLatin1Char('\n');
        else if (t.Kind == rtkWord || t.Kind == rtkSpace)
            s += CharsetToUnicode(t.Charset, t.Text);
    }
    return s;
}

// The runs the page draws find a glyph for each of their characters.
bool EveryGlyphFound(const TFBTextElement* E, QString& Missing)
{
    for (int i = 0; i < E->Drawer->TokenCount(); ++i) {
        const TRTFToken& t = *E->Drawer->GetToken(i);
        if (t.Kind != rtkWord)
            continue;
        const QRawFont face = RawFontFor(t.FontName, t.Style, 100);
        const std::vector<int> dx(t.Text.size(), 10);
        for (const QGlyphRun& run : CharsetGlyphRuns(face, t.Charset, t.Text, dx.data(), 0, 0))
            if (run.glyphIndexes().contains(0u))
                Missing += CharsetToUnicode(t.Charset, t.Text) + QLatin1Char(' ');
    }
    return Missing.isEmpty();
}

// Dark pixels of an image.
int Ink(const QImage& Image)
{
    int ink = 0;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            ink += qGray(Image.pixel(x, y)) < 80;
    return ink;
}

struct CharsetWindow {
    std::unique_ptr<TMaster> M;
    TSFormDlgRTFText* Panel = nullptr;
    QTemporaryDir Dir;
    QString FileName;

    CharsetWindow()
    {
        ShowModalHook = [](QDialog& D) {
            // The print dialog prints; any other dialog is left.
            return int(dynamic_cast<TQwDruckDlg*>(&D) ? QDialog::Accepted : QDialog::Rejected);
        };
        M.reset(TLocalizerForm::create<TMaster>(nullptr));
        M->AskSaveHook = [](const QString&) { return int(QMessageBox::No); };
        M->SaveDialogHook = [this] { return FileName; };
        M->resize(1100, 800);
        M->show();
        M->activateWindow();
        QApplication::processEvents();
        Panel = M->SFormDlgRTFText;
    }
    ~CharsetWindow()
    {
        M.reset();
        GetUndoManager().Clear();
        ShowModalHook = nullptr;
        DefaultWerte().Font->SetName("Arial");
    }

    // A new text box on the page of a screen, at a third of its height, with the editor focused.
    TFBTextElement* NewBox(int Screen, int Row)
    {
        M->MainView()->SetScreen(Screen);
        M->BtnTextEinfuegenClick();
        auto* box = dynamic_cast<TFBTextElement*>(M->MainView()->FocusedElement());
        if (!box)
            return nullptr;
        box->Width = M->Document()->PageWidth - 10;
        // Without a shadow the printer draws the text as text (with one, as a picture).
        box->SetHasShadow(false);
        box->CenterY = M->Document()->PageHeight * float(Row + 1) / 4;
        Panel->rtf->setFocus();
        QApplication::processEvents();
        return box;
    }
    // Letters, digits and blanks as key events with their text; East-Asian
    // text as the input method gives it: a word shown while composed, then committed.
    void Type(const QString& S, bool InputMethod)
    {
        if (InputMethod) {
            for (const QString& word : S.split(QLatin1Char(' '))) {
                QInputMethodEvent preedit(word, {});
                QApplication::sendEvent(Panel->rtf, &preedit);
                QInputMethodEvent commit;
                commit.setCommitString(word + (word == S.split(QLatin1Char(' ')).last() ? "" : " "));
                QApplication::sendEvent(Panel->rtf, &commit);
            }
        } else {
            for (const QChar c : S) {
                QKeyEvent press(QEvent::KeyPress, c.unicode() < 128 ? int(c.toUpper().unicode()) : int(Qt::Key_unknown),
                                Qt::NoModifier, QString(c));
                QApplication::sendEvent(Panel->rtf, &press);
            }
        }
        QApplication::processEvents();
    }
    QImage PageImage()
    {
        M->MainView()->repaint();
        return M->MainView()->grab().toImage();
    }
    void Paste(QMimeData* Data)
    {
        QGuiApplication::clipboard()->setMimeData(Data);
        pvtest::Key(*Panel->rtf, Qt::Key_V, Qt::ControlModifier);
        QApplication::processEvents();
    }
};

const char* const Ways[] = {"typed", "pasted as text", "pasted as RTF"};

}  // namespace

TEST(SFormDlgRTFTextCharsets, SampleSentencesReachEditorRtfPageProjectAndPdf)
{
    const std::vector<TSample> samples = Samples();
    ASSERT_EQ(samples.size(), 13u);
    CharsetWindow w;
    w.FileName = w.Dir.filePath(QStringLiteral("charsets.zpb"));
    // With LUMI_SCREENSHOTS naming a folder the window is saved there for four
    // of the scripts (run under Xvfb with QT_QPA_PLATFORM=xcb to look at them).
    const QString shots = qEnvironmentVariable("LUMI_SCREENSHOTS");
    std::multiset<QString> expected;
    for (size_t i = 0; i < samples.size(); ++i) {
        const TSample& s = samples[i];
        const bool eastAsian = s.Code == "ja" || s.Code == "zh" || s.Code == "ko";
        w.M->MainView()->SetScreen(int(i) + 1);
        const int inkBefore = Ink(w.PageImage());
        for (int way = 0; way < 3; ++way) {
            const std::string what = s.Code.toStdString() + " " + Ways[way];
            TFBTextElement* box = w.NewBox(int(i) + 1, way);
            ASSERT_TRUE(box) << what;
            if (way == 0)
                w.Type(s.Sentence, eastAsian);
            else if (way == 1) {
                auto* data = new QMimeData;
                data->setText(s.Sentence);
                w.Paste(data);
            } else {
                auto* data = new QMimeData;
                data->setData(QStringLiteral("text/rtf"), Fixture(s.Code));
                w.Paste(data);
            }
            EXPECT_EQ(Letters(StoreText(*w.Panel->rtf->RtfText())), Letters(s.Sentence)) << what;
            EXPECT_EQ(Letters(RtfText(box->Drawer->RTFText())), Letters(s.Sentence)) << what;
            EXPECT_EQ(Letters(DrawnText(box)), Letters(s.Sentence)) << what;
            QString missing;
            EXPECT_TRUE(EveryGlyphFound(box, missing)) << what << ": " << missing.toStdString();
            expected.insert(Letters(s.Sentence));
        }
        // The page shows the three boxes' text: dark pixels where the empty page had none.
        EXPECT_GT(Ink(w.PageImage()), inkBefore + 50) << s.Code.toStdString();
        if (!shots.isEmpty() && QStringList({"pl", "el", "ru", "ja"}).contains(s.Code))
            w.M->grab().save(QDir(shots).filePath(s.Code + QStringLiteral(".png")));
    }

    // Saved and opened again: every box draws its sentence.
    ASSERT_TRUE(w.M->BtnAlbumSpeichernClick());
    w.M->OpenDocument(w.FileName);
    std::multiset<QString> reopened;
    for (int p = 0; p < w.M->Document()->Pages.Count(); ++p) {
        TFBPage* page = w.M->Document()->Pages.GetPage(p);
        for (int e = 0; e < page->Elements.Count(); ++e)
            if (auto* box = dynamic_cast<TFBTextElement*>(page->Elements.GetItem(e)))
                reopened.insert(Letters(DrawnText(box)));
    }
    EXPECT_EQ(reopened, expected);

    // Printed to the PDF printer: the PDF's text holds every sentence.
    const QString pdf = printtest::UsePdfPrinter(w.Dir);
    w.M->Document()->DocType = 0;  // single pages
    QStringList messages;
    PrintMessageHook = [&](QMessageBox::Icon, const QString& Text) { messages << Text; };
    w.M->BtnAlbumDruckenClick();
    PrintMessageHook = nullptr;
    EXPECT_TRUE(messages.isEmpty()) << messages.join(' ').toStdString();
    QProcess proc;
    proc.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(proc.waitForFinished(60000));
    ASSERT_TRUE(QFile::exists(pdf));
    // The PDF's text layer names a glyph that the CJK face shares between an
    // ideograph and a Kangxi radical by the radical; compatibility
    // normalisation folds those back.
    const QString printed = Letters(QString::fromUtf8(proc.readAllStandardOutput()))
                                .normalized(QString::NormalizationForm_KC);
    for (const TSample& s : samples)
        EXPECT_EQ(printed.count(Letters(s.Sentence)), 3) << s.Code.toStdString() << ": " << printed.toStdString();
}
