#pragma once
// The OLE data-transfer vocabulary that the drag-and-drop code speaks: result
// codes, drop effects, key states, clipboard format identifiers, format
// descriptions, storage media, streams and the data object interface, with
// their counterparts in Qt's drag vocabulary (actions, modifiers, MIME types).
#include "AnsiString.h"

#include <QStringList>
#include <QtCore/qnamespace.h>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

class QMimeData;
class QUrl;

using HRESULT = int32_t;
inline bool Succeeded(HRESULT hr) { return hr >= 0; }

// Clipboard format identifiers: predefined ones below 0xC000, registered
// names from 0xC000 on.
using TClipFormat = uint16_t;

// The platform's constants live in their own namespace, which keeps their
// short names (S_OK, CF_TEXT) out of the global scope.
namespace Ole {

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT E_ABORT = HRESULT(0x80004004u);
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT DV_E_FORMATETC = HRESULT(0x80040064u);
constexpr HRESULT DV_E_TYMED = HRESULT(0x80040069u);
constexpr HRESULT DV_E_CLIPFORMAT = HRESULT(0x8004006Au);
constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;

// Drop effects.
constexpr int32_t DROPEFFECT_NONE = 0;
constexpr int32_t DROPEFFECT_COPY = 1;
constexpr int32_t DROPEFFECT_MOVE = 2;
constexpr int32_t DROPEFFECT_LINK = 4;
constexpr int32_t DROPEFFECT_SCROLL = int32_t(0x80000000u);

// Key-state bits of the drag calls.
constexpr int32_t MK_LBUTTON = 0x01;
constexpr int32_t MK_RBUTTON = 0x02;
constexpr int32_t MK_SHIFT = 0x04;
constexpr int32_t MK_CONTROL = 0x08;
constexpr int32_t MK_MBUTTON = 0x10;
constexpr int32_t MK_ALT = 0x20;

constexpr TClipFormat CF_TEXT = 1;
constexpr TClipFormat CF_HDROP = 15;
// The shell's array of item identifier lists.
constexpr char CFSTR_SHELLIDLIST[] = "Shell IDList Array";

// Medium types (bits).
constexpr uint32_t TYMED_NULL = 0;
constexpr uint32_t TYMED_HGLOBAL = 1;
constexpr uint32_t TYMED_FILE = 2;
constexpr uint32_t TYMED_ISTREAM = 4;

constexpr uint32_t DVASPECT_CONTENT = 1;
constexpr uint32_t DATADIR_GET = 1;
constexpr uint32_t DATADIR_SET = 2;

}  // namespace Ole

// A class identifier, kept as its 16 stored bytes.
struct TGUID {
    uint8_t Bytes[16] = {};
    bool operator==(const TGUID&) const = default;
    bool IsNull() const { return *this == TGUID{}; }
};

// What a data transfer asks for or offers: format, device (always none
// here), aspect, item index (-1 = all) and the medium types allowed.
struct FORMATETC {
    TClipFormat cfFormat = 0;
    const void* ptd = nullptr;
    uint32_t dwAspect = Ole::DVASPECT_CONTENT;
    int32_t lindex = -1;
    uint32_t tymed = Ole::TYMED_NULL;
};

namespace Ole {
constexpr uint32_t STREAM_SEEK_SET = 0;
constexpr uint32_t STREAM_SEEK_CUR = 1;
constexpr uint32_t STREAM_SEEK_END = 2;
}  // namespace Ole

// A stream handed between data objects.
class IStream {
public:
    virtual ~IStream() = default;
    virtual HRESULT Read(void* buffer, uint32_t count, uint32_t* read) = 0;
    virtual HRESULT Write(const void* buffer, uint32_t count, uint32_t* written) = 0;
    virtual HRESULT Seek(int64_t move, uint32_t origin, uint64_t* newPosition) = 0;
    // The size in bytes (the statistics without the name).
    virtual HRESULT Stat(uint64_t& size) = 0;
    // Copies count bytes (below 0: the rest) from the position into dest.
    virtual HRESULT CopyTo(IStream& dest, int64_t count, int64_t* read, int64_t* written) = 0;
};

