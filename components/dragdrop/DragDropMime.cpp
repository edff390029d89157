#include "DragDropMime.h"
#include "Application.h"

#include "DragDropFormats.h"
#include "DropSource.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QUrl>
#include <algorithm>

using namespace Ole;

namespace {

const QString TextMime = QStringLiteral("text/plain");
const QString UriListMime = QStringLiteral("text/uri-list");

// The bytes of a medium (a stream is read from its start, as far as its size says).
bool MediumBytes(const STGMEDIUM& medium, std::vector<uint8_t>& bytes)
{
    if (medium.tymed == TYMED_HGLOBAL) {
        bytes = medium.hGlobal;
        return true;
    }
    if (medium.tymed != TYMED_ISTREAM || !medium.pstm)
        return false;
    uint64_t size = 0;
    return medium.pstm->Stat(size) == S_OK && size <= uint64_t(INT32_MAX) &&
           ReadStreamBytes(*medium.pstm, size, bytes);
}

// Bytes of a clipboard format as its MIME type carries them.
QByteArray ToMime(TClipFormat format, const std::vector<uint8_t>& bytes)
{
    const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    if (format == CF_TEXT) {
        const qsizetype nul = raw.indexOf('\0');
        return fromAnsi(AnsiString(raw.constData(), size_t(nul < 0 ? raw.size() : nul))).toUtf8();
    }
    if (format == CF_HDROP) {
        QByteArray list;
        for (const QByteArray& line : raw.split('\n')) {
            const QByteArray path = line.endsWith('\r') ? line.chopped(1) : line;
            if (!path.isEmpty())
                list += LocalFileUrlOf(path).toEncoded() + "\r\n";
        }
        return list;
    }
    return raw;
}

// The local files of a URI list as the file-drop format carries them: the
// system's bytes of each path, one a line.
QByteArray FileDropBytes(const QMimeData& mime)
{
    QByteArray bytes;
    for (const QByteArray& path : LocalFilePathsOf(&mime))
        bytes += path + "\r\n";
    return bytes;
}

// Bytes of a clipboard format taken from foreign mime data.
QByteArray FromMime(TClipFormat format, const QMimeData& mime)
{
    if (format == CF_TEXT) {
        AnsiString text = toAnsi(mime.text());
        text.push_back('\0');
        return QByteArray(text.data(), qsizetype(text.size()));
    }
    if (format == CF_HDROP)
        return FileDropBytes(mime);
    return mime.data(MimeTypeOfFormat(format));
}

}  // namespace

// ---- guarded data object -----------------------------------------------------------

HRESULT TGuardedDataObject::GetData(const FORMATETC& format, STGMEDIUM& medium)
{
    IDataObject* o = Object();
    return o ? o->GetData(format, medium) : E_UNEXPECTED;
}

HRESULT TGuardedDataObject::QueryGetData(const FORMATETC& format)
{
    IDataObject* o = Object();
    return o ? o->QueryGetData(format) : E_UNEXPECTED;
}

HRESULT TGuardedDataObject::SetData(const FORMATETC& format, STGMEDIUM& medium, bool release)
{
    IDataObject* o = Object();
    if (o)
        return o->SetData(format, medium, release);
    return FinishSetData(medium, release, E_UNEXPECTED);
}

HRESULT TGuardedDataObject::EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator)
{
    IDataObject* o = Object();
    return o ? o->EnumFormatEtc(direction, enumerator) : E_UNEXPECTED;
}

HRESULT TGuardedDataObject::Async(const std::function<HRESULT(IAsyncOperation&)>& call)
{
    auto* async = dynamic_cast<IAsyncOperation*>(Object());
    return async ? call(*async) : E_NOINTERFACE;
}

HRESULT TGuardedDataObject::SetAsyncMode(BOOL async)
{
    return Async([&](IAsyncOperation& a) { return a.SetAsyncMode(async); });
}

HRESULT TGuardedDataObject::GetAsyncMode(BOOL& async)
{
    async = 0;
    return Async([&](IAsyncOperation& a) { return a.GetAsyncMode(async); });
}

