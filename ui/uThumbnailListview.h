#pragma once
// The picture list of the browser: the pictures of one folder as thumbnails,
// made by a worker thread in the order the list paints them.
#include "QwListview.h"
#include "SsShellController.h"
#include "SsShellNotification.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QStringList>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class TSsShellItem;

// The worker's notice of a finished thumbnail; WParam is the item index.
constexpr int WM_THUMBNAILDONE = 1034;  // WM_USER + 10
const QEvent::Type ThumbnailDoneEventType = QEvent::Type(QEvent::User + WM_THUMBNAILDONE);

class TThumbnailDoneEvent : public QEvent {
public:
    TThumbnailDoneEvent(int WParam, int LParam)
        : QEvent(ThumbnailDoneEventType), WParam(WParam), LParam(LParam) {}
    const int WParam;
    const int LParam;
};

// One picture of the list. The worker writes the size fields and then the
// thumbnail, in one store; the user interface reads them at any time.
class TPicData {
public:
    int Index = -1;
    std::atomic<int32_t> Width{0};
    std::atomic<int32_t> Height{0};
    std::atomic<int32_t> PixelFormat{0};
    TSsShellItem* ShellItem = nullptr;  // owned by the enumerator

    // True once the worker is done with the picture; Thumbnail() is then the
    // thumbnail, or null when the file could not be read as a picture.
    bool ThumbnailDone() const { return FDone.load(std::memory_order_acquire); }
    const QImage* Thumbnail() const { return ThumbnailDone() ? FThumbnail.get() : nullptr; }
    void SetThumbnail(std::unique_ptr<QImage> Thumbnail);

private:
    std::unique_ptr<QImage> FThumbnail;
    std::atomic<bool> FDone{false};
};

class TPicList {
public:
    TPicData* Add();
    TPicData* Insert(int Index);
    void Delete(int Index);
    void Clear() { FItems.clear(); }
    int Count() const { return int(FItems.size()); }
    TPicData* Items(int Index) const { return FItems.at(size_t(Index)).get(); }

private:
    std::vector<std::unique_ptr<TPicData>> FItems;
};

// The picture library's number of the pixel format a file is read in
// (PixelFormat24bppRGB and so on; 0 when unknown).
int32_t PixelFormatOf(QImage::Format Format);

// The size (Width, Height) fitted into a box keeping its proportions when it
// is larger than the box in either direction; otherwise unchanged.
void FitSize(int32_t& Width, int32_t& Height, int32_t BoxWidth, int32_t BoxHeight);

// The thumbnail workers of one filling of the list. The thread object runs
// one worker itself and helpers beside it, all serving one stack: the record
// pushed last is made next. Each waiting record is on the stack once;
// prioritising a waiting record moves it to the top.
class TThumbLoadThread : public QThread {
public:
    // Pushes every record not yet done from the last to the first and starts
    // at once with Workers workers (0: one per core; never more than records).
    TThumbLoadThread(TPicList& PicList, int BoxWidth, int BoxHeight, QObject* Window, int Workers = 0);
    // Tells the workers to stop (also inside a decode) and waits for them.
    ~TThumbLoadThread() override;

    // Puts a waiting record first in line (files only).
    void Prioritize(TPicData* Data);
    // Records still waiting.
    int Count();

    // Makes the record's thumbnail when it has none: a scaled read of the
    // file, fitted into the box. Once Stop is set the file's reads fail, the
    // decode ends early and the record is left as it was (not done).
    static void MakeThumbnail(TPicData& Data, int BoxWidth, int BoxHeight,
                              const std::atomic<bool>* Stop = nullptr);

    // The list that gets the notices; it stops the workers before it goes.
    QObject* const Window;
    const int BoxWidth;
    const int BoxHeight;

protected:
    void run() override;

private:
    void Work();
    TPicData* Pop();

    const int FWorkers;
    std::atomic<bool> FStop{false};
    QMutex FLock;
    std::list<TPicData*> FStack;  // top at the back
    std::unordered_map<TPicData*, std::list<TPicData*>::iterator> FWaiting;
};

