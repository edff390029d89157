// Embedded objects: the stream format, field texts, rules, tag fields, linked
// data, classes by extension, and the text's object services.
#include "Canvas.h"
#include "RtList.h"
#include "RtObject.h"
#include "RtRtfTxtIo.h"
#include "RtStoreUndo.h"
#include "RtTestSupport.h"

#include "RtObjectDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// An object character for Obj at the end of the text's first paragraph; returns the reference.
TTextObj* AddObjectChar(TRtRTFText& T, TRtObjectBase* Obj, TParagraph* Par, uint8_t Code = 1, int32_t Id = 0)
{
    TTextObj* ref = nullptr;
    if (!Id) {
        ref = T.ObjRefList()->AddObject(Obj);
        Id = T.ObjRefList()->CurrentId;
    } else {
        ref = T.ObjRefList()->GetTextObj(Id);
    }
    if (Obj)
        Obj->Owner = &T;
    TAttr a = T.CurrentAttr;
    a.Style.Include(afsIsObject);
    a.Tag = uint32_t(Id);
    TLine* last = TRtRTFText::GetLastLine(Par);
    T.ReplaceChars(Par, last, &a, 1, &Code, 0, last->Length);
    return ref;
}

std::string Bytes(TMemoryStream& M) { return std::string(reinterpret_cast<const char*>(M.Memory()), size_t(M.Size())); }

} // namespace

TEST(RtObject, StreamRecordRoundTripsTheProperties)
{
    TRtTagField f;
    f.SetWidthTW(2000);
    f.SetHeightTW(300);
    f.ObjNameValue = "merge";
    f.ObjTag = 70000;
    f.WriteRTFMode = wobBoth;
    f.FieldName = "NAME";
    f.SetCode("<%name%>");
    f.SetTag("Name");
    f.BoxOpt = TRtObjectFieldFrameOpt{rtfoBox, rtfoFrameColor};
    TMemoryStream m;
    f.WriteToStream(&m);
    const std::string s = Bytes(m);
    ASSERT_GT(s.size(), 20u);
    EXPECT_EQ(uint8_t(s[0]) | (uint8_t(s[1]) << 8), 3601);
    EXPECT_EQ(s[2], 12);  // "TRtTagField" and its NUL
    EXPECT_EQ(s.substr(4, 12), std::string("TRtTagField\0", 12));
    EXPECT_EQ(s.substr(16, 4), "TPF0");
    // The data type of an object that keeps its data: "???" and a NUL.
    EXPECT_EQ(s.substr(s.size() - 4), std::string("???\0", 4));

    int32_t h = 0, w = 0, tag = 0;
    AnsiString name;
    std::unique_ptr<TRtObject> read = ReadRtObjectFromStream(nullptr, &m, h, w, name, tag);
    ASSERT_NE(read, nullptr);
    auto* g = dynamic_cast<TRtTagField*>(read.get());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(w, 2000);
    EXPECT_EQ(h, 300);
    EXPECT_EQ(name, "merge");
    EXPECT_EQ(tag, 70000);
    EXPECT_EQ(g->WriteRTFMode, wobBoth);
    EXPECT_EQ(g->FieldName, "NAME");
    EXPECT_EQ(g->GetCode(), "<%name%>");
    EXPECT_EQ(g->GetTag(), "Name");
    EXPECT_EQ(g->BoxOpt, (TRtObjectFieldFrameOpt{rtfoBox, rtfoFrameColor}));
    EXPECT_TRUE(g->Loaded());
    std::unique_ptr<TRtObject> clone = f.Clone(nullptr);
    ASSERT_NE(dynamic_cast<TRtTagField*>(clone.get()), nullptr);
    EXPECT_EQ(static_cast<TRtTagField*>(clone.get())->GetTag(), "Name");
}

