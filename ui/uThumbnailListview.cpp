#include "uThumbnailListview.h"

#include "Canvas.h"
#include "DateTime.h"
#include "Graphics.h"
#include "SsContextMenu.h"
#include "SsShellItem.h"
#include "SysUtils.h"
#include "WaitCursor.h"
#include "ulocalize.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QImageReader>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLocale>
#include <QMutexLocker>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <qdrawutil.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <system_error>
#include <thread>

const char* const sKeinBild = "Kein Bild im ausgewählten Verzeichnis";

namespace {

[[maybe_unused]] const bool TextsRegistered = [] {
    RegisterDefaultString(QString::fromUtf8(sKeinBild));
    return true;
}();

// The boxes up to this size get the quick thumbnail read; larger ones the
// high-quality one.
constexpr int SmallBoxLimit = 128;
// Height of the mouse cursor: a hint is shown this far below the pointer.
constexpr int CursorHeight = 32;

QRgb QRgbOf(TColor Color)
{
    return toQColor(Color).rgb();
}

// The name of an item in its folder, as the system's bytes.
QByteArray NameInFolder(const TSsShellItem& Item)
{
    return Item.RelativeList && Item.RelativeList->Count() > 0
               ? Item.RelativeList->Id(Item.RelativeList->Count() - 1)
               : QByteArray();
}

}  // namespace

// ---- picture records ---------------------------------------------------------------------

void TPicData::SetThumbnail(std::unique_ptr<QImage> Thumbnail)
{
    if (ThumbnailDone())
        return;
    FThumbnail = std::move(Thumbnail);
    FDone.store(true, std::memory_order_release);
}

TPicData* TPicList::Add()
{
    return Insert(Count());
}

TPicData* TPicList::Insert(int Index)
{
    return FItems.insert(FItems.begin() + Index, std::make_unique<TPicData>())->get();
}

void TPicList::Delete(int Index)
{
    FItems.erase(FItems.begin() + Index);
}

int32_t PixelFormatOf(QImage::Format Format)
{
    switch (Format) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: return 0x30101;         // 1bpp indexed
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8: return 0x30803;      // 8bpp indexed
    case QImage::Format_Grayscale16: return 0x101004;    // 16bpp grey scale
    case QImage::Format_RGB32:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888: return 0x21808;          // 24bpp RGB
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBA8888: return PixelFormat32bppARGB;
    case QImage::Format_RGBX64: return 0x10300C;         // 48bpp RGB
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied: return 0x34400D;  // 64bpp ARGB
    default: return 0;
    }
}

void FitSize(int32_t& Width, int32_t& Height, int32_t BoxWidth, int32_t BoxHeight)
{
    if (Width <= BoxWidth && Height <= BoxHeight)
        return;
    int32_t w = BoxWidth;
    int32_t h = MulDiv(Height, BoxWidth, Width);
    if (h > BoxHeight) {
        h = BoxHeight;
        w = MulDiv(Width, BoxHeight, Height);
    }
    Width = w;
    Height = h;
}

// ---- worker ------------------------------------------------------------------------------