HRESULT TGuardedDataObject::StartOperation()
{
    return Async([](IAsyncOperation& a) { return a.StartOperation(); });
}

HRESULT TGuardedDataObject::InOperation(BOOL& inOperation)
{
    inOperation = 0;
    return Async([&](IAsyncOperation& a) { return a.InOperation(inOperation); });
}

HRESULT TGuardedDataObject::EndOperation(HRESULT result, int32_t effects)
{
    return Async([&](IAsyncOperation& a) { return a.EndOperation(result, effects); });
}

// ---- data object on another thread -----------------------------------------------------

namespace {

QEvent::Type CallEventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

// The caller's own copy of a medium: a stream is copied with its contents and position.
bool CopyMediumForCaller(STGMEDIUM& medium)
{
    if (medium.tymed != TYMED_ISTREAM || !medium.pstm)
        return true;
    uint64_t size = 0;
    uint64_t position = 0;
    std::vector<uint8_t> bytes;
    if (medium.pstm->Seek(0, STREAM_SEEK_CUR, &position) != S_OK || medium.pstm->Stat(size) != S_OK ||
        size > uint64_t(INT32_MAX) || !ReadStreamBytes(*medium.pstm, size, bytes))
        return false;
    auto copy = std::make_unique<TMemoryStream>();
    copy->WriteBuffer(bytes.data(), int32_t(bytes.size()));
    copy->SetPosition(int64_t(std::min(position, uint64_t(size))));
    medium.pstm = std::make_shared<TFixedStreamAdapter>(std::move(copy));
    return true;
}

}  // namespace

TInterThreadDataObject::TInterThreadDataObject(std::shared_ptr<IDataObject> object) : object_(std::move(object)) {}

TInterThreadDataObject::~TInterThreadDataObject() { Disconnect(); }

HRESULT TInterThreadDataObject::Call(std::function<HRESULT()> job)
{
    if (std::this_thread::get_id() == owner_) {
        // Only this thread changes disconnected_.
        HRESULT result = E_UNEXPECTED;
        if (!disconnected_)
            HandleExceptions([&] { result = job(); });
        return result;
    }
    auto call = std::make_shared<TCall>();
    call->Job = std::move(job);
    // Made before the call is handed over, so that the owner's thread sees it
    // complete once it has taken the call under the lock.
    auto* wake = new QEvent(CallEventType());
    {
        std::lock_guard guard(lock_);
        if (disconnected_) {
            delete wake;
            return E_UNEXPECTED;
        }
        calls_.push_back(call);
    }
    QCoreApplication::postEvent(this, wake);
    std::unique_lock guard(lock_);
    answered_.wait(guard, [&] { return call->Done || disconnected_; });
    return call->Done ? call->Result : E_UNEXPECTED;
}

void TInterThreadDataObject::customEvent(QEvent*)
{
    // The event itself is not read: the calls waiting are in the queue.
    for (;;) {
        std::shared_ptr<TCall> call;
        {
            std::lock_guard guard(lock_);
            if (disconnected_ || calls_.empty())
                return;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        // What a handler raises here is shown here; the caller gets E_UNEXPECTED.
        HRESULT result = E_UNEXPECTED;
        HandleExceptions([&] { result = call->Job(); });
        {
            // The caller frees the call: it reads the answer after taking the lock.
            std::lock_guard guard(lock_);
            call->Result = result;
            call->Done = true;
            call.reset();
        }
        answered_.notify_all();
    }
}

void TInterThreadDataObject::Disconnect()
{
    {
        std::lock_guard guard(lock_);
        disconnected_ = true;
        calls_.clear();
    }
    answered_.notify_all();
}

HRESULT TInterThreadDataObject::GetData(const FORMATETC& format, STGMEDIUM& medium)
{
    auto answer = std::make_shared<STGMEDIUM>();
    const HRESULT hr = Call([this, format, answer] {
        const HRESULT r = object_->GetData(format, *answer);
        return r == S_OK && !CopyMediumForCaller(*answer) ? E_UNEXPECTED : r;
    });
    medium = Succeeded(hr) ? std::move(*answer) : STGMEDIUM{};
    return hr;
}

HRESULT TInterThreadDataObject::QueryGetData(const FORMATETC& format)
{
    return Call([this, format] { return object_->QueryGetData(format); });
}

HRESULT TInterThreadDataObject::SetData(const FORMATETC& format, STGMEDIUM& medium, bool release)
{
    const HRESULT hr = Call([this, format, given = medium]() mutable { return object_->SetData(format, given, true); });
    return FinishSetData(medium, release, hr);
}

HRESULT TInterThreadDataObject::EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator)
{
    auto formats = std::make_shared<std::vector<FORMATETC>>();
    const HRESULT hr = Call([this, direction, formats] {
        std::unique_ptr<IEnumFORMATETC> e;
        const HRESULT r = object_->EnumFormatEtc(direction, e);
        FORMATETC f;
        uint32_t fetched = 0;
        while (Succeeded(r) && e && e->Next(1, &f, &fetched) == S_OK && fetched == 1)
            formats->push_back(f);
        return r;
    });
    enumerator.reset();
    if (Succeeded(hr))
        enumerator = std::make_unique<TStdEnumFormatEtc>(std::move(*formats));
    return hr;
}

