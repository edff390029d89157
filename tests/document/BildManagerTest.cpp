#include "uFotobuchBildManager.h"

#include "SysUtils.h"
#include "uDataFile.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString SavePicture(const QTemporaryDir& dir, const QString& name, int w, int h, bool alpha = false)
{
    QImage img(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    img.fill(alpha ? QColor(0, 0, 255, 128) : QColor(200, 30, 30));
    QPainter p(&img);
    p.fillRect(0, 0, w / 4, h / 4, Qt::green);
    p.end();
    const QString path = dir.filePath(name);
    EXPECT_TRUE(img.save(path));
    return path;
}

struct Manager : TBildmanager {
    Manager()
    {
        AvailableMemory = [] { return uint64_t(1) << 32; };
        Sleep = [](int) {};
    }
};

} // namespace

TEST(BildManager, BudgetFollowsPhysicalMemory)
{
    EXPECT_EQ(TBildmanager::MaxInMemoryFor(uint64_t(2048) << 20), 81);
    EXPECT_EQ(TBildmanager::MaxInMemoryFor(uint64_t(200) << 20), 10);
}

TEST(BildManager, LargePicturesAreReducedOnceAndStoredAgain)
{
    QTemporaryDir dir;
    Manager m;
    const int32_t jpg = m.AddFile(SavePicture(dir, "big.jpg", 3000, 2000));
    const int32_t png = m.AddFile(SavePicture(dir, "big.png", 3000, 2000, true));
    auto* a = m.FindItem(jpg);
    auto* b = m.FindItem(png);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->PicWidth, 2410);
    EXPECT_EQ(a->PicHeight, 1607);
    EXPECT_EQ(a->Bytes.Memory()[0], 0xFF);  // JPEG
    EXPECT_EQ(a->Bytes.Memory()[1], 0xD8);
    EXPECT_EQ(b->PicWidth, 2410);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b->Bytes.Memory()) + 1, 3), "PNG");
    // The stored bytes are the reduced picture now.
    EXPECT_EQ(QImage::fromData(a->Bytes.Memory(), int(a->Bytes.Size())).size(), QSize(2410, 1607));
}

TEST(BildManager, SameFileIsHeldOnceAndReleasedByCount)
{
    QTemporaryDir dir;
    Manager m;
    const QString path = SavePicture(dir, "a.png", 40, 30);
    const int32_t r1 = m.AddFile(path);
    const int32_t r2 = m.AddFile(path);
    EXPECT_EQ(r1, r2);
    ASSERT_EQ(m.Count(), 1);
    EXPECT_EQ(m.FindItem(r1)->RefCount, 2);
    const int32_t other = m.AddFile(SavePicture(dir, "b.png", 10, 10));
    EXPECT_EQ(other, r1 + 1);
    EXPECT_EQ(m.Items.front()->RefIndex, other);  // added at the front
    m.Release(r1);
    m.Release(-1);
    EXPECT_EQ(m.Count(), 2);
    m.Release(r1);
    EXPECT_EQ(m.Count(), 1);
    EXPECT_EQ(m.FindItem(r1), nullptr);
    EXPECT_EQ(m.GetFullBitmap(r1), nullptr);
}

TEST(BildManager, MakePrivateClonesSharedPictures)
{
    QTemporaryDir dir;
    Manager m;
    const QString path = SavePicture(dir, "a.png", 40, 30);
    const int32_t r = m.AddFile(path);
    EXPECT_EQ(m.MakePrivate(r), r);  // sole owner
    m.IncRefCount(r);
    const int32_t c = m.MakePrivate(r);
    ASSERT_NE(c, r);
    EXPECT_EQ(m.FindItem(r)->RefCount, 1);
    EXPECT_EQ(m.FindItem(c)->RefCount, 1);
    EXPECT_EQ(m.FindItem(c)->FileName, "Clone " + path);
    EXPECT_NE(m.FindItem(c)->FullBitmap, nullptr);
    EXPECT_EQ(m.MakePrivate(99), -1);
}

