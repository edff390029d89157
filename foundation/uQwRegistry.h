#pragma once
// The settings of the program under the current user's key
// "Software\Brenmoor\Lumiseite", the user data folder, and saving and restoring
// window positions.
#include "AnsiString.h"
#include "Object.h"

#include <QString>
#include <cstdint>
#include <memory>

class QWidget;
class TRegistryStore;

// The program's base key below the current user's root.
extern const char* const QwRegistryBaseKey;  // "Software\Brenmoor\Lumiseite"

// The single settings object. A section is a key below the base key ("" is the
// base key itself; "Druckeinstellung\A4" two levels below it). Integers and
// floats are stored as text; floats always with a comma ("2,5"), whatever the
// program's locale.
class TQwRegIniFile : public TObject {
public:
    LUMI_CLASSNAME(TQwRegIniFile)

    // The global settings object, created on the first call.
    static TQwRegIniFile& Instance();

    TQwRegIniFile();
    ~TQwRegIniFile() override;
    TQwRegIniFile(const TQwRegIniFile&) = delete;
    TQwRegIniFile& operator=(const TQwRegIniFile&) = delete;

    // Base key + "\" + Section, or the base key for an empty section.
    AnsiString GetKeyPath(const AnsiString& Section) const;

    AnsiString ReadString(const AnsiString& Section, const AnsiString& Ident,
                          const AnsiString& Default) const;
    void WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value);
    // The same for texts that 8-bit text cannot always hold (folder names).
    QString ReadWideString(const AnsiString& Section, const AnsiString& Ident,
                           const QString& Default) const;
    void WriteWideString(const AnsiString& Section, const AnsiString& Ident, const QString& Value);

    // Missing or not a valid integer: Default.
    int32_t ReadInteger(const AnsiString& Section, const AnsiString& Ident, int32_t Default) const;
    void WriteInteger(const AnsiString& Section, const AnsiString& Ident, int32_t Value);

    // Missing or not a number: Default.
    double ReadFloat(const AnsiString& Section, const AnsiString& Ident, double Default) const;
    void WriteFloat(const AnsiString& Section, const AnsiString& Ident, double Value);

    // Size of the value in bytes, -1 when it does not exist.
    int32_t GetDataSize(const AnsiString& Section, const AnsiString& Ident) const;
    // Bytes read, 0 when the value does not exist. A value that is not binary
    // or larger than BufSize raises ERegistryException.
    int32_t ReadBinaryData(const AnsiString& Section, const AnsiString& Ident, void* Buffer,
                           int32_t BufSize) const;
    void WriteBinaryData(const AnsiString& Section, const AnsiString& Ident, const void* Buffer,
                         int32_t BufSize);

private:
    std::unique_ptr<TRegistryStore> FRegIniFile;
};

// Shell special folders (the CSIDL values the program asks for).
constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
constexpr int CSIDL_PERSONAL = 0x05;
constexpr int CSIDL_APPDATA = 0x1A;
constexpr int CSIDL_LOCAL_APPDATA = 0x1C;
constexpr int CSIDL_MYPICTURES = 0x27;

// The folder's path (no trailing "/"), or "" when it cannot be located.
QString GetSpecialFolderPath(int CSIDL);
// The user data folder ("<XDG data dir>/Brenmoor/Lumiseite/"), created when
// missing; the program's folder when it cannot be created.
QString GetUserDataFolder();
// The user data folder + FileName. A copy of the file that exists only in the
// program's folder is moved there first.
QString GetUserDataFileName(const QString& FileName);

// Writes "WindowState" (0 normal, 1 minimised, 2 maximised) and, unless
// maximised, "Left", "Top", "Width" and "Height" under Section.
void SaveFormPosition(QWidget* Form, const AnsiString& Section);
// Reads them back and keeps the window on the primary screen.
void RestoreFormPosition(QWidget* Form, const AnsiString& Section);
