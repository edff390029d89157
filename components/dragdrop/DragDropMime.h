#pragma once
// Where the library meets Qt's drag and clipboard objects. A clipboard format
// travels as its MIME type (MimeTypeOfFormat); text is converted between the
// code page and UTF-8, and the file-drop format carries local file names as
// the system's bytes (UTF-8 for names in UTF-8), each followed by CR LF.
#include "DragDrop.h"

#include <QMimeData>
#include <QPointer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;

// A data object that lives inside a QObject (a drop source): calls reach it
// while that object exists and fail with E_UNEXPECTED afterwards. Its
// asynchronous operation is the object's, when it has one (else E_NOINTERFACE).
class TGuardedDataObject : public IDataObject, public IAsyncOperation {
public:
    TGuardedDataObject(QObject* owner, IDataObject* object) : owner_(owner), object_(object) {}
    IDataObject* Object() const { return owner_ ? object_ : nullptr; }
    HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) override;
    HRESULT QueryGetData(const FORMATETC& format) override;
    HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium, bool release) override;
    HRESULT EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator) override;
    HRESULT SetAsyncMode(BOOL async) override;
    HRESULT GetAsyncMode(BOOL& async) override;
    HRESULT StartOperation() override;
    HRESULT InOperation(BOOL& inOperation) override;
    HRESULT EndOperation(HRESULT result, int32_t effects) override;

private:
    HRESULT Async(const std::function<HRESULT(IAsyncOperation&)>& call);
    QPointer<QObject> owner_;
    IDataObject* object_;
};

// A data object handed to another thread, in place of an interface marshalled
// into a stream for it: every call made there runs on the thread that owns
// the object (in that thread's event loop) while the caller waits, and what it
// gives back (media, enumerators) is the caller's own copy, so the object is
// only ever touched on its own thread. An exception raised there is shown
// there, and the call answers E_UNEXPECTED. Created on the owner's thread;
// Disconnect (there too) makes waiting and later calls fail with E_UNEXPECTED.
class TInterThreadDataObject : public QObject, public IDataObject, public IAsyncOperation {
public:
    explicit TInterThreadDataObject(std::shared_ptr<IDataObject> object);
    ~TInterThreadDataObject() override;

    HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) override;
    HRESULT QueryGetData(const FORMATETC& format) override;
    HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium, bool release) override;
    HRESULT EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator) override;
    HRESULT SetAsyncMode(BOOL async) override;
    HRESULT GetAsyncMode(BOOL& async) override;
    HRESULT StartOperation() override;
    HRESULT InOperation(BOOL& inOperation) override;
    HRESULT EndOperation(HRESULT result, int32_t effects) override;

    // Runs job on the owner's thread and waits for its answer (on that thread
    // itself: at once); E_UNEXPECTED once disconnected. The job must keep
    // what it writes to itself: after a disconnect the caller no longer waits
    // for it.
    HRESULT Call(std::function<HRESULT()> job);
    void Disconnect();

protected:
    void customEvent(QEvent* event) override;

private:
    struct TCall {
        std::function<HRESULT()> Job;
        HRESULT Result = Ole::E_UNEXPECTED;
        bool Done = false;
    };
    HRESULT Async(std::function<HRESULT(IAsyncOperation&)> call);

    std::shared_ptr<IDataObject> object_;  // used on the owner's thread only
    const std::thread::id owner_ = std::this_thread::get_id();
    std::mutex lock_;
    std::condition_variable answered_;
    std::deque<std::shared_ptr<TCall>> calls_;
    bool disconnected_ = false;
};

// Mime data that renders the formats of a data object when they are asked for.
class TDataObjectMimeData : public QMimeData {
public:
    explicit TDataObjectMimeData(std::shared_ptr<IDataObject> dataObject) : dataObject_(std::move(dataObject)) {}
    const std::shared_ptr<IDataObject>& DataObject() const { return dataObject_; }
    // Whether this carries object (directly or guarded).
    bool Holds(const IDataObject* object) const;
    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    std::shared_ptr<IDataObject> dataObject_;
};

// A data object over mime data that came from elsewhere (another program or
// plain QMimeData): it offers each MIME type as its clipboard format. What a
// target writes back cannot reach another program and is refused.
class TMimeDataObject : public IDataObject {
public:
    explicit TMimeDataObject(const QMimeData* mimeData) : mimeData_(mimeData) {}
    HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) override;
    HRESULT QueryGetData(const FORMATETC& format) override;
    HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium, bool release) override;
    HRESULT EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator) override;

private:
    std::vector<TClipFormat> Offered() const;
    QPointer<const QMimeData> mimeData_;
};

// The data object behind mime data: the program's own when it made the mime
// data, else one over the mime data.
std::shared_ptr<IDataObject> DataObjectOfMimeData(const QMimeData* mimeData);

// Plain mime data holding every format of the data object as rendered now.
std::unique_ptr<QMimeData> RenderMimeData(const TDataObjectMimeData& source);

// The clipboard as data objects.
void OleSetClipboard(std::shared_ptr<IDataObject> dataObject);
bool OleIsCurrentClipboard(const IDataObject* dataObject);
// Replaces the data object on the clipboard by a rendered copy of its data.
void OleFlushClipboard();
std::shared_ptr<IDataObject> OleGetClipboard();
