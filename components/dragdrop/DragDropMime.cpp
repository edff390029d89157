#include "DragDropMime.h"

#include "DragDropFormats.h"
#include "DropSource.h"

#include <QClipboard>
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
            const QString path = QString::fromUtf8(line.endsWith('\r') ? line.chopped(1) : line);
            if (!path.isEmpty())
                list += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
        }
        return list;
    }
    return raw;
}

// The local files of a URI list as the file-drop format carries them.
QByteArray FileDropBytes(const QMimeData& mime)
{
    QByteArray bytes;
    for (const QString& file : LocalFilesOf(&mime))
        bytes += file.toUtf8() + "\r\n";
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
