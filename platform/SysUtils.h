#pragma once
#include <sys/types.h>
// Exceptions, numbers, formatting and text helpers with the class library's rules.
#include "AnsiString.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

// ---- exceptions -------------------------------------------------------------

struct statfs;

class Exception : public std::exception {
public:
    explicit Exception(AnsiString message) : Message(std::move(message)) {}
    explicit Exception(const char* message) : Message(message ? message : "") {}
    explicit Exception(const QString& message) : Message(toAnsi(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    QString text() const { return fromAnsi(Message); }
    AnsiString Message;
};

#define LUMI_EXCEPTION(Name, Base) \
    class Name : public Base { public: using Base::Base; };

LUMI_EXCEPTION(EAbort, Exception)
LUMI_EXCEPTION(EConvertError, Exception)
LUMI_EXCEPTION(EInvalidOperation, Exception)
LUMI_EXCEPTION(EInvalidArgument, Exception)
LUMI_EXCEPTION(EListError, Exception)
LUMI_EXCEPTION(EOutOfMemory, Exception)
LUMI_EXCEPTION(EStreamError, Exception)
LUMI_EXCEPTION(EFCreateError, EStreamError)
LUMI_EXCEPTION(EFOpenError, EStreamError)
LUMI_EXCEPTION(EReadError, EStreamError)
LUMI_EXCEPTION(EWriteError, EStreamError)
LUMI_EXCEPTION(EPrinter, Exception)

// Raises EAbort, the silent exception that the application handler ignores.
[[noreturn]] void Abort();

// ---- numbers ----------------------------------------------------------------

// Rounds half to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). Defined for any
// double: NaN gives 0, a value beyond the int64 range its nearest limit.
int64_t Round(double x);
// Cuts toward zero; NaN and values beyond the int64 range as Round.
int64_t Trunc(double x);
// Round and Trunc kept within the int32 range, for pixel and point values.
int32_t Round32(double x);
int32_t Trunc32(double x);
// a*b/c with a 64-bit intermediate, rounded half away from zero; -1 when c is 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// ---- formatting settings ------------------------------------------------------

struct TFormatSettings {
    char DecimalSeparator = ',';
    char ThousandSeparator = '.';
    char DateSeparator = '.';
};
// The program's current settings; first use takes them from the default QLocale.
TFormatSettings& FormatSettings();
// Settings of one locale (for the explicit conversions in dialogs and files).
TFormatSettings FormatSettingsFor(const class QLocale& locale);

// ---- Format ---------------------------------------------------------------------

// One argument of Format: integer, floating point, text or pointer.
class TVarRec {
public:
    TVarRec(int v) : v_(int64_t(v)) {}
    TVarRec(unsigned v) : v_(int64_t(v)) {}
    TVarRec(long v) : v_(int64_t(v)) {}
    TVarRec(unsigned long v) : v_(int64_t(v)) {}
    TVarRec(long long v) : v_(int64_t(v)) {}
    TVarRec(unsigned long long v) : v_(int64_t(v)) {}
    TVarRec(double v) : v_(v) {}
    TVarRec(float v) : v_(double(v)) {}
    TVarRec(char c) : v_(AnsiString(1, c)) {}
    TVarRec(const char* s) : v_(AnsiString(s ? s : "")) {}
    TVarRec(const AnsiString& s) : v_(s) {}
    TVarRec(const void* p) : v_(p) {}
    const std::variant<int64_t, double, AnsiString, const void*>& value() const { return v_; }
private:
    std::variant<int64_t, double, AnsiString, const void*> v_;
};

// The class library's Format: %d %u %e %f %g %n %m %p %s %x with index ("%1:s"),
// left alignment ("-"), width and precision ("*" takes them from the arguments),
// and "%%". %x is upper case; %f, %n and %m have 2 decimals unless a precision is
// given. A format string that does not fit its arguments raises EConvertError
// "Format '%s' invalid or incompatible with argument". Never pass a format
// string that comes from a file or the user.
AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> args);
AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> args,
                  const TFormatSettings& settings);

