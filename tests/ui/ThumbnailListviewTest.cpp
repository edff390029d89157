#include "../common/Latin1Folder.h"
#include "Graphics.h"
#include "SsNamespace.h"
#include "SsContextMenu.h"
#include "SsShellItem.h"
#include "SysUtils.h"
#include "uShellTreeViewEx.h"
#include "uThumbnailListview.h"
#include "ulocalize.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QToolTip>
#include <QScrollBar>
#include <QStandardPaths>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <functional>
#include <iostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void WritePicture(const QString& Path, int W, int H, QColor Colour, const char* Format = nullptr)
{
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(Colour);
    ASSERT_TRUE(img.save(Path, Format));
}

void WriteFile(const QString& Path, const QByteArray& Bytes)
{
    QFile f(Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Bytes);
}

// Records the item index of every finished-thumbnail notice the list gets.
class TDoneSpy : public QObject {
public:
    std::vector<int> Indices;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == ThumbnailDoneEventType)
            Indices.push_back(static_cast<TThumbnailDoneEvent*>(e)->WParam);
        return false;
    }
};

struct ListFixture {
    QWidget window;
    TThumbnailListview* list;
    TDoneSpy spy;
    ListFixture()
    {
        list = new TThumbnailListview(&window);
        list->installEventFilter(&spy);
        list->resize(240, 400);
        window.resize(260, 420);
        window.show();
        QApplication::processEvents();
    }
    void Show(const QString& Folder)
    {
        PSsIdList pidl = SsPathToIdList(Folder);
        ASSERT_TRUE(pidl);
        list->ShowFolder(pidl.get());
    }
    // Selects the items 20 and 21, makes 21 current and scrolls half way
    // down: the scroll position.
    int SelectTwoAndScrollHalfWay()
    {
        list->item(20)->setSelected(true);
        list->item(21)->setSelected(true);
        list->setCurrentItem(list->item(21), QItemSelectionModel::NoUpdate);
        QScrollBar* bar = list->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        return bar->value();
    }
    // Lets the worker finish and delivers its notices.
    void Finish()
    {
        if (list->Thread())
            list->Thread()->wait();
        QApplication::processEvents();
    }
    QStringList Names() const
    {
        QStringList names;
        for (int i = 0; i < list->PicList().Count(); ++i)
            names << list->PicList().Items(i)->ShellItem->DisplayName;
        return names;
    }
    TPicData* Pic(const QString& Name) const
    {
        for (int i = 0; i < list->PicList().Count(); ++i)
            if (list->PicList().Items(i)->ShellItem->DisplayName == Name)
                return list->PicList().Items(i);
        return nullptr;
    }
};

}  // namespace

TEST(ThumbnailListview, FitSizeKeepsProportionsAndSmallPictures)
{
    struct Case {
        int w, h, boxW, boxH, fitW, fitH;
    } cases[] = {
        {200, 100, 92, 92, 92, 46},   // wider than the box
        {100, 200, 92, 92, 46, 92},   // taller: the height is limited second
        {300, 93, 92, 92, 92, 29},    // 93 * 92 / 300 = 28.52 rounds up
        {200, 200, 92, 50, 50, 50},   // the box's height rules
        {50, 60, 92, 92, 50, 60},     // smaller than the box: own size
        {92, 92, 92, 92, 92, 92},
        {93, 10, 92, 92, 92, 10},
    };
    for (const Case& c : cases) {
        int32_t w = c.w, h = c.h;
        FitSize(w, h, c.boxW, c.boxH);
        EXPECT_EQ(w, c.fitW) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.fitH) << c.w << "x" << c.h;
    }
}

TEST(ThumbnailListview, ListsSupportedPicturesSortedByName)
{
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    WritePicture(d + "c.Png", 10, 10, Qt::red);
    WritePicture(d + "a.JPG", 10, 10, Qt::red, "JPG");
    WritePicture(d + "B.jpeg", 10, 10, Qt::red, "JPG");
    WritePicture(d + "e.bmp", 10, 10, Qt::red);
    WritePicture(d + "f.gif", 10, 10, Qt::red, "PNG");
    WritePicture(d + "g.tif", 10, 10, Qt::red, "PNG");
    WriteFile(d + "d.psd", "8BPS");
    WriteFile(d + "h.tiff", "x");
    WriteFile(d + "readme.txt", "x");
    WriteFile(d + "noext", "x");
    ASSERT_TRUE(QDir(d).mkdir("sub.png"));  // a folder is never listed

    ListFixture f;
    f.Show(dir.path());
    EXPECT_EQ(f.Names(), QStringList({"a.JPG", "B.jpeg", "c.Png", "e.bmp", "f.gif", "g.tif"}));
    ASSERT_EQ(f.list->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(f.list->PicList().Items(i)->Index, i);
        EXPECT_EQ(f.list->PicDataOf(f.list->item(i)), f.list->PicList().Items(i));
    }
    EXPECT_EQ(f.list->item(1)->text(), "B.jpeg");

    // Ctrl+A selects everything; the paths come in list order.
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(f.list, &ctrlA);
    QStringList paths;
    f.list->GetSelectedPaths(paths);
    EXPECT_EQ(paths.size(), 6);
    f.list->clearSelection();
    f.list->item(4)->setSelected(true);
    f.list->item(1)->setSelected(true);
    paths = QStringList{"kept"};
    f.list->GetSelectedPaths(paths);
    EXPECT_EQ(paths, QStringList({"kept", d + "B.jpeg", d + "f.gif"}));
    f.Finish();
}

