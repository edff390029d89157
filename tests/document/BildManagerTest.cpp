#include "FBPictureElement.h"
#include "uFotobuchBildManager.h"

#include "SysUtils.h"
#include "uDataFile.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <functional>
#include <limits>
#include <thread>
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
    }
};

// An entry as a project file stores it: Bytes as "File", with the sizes given.
int32_t AddStored(TBildmanager& M, const QByteArray& Bytes, const QString& Name, int W = 0, int H = 0)
{
    TMemoryStream s;
    {
        TMemoryDataFile f(s);
        f.WriteString("Bild", "FileName", toAnsi(Name));
        f.WriteInteger("Bild", "PicWidth", W);
        f.WriteInteger("Bild", "PicHeight", H);
        f.WriteBuffer("Bild", "File", Bytes.constData(), int32_t(Bytes.size()));
    }
    s.SetPosition(0);
    TMemoryDataFile f(s);
    return M.AddItemFromDataFile(f, "Bild");
}

int DecodedCount(const TBildmanager& M)
{
    int decoded = 0;
    for (const auto& it : M.Items)
        decoded += it->FullBitmap ? 1 : 0;
    return decoded;
}

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
    EXPECT_EQ(a->Bytes().Memory()[0], 0xFF);  // JPEG
    EXPECT_EQ(a->Bytes().Memory()[1], 0xD8);
    EXPECT_EQ(b->PicWidth, 2410);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b->Bytes().Memory()) + 1, 3), "PNG");
    // The stored bytes are the reduced picture now.
    EXPECT_EQ(QImage::fromData(a->Bytes().Memory(), int(a->Bytes().Size())).size(), QSize(2410, 1607));
}

