#include "Ole.h"

#include "SysUtils.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <mutex>

namespace {

constexpr TClipFormat FirstRegisteredFormat = 0xC000;

struct FormatNames {
    std::mutex lock;
    std::vector<AnsiString> names;  // index = identifier - FirstRegisteredFormat
};

FormatNames& Names()
{
    static FormatNames n;
    return n;
}

}  // namespace

TClipFormat RegisterClipboardFormatA(const AnsiString& name)
{
    if (name.empty())
        return 0;
    FormatNames& n = Names();
    std::lock_guard guard(n.lock);
    for (size_t i = 0; i < n.names.size(); ++i)
        if (SameText(n.names[i], name))
            return TClipFormat(FirstRegisteredFormat + i);
    if (n.names.size() >= size_t(0x10000 - FirstRegisteredFormat))
        return 0;
    n.names.push_back(name);
    return TClipFormat(FirstRegisteredFormat + n.names.size() - 1);
}

AnsiString GetClipboardFormatNameA(TClipFormat format)
{
    if (format < FirstRegisteredFormat)
        return {};
    FormatNames& n = Names();
    std::lock_guard guard(n.lock);
    const size_t i = format - FirstRegisteredFormat;
    return i < n.names.size() ? n.names[i] : AnsiString();
}

// ---- format enumerator -------------------------------------------------------------

HRESULT TStdEnumFormatEtc::Next(uint32_t count, FORMATETC* formats, uint32_t* fetched)
{
    uint32_t n = 0;
    while (n < count && cursor_ < formats_.size())
        formats[n++] = formats_[cursor_++];
    if (fetched)
        *fetched = n;
    return n == count ? Ole::S_OK : Ole::S_FALSE;
}

HRESULT TStdEnumFormatEtc::Skip(uint32_t count)
{
    if (cursor_ + count > formats_.size()) {
        cursor_ = formats_.size();
        return Ole::S_FALSE;
    }
    cursor_ += count;
    return Ole::S_OK;
}

HRESULT TStdEnumFormatEtc::Reset()
{
    cursor_ = 0;
    return Ole::S_OK;
}

HRESULT TStdEnumFormatEtc::Clone(std::unique_ptr<IEnumFORMATETC>& clone)
{
    clone = std::make_unique<TStdEnumFormatEtc>(formats_, cursor_);
    return Ole::S_OK;
}

// ---- Qt's drag vocabulary ---------------------------------------------------------------

namespace {

const QString TextMime = QStringLiteral("text/plain");
const QString UriListMime = QStringLiteral("text/uri-list");
const QString NativeMimePrefix = QStringLiteral("application/x-qt-windows-mime;value=\"");

// Whether a format name is the shell's identifier-list array, which travels
// as a native format.
bool IsShellFormatName(const AnsiString& name)
{
    return SameText(name, Ole::CFSTR_SHELLIDLIST);
}

}  // namespace

QString MimeTypeOfFormat(TClipFormat format)
{
    if (format == Ole::CF_TEXT)
        return TextMime;
    if (format == Ole::CF_HDROP)
        return UriListMime;
    const AnsiString name = GetClipboardFormatNameA(format);
    if (IsShellFormatName(name))
        return NativeMimePrefix + QLatin1String(Ole::CFSTR_SHELLIDLIST) + '"';
    return fromAnsi(name);
}

TClipFormat FormatOfMimeType(const QString& mimeType)
{
    if (mimeType == TextMime)
        return Ole::CF_TEXT;
    if (mimeType == UriListMime)
        return Ole::CF_HDROP;
    if (mimeType.size() > NativeMimePrefix.size() && mimeType.startsWith(NativeMimePrefix) &&
        mimeType.endsWith('"')) {
        const AnsiString name = toAnsi(mimeType.mid(NativeMimePrefix.size()).chopped(1));
        if (IsShellFormatName(name))
            return RegisterClipboardFormatA(name);
    }
    return RegisterClipboardFormatA(toAnsi(mimeType));
}

QList<QByteArray> LocalFilePathsOf(const QMimeData* data)
{
    QList<QByteArray> paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || !(url.host().isEmpty() || url.host().compare("localhost", Qt::CaseInsensitive) == 0))
            continue;
        const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (path.startsWith('/') && !path.contains('\0'))
            paths << path;
    }
    return paths;
}

QStringList LocalFilesOf(const QMimeData* data)
{
    QStringList files;
    for (const QByteArray& path : LocalFilePathsOf(data))
        files << DecodeFileName(path);
    return files;
}

QUrl LocalFileUrlOf(const QByteArray& path)
{
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"));
}

int32_t DropEffectsOfActions(Qt::DropActions actions)
{
    int32_t e = Ole::DROPEFFECT_NONE;
    if (actions & Qt::CopyAction) e |= Ole::DROPEFFECT_COPY;
    if (actions & Qt::MoveAction) e |= Ole::DROPEFFECT_MOVE;
    if (actions & Qt::LinkAction) e |= Ole::DROPEFFECT_LINK;
    return e;
}

Qt::DropActions DropActionsOfEffects(int32_t effects)
{
    Qt::DropActions a;
    if (effects & Ole::DROPEFFECT_COPY) a |= Qt::CopyAction;
    if (effects & Ole::DROPEFFECT_MOVE) a |= Qt::MoveAction;
    if (effects & Ole::DROPEFFECT_LINK) a |= Qt::LinkAction;
    return a;
}

int32_t KeyStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    int32_t k = 0;
    if (buttons & Qt::LeftButton) k |= Ole::MK_LBUTTON;
    if (buttons & Qt::RightButton) k |= Ole::MK_RBUTTON;
    if (modifiers & Qt::ShiftModifier) k |= Ole::MK_SHIFT;
    if (modifiers & Qt::ControlModifier) k |= Ole::MK_CONTROL;
    if (buttons & Qt::MiddleButton) k |= Ole::MK_MBUTTON;
    if (modifiers & Qt::AltModifier) k |= Ole::MK_ALT;
    return k;
}