TEST(ThumbnailListview, LongNamesAreCutToTheThumbnailWidth)
{
    QTemporaryDir dir;
    const QString name = "ein sehr langer Dateiname eines Urlaubsbildes.png";
    WritePicture(dir.path() + "/" + name, 10, 10, Qt::red);
    ListFixture f;
    f.Show(dir.path());
    ASSERT_EQ(f.list->count(), 1);
    const QString caption = f.list->item(0)->text();
    EXPECT_NE(caption, name);
    EXPECT_TRUE(name.startsWith(caption.left(caption.size() - 1)));
    EXPECT_LE(f.list->fontMetrics().horizontalAdvance(caption), f.list->ThumbSize());
    f.Finish();
}

TEST(ThumbnailListview, EmptyFolderShowsItsText)
{
    QTemporaryDir dir;
    WriteFile(dir.path() + "/notes.txt", "x");
    ListFixture f;
    f.Show(dir.path());
    EXPECT_EQ(f.list->count(), 0);
    EXPECT_EQ(LocalizedDefaultString(QString::fromUtf8(sKeinBild)),
              QString::fromUtf8("Kein Bild im ausgewählten Verzeichnis"));
    const QImage shot = f.list->viewport()->grab().toImage();
    int dark = 0;
    for (int y = 10; y < 30; ++y)
        for (int x = 10; x < 200; ++x)
            dark += qGray(shot.pixel(x, y)) < 128;
    EXPECT_GT(dark, 50);  // the text is written at (10, 10)
    int elsewhere = 0;
    for (int y = 60; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            elsewhere += qGray(shot.pixel(x, y)) < 128;
    EXPECT_EQ(elsewhere, 0);
    // In a narrow list the text is wrapped instead of running past the edge.
    f.list->resize(120, f.list->height());
    QCoreApplication::processEvents();
    const QImage narrow = f.list->viewport()->grab().toImage();
    int beyond = 0, below = 0;
    for (int y = 0; y < narrow.height(); ++y)
        for (int x = 0; x < narrow.width(); ++x) {
            const bool ink = qGray(narrow.pixel(x, y)) < 128;
            beyond += ink && x >= narrow.width() - 8;
            below += ink && y >= 30;
        }
    EXPECT_EQ(beyond, 0);
    EXPECT_GT(below, 20);
    f.Finish();
}

TEST(ThumbnailListview, WorkerMakesThumbnailsAndReportsEach)
{
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    WritePicture(d + "a_wide.png", 400, 200, QColor(200, 0, 0));
    WritePicture(d + "b_small.jpg", 50, 60, QColor(0, 0, 200), "JPG");
    WriteFile(d + "c_broken.jpg", QByteArray(300, 'x'));

    ListFixture f;
    f.Show(dir.path());
    f.Finish();

    TPicData* wide = f.Pic("a_wide.png");
    TPicData* small = f.Pic("b_small.jpg");
    TPicData* broken = f.Pic("c_broken.jpg");
    ASSERT_TRUE(wide && small && broken);
    ASSERT_TRUE(wide->Thumbnail());
    EXPECT_EQ(wide->Thumbnail()->size(), QSize(92, 46));
    EXPECT_EQ(wide->Width.load(), 400);
    EXPECT_EQ(wide->Height.load(), 200);
    ASSERT_TRUE(small->Thumbnail());
    EXPECT_EQ(small->Thumbnail()->size(), QSize(50, 60));  // smaller than the box: own size
    EXPECT_EQ(small->PixelFormat.load(), 0x21808);
    // A damaged file is done with, without thumbnail, and keeps its 0 x 0.
    EXPECT_TRUE(broken->ThumbnailDone());
    EXPECT_EQ(broken->Thumbnail(), nullptr);
    EXPECT_EQ(broken->Width.load(), 0);

    std::vector<int> reported = f.spy.Indices;
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported, std::vector<int>({0, 1, 2}));

    // Painting: the thumbnail centred in the square, framed in the shadow colour.
    const QImage shot = f.list->viewport()->grab().toImage();
    const QRect item0 = f.list->visualItemRect(f.list->item(0));
    const QRect icon = f.list->IconRect().translated(item0.topLeft());
    const QPoint centre = icon.center();
    EXPECT_EQ(QColor(shot.pixel(centre)).red(), 200);
    const QPoint topLeft(item0.left() + (icon.width() - 92) / 2, icon.top() + (icon.height() - 46) / 2);
    EXPECT_EQ(shot.pixel(topLeft + QPoint(-1, 10)), toQColor(clBtnShadow).rgb());
    EXPECT_EQ(shot.pixel(topLeft + QPoint(-1, -3)), qRgb(255, 255, 255));

    // The hint: name, size in bytes, date, picture size.
    const QStringList hint = f.list->HintText(0).split('\n');
    ASSERT_EQ(hint.size(), 4);
    EXPECT_EQ(hint[0], "a_wide.png");
    EXPECT_EQ(hint[1], fromAnsi(Format("%.0n", {double(QFileInfo(d + "a_wide.png").size())})) + " Bytes");
    EXPECT_FALSE(hint[2].isEmpty());
    EXPECT_EQ(hint[3], "400x200");
    EXPECT_EQ(f.list->HintText(2).split('\n').value(3), "0x0");

    // The hint is shown over an item; over empty space none is prepared.
    const auto help = [&](QPoint At) {
        QHelpEvent e(QEvent::ToolTip, At, f.list->viewport()->mapToGlobal(At));
        QApplication::sendEvent(f.list->viewport(), &e);
        return e.isAccepted();
    };
    EXPECT_TRUE(help(item0.center()));
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().startsWith("a_wide.png\n"));
    EXPECT_FALSE(help(QPoint(f.list->viewport()->width() - 3, f.list->viewport()->height() - 3)));
}