TEST(BildManager, PreviewSizesDependOnWhetherThePictureIsDecoded)
{
    QTemporaryDir dir;
    Manager m;
    const int32_t r = m.AddFile(SavePicture(dir, "wide.png", 400, 300));
    QImage* p = m.GetPreviewBitmap(r);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->size(), QSize(192, 144));

    auto* it = m.FindItem(r);
    it->RemoveGPBitmap();
    it->MakePreview();
    EXPECT_TRUE(it->PreviewFromTemporary);
    EXPECT_EQ(it->PreviewBitmap->size(), QSize(128, 96));
    // Once decoded again, a preview made from a temporary decode is redone.
    m.GetFullBitmap(r);
    EXPECT_EQ(m.GetPreviewBitmap(r)->size(), QSize(192, 144));

    const int32_t tall = m.AddFile(SavePicture(dir, "tall.png", 100, 400));
    EXPECT_EQ(m.GetPreviewBitmap(tall)->size(), QSize(48, 192));
}

TEST(BildManager, PreparedPreviewsAreThoseDrawingWouldMake)
{
    QTemporaryDir dir;
    Manager m;
    std::vector<int32_t> refs;
    for (int i = 0; i < 6; ++i) {
        refs.push_back(m.AddFile(SavePicture(dir, QString("p%1.jpg").arg(i), 300 + 40 * i, 200)));
        m.FindItem(refs.back())->RemoveGPBitmap();  // as after loading: bytes only
        m.FindItem(refs.back())->PreviewBitmap.reset();
    }
    const int32_t untouched = refs.back();
    refs.pop_back();
    std::vector<int32_t> asked = refs;
    asked.push_back(refs.front());  // twice
    asked.push_back(9999);          // unknown
    m.PreparePreviews(asked);
    for (int32_t r : refs) {
        auto* it = m.FindItem(r);
        ASSERT_TRUE(it->PreviewBitmap) << r;
        const QImage prepared = *it->PreviewBitmap;
        it->PreviewBitmap.reset();
        EXPECT_EQ(*m.GetPreviewBitmap(r), prepared) << r;
        EXPECT_EQ(it->FullBitmap, nullptr);  // a preview decodes nothing in full
    }
    EXPECT_EQ(m.FindItem(untouched)->PreviewBitmap, nullptr);
}

TEST(BildManager, TrimMemoryKeepsOnlyTheMostRecentDecoded)
{
    QTemporaryDir dir;
    Manager m;
    m.MaxInMemory = 8;
    std::vector<int32_t> refs;
    for (int i = 0; i < 10; ++i)
        refs.push_back(m.AddFile(SavePicture(dir, QString("p%1.png").arg(i), 8, 8)));
    int decoded = 0;
    for (const auto& it : m.Items)
        decoded += it->FullBitmap ? 1 : 0;
    EXPECT_EQ(decoded, 8);
    EXPECT_EQ(m.Items.back()->FullBitmap, nullptr);  // the oldest lost its bitmap

    // Little free memory: the budget sinks to 2, then is reset to at least 8.
    int sleeps = 0;
    m.AvailableMemory = [] { return uint64_t(1000); };
    m.Sleep = [&](int) { ++sleeps; };
    m.TrimMemory();
    EXPECT_EQ(sleeps, 6);
    EXPECT_EQ(m.MaxInMemory, 8);
    decoded = 0;
    for (const auto& it : m.Items)
        decoded += it->FullBitmap ? 1 : 0;
    EXPECT_EQ(decoded, 2);
}

TEST(BildManager, UndecodablePictureDrawsNothingAndKeepsItsSizes)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("broken.jpg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a picture");
    f.close();
    Manager m;
    const int32_t r = m.AddFile(f.fileName());
    auto* it = m.FindItem(r);
    it->PicWidth = 640;
    it->PicHeight = 480;
    EXPECT_EQ(m.GetFullBitmap(r), nullptr);
    EXPECT_EQ(m.GetPreviewBitmap(r), nullptr);
    EXPECT_EQ(it->PicWidth, 640);
    // A missing file gives an empty entry.
    const int32_t missing = m.AddFile(dir.filePath("nope.jpg"));
    EXPECT_EQ(m.FindItem(missing)->Bytes.Size(), 0);
}

