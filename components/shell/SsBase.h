#pragma once
// Base of the shell browsing library: the component base, the exception
// family, short-string helpers, item identifier lists and version information.
#include "AnsiString.h"
#include "Object.h"
#include "Ole.h"
#include "SsConst.h"
#include "SysUtils.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

// ---- component base --------------------------------------------------------

class TSsComponent : public TObject {
public:
    LUMI_CLASSNAME(TSsComponent)
    // Always "1.02"; writing is accepted and has no effect.
    AnsiString Version() const { return "1.02"; }
    void SetVersion(const AnsiString&) {}
};

// ---- exceptions -------------------------------------------------------------

class ESsException : public Exception {
public:
    explicit ESsException(AnsiString message) : Exception(std::move(message)) {}
    // Message := the table's text of Id (empty for an unknown id).
    static ESsException CreateById(int32_t id);
    static ESsException CreateByIdFmt(int32_t id, std::initializer_list<TVarRec> args);
    int32_t ErrorCode = 0;
};

#define SS_EXCEPTION(Name) \
    class Name : public ESsException { public: using ESsException::ESsException; };
SS_EXCEPTION(ESsContainerError)
SS_EXCEPTION(ESsVersionInfoError)
SS_EXCEPTION(ESsShellError)
SS_EXCEPTION(ESsInvalidFolder)
SS_EXCEPTION(ESsInvalidSortDir)
SS_EXCEPTION(ESsBufStreamError)
SS_EXCEPTION(ESsRegExError)
#undef SS_EXCEPTION

// The library's texts, the menu's and the messages, are asked of Qt's
// translators in this context with the English text as source, so that the
// program hands in the user's language.
extern const char* const SsMenuTextContext;
QString SsMenuText(const char* source);
// Text of a message id; Text stays as it was when the id is unknown.
void SsMessageText(int32_t id, AnsiString& text);
// The text of a message id in the program's language: Qt's translators are
// asked in the context of the library's menu texts, with the English text
// as source; without a translation the English text.
QString SsLocalizedMessage(int32_t id);

// Raises E with the text of Id, in the program's language, and ErrorCode = Id.
template <class E>
[[noreturn]] void RaiseSsError(int32_t id)
{
    E e(toAnsi(SsLocalizedMessage(id)));
    e.ErrorCode = id;
    throw e;
}
[[noreturn]] void RaiseContainerError(int32_t id);
[[noreturn]] void RaiseContainerErrorFmt(int32_t id, std::initializer_list<TVarRec> args);

// ---- short strings (at most 255 characters) ------------------------------------

AnsiString LeftPadChar(const AnsiString& s, char ch, int len);
AnsiString LeftPad(const AnsiString& s, int len);
bool FindCharPos(const AnsiString& s, char ch, int& pos);
AnsiString TrimBlanks(const AnsiString& s);
AnsiString IntToShortStr(int32_t n);
// Sizes are 64-bit here, so the grouping takes 64-bit values.
AnsiString GroupDigitsWith(int64_t n, char sep);
AnsiString GroupDigits(int64_t n);

// Version text to number: "5.0" -> 5; "4.72.3110.0" -> 4.72. Always read
// with "." as the decimal point, whatever the locale.
double SsVersionTextToNumber(const AnsiString& text);

// ---- item identifier lists -------------------------------------------------------

// The path of a namespace entry as a sequence of identifiers below the
// desktop. The first identifier names a top-level entry by its absolute
// file-system path, each further one a name in the folder before it; names
// are the file system's bytes. The empty list is the desktop itself.
class TSsIdList {
public:
    TSsIdList() = default;
    explicit TSsIdList(std::vector<QByteArray> ids) : ids_(std::move(ids)) {}
    int Count() const { return int(ids_.size()); }
    const QByteArray& Id(int i) const { return ids_[size_t(i)]; }
    const std::vector<QByteArray>& Ids() const { return ids_; }
    void Append(const QByteArray& id) { ids_.push_back(id); }
    // The list in the shell's layout: per identifier a 16-bit size (counting
    // itself) and its bytes, ended by a zero size.
    QByteArray Bytes() const;

private:
    std::vector<QByteArray> ids_;
};
using PSsIdList = std::unique_ptr<TSsIdList>;

// The list operations the library relies on; nil stands for no list.
PSsIdList SsILClone(const TSsIdList* list);
PSsIdList SsILCloneFirst(const TSsIdList* list);
PSsIdList SsILCombine(const TSsIdList* a, const TSsIdList* b);
// The list after its first identifier (nil when there is none).
PSsIdList SsILNext(const TSsIdList* list);
// The last identifier as a one-identifier list (nil for an empty list).
PSsIdList SsILFindLast(const TSsIdList* list);
bool SsILIsEqual(const TSsIdList* a, const TSsIdList* b);
// Removes the last identifier in place; false when there was none.
bool SsILRemoveLastID(TSsIdList* list);
// Bytes of the list in the shell's layout, with its terminating zero size.
uint32_t SsILGetSize(const TSsIdList* list);
void SsILFree(PSsIdList& list);

// The parent's own identifier of an absolute list: the last identifier of
// the list without its last one (nil for the desktop and its direct children).
PSsIdList GetParentLastID(const TSsIdList* list);

// ---- clipboard format of dragged shell items -----------------------------------

// Number of the registered "Shell IDList Array" format.
TClipFormat SsCFIdList();

// ---- version ---------------------------------------------------------------------

// The version block of a file. Only the running program carries one here
// (the version set in the build); any other file has none.
class TSsCustomVersionInfo : public TObject {
public:
    LUMI_CLASSNAME(TSsCustomVersionInfo)
    // The program's own file, not loaded yet.
    TSsCustomVersionInfo();

    const QString& FileName() const { return fileName_; }
    // Error 73 for a name of a file that does not exist; an empty name stands
    // for the running program.
    void SetFileName(const QString& name);
    bool Loaded() const { return loaded_; }
    // Loads the block when needed.
    double GetFileVersion();
    double GetProductVersion();
    // With a key: Value := that string value (error 134 when absent, Value
    // cleared). Without: the fixed block and the two version texts.
    // Error 100 when the file has no version block.
    void LoadVersionInfo(const AnsiString& key, AnsiString& value);

    uint32_t FileVersionMS = 0;
    uint32_t FileVersionLS = 0;
    uint32_t ProductVersionMS = 0;
    uint32_t ProductVersionLS = 0;
    uint32_t FileOS = 0;
    AnsiString FileVersion;
    double FileVersionNumber = 0;
    AnsiString ProductVersion;
    double ProductVersionNumber = 0;

private:
    void EnsureLoaded();
    QString fileName_;
    bool loaded_ = false;
};

class TSsVersionInfo : public TSsCustomVersionInfo {
public:
    LUMI_CLASSNAME(TSsVersionInfo)
};

// Version of the installed shell: the namespace here is provided by the
// installed Qt libraries, whose version text is read as a version number.
double SsShellVersion();
