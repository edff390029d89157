#include "SsBase.h"

#include "Version.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

// ---- exceptions ----------------------------------------------------------------

void SsMessageText(int32_t id, AnsiString& text)
{
    for (const TSsMessageEntry& e : SsMessageTable)
        if (e.Id == id) {
            text = e.Text;
            return;
        }
}

const char* const SsMenuTextContext = "TSsContextMenu";

QString SsMenuText(const char* source)
{
    return QCoreApplication::translate(SsMenuTextContext, source);
}

QString SsLocalizedMessage(int32_t id)
{
    AnsiString text;
    SsMessageText(id, text);
    return text.empty() ? QString() : SsMenuText(text.c_str());
}

ESsException ESsException::CreateById(int32_t id)
{
    AnsiString text;
    SsMessageText(id, text);
    return ESsException(text);
}

ESsException ESsException::CreateByIdFmt(int32_t id, std::initializer_list<TVarRec> args)
{
    AnsiString text;
    SsMessageText(id, text);
    return ESsException(Format(text, args));
}

void RaiseContainerError(int32_t id)
{
    RaiseSsError<ESsContainerError>(id);
}

void RaiseContainerErrorFmt(int32_t id, std::initializer_list<TVarRec> args)
{
    ESsContainerError e(ESsException::CreateByIdFmt(id, args).Message);
    e.ErrorCode = id;
    throw e;
}

// ---- short strings -------------------------------------------------------------------

AnsiString LeftPadChar(const AnsiString& s, char ch, int len)
{
    if (len <= int(s.size()) || s.size() >= 255)
        return s;
    const int n = std::min(len, 255);
    return AnsiString(size_t(n) - s.size(), ch) + s;
}

AnsiString LeftPad(const AnsiString& s, int len)
{
    return LeftPadChar(s, ' ', len);
}

bool FindCharPos(const AnsiString& s, char ch, int& pos)
{
    const size_t i = s.find(ch);
    pos = i == AnsiString::npos ? 0 : int(i) + 1;
    return pos != 0;
}

AnsiString TrimBlanks(const AnsiString& s)
{
    size_t e = s.size();
    while (e > 0 && uint8_t(s[e - 1]) <= 32)
        --e;
    size_t b = 0;
    while (b < e && uint8_t(s[b]) <= 32)
        ++b;
    return s.substr(b, e - b);
}

AnsiString IntToShortStr(int32_t n)
{
    return IntToStr(n);
}