// A storage medium: a memory block (the global block) or a stream.
struct STGMEDIUM {
    uint32_t tymed = Ole::TYMED_NULL;
    std::vector<uint8_t> hGlobal;
    std::shared_ptr<IStream> pstm;
};

inline void ReleaseStgMedium(STGMEDIUM& medium) { medium = STGMEDIUM{}; }
// Ends a SetData call with answer hr: the medium is released when the caller
// handed it over (release).
inline HRESULT FinishSetData(STGMEDIUM& medium, bool release, HRESULT hr)
{
    if (release)
        ReleaseStgMedium(medium);
    return hr;
}

class IEnumFORMATETC {
public:
    virtual ~IEnumFORMATETC() = default;
    // Copies up to count entries into formats; S_OK when count were copied.
    virtual HRESULT Next(uint32_t count, FORMATETC* formats, uint32_t* fetched) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(std::unique_ptr<IEnumFORMATETC>& clone) = 0;
};

// The standard enumerator over a list of format descriptions and a cursor.
// Next answers S_FALSE when fewer than count came; Skip past the end puts the
// cursor at the end and answers S_FALSE; a clone has the same list and cursor.
class TStdEnumFormatEtc : public IEnumFORMATETC {
public:
    explicit TStdEnumFormatEtc(std::vector<FORMATETC> formats, size_t cursor = 0)
        : formats_(std::move(formats)), cursor_(cursor) {}
    HRESULT Next(uint32_t count, FORMATETC* formats, uint32_t* fetched) override;
    HRESULT Skip(uint32_t count) override;
    HRESULT Reset() override;
    HRESULT Clone(std::unique_ptr<IEnumFORMATETC>& clone) override;

private:
    std::vector<FORMATETC> formats_;
    size_t cursor_ = 0;
};

// The data of a drag or of the clipboard.
class IDataObject {
public:
    virtual ~IDataObject() = default;
    virtual HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC& format) = 0;
    // Takes the medium; with release it is released afterwards.
    virtual HRESULT SetData(const FORMATETC& format, STGMEDIUM& medium, bool release) = 0;
    virtual HRESULT EnumFormatEtc(uint32_t direction, std::unique_ptr<IEnumFORMATETC>& enumerator) = 0;
};

// The identifier of a format name (compared without case, as the platform
// does); 0 for an empty name.
TClipFormat RegisterClipboardFormatA(const AnsiString& name);
// The registered name of an identifier; empty for predefined and unknown ones.
AnsiString GetClipboardFormatNameA(TClipFormat format);

// A clipboard format travels in Qt's drags and clipboard as one MIME type:
// text as "text/plain", the file drop as "text/uri-list", the shell's
// identifier-list array under the name Qt gives a native format of the
// Windows clipboard ("application/x-qt-windows-mime;value=\"Shell IDList
// Array\""), and every other registered format under its own name. Empty for
// an unknown format.
QString MimeTypeOfFormat(TClipFormat format);
// The format of a MIME type (registered when new); 0 for an empty one.
TClipFormat FormatOfMimeType(const QString& mimeType);
// The local files of the URI list that mime data carries (none for nil), as
// the system's bytes of their paths: "file" URLs of this machine (no host,
// or "localhost") with an absolute path. A path holding a NUL character
// names no file and is left out, as is a URL of another host.
QList<QByteArray> LocalFilePathsOf(const QMimeData* data);
// The same as file names (DecodeFileName).
QStringList LocalFilesOf(const QMimeData* data);
// The "file" URL of the system's bytes of a local path, byte for byte.
QUrl LocalFileUrlOf(const QByteArray& path);

// Drop effects (copy, move, link) and Qt's drop actions.
int32_t DropEffectsOfActions(Qt::DropActions actions);
Qt::DropActions DropActionsOfEffects(int32_t effects);
// The key state (MK_ bits) of Qt's modifier and button flags.
int32_t KeyStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