// Pictures in a folder whose name is no UTF-8 (as on old memory cards) get
// their thumbnails.
TEST(ThumbnailListview, PicturesInAFolderNamedInLatin1GetThumbnails)
{
    const TLatin1Folder latin1;
    ASSERT_TRUE(latin1.Made);
    const QByteArray& folder = latin1.Path;
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage img(40, 30, QImage::Format_RGB32);
        img.fill(QColor(0, 150, 0));
        ASSERT_TRUE(img.save(&buffer, "PNG"));
    }
    const int fd = ::open((folder + "/a.png").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, png.constData(), size_t(png.size())), ssize_t(png.size()));
    ::close(fd);

    ListFixture f;
    PSsIdList pidl = SsNativePathToIdList(folder);
    ASSERT_TRUE(pidl);
    f.list->ShowFolder(pidl.get());
    f.Finish();
    TPicData* pic = f.Pic("a.png");
    ASSERT_NE(pic, nullptr);
    ASSERT_NE(pic->Thumbnail(), nullptr);
    EXPECT_EQ(pic->Thumbnail()->size(), QSize(40, 30));
}

TEST(ThumbnailListview, MakeThumbnailOfALargeBoxIsArgb)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/p.png";
    WritePicture(path, 600, 300, Qt::green);
    TSsShellEnumerator enumerator;
    enumerator.SetRootFolder(dir.path());
    enumerator.Execute();
    ASSERT_EQ(enumerator.ItemList.GetCount(), 1);
    TPicData big, small;
    big.ShellItem = small.ShellItem = enumerator.ItemList.GetItem(0);
    TThumbLoadThread::MakeThumbnail(big, 200, 200);
    TThumbLoadThread::MakeThumbnail(small, 128, 128);
    ASSERT_TRUE(big.Thumbnail() && small.Thumbnail());
    EXPECT_EQ(big.Thumbnail()->size(), QSize(200, 100));
    EXPECT_EQ(big.Thumbnail()->format(), QImage::Format_ARGB32);
    EXPECT_EQ(small.Thumbnail()->size(), QSize(128, 64));
    EXPECT_EQ(big.PixelFormat.load(), 0x21808);
}

// A clip-art picture of 16 bits per channel, red with soft edges, shows in
// red and white only, also in a small box.
TEST(ThumbnailListview, SixteenBitPictureWithSoftEdgesKeepsItsColours)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/herz.png";
    QImage art(200, 200, QImage::Format_RGBA64);
    art.fill(Qt::transparent);
    {
        QPainter p(&art);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(139, 0, 0), 6));
        p.setBrush(Qt::red);
        p.drawEllipse(QRectF(20, 30, 160, 140));
    }
    ASSERT_TRUE(art.save(path, "PNG"));
    ASSERT_EQ(QImage(path).depth(), 64);
    TSsShellEnumerator enumerator;
    enumerator.SetRootFolder(dir.path());
    enumerator.Execute();
    ASSERT_EQ(enumerator.ItemList.GetCount(), 1);
    TPicData data;
    data.ShellItem = enumerator.ItemList.GetItem(0);
    TThumbLoadThread::MakeThumbnail(data, 92, 92);
    ASSERT_TRUE(data.Thumbnail());
    QImage shown(92, 92, QImage::Format_ARGB32);
    shown.fill(Qt::white);
    {
        QPainter p(&shown);
        p.drawImage(0, 0, *data.Thumbnail());
    }
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb c = shown.pixel(x, y);
            wrong += qRed(c) + 2 < qGreen(c) || qRed(c) + 2 < qBlue(c);
        }
    EXPECT_EQ(wrong, 0);
}