TEST(RtObject, DamagedRecordsGiveNoObject)
{
    int32_t h = 0, w = 0, tag = 0;
    AnsiString name;
    struct TCase {
        uint16_t Marker;
        uint16_t Length;
    };
    for (const TCase c : {TCase{3600, 10}, TCase{3601, 100}, TCase{3601, 0}, TCase{3601, 60}}) {
        TMemoryStream m;
        m.WriteU16(c.Marker);
        m.WriteU16(c.Length);
        m.WriteBuffer("TRtObject", 10);
        EXPECT_EQ(ReadRtObjectFromStream(nullptr, &m, h, w, name, tag), nullptr) << c.Marker << " " << c.Length;
    }
    // A known class with broken properties keeps its defaults.
    TMemoryStream m;
    m.WriteU16(3601);
    m.WriteU16(10);
    m.WriteBuffer("TRtObject", 10);
    m.WriteBuffer("TPF0\x09TRtObject\x00\x07WidthTW\x04\x01", 22);
    std::unique_ptr<TRtObject> obj = ReadRtObjectFromStream(nullptr, &m, h, w, name, tag);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(w, 1440);
    // Unknown class names give nil.
    EXPECT_EQ(CreateRtObjectByClassName("TNoSuchObject"), nullptr);
}

TEST(RtObject, FieldTexts)
{
    TRtRTFTextIo t;
    TestPlatform();
    TRtObjectField f;
    f.Owner = &t;
    struct TCase {
        const char* Name;
        bool Measuring;
        int32_t Page;
        const char* Expected;
    };
    for (const TCase& c : {TCase{"PRIORPAGE", false, 0, " "}, TCase{"PRIORPAGE", false, 2, "2"},
                           TCase{"page", false, 4, "5"}, TCase{"NEXTPAGE", false, 0, "2"},
                           TCase{"UNKNOWN", false, 0, "<UNKNOWN>"}}) {
        f.FieldName = c.Name;
        t.PaintingPage = c.Page;
        AnsiString text;
        f.GetFieldText(c.Measuring, text);
        EXPECT_EQ(text, c.Expected) << c.Name;
    }
    // Measuring reserves the widest page number.
    FillText(t, std::vector<std::string>(123, "p"));
    for (TParagraph* p = t.FirstPar->Next; p; p = p->Next)
        p->Flags |= parfNewPage;
    f.FieldName = "PAGE";
    AnsiString text;
    f.GetFieldText(true, text);
    EXPECT_EQ(text, "999");
    EXPECT_TRUE(f.PageDependent);
    // The page offset counts; the text's event answers first.
    t.PageNumberOffset = 10;
    t.PaintingPage = 0;
    f.GetFieldText(false, text);
    EXPECT_EQ(text, "11");
    t.OnGetFieldText = [](TObject*, TRtObjectBase*, bool& Done) {
        Done = true;
        return AnsiString("mine");
    };
    f.GetFieldText(false, text);
    EXPECT_EQ(text, "mine");
    // Tag fields show their tag.
    TRtTagField tf;
    tf.GetFieldText(false, text);
    EXPECT_EQ(text, "<>");
    tf.SetTag("x");
    tf.GetFieldText(false, text);
    EXPECT_EQ(text, " x ");
}

TEST(RtObject, RulesWriteTheirHtmlAndFollowThePageWidth)
{
    TRtRTFTextIo t;
    TRtOHorzLine rule;
    rule.Owner = &t;
    TTextHeader* h = t.Header();
    EXPECT_EQ(rule.GetWidthTW(), h->PageWidth() - h->LeftMargin() - h->RightMargin() - 10);
    rule.SetWidthTW(5);
    EXPECT_EQ(rule.GetWidthTW(), h->PageWidth() - h->LeftMargin() - h->RightMargin() - 10);
    // Its picture at 96 dots per inch is black.
    rule.SetHeightTW(150);
    const QImage bitmap = rule.GetBitmapHandle();
    EXPECT_EQ(bitmap.width(), MulDiv(rule.GetWidthTW(), 96, 1440));
    EXPECT_EQ(bitmap.height(), 10);
    EXPECT_EQ(QColor(bitmap.pixel(5, 5)), QColor(Qt::black));
    for (const auto& [height, html] : {std::pair{30, "<hr SIZE=2/>\r\n"}, std::pair{29, "<hr/>\r\n"},
                                       std::pair{40, "<hr SIZE=2/>\r\n"}, std::pair{70, "<hr SIZE=4/>\r\n"}}) {
        rule.SetHeightTW(height);
        TMemoryStream m;
        rule.WriteHTML(&m);
        EXPECT_EQ(Bytes(m), html) << height;
    }
}

