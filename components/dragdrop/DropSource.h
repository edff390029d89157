#pragma once
// Drop sources: components that start a drag from the program and serve the
// dragged data, or put themselves on the clipboard. The multi source serves
// its data from a list of data formats; the empty source is that class as the
// program places it on its windows.
#include "DragDrop.h"

#include <QList>
#include <QPixmap>
#include <functional>

class QDrag;
class TFeedbackDataFormat;

using TDropEvent = std::function<void(TObject* Sender, TDragType DragType, bool& ContinueDrop)>;
using TAfterDropEvent = std::function<void(TObject* Sender, TDragResult DragResult, bool Optimized)>;
using TFeedbackEvent = std::function<void(TObject* Sender, int32_t Effect, bool& UseDefaultCursors)>;
using TDropDataEvent =
    std::function<void(TObject* Sender, const FORMATETC& FormatEtc, STGMEDIUM& Medium, bool& Handled)>;
using TPasteEvent = std::function<void(TObject* Sender, TDragResult Action, bool DeleteOnPaste)>;

class IAdviseSink;
class IEnumSTATDATA;

// The picture of a drag: its size, the cursor's offset in it, and the bitmap.
struct SHDRAGIMAGE {
    QSize sizeDragImage;
    QPoint ptOffset;
    QPixmap hbmpDragImage;
};

// Stands in for the shell's drag-image helper of a drag source: it gives the
// drag of a data object its picture, which Qt's drag shows under the cursor
// over every window.
class TDragSourceHelper {
public:
    explicit TDragSourceHelper(QDrag& drag) : drag_(drag) {}
    // E_INVALIDARG when the data object is not the drag's, E_FAIL for an
    // empty picture.
    HRESULT InitializeFromBitmap(const SHDRAGIMAGE& image, IDataObject* dataObject);

private:
    QDrag& drag_;
};

class TCustomDropSource : public TDragDropComponent, public IDataObject, public IAsyncOperation {
public:
    LUMI_CLASSNAME(TCustomDropSource)
    explicit TCustomDropSource(QObject* AOwner);
    ~TCustomDropSource() override;

    TDragTypes DragTypes = DragTypeSet(dtCopy);
    int32_t FeedbackEffect = 0;  // the last effect passed to GiveFeedback
    TDropEvent OnDrop;
    TAfterDropEvent OnAfterDrop;
    TFeedbackEvent OnFeedback;
    TDropDataEvent OnGetData;
    TDropDataEvent OnSetData;
    TPasteEvent OnPaste;

    // Drag image: image ImageIndex of Images (not owned) at the hot spot.
    const QList<QPixmap>* Images() const { return images_; }
    void SetImages(const QList<QPixmap>* images);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    bool ShowImage() const { return showImage_; }
    void SetShowImage(bool show);
    int ImageHotSpotX = 16;
    int ImageHotSpotY = 16;
    // The drag-image helper during a drag that shows an image.
    std::unique_ptr<TDragSourceHelper> DragSourceHelper;

    // Runs the drag (QDrag::exec); tests replace it to stand in for the user.
    std::function<Qt::DropAction(QDrag& drag, Qt::DropActions actions)> ExecDrag;

    // A target may fetch the data on a thread of its own (AsyncMode, set by
    // Execute or the target), from StartOperation to EndOperation
    // (InOperation); OnAfterDrop then waits for EndOperation. Turning
    // AllowAsyncTransfer off ends both.
    bool AllowAsyncTransfer() const { return allowAsyncTransfer_; }
    void SetAllowAsyncTransfer(bool allow);
    bool AsyncMode() const { return asyncMode_; }
    bool InOperation() const { return inOperation_; }