namespace {

// A folder of many pictures that each take a while to decode.
struct ManyPictures {
    QTemporaryDir dir;
    int count;
    explicit ManyPictures(int Count) : count(Count)
    {
        const QString first = dir.path() + "/p0000.jpg";
        QImage img(1600, 1200, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgb((x * 7) & 255, (y * 3) & 255, (x ^ y) & 255));
        img.save(first, "JPG", 95);
        for (int i = 1; i < Count; ++i)
            QFile::copy(first, dir.path() + QString::asprintf("/p%04d.jpg", i));
    }
};

}  // namespace

TEST(ThumbnailListview, VisibleItemsAreMadeFirst)
{
    // One worker, so that the order of the notices is the order of the stack.
    ManyPictures pics(300);
    ListFixture f;
    f.list->ThumbnailWorkers = 1;
    f.Show(pics.dir.path());
    ASSERT_EQ(f.list->count(), 300);
    // Scroll to the end and paint: the items in view go to the front.
    f.list->verticalScrollBar()->setValue(f.list->verticalScrollBar()->maximum());
    f.list->viewport()->grab();
    std::vector<int> visible;
    for (int i = 0; i < f.list->count(); ++i)
        if (f.list->visualItemRect(f.list->item(i)).intersects(f.list->viewport()->rect()))
            visible.push_back(i);
    ASSERT_FALSE(visible.empty());
    ASSERT_GT(visible.front(), 150);
    f.Finish();

    const std::vector<int>& order = f.spy.Indices;
    ASSERT_EQ(order.size(), 300u);
    const auto position = [&](int index) {
        return std::find(order.begin(), order.end(), index) - order.begin();
    };
    for (int v : visible)
        EXPECT_LT(position(v), position(150)) << "item " << v;
}

TEST(ThumbnailListview, AnotherFolderStopsTheWorkerFirst)
{
    ManyPictures pics(200);
    QTemporaryDir other;
    WritePicture(other.path() + "/x.png", 30, 20, Qt::blue);

    ListFixture f;
    f.Show(pics.dir.path());
    TThumbLoadThread* first = f.list->Thread();
    ASSERT_TRUE(first && first->isRunning());
    std::atomic<bool> firstEnded{false};
    QObject::connect(first, &QThread::finished, first, [&] { firstEnded = true; }, Qt::DirectConnection);
    f.Show(other.path());
    EXPECT_TRUE(firstEnded);  // waited for before the list was refilled
    EXPECT_NE(f.list->Thread(), nullptr);
    // Notices of the old worker still queued refer to indices the new list
    // does not have; they are ignored.
    f.Finish();
    ASSERT_EQ(f.list->count(), 1);
    ASSERT_TRUE(f.list->PicList().Items(0)->Thumbnail());
    EXPECT_EQ(f.list->PicList().Items(0)->Thumbnail()->size(), QSize(30, 20));
}

TEST(ThumbnailListview, PrioritisingAWaitingItemMovesItWithoutCopies)
{
    ManyPictures pics(300);
    ListFixture f;
    f.Show(pics.dir.path());
    TThumbLoadThread* worker = f.list->Thread();
    ASSERT_TRUE(worker);
    TPicData* last = f.list->PicList().Items(299);
    // Every paint prioritises the items in view: the stack never grows.
    int before = worker->Count();
    for (int i = 0; i < 100; ++i) {
        worker->Prioritize(last);
        worker->Prioritize(f.list->PicList().Items(298));
        const int now = worker->Count();
        EXPECT_LE(now, before);
        before = now;
    }
    f.Finish();
    EXPECT_EQ(worker->Count(), 0);
    // Each item was made and reported once.
    std::vector<int> reported = f.spy.Indices;
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(std::adjacent_find(reported.begin(), reported.end()), reported.end());
    EXPECT_EQ(reported.size(), 300u);
}