namespace {

uint32_t Crc32(const QByteArray& Data)
{
    uint32_t c = 0xFFFFFFFFu;
    for (const char ch : Data) {
        c ^= uint8_t(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// A PNG whose header announces W x H pixels of 8-bit RGBA, with an empty data stream.
QByteArray PngHeaderOnly(uint32_t W, uint32_t H)
{
    auto be = [](uint32_t v) {
        const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(b, 4);
    };
    auto chunk = [&](const char* Type, const QByteArray& Data) {
        const QByteArray typed = QByteArray(Type) + Data;
        return be(uint32_t(Data.size())) + typed + be(Crc32(typed));
    };
    QByteArray ihdr = be(W) + be(H);
    ihdr += QByteArray("\x08\x06\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) +
           chunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
           chunk("IEND", QByteArray());
}

} // namespace

TEST(BildManager, PictureBeyondTheMemoryIsRetriedThenRefused)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("huge.png"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(PngHeaderOnly(30000, 30000));  // 3.6 GB of pixels
    f.close();
    Manager m;
    int pauses = 0;
    m.Sleep = [&](int ms) { pauses += ms == 200; };
    m.MaxInMemory = 40;
    try {
        m.AddFile(f.fileName());
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Bild " + toAnsi(f.fileName()) + " konnte nicht geladen werden.");
    }
    EXPECT_EQ(pauses, 3);  // three retries, each after lowering the budget
    EXPECT_EQ(m.MaxInMemory, 28);
    EXPECT_EQ(m.Count(), 0);
}

TEST(BildManager, CopiesAndUndoEntriesFindEqualPictures)
{
    QTemporaryDir dir;
    Manager m;
    const int32_t r = m.AddFile(SavePicture(dir, "a.png", 20, 20));
    TMemoryStream s;
    {
        TMemoryDataFile f(s);
        m.SaveItemCopy(f, "Clipboard/Pic", r);
        m.SaveItemToDataFile(f, "Undo/Pic", r);
    }
    s.SetPosition(0);
    TMemoryDataFile f(s);
    EXPECT_EQ(f.ReadInteger("Clipboard/Pic", "RefIndex", -7), -7);  // copies carry no identity
    EXPECT_EQ(m.AddCopyFromDataFile(f, "Clipboard/Pic"), r);
    EXPECT_EQ(m.Count(), 1);
    EXPECT_EQ(m.FindItem(r)->RefCount, 2);
    EXPECT_EQ(m.AddItemFromDataFile(f, "Undo/Pic"), r);
    EXPECT_EQ(m.FindItem(r)->RefCount, 2);

    // Same metadata and length but other bytes: a different picture.
    Manager other;
    const int32_t o = other.AddItemFromDataFile(f, "Undo/Pic");
    EXPECT_EQ(other.FindItem(o)->RefCount, 0);
    TMemoryStream s2;
    {
        TMemoryDataFile w(s2);
        other.FindItem(o)->Bytes.Memory()[40] ^= 0xFF;
        other.SaveItemCopy(w, "C", o);
    }
    s2.SetPosition(0);
    TMemoryDataFile r2(s2);
    EXPECT_NE(m.AddCopyFromDataFile(r2, "C"), r);
    EXPECT_EQ(m.Count(), 2);
}

TEST(BildManager, SavesAndLoadsTheWholeList)
{
    QTemporaryDir dir;
    Manager m;
    m.AddFile(SavePicture(dir, "a.png", 20, 10));
    m.AddBitmap(std::make_unique<QImage>(QSize(5, 5), QImage::Format_RGB32));
    TMemoryStream s;
    {
        TMemoryDataFile f(s);
        m.SaveToDataFile(f, "BildManager");
    }
    s.SetPosition(0);
    TMemoryDataFile f(s);
    EXPECT_EQ(f.ReadInteger("BildManager", "Anzahl", 0), 2);
    EXPECT_EQ(f.ReadInteger("BildManager/Bild1", "FileSize", 0), 8192);
    Manager n;
    n.LoadFromDataFile(f, "BildManager");
    ASSERT_EQ(n.Count(), 2);
    EXPECT_EQ(n.Items[0]->FullBitmap, nullptr);  // decoded only when asked for
    EXPECT_EQ(n.GetFullBitmap(n.Items[1]->RefIndex)->size(), QSize(5, 5));
    EXPECT_EQ(n.GetNextRefIndex(), 2);
}

TEST(BildManager, RotatesThroughTheCornerMapping)
{
    QTemporaryDir dir;
    Manager m;
    QImage img(30, 20, QImage::Format_RGB32);
    img.fill(Qt::black);
    img.setPixel(0, 0, qRgb(255, 0, 0));  // top-left marker
    const QString path = dir.filePath("r.png");
    img.save(path);
    const int32_t r = m.AddFile(path);
    const struct { int dir; QSize size; QPoint marker; } cases[] = {
        {0, {20, 30}, {19, 0}},   // clockwise: top-left goes to the top-right
        {1, {20, 30}, {0, 29}},   // then a half turn
        {2, {30, 20}, {29, 19}},  // then anticlockwise: a half turn in all
    };
    for (const auto& c : cases) {
        m.RotatePicture(r, c.dir);
        QImage* bmp = m.GetFullBitmap(r);
        ASSERT_NE(bmp, nullptr);
        EXPECT_EQ(bmp->size(), c.size);
        EXPECT_GT(qRed(bmp->pixel(c.marker)), 200) << c.dir;
        EXPECT_EQ(bmp->format(), QImage::Format_RGB32);
    }
}

#include "DlgFilter.h"
#include "DlgRoteAugen.h"
#include "uModalDialog.h"

TEST(BildManager, FilterDialogsReplaceThePictureOnlyOnOk)
{
    QTemporaryDir dir;
    Manager m;
    const QString path = SavePicture(dir, "f.png", 60, 40);
    const int32_t r = m.AddFile(path);
    const QRgb before = m.GetFullBitmap(r)->pixel(50, 30);

    struct TRestore {
        ~TRestore() { ShowModalHook = Saved; }
        decltype(ShowModalHook) Saved = ShowModalHook;
    } restore;
    ShowModalHook = [](QDialog&) { return int(QDialog::Rejected); };
    EXPECT_FALSE(m.ShowHKIGDlg(r, 90));
    EXPECT_EQ(m.FindItem(r)->FileName, path);
    EXPECT_EQ(m.GetFullBitmap(r)->pixel(50, 30), before);

    QSize shown;
    ShowModalHook = [&](QDialog& d) {
        auto& dlg = dynamic_cast<TDlgFilterHKIG&>(d);
        dlg.Slider(0)->SetPosition(40);  // brighter
        dlg.BtnOKClick();
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(m.ShowHKIGDlg(r, 90));
    auto* it = m.FindItem(r);
    EXPECT_EQ(it->FileName, "A " + path);
    EXPECT_EQ(it->FullBitmap->size(), QSize(60, 40));  // not turned
    EXPECT_GT(qGreen(it->FullBitmap->pixel(50, 30)), qGreen(before));
    // The bytes hold the filtered picture.
    const QImage stored = QImage::fromData(it->Bytes.Memory(), int(it->Bytes.Size()));
    EXPECT_GT(qGreen(stored.pixel(50, 30)), qGreen(before) + 20);

    ShowModalHook = [&](QDialog& d) {
        auto& dlg = dynamic_cast<TDlgRoteAugen&>(d);
        shown = dlg.Picture()->size();
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(m.ShowRedEyeDlg(r, 90));
    EXPECT_EQ(shown, QSize(40, 60));                          // the dialog sees it turned
    EXPECT_EQ(m.FindItem(r)->FullBitmap->size(), QSize(60, 40));  // turned back
    EXPECT_EQ(m.FindItem(r)->FileName, "C A " + path);
    EXPECT_FALSE(m.ShowHSLDlg(12345, 0));
}