// ---- conversions ---------------------------------------------------------------

AnsiString IntToStr(int64_t v);
AnsiString IntToHex(int64_t v, int digits);
// Decimal or "$"-hex integer with optional sign and surrounding blanks;
// EConvertError "'%s' is not a valid integer value" otherwise.
int32_t StrToInt(const AnsiString& s);
int32_t StrToIntDef(const AnsiString& s, int32_t def);
bool TryStrToInt(const AnsiString& s, int32_t& v);
int64_t StrToInt64(const AnsiString& s);
int64_t StrToInt64Def(const AnsiString& s, int64_t def);
bool TryStrToInt64(const AnsiString& s, int64_t& v);

// Shortest form with up to 15 significant digits, like the class library.
AnsiString FloatToStr(double v);
AnsiString FloatToStr(double v, const TFormatSettings& settings);
// Accepts the given decimal separator only; EConvertError
// "'%s' is not a valid floating point value" otherwise.
double StrToFloat(const AnsiString& s);
double StrToFloat(const AnsiString& s, const TFormatSettings& settings);
double StrToFloatDef(const AnsiString& s, double def);
double StrToFloatDef(const AnsiString& s, double def, const TFormatSettings& settings);
bool TryStrToFloat(const AnsiString& s, double& v);
bool TryStrToFloat(const AnsiString& s, double& v, const TFormatSettings& settings);

// ---- text -------------------------------------------------------------------------

AnsiString UpperCase(const AnsiString& s);        // ASCII letters only
AnsiString LowerCase(const AnsiString& s);        // ASCII letters only
AnsiString AnsiUpperCase(const AnsiString& s);    // every letter of the code page
AnsiString AnsiLowerCase(const AnsiString& s);
int CompareText(const AnsiString& a, const AnsiString& b);     // ASCII case-insensitive
bool SameText(const AnsiString& a, const AnsiString& b);
int CompareStr(const AnsiString& a, const AnsiString& b);
int AnsiCompareText(const AnsiString& a, const AnsiString& b); // locale-aware, ignoring case
bool AnsiSameText(const AnsiString& a, const AnsiString& b);
int AnsiCompareStr(const AnsiString& a, const AnsiString& b);  // locale-aware
AnsiString Trim(const AnsiString& s);       // blanks and control characters
AnsiString TrimLeft(const AnsiString& s);
AnsiString TrimRight(const AnsiString& s);
enum TReplaceFlag { rfReplaceAll = 1, rfIgnoreCase = 2 };
AnsiString StringReplace(const AnsiString& s, const AnsiString& oldPattern,
                         const AnsiString& newPattern, int flags);
AnsiString QuotedStr(const AnsiString& s);
// 1-based position of sub in s, 0 when absent.
int Pos(const AnsiString& sub, const AnsiString& s);

// ---- files --------------------------------------------------------------------------