TEST(ThumbnailListview, StoppedReadLeavesTheItemUntried)
{
    QTemporaryDir dir;
    WritePicture(dir.path() + "/big.png", 3000, 2000, Qt::red);
    TSsShellEnumerator enumerator;
    enumerator.SetRootFolder(dir.path());
    enumerator.Execute();
    ASSERT_EQ(enumerator.ItemList.GetCount(), 1);
    TPicData data;
    data.ShellItem = enumerator.ItemList.GetItem(0);
    // A stop request makes the file's reads fail: the decode is cut short and
    // the item is neither given a thumbnail nor taken for a damaged file.
    const std::atomic<bool> stop{true};
    TThumbLoadThread::MakeThumbnail(data, 92, 92, &stop);
    EXPECT_FALSE(data.ThumbnailDone());
    const std::atomic<bool> go{false};
    TThumbLoadThread::MakeThumbnail(data, 92, 92, &go);
    ASSERT_TRUE(data.Thumbnail());
    EXPECT_EQ(data.Thumbnail()->size(), QSize(92, 61));
}

TEST(ThumbnailListview, UnreadableFolderLeavesTheListEmpty)
{
    QTemporaryDir dir;
    WritePicture(dir.path() + "/a.png", 10, 10, Qt::red);
    ListFixture f;
    f.Show(dir.path());
    f.Finish();
    ASSERT_EQ(f.list->count(), 1);
    PSsIdList gone = SsPathToIdList(dir.path() + "/missing");
    ASSERT_TRUE(gone);
    EXPECT_THROW(f.list->ShowFolder(gone.get()), ESsInvalidFolder);
    EXPECT_EQ(f.list->count(), 0);
    EXPECT_EQ(f.list->PicList().Count(), 0);
    f.list->viewport()->grab();  // paints without touching freed items
    f.list->ShowFolder(nullptr);
    EXPECT_EQ(f.list->count(), 0);
}

TEST(ShellTreeViewEx, SelectsFoldersByListAndSpecialFolder)
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(docs + "/Urlaub"));
    QWidget window;
    auto* tree = new TShellTreeViewEx(&window);
    window.show();
    tree->SelectSpecialFolder(sfPersonal);
    EXPECT_EQ(QDir(tree->SelectedPath()).canonicalPath(), QDir(docs).canonicalPath());
    PSsIdList sub = SsPathToIdList(docs + "/Urlaub");
    EXPECT_TRUE(tree->SelectPidl(sub.get()));
    EXPECT_EQ(tree->currentItem()->text(0), "Urlaub");
    EXPECT_EQ(QDir(tree->SelectedPath()).canonicalPath(), QDir(docs + "/Urlaub").canonicalPath());
    // A special folder without counterpart here selects nothing new.
    tree->SelectSpecialFolder(sfPrinters);
    EXPECT_EQ(tree->currentItem()->text(0), "Urlaub");
}

TEST(ThumbnailListview, HintLinesAreWrappedToTheListWidth)
{
    const QFontMetrics metrics(QApplication::font());
    const QString name = "Sommerurlaub am Meer mit der ganzen Familie.jpg";
    const int width = metrics.horizontalAdvance("Sommerurlaub am") + 2;
    const QString wrapped = WrapTextToWidth(name + "\n12.345 Bytes", metrics, width);
    const QStringList lines = wrapped.split('\n');
    ASSERT_GT(lines.size(), 3);
    EXPECT_EQ(lines.front(), "Sommerurlaub am");
    EXPECT_EQ(lines.back(), "12.345 Bytes");
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), width) << line.toStdString();
    EXPECT_EQ(QString(wrapped).remove('\n').remove(' '), QString(name + "12.345 Bytes").remove(' '));
    // A name without blanks is broken inside; a narrow width still makes progress.
    EXPECT_EQ(WrapTextToWidth("abcdef", metrics, 1), "a\nb\nc\nd\ne\nf");
    EXPECT_EQ(WrapTextToWidth("kurz", metrics, 500), "kurz");
}

#include "../common/OrientedJpeg.h"

// Thumbnails and the sizes of the hint follow the orientation a camera recorded.
TEST(ThumbnailListview, ThumbnailsAndSizesFollowTheCameraOrientation)
{
    using namespace orientedjpeg;
    QTemporaryDir dir;
    for (int o = 1; o <= 8; ++o)
        WriteFile(dir.path() + QString("/o%1.jpg").arg(o), Make(Upright(160, 120), o));
    TSsShellEnumerator enumerator;
    enumerator.SetRootFolder(dir.path());
    enumerator.Execute();
    ASSERT_EQ(enumerator.ItemList.GetCount(), 8);
    for (int i = 0; i < 8; ++i) {
        TPicData data;
        data.ShellItem = enumerator.ItemList.GetItem(i);
        TThumbLoadThread::MakeThumbnail(data, 100, 60);
        const QString what = data.ShellItem->DisplayName;
        ASSERT_TRUE(data.Thumbnail()) << qPrintable(what);
        EXPECT_EQ(data.Thumbnail()->size(), QSize(80, 60)) << qPrintable(what);
        EXPECT_TRUE(IsUpright(*data.Thumbnail())) << qPrintable(what);
        EXPECT_EQ(QSize(data.Width.load(), data.Height.load()), QSize(160, 120)) << qPrintable(what);
    }
}