// A JPEG above the limit is held as the smooth scale of its full decode, bit
// for bit, though it is reduced while being decoded.
TEST(BildManager, LargeJpegIsHeldAsTheSmoothScaleOfItsFullDecode)
{
    QTemporaryDir dir;
    QImage img(2500, 2000, QImage::Format_RGB32);
    uint32_t seed = 5;
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            row[x] = qRgb(x / 10 + int(seed >> 28), y / 8, int(seed >> 24));
        }
    }
    const QString path = dir.filePath("grain.jpg");
    ASSERT_TRUE(img.save(path, "JPG", 90));
    Manager m;
    const QImage* held = m.GetFullBitmap(m.AddFile(path));
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->size(), QSize(2200, 1760));
    EXPECT_EQ(*held, QImage(path).convertToFormat(QImage::Format_RGB32)
                         .scaled(2200, 1760, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
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

// Decoded together as drawing would decode them one by one, the prepared
// pictures first in the list; a damaged one is left to GetFullBitmap, and no
// more are decoded than the count rule keeps.
TEST(BildManager, PreparedFullBitmapsAreThoseDrawingWouldDecode)
{
    QTemporaryDir dir;
    Manager m;
    m.MaxInMemory = 8;
    std::vector<int32_t> refs;
    for (int i = 0; i < 10; ++i) {
        refs.push_back(m.AddFile(SavePicture(dir, QString("p%1.jpg").arg(i), 300 + 40 * i, 200)));
        m.FindItem(refs.back())->RemoveGPBitmap();
    }
    const int32_t damaged = AddStored(m, QByteArray("\xFF\xD8\xFF\xE0 not a picture"), "kaputt.jpg", 30, 20);
    std::vector<int32_t> asked = {refs[3], damaged, refs[5], refs[3], 9999};
    m.PrepareFullBitmaps(asked);
    EXPECT_EQ(DecodedCount(m), 2);
    std::vector<int32_t> first;
    for (size_t i = 0; i < 3; ++i)
        first.push_back(m.Items[i]->RefIndex);
    std::sort(first.begin(), first.end());
    EXPECT_EQ(first, (std::vector<int32_t>{refs[3], refs[5], damaged}));
    EXPECT_FALSE(m.FindItem(damaged)->Undecodable);  // not tried for good yet
    for (int32_t r : {refs[3], refs[5]}) {
        auto* it = m.FindItem(r);
        const QImage prepared = *it->FullBitmap;
        it->RemoveGPBitmap();
        EXPECT_EQ(*m.GetFullBitmap(r), prepared) << r;
    }
    EXPECT_EQ(m.GetFullBitmap(damaged), nullptr);
    EXPECT_TRUE(m.FindItem(damaged)->Undecodable);

    m.PrepareFullBitmaps(refs);
    EXPECT_EQ(DecodedCount(m), 8);
}

TEST(BildManager, TrimMemoryKeepsOnlyTheMostRecentDecoded)
{
    QTemporaryDir dir;
    Manager m;
    m.MaxInMemory = 8;
    std::vector<int32_t> refs;
    for (int i = 0; i < 10; ++i)
        refs.push_back(m.AddFile(SavePicture(dir, QString("p%1.png").arg(i), 8, 8)));
    EXPECT_EQ(DecodedCount(m), 8);
    EXPECT_EQ(m.Items.back()->FullBitmap, nullptr);  // the oldest lost its bitmap

    // Little free memory: the budget sinks to 2 at once, then is reset to at least 8.
    int measured = 0;
    m.AvailableMemory = [&] {
        ++measured;
        return uint64_t(1000);
    };
    m.TrimMemory();
    EXPECT_EQ(measured, 7);
    EXPECT_EQ(m.MaxInMemory, 8);
    EXPECT_EQ(DecodedCount(m), 2);
}

// Whatever the count allows, the decoded bitmaps stay within the byte bound:
// the least recently used go first and are decoded again when asked for.
TEST(BildManager, DecodedBitmapsStayWithinTheByteBound)
{
    EXPECT_EQ(TBildmanager::MaxBytesInMemoryFor(uint64_t(64) << 30), uint64_t(384) << 20);
    EXPECT_EQ(TBildmanager::MaxBytesInMemoryFor(uint64_t(1) << 30), uint64_t(128) << 20);
    EXPECT_EQ(TBildmanager::MaxBytesInMemoryFor(uint64_t(256) << 20), uint64_t(64) << 20);

    QTemporaryDir dir;
    Manager m;
    m.MaxInMemory = 100;
    m.MaxBytesInMemory = 3 * 100 * 100 * 4;  // three pictures of 100 x 100
    std::vector<int32_t> refs;
    for (int i = 0; i < 6; ++i)
        refs.push_back(m.AddFile(SavePicture(dir, QString("p%1.png").arg(i), 100, 100)));
    EXPECT_EQ(DecodedCount(m), 3);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NE(m.FindItem(refs[5 - i])->FullBitmap, nullptr) << i;  // the last three added

    // Drawing the oldest decodes it again and drops the least recently used.
    ASSERT_NE(m.GetFullBitmap(refs[0]), nullptr);
    EXPECT_EQ(DecodedCount(m), 3);
    EXPECT_EQ(m.FindItem(refs[3])->FullBitmap, nullptr);
    EXPECT_NE(m.FindItem(refs[4])->FullBitmap, nullptr);

    // One picture larger than the bound stays while it is the one drawn.
    const int32_t big = m.AddFile(SavePicture(dir, "big.png", 400, 400));
    ASSERT_NE(m.GetFullBitmap(big), nullptr);
    EXPECT_EQ(DecodedCount(m), 1);
}

// A picture above the pixel limit is reduced and encoded anew on a thread of
// its own. Once that is done, nothing of the large original is held beside
// the decoded bitmap: the encoding keeps no copy of the pixels (an evicted
// bitmap would live on in it), and the next trim takes the new bytes in place
// of the file's, though no one has asked for them.
TEST(BildManager, FinishedEncodingsHoldNeitherPixelsNorTheFilesBytes)
{
    QTemporaryDir dir;
    Manager m;
    QImage photo(2800, 2000, QImage::Format_RGB32);
    {
        QPainter p(&photo);
        QLinearGradient g(0, 0, 2800, 2000);
        g.setColorAt(0, QColor(250, 200, 40));
        g.setColorAt(1, QColor(20, 60, 200));
        p.fillRect(photo.rect(), g);
    }
    const QString path = dir.filePath("gross.jpg");
    ASSERT_TRUE(photo.save(path, "JPEG", 95));
    const int32_t ref = m.AddFile(path);
    TBildManagerListItem* it = m.FindItem(ref);
    ASSERT_NE(it->FullBitmap, nullptr);
    ASSERT_LT(it->PicWidth, 2800);

    auto waitFor = [](const std::function<bool()>& Done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!Done() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Done();
    };
    EXPECT_TRUE(waitFor([&] { return it->FullBitmap->isDetached(); }));
    EXPECT_TRUE(waitFor([&] {
        m.TrimMemory();
        return !it->EncodingPending();
    }));
    EXPECT_LT(it->Bytes().Size(), QFileInfo(path).size());
    EXPECT_EQ(QImage::fromData(it->Bytes().Memory(), int(it->Bytes().Size())).size(), it->FullBitmap->size());
}

TEST(BildManager, UndecodablePictureIsRefusedWhenAddedAndDrawsNothingWhenStored)
{
    QTemporaryDir dir;
    Manager m;
    const QString missing = dir.filePath("nope.jpg");
    for (const QByteArray& content : {QByteArray("this is not a picture"), QByteArray()}) {
        QFile f(dir.filePath("broken.jpg"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        try {
            m.AddFile(f.fileName());
            ADD_FAILURE() << "no exception for " << content.constData();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Bild " + toAnsi(f.fileName()) + " konnte nicht geladen werden.");
        }
        EXPECT_EQ(m.Count(), 0);
    }

    // Stored in a project file: no message, nothing drawn, the sizes kept.
    const int32_t r = AddStored(m, "this is not a picture", "stored.jpg", 640, 480);
    EXPECT_EQ(m.GetFullBitmap(r), nullptr);
    EXPECT_EQ(m.GetPreviewBitmap(r), nullptr);
    EXPECT_TRUE(m.FindItem(r)->Undecodable);
    EXPECT_EQ(m.FindItem(r)->PicWidth, 640);

    // A missing file gives an empty entry.
    const int32_t gone = m.AddFile(missing);
    EXPECT_EQ(m.FindItem(gone)->Bytes().Size(), 0);
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

// A header claiming more pixels than can ever be decoded is a data error:
// one message, no retries, the budget unchanged, nothing drawn afterwards.
TEST(BildManager, PictureBeyondDecodingIsADataError)
{
    QTemporaryDir dir;
    const QByteArray huge = PngHeaderOnly(65500, 65500);
    QFile f(dir.filePath("huge.png"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(huge);
    f.close();
    Manager m;
    m.MaxInMemory = 40;
    const AnsiString message = "Bild " + toAnsi(f.fileName()) + " konnte nicht geladen werden.";
    try {
        m.AddFile(f.fileName());
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, message);
    }
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(m.MaxInMemory, 40);

    const int32_t r = AddStored(m, huge, "stored.png", 65500, 65500);
    int messages = 0;
    for (int draw = 0; draw < 3; ++draw) {
        try {
            EXPECT_EQ(m.GetFullBitmap(r), nullptr);
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Bild stored.png konnte nicht geladen werden.");
            ++messages;
        }
    }
    EXPECT_EQ(messages, 1);
    EXPECT_EQ(m.MaxInMemory, 40);
    EXPECT_EQ(m.GetPreviewBitmap(r), nullptr);
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
        other.FindItem(o)->Bytes().Memory()[40] ^= 0xFF;
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

// A picture list as a project file stores it, with the entries given by
// their place in the list; the places not given are not stored.
struct TStoredEntry {
    int Place;
    int32_t RefIndex;
    QByteArray Bytes;
};

void WriteList(TMemoryStream& S, int Count, const std::vector<TStoredEntry>& Entries)
{
    TMemoryDataFile f(S);
    f.WriteInteger("BildManager", "Anzahl", Count);
    for (const TStoredEntry& e : Entries) {
        const AnsiString section = "BildManager/Bild" + IntToStr(e.Place);
        f.WriteString(section, "FileName", section);
        f.WriteInteger(section, "RefCount", 1);
        f.WriteInteger(section, "RefIndex", e.RefIndex);
        f.WriteBuffer(section, "File", e.Bytes.constData(), int32_t(e.Bytes.size()));
    }
}

// A list whose middle entry is not stored: the entries after it are read
// with their own numbers, and the gap becomes an empty entry whose number
// hides none of them, so that the next save keeps every picture.
TEST(BildManager, LoadsEveryEntryUpToTheCountAcrossAMissingOne)
{
    QTemporaryDir dir;
    const auto pictureBytes = [&](const char* name, int w, int h) {
        QFile file(SavePicture(dir, QString::fromLatin1(name), w, h));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    };
    const QByteArray first = pictureBytes("a.png", 20, 10);
    const QByteArray last = pictureBytes("b.png", 7, 9);
    const auto load = [](TMemoryStream& stream, Manager& into) {
        stream.SetPosition(0);
        TMemoryDataFile f(stream);
        into.LoadFromDataFile(f, "BildManager");
    };
    TMemoryStream s;
    WriteList(s, 3, {{0, 3, first}, {2, 0, last}});
    Manager m;
    load(s, m);
    ASSERT_EQ(m.Count(), 3);
    ASSERT_NE(m.GetFullBitmap(0), nullptr);
    EXPECT_EQ(m.GetFullBitmap(0)->size(), QSize(7, 9));
    ASSERT_NE(m.GetFullBitmap(3), nullptr);
    EXPECT_EQ(m.GetFullBitmap(3)->size(), QSize(20, 10));
    const auto gap = std::find_if(m.Items.begin(), m.Items.end(), [](const auto& it) { return it->FileName.isEmpty(); });
    ASSERT_NE(gap, m.Items.end());
    EXPECT_EQ((*gap)->RefIndex, 4);
    EXPECT_EQ((*gap)->RefCount, 0);
    EXPECT_EQ((*gap)->Bytes().Size(), 0);
    EXPECT_EQ(m.GetFullBitmap(4), nullptr);  // draws nothing

    TMemoryStream again;
    {
        TMemoryDataFile f(again);
        m.SaveToDataFile(f, "BildManager");
    }
    Manager n;
    load(again, n);
    ASSERT_EQ(n.Count(), 3);
    ASSERT_NE(n.FindItem(0), nullptr);
    EXPECT_EQ(n.FindItem(0)->Bytes().Size(), last.size());
    EXPECT_EQ(n.FindItem(3)->Bytes().Size(), first.size());

    // Stored numbers that reach the highest there is: the gaps take the
    // lowest free ones.
    TMemoryStream top;
    WriteList(top, 4, {{1, std::numeric_limits<int32_t>::max(), first}, {3, 1, last}});
    Manager t;
    load(top, t);
    ASSERT_EQ(t.Count(), 4);
    std::vector<int32_t> numbers;
    for (const auto& it : t.Items)
        numbers.push_back(it->RefIndex);
    EXPECT_EQ(numbers, (std::vector<int32_t>{0, std::numeric_limits<int32_t>::max(), 2, 1}));
    // A picture added then takes the lowest free number too.
    QImage added(4, 4, QImage::Format_RGB32);
    added.fill(Qt::red);
    EXPECT_EQ(t.AddBitmap(std::make_unique<QImage>(added)), 3);
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
    int32_t r = m.AddFile(path);
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
    const QImage stored = QImage::fromData(it->Bytes().Memory(), int(it->Bytes().Size()));
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
    int32_t missing = 12345;
    EXPECT_FALSE(m.ShowHSLDlg(missing, 0));
}

#include "Application.h"
#include "Printers.h"

#include <QPrinter>

TEST(BildManager, StaticCleanupsEmptyTheGlobalManagerAndFreeThePrinter)
{
    BildManager().Clear();
    auto picture = std::make_unique<QImage>(8, 8, QImage::Format_RGB32);
    picture->fill(Qt::red);
    BildManager().AddBitmap(std::move(picture));
    ASSERT_EQ(BildManager().Count(), 1);
    const TDeviceMode mode = Printer().DevMode();
    Printer().Device();
    RunStaticCleanups();
    EXPECT_EQ(BildManager().Count(), 0);
    // The printer keeps its settings and makes its device again on use.
    EXPECT_TRUE(Printer().DevMode().ToBytes() == mode.ToBytes());
    EXPECT_GT(Printer().Device().resolution(), 0);
}

#include "../common/OrientedJpeg.h"
#include "../common/PlaceElement.h"
#include "Canvas.h"
#include "uBitmapDrawContext.h"
#include "uDocDrawer.h"
#include "uFotobuchDocument.h"

// A camera's orientation is applied when a picture is added: the stored
// picture, its preview and the drawn frame are upright, width and height
// exchanged where the camera turned; a picture needing no turn keeps its own
// bytes. Large pictures are decoded scaled, reduced and turned alike.
TEST(BildManager, CameraOrientationIsAppliedWhenAPictureIsAdded)
{
    using namespace orientedjpeg;
    QTemporaryDir dir;
    Manager m;
    struct Case {
        int orientation;
        QSize shown, stored;
    } cases[] = {
        {1, {64, 48}, {64, 48}}, {2, {64, 48}, {64, 48}}, {3, {64, 48}, {64, 48}},
        {4, {64, 48}, {64, 48}}, {5, {64, 48}, {64, 48}}, {6, {64, 48}, {64, 48}},
        {7, {64, 48}, {64, 48}}, {8, {64, 48}, {64, 48}},
        {6, {5000, 3500}, {2352, 1646}},  // 17.5 MP: reduced and turned
        {3, {5000, 3500}, {2352, 1646}},
    };
    for (const Case& c : cases) {
        const QString what = QString("orientation %1, %2 x %3").arg(c.orientation).arg(c.shown.width()).arg(c.shown.height());
        const QByteArray jpeg = Make(Upright(c.shown.width(), c.shown.height()), c.orientation);
        const QString path = dir.filePath(QString("o%1_%2.jpg").arg(c.orientation).arg(c.shown.width()));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(jpeg);
        f.close();

        const int32_t r = m.AddFile(path);
        auto* it = m.FindItem(r);
        ASSERT_NE(it, nullptr) << qPrintable(what);
        EXPECT_EQ(QSize(it->PicWidth, it->PicHeight), c.stored) << qPrintable(what);
        const QByteArray stored(reinterpret_cast<const char*>(it->Bytes().Memory()), qsizetype(it->Bytes().Size()));
        const QImage bytes = QImage::fromData(stored);  // as any reader shows it, orientation ignored
        EXPECT_EQ(bytes.size(), c.stored) << qPrintable(what);
        EXPECT_TRUE(IsUpright(bytes)) << qPrintable(what);
        EXPECT_EQ(stored == jpeg, c.orientation == 1 && c.shown == c.stored) << qPrintable(what);
        EXPECT_TRUE(IsUpright(*m.GetPreviewBitmap(r))) << qPrintable(what);
        it->RemoveGPBitmap();
        EXPECT_TRUE(IsUpright(*m.GetFullBitmap(r))) << qPrintable(what);  // decoded again as stored

        // The frame of the picture's proportions, drawn at 2 pixels per millimetre.
        TFBDocument doc;
        doc.PageWidth = 100;
        doc.PageHeight = 100;
        doc.SetPictureShadows(false);
        doc.Pages.Add(std::make_unique<TFBPage>(&doc));
        TFBPage* page = doc.Pages.GetPage(0);
        auto* frame = PlaceElement<TFBPictureElement>(page->Pictures, page, 50, 50, 64, 48);
        frame->LoadPictureFromFile(path);
        TBitmap bitmap;
        bitmap.SetSize(200, 200);
        TBitmapDrawContext dc(bitmap);
        dc.Transformation->ScaleUniform(2);
        DocumentDrawer().DrawPage(*page, dc, 0, false);
        EXPECT_TRUE(IsUpright(bitmap.Image().copy(38, 54, 124, 92))) << qPrintable(what);
        m.Release(r);
    }
}

// Pictures stored in a project file are read as their bytes are, whatever
// orientation they record.
TEST(BildManager, StoredPicturesIgnoreTheOrientationTheyRecord)
{
    using namespace orientedjpeg;
    Manager m;
    const QByteArray sideways = Make(Upright(64, 48), 6);
    const int32_t r = AddStored(m, sideways, "alt.jpg", 48, 64);
    const QImage* bmp = m.GetFullBitmap(r);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->size(), QSize(48, 64));
    EXPECT_FALSE(IsUpright(*bmp));
    EXPECT_EQ(m.FindItem(r)->Bytes().Size(), sideways.size());
}