TEST(RtObject, LinkedDataIsLoadedThroughTheEvent)
{
    TRtObject obj;
    obj.StreamName = "pic.png";
    TMemoryStream m;
    obj.WriteToStream(&m);
    EXPECT_EQ(Bytes(m).substr(m.Size() - 4), std::string(4, '\0'));
    TRtObject copy;
    copy.ReadFromStream(&m);
    EXPECT_FALSE(copy.Loaded());
    EXPECT_EQ(copy.StreamName, "pic.png");
    std::vector<TRtOCurrState> asked;
    copy.OnLoadStream = [&](TObject*, const AnsiString& Name, TRtOCurrState State, bool& Done) {
        EXPECT_EQ(Name, "pic.png");
        asked.push_back(State);
        Done = asked.size() > 1;
    };
    copy.EnsureLoaded();
    EXPECT_FALSE(copy.Loaded());
    copy.EnsureLoaded();
    EXPECT_TRUE(copy.Loaded());
    EXPECT_EQ(asked, (std::vector<TRtOCurrState>{wobPainting, wobPainting}));
}

TEST(RtObject, PicturesKeepTheirBytesAndNaturalSize)
{
    TestPlatform();
    QTemporaryDir dir;
    const QString file = dir.filePath("p.png");
    QImage image(48, 24, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(file));
    RtObjectClassesForExt.Add(".png=TRtOImageObject");
    std::unique_ptr<TRtObject> obj = CreateRtObjectForFile(file, false);
    RtObjectClassesForExt.Clear();
    ASSERT_NE(obj, nullptr);
    auto* pic = dynamic_cast<TRtOImageObject*>(obj.get());
    ASSERT_NE(pic, nullptr);
    ASSERT_NE(pic->GetPicture(), nullptr);
    EXPECT_EQ(pic->GetNaturalWidth(), 48 * 15);
    EXPECT_EQ(obj->GetWidthTW(), 48 * 15);
    EXPECT_EQ(obj->GetHeightTW(), 24 * 15);
    TMemoryStream m;
    obj->WriteToStream(&m);
    int32_t h = 0, w = 0, tag = 0;
    AnsiString name;
    std::unique_ptr<TRtObject> back = ReadRtObjectFromStream(nullptr, &m, h, w, name, tag);
    auto* pic2 = dynamic_cast<TRtOImageObject*>(back.get());
    ASSERT_NE(pic2, nullptr);
    ASSERT_NE(pic2->GetPicture(), nullptr);
    EXPECT_EQ(pic2->GetPicture()->pixel(3, 3), QColor(Qt::red).rgb());
    EXPECT_EQ(pic2->DataType(), "PNG");
    // A damaged metafile is kept but not drawn.
    TRtOImageObject meta;
    meta.SetPicture(QByteArray("\xD7\xCD\xC6\x9A", 4), "WMF");
    EXPECT_TRUE(meta.IsMetafile());
    EXPECT_EQ(meta.GetPicture(), nullptr);
    EXPECT_TRUE(meta.Metafile().Empty());
    EXPECT_EQ(meta.GetNaturalWidth(), 1001);
    // Extensions look up the last entry, with or without the dot.
    RtObjectClassesForExt.Add(".xyz=TRtObject");
    RtObjectClassesForExt.Add("xyz=Wrong");
    RtObjectClassesForExt.Add(".XYZ=TRtOHorzLine");
    EXPECT_EQ(GetRtObjectClassForExt("xyz"), "TRtOHorzLine");
    EXPECT_EQ(GetRtObjectClassForExt(".abc"), "");
    RtObjectClassesForExt.Clear();
}