namespace {
// Runs the event loop until Done holds or the generous limit is up.
bool WaitFor(const std::function<bool()>& Done, int Ms = 15000)
{
    QElapsedTimer t;
    t.start();
    while (!Done() && t.elapsed() < Ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
}

// A picture file written at Path (the system's bytes).
void WritePictureBytes(const QByteArray& Path, QSize Size, QColor Colour)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage img(Size, QImage::Format_RGB32);
    img.fill(Colour);
    ASSERT_TRUE(img.save(&buffer, "PNG"));
    // Written under another name and renamed, as a program that saves does.
    const QByteArray temporary = Path + ".part";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, png.constData(), size_t(png.size())), ssize_t(png.size()));
    ::close(fd);
    ASSERT_EQ(::rename(temporary.constData(), Path.constData()), 0);
}

QStringList SelectedNames(const TThumbnailListview& List)
{
    QStringList names;
    for (QListWidgetItem* it : List.selectedItems())
        names << List.PicDataOf(it)->ShellItem->DisplayName;
    names.sort();
    return names;
}
}  // namespace

// Names that are no UTF-8 are shown in the language's code page in the
// labels and hints; the paths the list hands on keep their bytes.
TEST(ThumbnailListview, NamesThatAreNoUtf8AreShownInTheLanguagesCodePage)
{
    const int32_t saved = FileNameCodePage();
    SetFileNameCodePage(1252);
    const TLatin1Folder latin1;
    ASSERT_TRUE(latin1.Made);
    const QByteArray file = latin1.Path + "/\xe9t\xe9.png";
    WritePictureBytes(file, QSize(20, 10), Qt::red);
    ListFixture f;
    PSsIdList pidl = SsNativePathToIdList(latin1.Path);
    ASSERT_TRUE(pidl);
    f.list->ShowFolder(pidl.get());
    f.Finish();
    ASSERT_EQ(f.list->count(), 1);
    EXPECT_EQ(f.list->item(0)->text(), QString::fromUtf8("été.png"));
    EXPECT_TRUE(f.list->HintText(0).startsWith(QString::fromUtf8("été.png\n"))) << f.list->HintText(0).toStdString();
    f.list->item(0)->setSelected(true);
    EXPECT_EQ(f.list->SelectedNativePaths(), QList<QByteArray>({file}));
    QStringList paths;
    f.list->GetSelectedPaths(paths);
    ASSERT_EQ(paths.size(), 1);
    EXPECT_EQ(EncodeFileName(paths[0]), file);
    SetFileNameCodePage(saved);
}

// Another program adds, removes, renames and rewrites pictures in the shown
// folder: the list follows, keeping the selection, the scroll position and
// the thumbnails of the pictures that stayed as they were.
TEST(ThumbnailListview, FollowsItsFolder)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    auto name = [](int i) { return QString::asprintf("p%02d.png", i); };
    for (int i = 0; i < 30; ++i)
        WritePictureBytes(folder + '/' + QFile::encodeName(name(i)), QSize(40, 30), QColor(8 * i, 100, 0));
    ListFixture f;
    f.Show(dir.path());
    f.Finish();
    ASSERT_EQ(f.list->count(), 30);
    const int scrolled = f.SelectTwoAndScrollHalfWay();
    QScrollBar* bar = f.list->verticalScrollBar();
    ASSERT_GT(scrolled, 0);
    const qint64 kept = f.Pic(name(3))->Thumbnail()->cacheKey();

    QElapsedTimer clock;
    clock.start();
    WritePictureBytes(folder + "/neu.png", QSize(16, 12), Qt::blue);
    ASSERT_EQ(::unlink((folder + "/p05.png").constData()), 0);
    ASSERT_EQ(::rename((folder + "/p07.png").constData(), (folder + "/q07.png").constData()), 0);
    WritePictureBytes(folder + "/p10.png", QSize(60, 20), Qt::yellow);
    auto names = [&] { return f.Names(); };
    ASSERT_TRUE(WaitFor([&] { return names().contains("neu.png") && !names().contains("p05.png") &&
                                     names().contains("q07.png") && !names().contains("p07.png"); }))
        << names().join(',').toStdString();
    std::cout << "followed in " << clock.elapsed() << " ms\n";
    EXPECT_EQ(f.list->count(), 30);
    EXPECT_EQ(SelectedNames(*f.list), QStringList({name(20), name(21)}));
    ASSERT_NE(f.list->currentItem(), nullptr);
    EXPECT_EQ(f.list->PicDataOf(f.list->currentItem())->ShellItem->DisplayName, name(21));
    EXPECT_EQ(bar->value(), scrolled);
    // Kept, not made again; the rewritten picture and the new ones are made.
    ASSERT_NE(f.Pic(name(3))->Thumbnail(), nullptr);
    EXPECT_EQ(f.Pic(name(3))->Thumbnail()->cacheKey(), kept);
    f.Finish();
    ASSERT_NE(f.Pic("neu.png")->Thumbnail(), nullptr);
    EXPECT_EQ(f.Pic("neu.png")->Thumbnail()->size(), QSize(16, 12));
    ASSERT_NE(f.Pic(name(10))->Thumbnail(), nullptr);
    EXPECT_EQ(f.Pic(name(10))->Thumbnail()->size(), QSize(60, 20));
    ASSERT_NE(f.Pic("q07.png")->Thumbnail(), nullptr);

    // The folder itself renamed: the list goes with it.
    const QByteArray moved = folder + "-moved";
    ASSERT_EQ(::rename(folder.constData(), moved.constData()), 0);
    WritePictureBytes(moved + "/danach.png", QSize(8, 8), Qt::green);
    const bool followed = WaitFor([&] { return names().contains("danach.png"); });
    ::rename(moved.constData(), folder.constData());
    ASSERT_TRUE(followed) << names().join(',').toStdString();
    f.Finish();
    EXPECT_EQ(f.Pic("danach.png")->ShellItem->NativePath(), moved + "/danach.png");
}