HRESULT TInterThreadDataObject::Async(std::function<HRESULT(IAsyncOperation&)> call)
{
    return Call([this, call = std::move(call)] {
        auto* async = dynamic_cast<IAsyncOperation*>(object_.get());
        return async ? call(*async) : E_NOINTERFACE;
    });
}

HRESULT TInterThreadDataObject::SetAsyncMode(BOOL async)
{
    return Async([async](IAsyncOperation& a) { return a.SetAsyncMode(async); });
}

HRESULT TInterThreadDataObject::GetAsyncMode(BOOL& async)
{
    auto answer = std::make_shared<BOOL>(0);
    const HRESULT hr = Async([answer](IAsyncOperation& a) { return a.GetAsyncMode(*answer); });
    async = Succeeded(hr) ? *answer : 0;
    return hr;
}

HRESULT TInterThreadDataObject::StartOperation()
{
    return Async([](IAsyncOperation& a) { return a.StartOperation(); });
}

HRESULT TInterThreadDataObject::InOperation(BOOL& inOperation)
{
    auto answer = std::make_shared<BOOL>(0);
    const HRESULT hr = Async([answer](IAsyncOperation& a) { return a.InOperation(*answer); });
    inOperation = Succeeded(hr) ? *answer : 0;
    return hr;
}

HRESULT TInterThreadDataObject::EndOperation(HRESULT result, int32_t effects)
{
    return Async([result, effects](IAsyncOperation& a) { return a.EndOperation(result, effects); });
}

// ---- mime data of a data object ------------------------------------------------------

bool TDataObjectMimeData::Holds(const IDataObject* object) const
{
    if (!object)
        return false;
    if (dataObject_.get() == object)
        return true;
    auto* guarded = dynamic_cast<TGuardedDataObject*>(dataObject_.get());
    return guarded && guarded->Object() == object;
}

QStringList TDataObjectMimeData::formats() const
{
    QStringList list;
    std::unique_ptr<IEnumFORMATETC> e;
    if (!dataObject_ || dataObject_->EnumFormatEtc(DATADIR_GET, e) != S_OK || !e)
        return list;
    FORMATETC f;
    uint32_t fetched = 0;
    while (e->Next(1, &f, &fetched) == S_OK && fetched == 1) {
        const QString mime = MimeTypeOfFormat(f.cfFormat);
        if (!mime.isEmpty() && !list.contains(mime))
            list.append(mime);
    }
    return list;
}

QVariant TDataObjectMimeData::retrieveData(const QString& mimeType, QMetaType) const
{
    if (!dataObject_ || !formats().contains(mimeType))
        return {};
    FORMATETC request;
    request.cfFormat = FormatOfMimeType(mimeType);
    request.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
    STGMEDIUM medium;
    std::vector<uint8_t> bytes;
    if (dataObject_->GetData(request, medium) != S_OK || !MediumBytes(medium, bytes))
        return {};
    return ToMime(request.cfFormat, bytes);
}