TEST(RtObject, ReferenceTextsOfPageReferences)
{
    TRtRTFTextIo t;
    FillText(t, {"a", "b", "c"});
    const int32_t pageRef = t.ObjRefList()->AddNamedRef("target", 3);
    TTextObj* ref = t.ObjRefList()->GetTextObj(pageRef);
    AnsiString text;
    t.GetReferenceText(ref, text);
    EXPECT_EQ(text, "[?]");
    // A bookmark marker on the third page.
    const int32_t mark = t.ObjRefList()->AddNamedRef("target", 1);
    AddObjectChar(t, nullptr, t.GetParByIndex(2), 2, mark);
    t.GetParByIndex(2)->Lines->PageNr = 2;
    ref = t.ObjRefList()->GetTextObj(pageRef);
    t.GetReferenceText(ref, text);
    EXPECT_EQ(text, "3");
    ref->ItemName = "page %d of %d %s";
    t.GetReferenceText(ref, text);
    EXPECT_EQ(text, "page 3 of %d %s");
    t.ViewOptions.Include(rtShowReferenceObjects);
    t.GetReferenceText(ref, text);
    EXPECT_EQ(text, "<PAGEREF target> page %d of %d %s");
    // Other reference kinds give no text.
    TTextObj plain;
    t.GetReferenceText(&plain, text);
    EXPECT_EQ(text, "");
}

TEST(RtObject, ResizingPreparingAndCountingReferences)
{
    TRtRTFTextIo t;
    t.EditOptions = TRtEditOptions{rtActivateUndo, rtActivateRedo};
    FillText(t, {"x", "y"});
    auto* obj = new TRtObject;
    TTextObj* ref = AddObjectChar(t, obj, t.FirstPar);
    const int32_t id = t.ObjRefList()->CurrentId;
    ref->Width = 100;
    ref->Height = 50;
    TTextObj stray;
    t.ResizeObject(&stray, 7, 7);
    t.ResizeObject(nullptr, 7, 7);
    t.FirstPar->Next->Flags &= ~parfReformat;
    t.FirstPar->Flags &= ~parfReformat;
    t.AddObjectUndo(obj, 15, ulGraphic);
    t.ResizeObject(ref, 300, 200);
    EXPECT_EQ(ref->Width, 300);
    EXPECT_TRUE(t.FirstPar->Flags & parfReformat);
    EXPECT_FALSE(t.FirstPar->Next->Flags & parfReformat);
    t.Undo();
    EXPECT_EQ(ref->Width, 100);
    EXPECT_EQ(ref->Height, 50);
    t.Redo();
    EXPECT_EQ(ref->Width, 300);

    // Loaded objects: the handler may replace them; its answer says who loads.
    auto* other = new TRtObject;
    t.OnObjectLoadQuery = [&](TObject*, TRtObjectBase*& Obj, bool& Answer) {
        EXPECT_EQ(Obj->RefField, &ref->Object);
        Obj = other;
        Answer = false;
    };
    t.PrepareObjects();
    EXPECT_EQ(ref->Object, other);
    EXPECT_TRUE(other->LoadedMark);
    EXPECT_EQ(other->RefField, nullptr);
    delete obj;

    const int32_t before = static_cast<TRtListItem*>(t.ObjRefList()->FindItem(id))->RefCount;
    t.AddRefChainObjects(t.FirstPar->Lines);
    EXPECT_EQ(t.ObjRefList()->FindItem(id)->RefCount, before + 1);
    t.ReleaseChainObjects(t.FirstPar->Lines);
    EXPECT_EQ(t.ObjRefList()->FindItem(id)->RefCount, before);
    EXPECT_EQ(t.FindParObject(t.FirstPar), nullptr);
}