// A running import sends a notice every 100 ms: the list shows what came at
// the latest about a second later, and each refresh touches only the items
// the notices named; the others keep their list items and thumbnails, and
// the selection, the current item and the scroll position stay.
TEST(ThumbnailListview, ABurstOfNoticesIsShownAtLeastOnceASecond)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    auto name = [](const char* stem, int i) { return QString::asprintf("%s%02d.png", stem, i); };
    for (int i = 0; i < 30; ++i)
        WritePictureBytes(folder + '/' + QFile::encodeName(name("p", i)), QSize(40, 30), QColor(8 * i, 100, 0));
    ListFixture f;
    f.Show(dir.path());
    f.Finish();
    ASSERT_EQ(f.list->count(), 30);
    const int scrolled = f.SelectTwoAndScrollHalfWay();
    QScrollBar* bar = f.list->verticalScrollBar();
    ASSERT_GT(scrolled, 0);
    constexpr int Mark = Qt::UserRole + 100;
    for (int i = 0; i < 30; ++i)
        f.list->item(i)->setData(Mark, i);
    const qint64 kept = f.Pic(name("p", 3))->Thumbnail()->cacheKey();

    int64_t now = 0;
    f.list->Clock = [&] { return now; };
    auto notify = [&](const QString& file, uint32_t code) {
        f.list->Notification().Notify(SsNativePathToIdList(folder + '/' + QFile::encodeName(file)), nullptr, code);
        QApplication::processEvents();
    };
    WritePictureBytes(folder + "/p05.png", QSize(12, 6), Qt::blue);
    notify(name("p", 5), SHCNE_UPDATEITEM);
    ASSERT_EQ(::unlink((folder + "/p07.png").constData()), 0);
    notify(name("p", 7), SHCNE_DELETE);
    for (int i = 0; i < 30; ++i) {
        now += 100;
        WritePictureBytes(folder + '/' + QFile::encodeName(name("z", i)), QSize(8, 8), Qt::green);
        notify(name("z", i), SHCNE_CREATE);
        const QStringList names = f.Names();
        for (int shown = 0; shown <= i - 11; ++shown)
            ASSERT_TRUE(names.contains(name("z", shown))) << "after " << now << " ms, " << name("z", shown).toStdString();
    }
    EXPECT_FALSE(f.Names().contains(name("p", 7)));
    for (int i = 0; i < f.list->count(); ++i) {
        const QString shown = f.list->PicDataOf(f.list->item(i))->ShellItem->DisplayName;
        if (shown.startsWith('p')) {
            EXPECT_EQ(f.list->item(i)->data(Mark), shown.mid(1, 2).toInt()) << shown.toStdString();
        }
    }
    EXPECT_EQ(SelectedNames(*f.list), QStringList({name("p", 20), name("p", 21)}));
    ASSERT_NE(f.list->currentItem(), nullptr);
    EXPECT_EQ(f.list->PicDataOf(f.list->currentItem())->ShellItem->DisplayName, name("p", 21));
    EXPECT_EQ(bar->value(), scrolled);
    ASSERT_NE(f.Pic(name("p", 3))->Thumbnail(), nullptr);
    EXPECT_EQ(f.Pic(name("p", 3))->Thumbnail()->cacheKey(), kept);
    f.Finish();
    ASSERT_NE(f.Pic(name("p", 5))->Thumbnail(), nullptr);
    EXPECT_EQ(f.Pic(name("p", 5))->Thumbnail()->size(), QSize(12, 6));
}

