#pragma once
// The current user's registry, kept in an INI file under the user's config
// directory ($XDG_CONFIG_HOME/Brenmoor/Lumiseite.ini, ~/.config when unset).
//
// Keys are registry paths such as "Software\Brenmoor\Lumiseite\Master"; every
// "\" of a path addresses one level deeper. Key and value names are compared
// without regard to case, as in the registry, and keep the spelling with which
// they were first written. A value is either a string (REG_SZ) or a block of
// bytes (REG_BINARY). Nothing is cached: every call reads or writes the file.
#include "SysUtils.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Errors of the registry access with the class library's texts.
LUMI_EXCEPTION(ERegistryException, Exception)

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistryStore {
public:
    // The store file of the current user, honouring XDG_CONFIG_HOME at each call.
    static QString DefaultFileName();

    // A store over the given INI file (the current user's by default).
    explicit TRegistryStore(QString fileName = DefaultFileName());

    const QString& FileName() const { return fileName_; }

    bool KeyExists(const QString& key) const;
    bool ValueExists(const QString& key, const QString& name) const;
    // rdUnknown when the value does not exist.
    TRegDataType GetDataType(const QString& key, const QString& name) const;
    // Size in bytes as the registry reports it (a string counts as UTF-16 with
    // its terminating NUL); -1 when the value does not exist.
    int32_t GetDataSize(const QString& key, const QString& name) const;

    // The string value; nothing when it is missing or not a string.
    std::optional<QString> ReadString(const QString& key, const QString& name) const;
    // Creates the key when needed and replaces a value of any type.
    void WriteString(const QString& key, const QString& name, const QString& value);

    // The bytes of a binary value; nothing when it is missing. A value that is
    // not binary raises ERegistryException "Invalid data type for '<name>'".
    std::optional<QByteArray> ReadBinary(const QString& key, const QString& name) const;
    void WriteBinary(const QString& key, const QString& name, const QByteArray& value);

    // False when there was nothing to delete.
    bool DeleteValue(const QString& key, const QString& name);
    // Removes the key with all its values and subkeys.
    bool DeleteKey(const QString& key);

private:
    QString fileName_;
};