namespace {

// The dialogs answered as a user would.
struct TAnswerDialogs {
    TRtObjectDialogs Saved = RtObjectDialogs();
    ~TAnswerDialogs() { RtObjectDialogs() = Saved; }
};

TEST(RtObject, EditCaptionAsksWithTheCaption)
{
    TAnswerDialogs restore;
    TRtObject obj;
    obj.SetCaption("old");
    QString caption, prompt, shown;
    bool ok = false;
    RtObjectDialogs().InputQuery = [&](const QString& C, const QString& P, QString& V) {
        caption = C;
        prompt = P;
        shown = V;
        V = QStringLiteral("new");
        return ok;
    };
    obj.EditCaption();
    EXPECT_EQ(caption, QStringLiteral("Caption"));
    EXPECT_EQ(prompt, QStringLiteral("?"));
    EXPECT_EQ(shown, QStringLiteral("old"));
    AnsiString s;
    obj.GetCaption(s);
    EXPECT_EQ(s, "old") << "cancelled";
    ok = true;
    obj.EditCaption();
    obj.GetCaption(s);
    EXPECT_EQ(s, "new");
}

TEST(RtObject, ShowPropertiesEditsThePublishedProperties)
{
    TAnswerDialogs restore;
    TRtOHorzLine rule;
    const auto list = rule.PublishedProperties();
    ASSERT_GE(list.size(), 5u);
    EXPECT_EQ(list[0].first, "UsePageWidth");
    EXPECT_EQ(list[0].second.Int, 1);
    EXPECT_EQ(list[2].first, "HeightTW");
    EXPECT_EQ(list[2].second.Int, 40);
    // The property dialog of the edit control: a row per property.
    RtObjectDialogs().Properties = [&](TRtObject& Obj) {
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            const auto spins = dialog->findChildren<QSpinBox*>();
            ASSERT_EQ(spins.size(), 3);   // WidthTW, HeightTW, ObjTag
            spins[1]->setValue(80);
            const auto edits = dialog->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
            ASSERT_FALSE(edits.isEmpty());
            edits[0]->setText(QStringLiteral("rule"));   // ObjName
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        return ShowRtObjectProperties(Obj);
    };
    EXPECT_TRUE(rule.ShowProperties());
    EXPECT_EQ(rule.GetHeightTW(), 80);
    EXPECT_EQ(rule.ObjName(), "rule");
    EXPECT_TRUE(rule.UsePageWidth);
    // Without a dialog nothing happens, and the answer is still True.
    RtObjectDialogs().Properties = nullptr;
    EXPECT_TRUE(rule.ShowProperties());
}

} // namespace