bool FileExists(const QString& fileName);
bool DirectoryExists(const QString& dir);
bool DeleteFile(const QString& fileName);
QString ExtractFileName(const QString& fileName);
QString ExtractFilePath(const QString& fileName);   // with trailing separator
QString ExtractFileDir(const QString& fileName);    // without trailing separator
QString ExtractFileExt(const QString& fileName);    // with the dot
QString ChangeFileExt(const QString& fileName, const QString& ext);
QString IncludeTrailingPathDelimiter(const QString& dir);
QString ExcludeTrailingPathDelimiter(const QString& dir);
// A file name as the file system's bytes and as text, both ways without loss:
// UTF-8 is decoded, and each byte that is no part of valid UTF-8 becomes the
// lone surrogate U+DC80..U+DCFF, which EncodeFileName turns back into that byte.
// For names in valid UTF-8 the same as QFile::decodeName and encodeName, but
// that a leading byte-order mark is kept.
QString DecodeFileName(const QByteArray& bytes);
// The length of the valid UTF-8 sequence at Bytes[At] (no overlong forms, no
// surrogates, nothing above U+10FFFF), 0 when there is none.
int Utf8SequenceAt(std::string_view Bytes, size_t At);
QByteArray EncodeFileName(const QString& name);
// Names whose bytes are no UTF-8 were written by a system that used an
// 8-bit code page: they are shown in the code page of the program's language
// (1252 until the language sets another). For display only: every operation
// keeps the name DecodeFileName gives.
void SetFileNameCodePage(int32_t CodePage);
int32_t FileNameCodePage();
// A name or path as DecodeFileName gives it, as the user reads it: each part
// between "/" that holds bytes that are no UTF-8 is read whole in
// FileNameCodePage (a byte the code page leaves undefined as U+FFFD).
QString DisplayFileName(const QString& name);
// Where file dialogs start: the user's documents folder, else the home folder.
QString UserDocumentsFolder();
// Writes Size bytes of Data as the file's new contents: into a temporary file
// in the same folder that replaces the file only once it is written in full
// and on disk, so that the file stays as it was otherwise (where the file
// system allows, the temporary has no name till then); then the folder is
// synced, so that the new name survives a power cut. A file that may not be
// written is left alone. A link, live or dangling, stays: the file it names
// is written. 0, or the errno of the step that failed (ENOSPC, EACCES, EROFS,
// ENOENT for a missing folder, ...).
int ReplaceFileContents(const QString& FileName, const void* Data, size_t Size);
// The system calls that write those bytes and sync the file and its folder:
// ::write and ::fsync unless a test puts others in (a full disk, a quota).
extern ssize_t (*ReplaceFileWrite)(int Fd, const void* Buffer, size_t Count);
extern int (*ReplaceFileSync)(int Fd);

// Temporaries that a killed process leaves behind are swept by the next one
// that works in the same folder, and only what the program can prove it
// made: an entry of the user's own, never a link, with the exact name form
// of TemporaryName, which carries the mark that LockTemporary gives (an
// extended attribute holding the name's random part), and that no process
// holds locked (flock). Where the file system keeps no such attribute, the
// program's own record in the user's state folder
// ($XDG_STATE_HOME/lumiseite/temporaries, by default ~/.local/state) names
// the temporary's path instead. On network file systems, whose locks other
// machines do not see, it must also be more than a day old.
//
// A new temporary's name: Prefix and 32 random hexadecimal digits.
QByteArray TemporaryName(const char* Prefix);
// Locks and marks Fd, the temporary just made as Name (from TemporaryName)
// in DirFd: 0 once it is locked and still has that name (also where the file
// system has no locks); EAGAIN when a sweep took it meanwhile, and the
// caller makes another.
int LockTemporary(int DirFd, const char* Name, int Fd);
// Drops the record of the temporary Name once it is gone or has its final
// name (nothing where it had none).
void ForgetTemporary(const char* Name);
// Name in DirFd opened and locked when it is a leftover temporary of Prefix
// (a folder or a file as Folder says) by the rules above; -1 otherwise.
int OpenLeftover(int DirFd, const char* Name, const char* Prefix, bool Folder);
// For each leftover of Prefix in DirFd: Remove(DirFd, Name, Fd), with Fd the
// entry open and locked meanwhile, which removes that entry and no other
// that took its name, and answers whether it is gone. Entries that cannot be
// removed stay, silently.
void SweepTemporaries(int DirFd, const char* Prefix, bool Folders,
                      const std::function<bool(int DirFd, const char* Name, int Fd)>& Remove);
// ::fstatfs, unless a test puts in another (a network file system).
extern int (*TemporaryStatFs)(int Fd, struct statfs* Buffer);

// The text of a system error number for the user, in the program's language:
// the causes a file operation meets each by name, any other by its number.
QString SysErrorMessage(int ErrorCode);

// Milliseconds since an arbitrary start, wrapping like the platform's tick count.
uint32_t GetTickCount();