// A camera import or a sync tool removes the folder and makes it again under
// its name: the list shows the new folder and goes on following it.
TEST(ThumbnailListview, FollowsAFolderMadeAgainUnderItsName)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/DCIM";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    WritePictureBytes(folder + "/IMG_0001.png", QSize(40, 30), Qt::red);
    ListFixture f;
    f.Show(QFile::decodeName(folder));
    f.Finish();
    ASSERT_EQ(f.Names(), QStringList({"IMG_0001.png"}));
    ASSERT_TRUE(QDir(QFile::decodeName(folder)).removeRecursively());
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    WritePictureBytes(folder + "/IMG_0001.png", QSize(20, 10), Qt::blue);
    WritePictureBytes(folder + "/IMG_0002.png", QSize(8, 8), Qt::green);
    auto shows = [&](const QString& name, QSize size) {
        const TPicData* pic = f.Pic(name);
        return pic && pic->Thumbnail() && pic->Thumbnail()->size() == size;
    };
    EXPECT_TRUE(WaitFor([&] { return shows("IMG_0001.png", QSize(20, 10)) && shows("IMG_0002.png", QSize(8, 8)); }))
        << f.Names().join(',').toStdString();
    WritePictureBytes(folder + "/IMG_0003.png", QSize(6, 4), Qt::green);
    EXPECT_TRUE(WaitFor([&] { return shows("IMG_0003.png", QSize(6, 4)); })) << f.Names().join(',').toStdString();
}

// Ctrl+C puts the selected pictures on the clipboard as files, by the bytes
// of their names: the folder tree's Paste takes them.
TEST(ThumbnailListview, CopyPutsTheSelectedFilesOnTheClipboard)
{
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray from = base + "/Gr\xfc\xdf" "e";
    ASSERT_EQ(::mkdir(from.constData(), 0755), 0);
    ASSERT_EQ(::mkdir((base + "/ziel").constData(), 0755), 0);
    const QList<QByteArray> names = {"No\xebl 1998.png", "a.png", "b.png"};
    for (const QByteArray& n : names)
        WritePictureBytes(from + '/' + n, QSize(10, 10), Qt::red);
    ListFixture f;
    PSsIdList pidl = SsNativePathToIdList(from);
    ASSERT_TRUE(pidl);
    f.list->ShowFolder(pidl.get());
    f.Finish();
    ASSERT_EQ(f.list->count(), 3);
    QApplication::clipboard()->clear();
    // "No\xebl 1998.png" and "b.png"
    for (int i = 0; i < f.list->count(); ++i)
        f.list->item(i)->setSelected(f.list->item(i)->text() != "a.png");
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QApplication::sendEvent(f.list, &copy);
    QList<QByteArray> onClipboard = SsNativePathsOf(QApplication::clipboard()->mimeData());
    std::sort(onClipboard.begin(), onClipboard.end());
    EXPECT_EQ(onClipboard, QList<QByteArray>({from + "/No\xebl 1998.png", from + "/b.png"}));
    // As text: the paths as the lists show them, one a line.
    const QString shown = dir.path() + QString::fromUtf8("/Gr\u00fc\u00dfe/");
    QStringList lines = QApplication::clipboard()->text().split('\n');
    lines.sort();
    EXPECT_EQ(lines, QStringList({shown + "No\u00ebl 1998.png", shown + "b.png"}));

    // Paste in the tree, on the folder "ziel".
    TShellTreeViewEx tree;
    tree.SetRootFolder(dir.path());
    tree.resize(300, 300);
    tree.show();
    ASSERT_TRUE(WaitFor([&] { return tree.topLevelItem(0) && tree.InitialSelectionDone(); }));
    tree.topLevelItem(0)->setExpanded(true);
    QTreeWidgetItem* target = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (int i = 0; !target && i < tree.topLevelItem(0)->childCount(); ++i)
            if (tree.topLevelItem(0)->child(i)->text(0) == "ziel")
                target = tree.topLevelItem(0)->child(i);
        return target != nullptr;
    }));
    tree.setCurrentItem(target);
    bool pasteEnabled = false;
    SsTrackPopupMenuHook = [&](QMenu& menu, const QPoint&) {
        for (QAction* a : menu.actions())
            if (a->data().toInt() == 1 + cvPaste) {
                pasteEnabled = a->isEnabled();
                return pasteEnabled ? a->data().toInt() : 0;
            }
        return 0;
    };
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(5, 5), tree.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(tree.viewport(), &menu);
    SsTrackPopupMenuHook = nullptr;
    EXPECT_TRUE(pasteEnabled);
    for (const QByteArray& n : {QByteArray("No\xebl 1998.png"), QByteArray("b.png")})
        EXPECT_TRUE(SsEntryExists(base + "/ziel/" + n)) << n.toHex().toStdString();
    EXPECT_FALSE(SsEntryExists(base + "/ziel/a.png"));
    EXPECT_TRUE(SsEntryExists(from + "/No\xebl 1998.png"));
}