    // IDataObject
    HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) override;
    HRESULT QueryGetData(const FORMATETC& format) override;
    HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium, bool release) override;
    HRESULT EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator) override;
    // Every format is its own canonical one; no change notices are offered
    // (the advise enumerator, when asked for, is nil).
    HRESULT GetCanonicalFormatEtc(const FORMATETC& format, FORMATETC& canonical);
    HRESULT DAdvise(const FORMATETC& format, uint32_t advf, IAdviseSink* sink, uint32_t& connection);
    HRESULT DUnadvise(uint32_t connection);
    HRESULT EnumDAdvise(IEnumSTATDATA** enumAdvise);

    // IAsyncOperation
    HRESULT SetAsyncMode(BOOL async) override;
    HRESULT GetAsyncMode(BOOL& async) override;
    HRESULT StartOperation() override;
    HRESULT InOperation(BOOL& inOperation) override;
    HRESULT EndOperation(HRESULT result, int32_t effects) override;

    // The drag loop's questions: go on, drop or cancel; and which cursors.
    HRESULT QueryContinueDrag(bool escapePressed, int32_t keyState);
    HRESULT GiveFeedback(int32_t effect);

    virtual HRESULT DoGetData(const FORMATETC& format, STGMEDIUM& medium) = 0;
    // Data a target stores in the source: OnSetData, else E_NOTIMPL.
    virtual HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium);
    virtual bool HasFormat(const FORMATETC& format) = 0;
    virtual std::unique_ptr<IEnumFORMATETC> GetEnumFormatEtc(uint32_t direction) = 0;
    // Keeps a rendered copy on the clipboard before the data change.
    virtual void DataChanging(TObject* Sender);
    virtual bool SetClipboard();
    virtual void DoPaste(TDragResult action, bool deleteOnPaste);
    virtual int32_t GetPerformedDropEffect() { return 0; }
    virtual int32_t GetLogicalPerformedDropEffect() { return 0; }
    virtual void SetPerformedDropEffect(int32_t) {}
    virtual int32_t GetPreferredDropEffect() { return 0; }
    virtual void SetPreferredDropEffect(int32_t) {}
    virtual bool GetInShellDragLoop() { return false; }
    virtual TGUID GetTargetCLSID() { return TGUID{}; }
    virtual void SetInShellDragLoop(bool) {}
    virtual TDragResult Execute();
    virtual bool CutToClipboard();
    virtual bool CopyToClipboard();
    virtual void FlushClipboard();
    virtual void EmptyClipboard();

private:
    void StartDragImage(QDrag& drag);

    const QList<QPixmap>* images_ = nullptr;
    int imageIndex_ = 0;
    bool showImage_ = false;
    bool allowAsyncTransfer_ = false;
    bool asyncMode_ = false;
    bool inOperation_ = false;
};

// Enumerates the format descriptions of data formats; a snapshot, so it
// never refers to the lists it was made from.
class TEnumFormatEtc : public TStdEnumFormatEtc {
public:
    // Every clipboard format of the data formats whose directions contain
    // direction, in list order; a format of the same class (or a derived one)
    // and the same identifier as one already listed is left out.
    TEnumFormatEtc(const TDataFormats& formats, TDataDirections direction)
        : TStdEnumFormatEtc(FormatsOf(formats, direction)) {}

private:
    static std::vector<FORMATETC> FormatsOf(const TDataFormats& formats, TDataDirections direction);
};

class TCustomDropMultiSource;

// A source's list of data formats: formats that join it report their changes
// to the source.
class TSourceDataFormats : public TDataFormats {
public:
    explicit TSourceDataFormats(TCustomDropMultiSource* source) : source_(source) {}
    int Add(TCustomDataFormat* format) override;

private:
    TCustomDropMultiSource* source_;
};

class TCustomDropMultiSource : public TCustomDropSource {
public:
    LUMI_CLASSNAME(TCustomDropMultiSource)
    explicit TCustomDropMultiSource(QObject* AOwner);
    ~TCustomDropMultiSource() override;

    TFeedbackDataFormat* FeedbackDataFormat;
    TRawDataFormat* RawDataFormat;

    using TCustomDropSource::SetData;
    HRESULT DoGetData(const FORMATETC& format, STGMEDIUM& medium) override;
    HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium) override;
    bool HasFormat(const FORMATETC& format) override;
    std::unique_ptr<IEnumFORMATETC> GetEnumFormatEtc(uint32_t direction) override;
    int32_t GetPerformedDropEffect() override;
    int32_t GetLogicalPerformedDropEffect() override;
    void SetPerformedDropEffect(int32_t value) override;
    int32_t GetPreferredDropEffect() override;
    void SetPreferredDropEffect(int32_t value) override;
    bool GetInShellDragLoop() override;
    TGUID GetTargetCLSID() override;
    void SetInShellDragLoop(bool value) override;
};

class TDropEmptySource : public TCustomDropMultiSource {
public:
    LUMI_CLASSNAME(TDropEmptySource)
    using TCustomDropMultiSource::TCustomDropMultiSource;
};