std::unique_ptr<QMimeData> RenderMimeData(const TDataObjectMimeData& source)
{
    auto copy = std::make_unique<QMimeData>();
    for (const QString& mime : source.formats()) {
        const QByteArray bytes = source.data(mime);
        if (!bytes.isEmpty())
            copy->setData(mime, bytes);
    }
    return copy;
}

// ---- data object of foreign mime data ----------------------------------------------------

std::vector<TClipFormat> TMimeDataObject::Offered() const
{
    std::vector<TClipFormat> list;
    if (!mimeData_)
        return list;
    auto add = [&](TClipFormat f) {
        if (f != 0 && std::find(list.begin(), list.end(), f) == list.end())
            list.push_back(f);
    };
    for (const QString& mime : mimeData_->formats()) {
        if (mime == UriListMime) {
            if (!FileDropBytes(*mimeData_).isEmpty())
                add(CF_HDROP);
        } else if (mime.startsWith(TextMime)) {
            add(CF_TEXT);
        } else {
            add(FormatOfMimeType(mime));
        }
    }
    return list;
}

HRESULT TMimeDataObject::QueryGetData(const FORMATETC& format)
{
    const std::vector<TClipFormat> offered = Offered();
    if (format.ptd || format.dwAspect != DVASPECT_CONTENT || format.lindex > 0 ||
        !(format.tymed & (TYMED_HGLOBAL | TYMED_ISTREAM)) ||
        std::find(offered.begin(), offered.end(), format.cfFormat) == offered.end())
        return DV_E_FORMATETC;
    return S_OK;
}

HRESULT TMimeDataObject::GetData(const FORMATETC& format, STGMEDIUM& medium)
{
    medium = STGMEDIUM{};
    const HRESULT hr = QueryGetData(format);
    if (hr != S_OK)
        return hr;
    const QByteArray bytes = FromMime(format.cfFormat, *mimeData_);
    if (format.tymed & TYMED_HGLOBAL) {
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal.assign(bytes.begin(), bytes.end());
    } else {
        auto stream = std::make_unique<TMemoryStream>();
        stream->WriteBuffer(bytes.constData(), int32_t(bytes.size()));
        stream->SetPosition(0);
        medium.tymed = TYMED_ISTREAM;
        medium.pstm = std::make_shared<TFixedStreamAdapter>(std::move(stream));
    }
    return S_OK;
}

HRESULT TMimeDataObject::SetData(const FORMATETC&, STGMEDIUM& medium, bool release)
{
    return FinishSetData(medium, release, E_NOTIMPL);
}

HRESULT TMimeDataObject::EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator)
{
    enumerator.reset();
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    std::vector<FORMATETC> list;
    for (TClipFormat f : Offered()) {
        FORMATETC fe;
        fe.cfFormat = f;
        fe.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
        list.push_back(fe);
    }
    enumerator = std::make_unique<TStdEnumFormatEtc>(std::move(list));
    return S_OK;
}

std::shared_ptr<IDataObject> DataObjectOfMimeData(const QMimeData* mimeData)
{
    if (auto* own = dynamic_cast<const TDataObjectMimeData*>(mimeData))
        return own->DataObject();
    return std::make_shared<TMimeDataObject>(mimeData);
}

// ---- clipboard ---------------------------------------------------------------------------------

void OleSetClipboard(std::shared_ptr<IDataObject> dataObject)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (dataObject)
        clipboard->setMimeData(new TDataObjectMimeData(std::move(dataObject)));
    else
        clipboard->clear();
}

bool OleIsCurrentClipboard(const IDataObject* dataObject)
{
    auto* own = dynamic_cast<const TDataObjectMimeData*>(QGuiApplication::clipboard()->mimeData());
    return own && own->Holds(dataObject);
}

void OleFlushClipboard()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (auto* own = dynamic_cast<const TDataObjectMimeData*>(clipboard->mimeData()))
        clipboard->setMimeData(RenderMimeData(*own).release());
}

std::shared_ptr<IDataObject> OleGetClipboard()
{
    return DataObjectOfMimeData(QGuiApplication::clipboard()->mimeData());
}