class TThumbnailListview : public TQwListview {
    Q_OBJECT
public:
    explicit TThumbnailListview(QWidget* Parent = nullptr);
    ~TThumbnailListview() override;

    // Shows the pictures of the folder; the worker of the last filling is
    // stopped first. An unreadable folder leaves the list empty and raises
    // the enumerator's error.
    void ShowFolder(const TSsIdList* IdList);
    // Fills the list from the enumerator's items and starts a new worker.
    void Fill();
    // Brings the list up to its folder: only the entries that notices named
    // since the last refresh are read again, so pictures added, removed,
    // renamed or rewritten there appear, go or are made again; every other
    // item, its thumbnail, the selection, the current item and the scroll
    // position are kept. After lost notices the whole folder is read again.
    // The folder's change notices call it once none came for RefreshDelay
    // ms, and at the latest MaxRefreshWait ms after the first of them, so
    // that a running import shows at least once a second.
    void Refresh();
    static constexpr int RefreshDelay = 250;
    static constexpr int MaxRefreshWait = 1000;
    // The ms clock the gathering of notices goes by (any start).
    std::function<int64_t()> Clock;
    // The shown folder is at IdList now (it, or a folder above it, was
    // renamed or moved): read there at once, keeping what Refresh keeps.
    void FolderMoved(const TSsIdList* IdList);
    // Appends the path of every selected item, in list order.
    void GetSelectedPaths(QStringList& Paths) const;
    // The same as the system's bytes of the paths.
    QList<QByteArray> SelectedNativePaths() const;
    // Stops the worker and waits for it.
    void StopThread();

    // Workers of each filling (0: one per core).
    int ThumbnailWorkers = 0;

    // The hint of an item: name, size, date and picture size for files.
    QString HintText(int Index) const;

    TPicList& PicList() { return *FPicList; }
    TSsShellEnumerator& Enumerator() { return *FEnumerator; }
    TThumbLoadThread* Thread() const { return FThread.get(); }
    TSsShellNotification& Notification() { return *FNotification; }
    TPicData* PicDataOf(const QListWidgetItem* Item) const;

    void DrawItem(QListWidgetItem* Item, QImage& Bitmap, TCustomDrawState State) override;

protected:
    bool event(QEvent* e) override;
    // Copy (Ctrl+C) puts the selected files on the clipboard, as a file
    // manager takes them.
    void keyPressEvent(QKeyEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    // What the worker made of a picture, kept over a refresh.
    struct TMadeThumbnail {
        int32_t Width, Height, PixelFormat;
        std::optional<QImage> Thumbnail;  // none: the file is no picture
    };
    using TMadeThumbnails = QHash<QByteArray, TMadeThumbnail>;  // by path

    void EnumItem(TSsShellItem* Item, bool& Accept);
    void FillFrom(const TMadeThumbnails& Made);
    // Puts the item of a picture and its record at Row.
    TPicData* InsertItem(int Row, TSsShellItem* ShellItem, const QFontMetrics& Metrics);
    // Reads the whole folder again, keeping the thumbnails no notice named.
    void Reread();
    // Reads again the entries that notices named.
    void Update();
    // A notice came: refreshes now or after the wait.
    void NoteChange();
    void ShellChangeNotify(TSsShellItem* OldItem, TSsShellItem* NewItem, TSsNotifyEventsSet Events);

    std::unique_ptr<TPicList> FPicList;
    std::unique_ptr<TSsShellEnumerator> FEnumerator;
    std::unique_ptr<TThumbLoadThread> FThread;
    std::unique_ptr<TSsShellNotification> FNotification;
    QTimer FRefreshTimer;
    // Paths named by notices since the last filling, whose thumbnails are
    // made again; all of them after notices were lost.
    QSet<QByteArray> FChanged;
    bool FAllChanged = false;
    // When the first notice since the last refresh came (Clock); -1: none.
    int64_t FFirstChange = -1;
};

// Text broken into lines no wider than MaxWidth pixels in Metrics (a word
// that does not fit is broken inside); existing line breaks are kept.
QString WrapTextToWidth(const QString& Text, const QFontMetrics& Metrics, int MaxWidth);

// The text an empty picture list shows.
extern const char* const sKeinBild;