TEST(RtObject, MetafilePicturesAreDrawnAtTheirSize)
{
    for (const char* name : {"shapes.wmf", "shapes.emf"}) {
        QFile f(QStringLiteral(LUMI_TEST_DATA "/metafile/") + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        TRtOImageObject meta;
        meta.SetPicture(f.readAll(), QByteArray(name).right(3).toUpper().toStdString());
        EXPECT_FALSE(meta.Metafile().Empty()) << name;
        // 49.94 x 23.48 mm in twips.
        EXPECT_EQ(meta.GetNaturalWidth(), MulDiv(4994, 1440, 2540)) << name;
        EXPECT_EQ(meta.GetNaturalHeight(), MulDiv(2348, 1440, 2540)) << name;
        // Drawn at twice its size.
        meta.SetWidthTW(2 * 189 * 15);
        meta.SetHeightTW(2 * 89 * 15);
        const QImage bmp = meta.GetBitmapHandle();
        ASSERT_EQ(bmp.size(), QSize(378, 178)) << name;
        EXPECT_EQ(bmp.pixelColor(80, 50), QColor(255, 0, 0)) << name;
        EXPECT_EQ(bmp.pixelColor(280, 50), QColor(0, 0, 255)) << name;
    }
}

TEST(RtObject, MetafilePicturesForHtmlAreDrawnForTheHookOrSavedAsTheyAre)
{
    const int32_t ppi = TestPlatform().ScreenPixelsPerInch();
    QTemporaryDir dir;
    for (const char* name : {"shapes.wmf", "shapes.emf"}) {
        QFile f(QStringLiteral(LUMI_TEST_DATA "/metafile/") + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const AnsiString type = QByteArray(name).right(3).toUpper().toStdString();
        QImage given;
        bool done = true;
        RtHTMLCreateImageHook = [&](TRtOImageObject*, const QString& Folder, QString& FileName, bool& Done,
                                    const QImage& Bitmap) {
            given = Bitmap;
            FileName = Folder + "/own.png";
            Done = done;
        };
        // The hook gets the metafile drawn at its natural size (49.94 x 23.48 mm) at screen resolution.
        TRtOImageObject taken;
        taken.SetPicture(bytes, type);
        taken.PrepareHTML(dir.path());
        ASSERT_EQ(given.size(), QSize(MulDiv(4994, ppi, 2540), MulDiv(2348, ppi, 2540))) << name;
        // The red rectangle and the blue ellipse.
        EXPECT_EQ(given.pixelColor(given.width() * 45 / 200, given.height() * 32 / 100), QColor(255, 0, 0)) << name;
        EXPECT_EQ(given.pixelColor(given.width() * 150 / 200, given.height() * 35 / 100), QColor(0, 0, 255)) << name;
        EXPECT_EQ(taken.GetImageFileName(), dir.path() + "/own.png") << name;
        // Not done by the hook: the metafile is saved as it is.
        done = false;
        TRtOImageObject saved;
        saved.SetPicture(bytes, type);
        saved.PrepareHTML(dir.path());
        EXPECT_TRUE(saved.GetImageFileName().endsWith("." + QString::fromStdString(type))) << name;
        QFile file(saved.GetImageFileName());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        EXPECT_EQ(file.readAll(), bytes) << name;
        RtHTMLCreateImageHook = nullptr;
    }
}

TEST(RtObject, MetafilePicturesArePlayedOncePerShownSize)
{
    QFile f(QStringLiteral(LUMI_TEST_DATA "/metafile/shapes.emf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    TRtOImageObject meta;
    meta.SetPicture(f.readAll(), "EMF");
    QImage page(400, 300, QImage::Format_RGB32);
    page.fill(Qt::white);
    TCanvas canvas(&page);
    meta.PaintTo(&canvas, TRect{10, 10, 199, 99});
    const qint64 first = meta.Shown().cacheKey();
    EXPECT_EQ(meta.Shown().size(), QSize(189, 89));
    // Painted again at that size (a scroll, a repaint): the played image is kept.
    meta.PaintTo(&canvas, TRect{200, 150, 389, 239});
    EXPECT_EQ(meta.Shown().cacheKey(), first);
    canvas.SetDevice(nullptr);
    EXPECT_EQ(page.pixelColor(50, 35), QColor(255, 0, 0));
    EXPECT_EQ(page.pixelColor(240, 175), QColor(255, 0, 0));
    // Zoomed: played again at the new size.
    canvas.SetDevice(&page);
    meta.PaintTo(&canvas, TRect{0, 0, 378, 178});
    EXPECT_EQ(meta.Shown().size(), QSize(378, 178));
    canvas.SetDevice(nullptr);
    // New bytes drop the played image.
    meta.SetPicture(QByteArray(), "EMF");
    EXPECT_TRUE(meta.Shown().isNull());
}

TEST(RtObject, AMetafilePictureLargerThanItsDeviceIsKeptAsFarAsItShows)
{
    // Zoomed far past the page: only the part on the page is played, and a repaint
    // (a caret blink, a key) shows it again without playing the records.
    QFile f(QStringLiteral(LUMI_TEST_DATA "/metafile/shapes.emf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    TRtOImageObject meta;
    meta.SetPicture(f.readAll(), "EMF");
    QImage small(400, 300, QImage::Format_RGB32), large = small;
    small.fill(Qt::white);
    large.fill(Qt::white);
    {
        TCanvas canvas(&small);
        meta.PaintTo(&canvas, TRect{0, 0, 189, 89});
    }
    TCanvas canvas(&large);
    const TRect zoomed{-60 * 25, -40 * 25, 129 * 25, 49 * 25};
    ASSERT_GT(int64_t(zoomed.Width()) * zoomed.Height(), TRtOImageObject::MaxShownPixels);
    meta.PaintTo(&canvas, zoomed);
    EXPECT_EQ(meta.Shown().size(), QSize(400, 300));
    const qint64 played = meta.Shown().cacheKey();
    static int64_t readings = 0;
    readings = 0;
    TMetafile::SetClock([] { return ++readings; });
    meta.PaintTo(&canvas, zoomed);
    TMetafile::SetClock(nullptr);
    EXPECT_EQ(readings, 0);
    EXPECT_EQ(meta.Shown().cacheKey(), played);
    canvas.SetDevice(nullptr);
    // The page shows the lower edge of the red rectangle 25 times enlarged.
    const QImage middle = small.copy(60, 40, 16, 12).scaled(400, 300);
    int same = 0, ink = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            same += qAbs(qGray(middle.pixel(x, y)) - qGray(large.pixel(x, y))) < 64;
            ink += qGray(large.pixel(x, y)) < 200;
        }
    EXPECT_GT(same, 400 * 300 * 9 / 10);
    EXPECT_GT(ink, 400 * 300 / 10);
}