namespace {

// A file whose reads fail once Stop is set, so that a decoder reading it
// gives up in the middle of a large picture. It is opened by the system's
// bytes of its path, so that a name that is no UTF-8 or a path longer than
// the system takes in one call opens as well.
class TStoppableFile : public QFile {
public:
    explicit TStoppableFile(const std::atomic<bool>* Stop) : FStop(Stop) {}
    bool OpenPath(const QByteArray& Path)
    {
        const int fd = SsOpenPath(Path, O_RDONLY);
        if (fd >= 0 && open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return true;
        if (fd >= 0)
            ::close(fd);
        return false;
    }

protected:
    qint64 readData(char* Data, qint64 MaxSize) override
    {
        if (FStop && FStop->load(std::memory_order_relaxed))
            return -1;
        return QFile::readData(Data, MaxSize);
    }

private:
    const std::atomic<bool>* FStop;
};

bool Stopped(const std::atomic<bool>* Stop)
{
    return Stop && Stop->load(std::memory_order_relaxed);
}

}  // namespace

TThumbLoadThread::TThumbLoadThread(TPicList& PicList, int BoxWidth, int BoxHeight, QObject* Window,
                                   int Workers)
    : Window(Window), BoxWidth(BoxWidth), BoxHeight(BoxHeight),
      FWorkers(Workers > 0 ? Workers : std::max(1, QThread::idealThreadCount()))
{
    FWaiting.reserve(size_t(PicList.Count()));
    for (int i = PicList.Count() - 1; i >= 0; --i) {
        TPicData* data = PicList.Items(i);
        if (!data->ThumbnailDone())
            FWaiting.emplace(data, FStack.insert(FStack.end(), data));
    }
    start();
}

TThumbLoadThread::~TThumbLoadThread()
{
    FStop.store(true);
    requestInterruption();
    wait();
}

TPicData* TThumbLoadThread::Pop()
{
    QMutexLocker lock(&FLock);
    if (FStack.empty())
        return nullptr;
    TPicData* data = FStack.back();
    FStack.pop_back();
    FWaiting.erase(data);
    return data;
}

int TThumbLoadThread::Count()
{
    QMutexLocker lock(&FLock);
    return int(FStack.size());
}

void TThumbLoadThread::Prioritize(TPicData* Data)
{
    if (!Data || !Data->ShellItem || !Data->ShellItem->IsFile || Data->ThumbnailDone())
        return;
    QMutexLocker lock(&FLock);
    // A record being made or already made is not waiting: nothing to move.
    const auto it = FWaiting.find(Data);
    if (it != FWaiting.end())
        FStack.splice(FStack.end(), FStack, it->second);
}

void TThumbLoadThread::run()
{
    const int helpers = std::min(FWorkers, Count()) - 1;
    std::vector<std::jthread> others;
    for (int i = 0; i < helpers; ++i) {
        try {
            others.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break;  // no more threads: the ones there are do the work
        }
    }
    Work();
}

void TThumbLoadThread::Work()
{
    while (!FStop.load()) {
        TPicData* data = Pop();
        if (!data)
            break;
        if (!data->ShellItem || !data->ShellItem->IsFile || data->ThumbnailDone())
            continue;
        try {
            MakeThumbnail(*data, BoxWidth, BoxHeight, &FStop);
        } catch (...) {
            // Out of memory for this picture: shown without thumbnail.
            data->SetThumbnail(nullptr);
        }
        if (FStop.load())
            break;
        if (Window)
            QCoreApplication::postEvent(Window, new TThumbnailDoneEvent(data->Index, 0));
    }
}

void TThumbLoadThread::MakeThumbnail(TPicData& Data, int BoxWidth, int BoxHeight,
                                     const std::atomic<bool>* Stop)
{
    if (Data.ThumbnailDone() || !Data.ShellItem)
        return;
    TStoppableFile file(Stop);
    if (!file.OpenPath(Data.ShellItem->NativePath())) {
        Data.SetThumbnail(nullptr);
        return;
    }
    QImageReader reader(&file);
    // Shown as a camera recorded it: the reader turns the decoded pixels, so
    // sizes are upright and the scaled size is given as stored.
    reader.setAutoTransform(true);
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize size = turned ? reader.size().transposed() : reader.size();
    if (Stopped(Stop))
        return;
    if (!size.isValid() || size.isEmpty()) {
        // Not a picture (or a damaged one): done, without thumbnail, so it is
        // not tried again at every paint.
        Data.SetThumbnail(nullptr);
        return;
    }
    Data.Width.store(size.width());
    Data.Height.store(size.height());
    Data.PixelFormat.store(PixelFormatOf(reader.imageFormat()));

    int32_t w = size.width();
    int32_t h = size.height();
    FitSize(w, h, BoxWidth, BoxHeight);
    // The picture is decoded at the target size, never whole.
    const QSize scaled(std::max(1, w), std::max(1, h));
    reader.setScaledSize(turned ? scaled.transposed() : scaled);
    const bool smallBox = BoxWidth <= SmallBoxLimit && BoxHeight <= SmallBoxLimit;
    if (!smallBox)
        reader.setQuality(100);
    QImage image = reader.read();
    if (Stopped(Stop))
        return;  // cut short: neither a thumbnail nor a damaged file
    if (image.isNull()) {
        Data.SetThumbnail(nullptr);
        return;
    }
    // Pictures of 16 bits per channel (PNG) are drawn with wrong colours
    // where they are partly transparent: they are taken down to 8 bits too.
    if (!smallBox || image.depth() > 32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    Data.SetThumbnail(std::make_unique<QImage>(std::move(image)));
}

QString WrapTextToWidth(const QString& Text, const QFontMetrics& Metrics, int MaxWidth)
{
    QStringList lines;
    for (const QString& line : Text.split(QLatin1Char('\n'))) {
        QString rest = line;
        while (Metrics.horizontalAdvance(rest) > MaxWidth && rest.size() > 1) {
            // The longest start that fits, ended at a blank when there is one.
            int n = 1;
            while (n < rest.size() && Metrics.horizontalAdvance(rest.left(n + 1)) <= MaxWidth)
                ++n;
            const int blank = rest.lastIndexOf(QLatin1Char(' '), n);
            if (blank > 0 && blank < n)
                n = blank + 1;
            lines << rest.left(n).trimmed();
            rest = rest.mid(n);
        }
        lines << rest;
    }
    return lines.join(QLatin1Char('\n'));
}

// ---- list --------------------------------------------------------------------------------

TThumbnailListview::TThumbnailListview(QWidget* Parent)
    : TQwListview(Parent), FPicList(std::make_unique<TPicList>()),
      FEnumerator(std::make_unique<TSsShellEnumerator>())
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The items are always arranged to the width of the list.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FEnumerator->Options = eoIncludeNonFolders;
    FEnumerator->SetSorted(true);
    FEnumerator->SetSortDirection(sdAscending);
    FEnumerator->OnEnumItem = [this](TObject*, TSsShellItem* Item, bool& Accept) { EnumItem(Item, Accept); };

    FNotification = std::make_unique<TSsShellNotification>();
    FNotification->SetWatchSubFolders(false);
    FNotification->OnShellChangeNotify = [this](TObject*, TSsShellItem* OldItem, TSsShellItem* NewItem,
                                                TSsNotifyEventsSet Events) {
        ShellChangeNotify(OldItem, NewItem, Events);
    };
    FNotification->OnNoticesLost = [this](TObject*, const QList<QByteArray>&) {
        FAllChanged = true;
        NoteChange();
    };
    Clock = [] {
        return int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
    };
    FRefreshTimer.setSingleShot(true);
    connect(&FRefreshTimer, &QTimer::timeout, this, [this] { Refresh(); });
}

TThumbnailListview::~TThumbnailListview()
{
    StopThread();
}

void TThumbnailListview::EnumItem(TSsShellItem* Item, bool& Accept)
{
    static const QStringList extensions = {"BMP", "JPG", "JPEG", "TIF", "GIF", "PNG"};
    Accept = Item->IsFile && extensions.contains(QFileInfo(Item->Path).suffix().toUpper());
}

void TThumbnailListview::StopThread()
{
    FThread.reset();
}

void TThumbnailListview::ShowFolder(const TSsIdList* IdList)
{
    StopThread();
    TWaitCursor wait;
    FRefreshTimer.stop();
    FFirstChange = -1;
    if (!IdList) {
        // A watch without a folder would watch everything.
        FNotification->SetActive(false);
        FNotification->SetWatchPidl(nullptr);
        FEnumerator->SetRootPidl(nullptr);
        FEnumerator->ItemList.Clear();
        Fill();
        return;
    }
    // Watched before it is read, so that no picture added meanwhile is missed.
    FNotification->SetWatchPidl(SsILClone(IdList));
    FNotification->SetActive(true);
    FEnumerator->SetRootPidl(SsILClone(IdList));
    try {
        FEnumerator->Execute();
    } catch (...) {
        // The enumerator has dropped its items: the list must not keep them.
        Fill();
        throw;
    }
    Fill();
}

void TThumbnailListview::ShellChangeNotify(TSsShellItem* OldItem, TSsShellItem* NewItem,
                                           TSsNotifyEventsSet Events)
{
    const TSsIdList* root = FEnumerator->RootPidl();
    if (!root)
        return;
    const QByteArray rootPath = SsIdListToNativePath(root);
    // The shown folder was renamed or moved: the list goes with it at once,
    // so that no path it hands on names the old place.
    if ((Events & NE(neFolderRename)) && OldItem && NewItem && NewItem->AbsoluteList &&
        OldItem->NativePath() == rootPath) {
        FolderMoved(NewItem->AbsoluteList.get());
        return;
    }
    for (const TSsShellItem* item : {OldItem, NewItem})
        if (item && item->NativePath() != rootPath)
            FChanged.insert(NameInFolder(*item));
    NoteChange();
}

void TThumbnailListview::NoteChange()
{
    const int64_t now = Clock();
    if (FFirstChange < 0)
        FFirstChange = now;
    const int64_t waited = now - FFirstChange;
    if (waited >= MaxRefreshWait)
        Refresh();
    else
        FRefreshTimer.start(int(std::min<int64_t>(RefreshDelay, MaxRefreshWait - waited)));
}

void TThumbnailListview::FolderMoved(const TSsIdList* IdList)
{
    FEnumerator->SetRootPidl(SsILClone(IdList));
    FNotification->SetWatchPidl(SsILClone(IdList));
    FRefreshTimer.stop();
    FFirstChange = -1;
    Reread();
}

void TThumbnailListview::Refresh()
{
    FRefreshTimer.stop();
    FFirstChange = -1;
    if (!FEnumerator->RootPidl())
        return;
    if (FAllChanged || !FEnumerator->RootItem())
        Reread();
    else
        Update();
}

void TThumbnailListview::Update()
{
    StopThread();
    const QSet<QByteArray> changed = std::exchange(FChanged, {});
    TSsShellItemList& items = FEnumerator->ItemList;
    QHash<QByteArray, int> rows;  // of the named entries that are listed
    for (int i = 0; i < items.GetCount() && rows.size() < changed.size(); ++i)
        if (const QByteArray name = NameInFolder(*items.GetItem(i)); changed.contains(name))
            rows.insert(name, i);
    const QFontMetrics metrics(font());
    std::vector<int> gone;
    std::vector<std::unique_ptr<TSsShellItem>> added;
    for (const QByteArray& name : changed) {
        std::unique_ptr<TSsShellItem> now = FEnumerator->ItemOf(name);
        const int at = rows.value(name, -1);
        if (at >= 0 && now) {
            // Rewritten: a new record behind the same list item, which keeps its selection.
            items.Delete(at);
            FPicList->Delete(at);
            TSsShellItem* shellItem = items.Insert(at, std::move(now));
            TPicData* data = FPicList->Insert(at);
            data->ShellItem = shellItem;
            data->Index = at;
            item(at)->setData(Qt::UserRole, QVariant::fromValue<quintptr>(quintptr(data)));
            InvalidateItem(at);
        } else if (at >= 0)
            gone.push_back(at);
        else if (now)
            added.push_back(std::move(now));
    }
    if (!gone.empty() || !added.empty()) {
        const int scrolled = verticalScrollBar()->value();
        std::sort(gone.begin(), gone.end(), std::greater<int>());
        int first = count();
        for (const int at : gone) {
            delete takeItem(at);
            items.Delete(at);
            FPicList->Delete(at);
            first = std::min(first, at);
        }
        for (std::unique_ptr<TSsShellItem>& shellItem : added) {
            const int at = FEnumerator->Insert(std::move(shellItem));
            InsertItem(at, items.GetItem(at), metrics);
            first = std::min(first, at);
        }
        for (int i = first; i < FPicList->Count(); ++i)
            FPicList->Items(i)->Index = i;
        if (count() > 0)
            UpdateIconSpacing();
        ArrangeItems(true);
        doItemsLayout();
        verticalScrollBar()->setValue(scrolled);
        viewport()->update();
    }
    FThread = std::make_unique<TThumbLoadThread>(*FPicList, ThumbSize(), ThumbSize(), this, ThumbnailWorkers);
}

void TThumbnailListview::Reread()
{
    StopThread();
    TMadeThumbnails made;
    QSet<QByteArray> selected;
    QByteArray current;
    for (int i = 0; i < count(); ++i) {
        const TPicData* data = PicDataOf(item(i));
        if (!data || !data->ShellItem)
            continue;
        const QByteArray name = NameInFolder(*data->ShellItem);
        if (item(i)->isSelected())
            selected.insert(name);
        if (item(i) == currentItem())
            current = name;
        if (FAllChanged || FChanged.contains(name) || !data->ThumbnailDone())
            continue;
        const QImage* thumbnail = data->Thumbnail();
        made.insert(name, {data->Width.load(), data->Height.load(), data->PixelFormat.load(),
                           thumbnail ? std::optional<QImage>(*thumbnail) : std::nullopt});
    }
    const int scrolled = verticalScrollBar()->value();
    try {
        FEnumerator->Execute();
    } catch (const std::exception&) {
        // The folder went or can no longer be read: the list shows it empty.
    }
    FillFrom(made);
    for (int i = 0; i < count(); ++i) {
        const TPicData* data = PicDataOf(item(i));
        const QByteArray name = data && data->ShellItem ? NameInFolder(*data->ShellItem) : QByteArray();
        if (!current.isEmpty() && name == current)
            setCurrentItem(item(i), QItemSelectionModel::NoUpdate);
        if (selected.contains(name))
            item(i)->setSelected(true);
    }
    doItemsLayout();
    verticalScrollBar()->setValue(scrolled);
}

void TThumbnailListview::Fill()
{
    FillFrom({});
}

void TThumbnailListview::FillFrom(const TMadeThumbnails& Made)
{
    TWaitCursor wait;
    StopThread();
    FChanged.clear();
    FAllChanged = false;
    setUpdatesEnabled(false);
    clear();
    FPicList->Clear();
    const QFontMetrics metrics(font());
    const TSsShellItemList& items = FEnumerator->ItemList;
    for (int i = 0; i < items.GetCount(); ++i) {
        TSsShellItem* shellItem = items.GetItem(i);
        TPicData* data = InsertItem(i, shellItem, metrics);
        if (const auto made = Made.constFind(NameInFolder(*shellItem)); made != Made.constEnd()) {
            data->Width.store(made->Width);
            data->Height.store(made->Height);
            data->PixelFormat.store(made->PixelFormat);
            data->SetThumbnail(made->Thumbnail ? std::make_unique<QImage>(*made->Thumbnail) : nullptr);
        }
    }
    if (count() > 0)
        UpdateIconSpacing();
    ArrangeItems(true);
    setUpdatesEnabled(true);
    viewport()->update();
    FThread = std::make_unique<TThumbLoadThread>(*FPicList, ThumbSize(), ThumbSize(), this, ThumbnailWorkers);
}

TPicData* TThumbnailListview::InsertItem(int Row, TSsShellItem* ShellItem, const QFontMetrics& Metrics)
{
    auto* item = new QListWidgetItem(
        Metrics.elidedText(ShellItem->DisplayName, Qt::ElideRight, ThumbSize(), Qt::TextSingleLine));
    insertItem(Row, item);
    TPicData* data = FPicList->Insert(Row);
    data->ShellItem = ShellItem;
    data->Index = Row;
    item->setData(Qt::UserRole, QVariant::fromValue<quintptr>(quintptr(data)));
    return data;
}

TPicData* TThumbnailListview::PicDataOf(const QListWidgetItem* Item) const
{
    return Item ? reinterpret_cast<TPicData*>(Item->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

void TThumbnailListview::GetSelectedPaths(QStringList& Paths) const
{
    for (const QByteArray& path : SelectedNativePaths())
        Paths.append(DecodeFileName(path));
}

QList<QByteArray> TThumbnailListview::SelectedNativePaths() const
{
    QList<QByteArray> paths;
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem* it = item(i);
        if (!it->isSelected())
            continue;
        if (TPicData* data = PicDataOf(it); data && data->ShellItem)
            paths.append(data->ShellItem->NativePath());
    }
    return paths;
}

void TThumbnailListview::keyPressEvent(QKeyEvent* e)
{
    if (e == QKeySequence::Copy) {
        const QList<QByteArray> paths = SelectedNativePaths();
        if (!paths.isEmpty())
            SsPutFilesOnClipboard(paths, false);
        e->accept();
        return;
    }
    TQwListview::keyPressEvent(e);
}

QString TThumbnailListview::HintText(int Index) const
{
    TPicData* data = PicDataOf(item(Index));
    if (!data || !data->ShellItem)
        return QString();
    TSsShellItem* shellItem = data->ShellItem;
    if (!shellItem->IsFile)
        return shellItem->DisplayName;
    const QDateTime date = DateTimeToQDateTime(shellItem->GetDate());
    return shellItem->DisplayName + QLatin1Char('\n')
           + fromAnsi(Format("%.0n", {double(shellItem->GetSize())})) + QStringLiteral(" Bytes")
           + QLatin1Char('\n') + QLocale().toString(date, QLocale::ShortFormat) + QLatin1Char('\n')
           + fromAnsi(Format("%dx%d", {int(data->Width.load()), int(data->Height.load())}));
}

void TThumbnailListview::DrawItem(QListWidgetItem* Item, QImage& Bitmap, TCustomDrawState State)
{
    TPicData* data = PicDataOf(Item);
    if (FThread && data)
        FThread->Prioritize(data);

    const bool selected = State & cdsSelected;
    Bitmap.fill(Qt::white);
    QPainter p(&Bitmap);
    const QRect icon = IconRect();
    p.fillRect(icon, selected ? QColor(QRgbOf(clHighlight)) : QColor(Qt::white));
    const QRect square(icon.left() + (icon.width() - ThumbSize()) / 2,
                       icon.top() + (icon.height() - ThumbSize()) / 2, ThumbSize(), ThumbSize());
    if (const QImage* thumb = data ? data->Thumbnail() : nullptr) {
        const QPoint at(square.left() + (square.width() - thumb->width()) / 2,
                        square.top() + (square.height() - thumb->height()) / 2);
        p.drawImage(at, *thumb);
        p.setPen(QColor(QRgbOf(clBtnShadow)));
        p.setBrush(Qt::NoBrush);
        p.drawRect(at.x() - 1, at.y() - 1, thumb->width() + 1, thumb->height() + 1);
    } else if (data && data->ShellItem) {
        const QPixmap icon32 = data->ShellItem->GetLargeIcon().pixmap(32, 32);
        p.drawPixmap(square.left() + (square.width() - icon32.width()) / 2,
                     square.top() + (square.height() - icon32.height()) / 2, icon32);
    } else {
        qDrawShadePanel(&p, square, palette(), true, 2);
    }

    const QRect label = LabelRect();
    p.setFont(font());
    const QString caption = Item->text();
    if (selected) {
        QRect text = p.fontMetrics().boundingRect(label, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, caption);
        text = text.adjusted(-2, 0, 2, 0).intersected(label);
        p.fillRect(text, QColor(QRgbOf(clHighlight)));
        p.setPen(QColor(QRgbOf(clHighlightText)));
        p.drawText(label, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, caption);
        p.setPen(QPen(QColor(QRgbOf(clHighlightText)), 1, Qt::DotLine));
        p.drawRect(text.adjusted(0, 0, -1, -1));
    } else {
        p.setPen(QColor(QRgbOf(clWindowText)));
        p.drawText(label, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, caption);
    }
}

void TThumbnailListview::paintEvent(QPaintEvent* e)
{
    TQwListview::paintEvent(e);
    if (count() == 0) {
        QPainter p(viewport());
        p.setFont(font());
        p.setPen(QColor(QRgbOf(clWindowText)));
        // Wrapped at the list's right edge so that a narrow panel shows all of it.
        const QRect box(10, 10, std::max(1, viewport()->width() - 20), std::max(1, viewport()->height() - 20));
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, LocalizedDefaultString(QString::fromUtf8(sKeinBild)));
    }
}

bool TThumbnailListview::event(QEvent* e)
{
    if (e->type() == ThumbnailDoneEventType) {
        const int index = static_cast<TThumbnailDoneEvent*>(e)->WParam;
        if (index >= 0 && index < count())
            InvalidateItem(index);
        return true;
    }
    return TQwListview::event(e);
}

bool TThumbnailListview::viewportEvent(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        QListWidgetItem* it = itemAt(help->pos());
        if (!it) {
            QToolTip::hideText();
            e->ignore();
            return true;
        }
        const QRect bounds = visualItemRect(it);
        // At most as wide as the list, shown while the mouse stays on the item.
        const QString text = WrapTextToWidth(HintText(row(it)), QFontMetrics(QToolTip::font()),
                                             std::max(1, viewport()->width() - 10));
        QToolTip::showText(help->globalPos() + QPoint(0, CursorHeight), text, viewport(), bounds);
        return true;
    }
    return TQwListview::viewportEvent(e);
}