AnsiString GroupDigitsWith(int64_t n, char sep)
{
    // The magnitude as unsigned so that the smallest value is handled too.
    uint64_t m = n < 0 ? uint64_t(0) - uint64_t(n) : uint64_t(n);
    const AnsiString digits = std::to_string(m);
    AnsiString out;
    const size_t len = digits.size();
    for (size_t i = 0; i < len; ++i) {
        if (i > 0 && (len - i) % 3 == 0)
            out += sep;
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

AnsiString GroupDigits(int64_t n)
{
    return GroupDigitsWith(n, ',');
}

double SsVersionTextToNumber(const AnsiString& text)
{
    TFormatSettings point;
    point.DecimalSeparator = '.';
    point.ThousandSeparator = ',';
    double v = 0;
    if (TryStrToFloat(text, v, point))
        return v;
    const size_t first = text.find('.');
    const size_t second = first == AnsiString::npos ? first : text.find('.', first + 1);
    if (second == AnsiString::npos || second >= 6)
        return 0;
    return TryStrToFloat(text.substr(0, second), v, point) ? v : 0;
}

// ---- item identifier lists ----------------------------------------------------------

QByteArray TSsIdList::Bytes() const
{
    QByteArray out;
    for (const QByteArray& id : ids_) {
        const uint16_t cb = uint16_t(id.size() + 2);
        out.append(char(cb & 0xFF));
        out.append(char(cb >> 8));
        out.append(id);
    }
    out.append(2, '\0');
    return out;
}

PSsIdList SsILClone(const TSsIdList* list)
{
    return list ? std::make_unique<TSsIdList>(*list) : nullptr;
}

PSsIdList SsILCloneFirst(const TSsIdList* list)
{
    if (!list)
        return nullptr;
    auto r = std::make_unique<TSsIdList>();
    if (list->Count() > 0)
        r->Append(list->Id(0));
    return r;
}

PSsIdList SsILCombine(const TSsIdList* a, const TSsIdList* b)
{
    if (!a && !b)
        return nullptr;
    auto r = std::make_unique<TSsIdList>();
    for (const TSsIdList* l : {a, b})
        if (l)
            for (const QByteArray& id : l->Ids())
                r->Append(id);
    return r;
}

PSsIdList SsILNext(const TSsIdList* list)
{
    if (!list || list->Count() == 0)
        return nullptr;
    return std::make_unique<TSsIdList>(
        std::vector<QByteArray>(list->Ids().begin() + 1, list->Ids().end()));
}

PSsIdList SsILFindLast(const TSsIdList* list)
{
    if (!list || list->Count() == 0)
        return nullptr;
    return std::make_unique<TSsIdList>(std::vector<QByteArray>{list->Id(list->Count() - 1)});
}

bool SsILIsEqual(const TSsIdList* a, const TSsIdList* b)
{
    if (!a || !b)
        return a == b;
    return a->Ids() == b->Ids();
}

bool SsILRemoveLastID(TSsIdList* list)
{
    if (!list || list->Count() == 0)
        return false;
    std::vector<QByteArray> ids = list->Ids();
    ids.pop_back();
    *list = TSsIdList(std::move(ids));
    return true;
}

uint32_t SsILGetSize(const TSsIdList* list)
{
    if (!list)
        return 0;
    uint32_t n = 2;
    for (const QByteArray& id : list->Ids())
        n += uint32_t(id.size()) + 2;
    return n;
}

void SsILFree(PSsIdList& list)
{
    list.reset();
}

PSsIdList GetParentLastID(const TSsIdList* list)
{
    PSsIdList parent = SsILClone(list);
    if (!SsILRemoveLastID(parent.get()))
        return nullptr;
    return SsILFindLast(parent.get());
}

// ---- clipboard formats ---------------------------------------------------------------

TClipFormat SsCFIdList()
{
    static const TClipFormat format = RegisterClipboardFormatA(Ole::CFSTR_SHELLIDLIST);
    return format;
}

// ---- version ---------------------------------------------------------------

double SsShellVersion()
{
    return SsVersionTextToNumber(qVersion());
}

// ---- version information -------------------------------------------------------

namespace {
const AnsiString StringTableRoot = "\\StringFileInfo\\";

// The first string table of the block ("040704E4"): its language and code page.
bool FirstTranslation(const TFileVersionBlock& block, AnsiString& table)
{
    for (const auto& [path, value] : block.Strings) {
        if (path.size() <= StringTableRoot.size() ||
            AnsiCompareText(path.substr(0, StringTableRoot.size()), StringTableRoot) != 0)
            continue;
        const size_t end = path.find('\\', StringTableRoot.size());
        if (end == AnsiString::npos)
            continue;
        table = path.substr(StringTableRoot.size(), end - StringTableRoot.size());
        return true;
    }
    return false;
}

// A string value by its sub-block path; names compare without case.
bool QueryString(const TFileVersionBlock& block, const AnsiString& path, AnsiString& value)
{
    for (const auto& [p, v] : block.Strings)
        if (AnsiCompareText(p, path) == 0) {
            value = v;
            return true;
        }
    return false;
}
}  // namespace

TSsCustomVersionInfo::TSsCustomVersionInfo()
{
    SetFileName(QString());
}

void TSsCustomVersionInfo::SetFileName(const QString& name)
{
    if (!name.isEmpty() && !QFileInfo(name).isFile())
        RaiseSsError<ESsVersionInfoError>(SsscFileOpen);
    QString full = name;
    if (full.isEmpty() && QCoreApplication::instance())
        full = QCoreApplication::applicationFilePath();
    if (full != fileName_)
        loaded_ = false;
    fileName_ = full;
}

void TSsCustomVersionInfo::EnsureLoaded()
{
    if (!loaded_) {
        AnsiString unused;
        LoadVersionInfo(AnsiString(), unused);
    }
}

double TSsCustomVersionInfo::GetFileVersion()
{
    EnsureLoaded();
    return FileVersionNumber;
}

double TSsCustomVersionInfo::GetProductVersion()
{
    EnsureLoaded();
    return ProductVersionNumber;
}

void TSsCustomVersionInfo::LoadVersionInfo(const AnsiString& key, AnsiString& value)
{
    const std::optional<TFileVersionBlock> block = GetFileVersionBlock(fileName_);
    if (!block)
        RaiseSsError<ESsVersionInfoError>(SsscNoVersionInfo);
    AnsiString table;
    if (!FirstTranslation(*block, table))
        RaiseSsError<ESsVersionInfoError>(SsscVersionInfoRead);
    loaded_ = true;
    const AnsiString prefix = StringTableRoot + table + "\\";
    if (!key.empty()) {
        if (!QueryString(*block, prefix + key, value)) {
            value.clear();
            RaiseSsError<ESsVersionInfoError>(SsscVerInfoKeyNotFound);
        }
        return;
    }
    FileVersionMS = block->FileVersionMS;
    FileVersionLS = block->FileVersionLS;
    ProductVersionMS = block->ProductVersionMS;
    ProductVersionLS = block->ProductVersionLS;
    auto text = [&](const char* name, AnsiString& out, double& number) {
        if (!QueryString(*block, prefix + name, out) || out.empty()) {
            out.clear();
            number = 0;
        } else
            number = SsVersionTextToNumber(out);
    };
    text("FileVersion", FileVersion, FileVersionNumber);
    text("ProductVersion", ProductVersion, ProductVersionNumber);
}
