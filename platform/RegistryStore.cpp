#include "RegistryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

// Registry keys become QSettings groups, one per path level; values become
// QSettings keys. A name is escaped so that "/" (the group separator of
// QSettings) stays part of the name, and the unnamed default value is "@".

namespace {

QString EscapeName(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("@");
    QString r;
    r.reserve(name.size());
    for (QChar c : name) {
        if (c == u'%')
            r += QLatin1String("%25");
        else if (c == u'/')
            r += QLatin1String("%2F");
        else if (c == u'@' && r.isEmpty())
            r += QLatin1String("%40");
        else
            r += c;
    }
    return r;
}

QString UnescapeName(const QString& name)
{
    if (name == QLatin1String("@"))
        return QString();
    QString r;
    r.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == u'%' && i + 2 < name.size()) {
            bool ok = false;
            const int code = name.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                r += QChar(code);
                i += 2;
                continue;
            }
        }
        r += name[i];
    }
    return r;
}

QStringList KeyParts(const QString& key)
{
    return key.split(u'\\', Qt::SkipEmptyParts);
}

// The stored spelling of a name among the escaped candidates, compared
// without regard to case; empty when absent.
QString FindName(const QStringList& stored, const QString& name)
{
    for (const QString& s : stored)
        if (UnescapeName(s).compare(name, Qt::CaseInsensitive) == 0)
            return s;
    return QString();
}

// The QSettings group of a registry key: the stored spelling of each level
// that exists, the given spelling of those that do not. `exists` tells
// whether every level was found.
QString ResolveKey(QSettings& s, const QString& key, bool* exists)
{
    QString group;
    bool found = true;
    for (const QString& part : KeyParts(key)) {
        QString stored;
        if (found) {
            s.beginGroup(group);
            stored = FindName(s.childGroups(), part);
            s.endGroup();
        }
        if (stored.isEmpty()) {
            found = false;
            stored = EscapeName(part);
        }
        group += group.isEmpty() ? stored : QLatin1Char('/') + stored;
    }
    if (exists)
        *exists = found;
    return group;
}

// The full QSettings key of a value; empty when the key or value is missing.
QString FindValue(QSettings& s, const QString& key, const QString& name)
{
    bool exists = false;
    const QString group = ResolveKey(s, key, &exists);
    if (!exists)
        return QString();
    s.beginGroup(group);
    const QString stored = FindName(s.childKeys(), name);
    s.endGroup();
    if (stored.isEmpty())
        return QString();
    return group.isEmpty() ? stored : group + QLatin1Char('/') + stored;
}

// The QSettings key under which a value is written: its stored spelling when
// it exists, otherwise the given one.
QString ValuePathForWrite(QSettings& s, const QString& key, const QString& name)
{
    const QString existing = FindValue(s, key, name);
    if (!existing.isEmpty())
        return existing;
    const QString group = ResolveKey(s, key, nullptr);
    const QString escaped = EscapeName(name);
    return group.isEmpty() ? escaped : group + QLatin1Char('/') + escaped;
}

QVariant ReadRaw(const QString& fileName, const QString& key, const QString& name)
{
    QSettings s(fileName, QSettings::IniFormat);
    const QString path = FindValue(s, key, name);
    if (path.isEmpty())
        return QVariant();
    return s.value(path);
}

void Commit(QSettings& s, const QString& name)
{
    s.sync();
    if (s.status() != QSettings::NoError)
        throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(name));
}

void WriteRaw(const QString& fileName, const QString& key, const QString& name, const QVariant& v)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSettings s(fileName, QSettings::IniFormat);
    s.setValue(ValuePathForWrite(s, key, name), v);
    Commit(s, name);
}

bool IsBinary(const QVariant& v)
{
    return v.typeId() == QMetaType::QByteArray;
}

}  // namespace

QString TRegistryStore::DefaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Brenmoor/Lumiseite.ini");
}

TRegistryStore::TRegistryStore(QString fileName) : fileName_(std::move(fileName)) {}

bool TRegistryStore::KeyExists(const QString& key) const
{
    QSettings s(fileName_, QSettings::IniFormat);
    bool exists = false;
    const QString group = ResolveKey(s, key, &exists);
    if (!exists)
        return false;
    if (group.isEmpty())
        return true;
    s.beginGroup(group);
    const bool used = !s.childKeys().isEmpty() || !s.childGroups().isEmpty();
    s.endGroup();
    return used;
}

bool TRegistryStore::ValueExists(const QString& key, const QString& name) const
{
    QSettings s(fileName_, QSettings::IniFormat);
    return !FindValue(s, key, name).isEmpty();
}

TRegDataType TRegistryStore::GetDataType(const QString& key, const QString& name) const
{
    const QVariant v = ReadRaw(fileName_, key, name);
    if (!v.isValid())
        return rdUnknown;
    return IsBinary(v) ? rdBinary : rdString;
}

int32_t TRegistryStore::GetDataSize(const QString& key, const QString& name) const
{
    const QVariant v = ReadRaw(fileName_, key, name);
    if (!v.isValid())
        return -1;
    if (IsBinary(v))
        return int32_t(v.toByteArray().size());
    return int32_t((v.toString().size() + 1) * 2);
}

std::optional<QString> TRegistryStore::ReadString(const QString& key, const QString& name) const
{
    const QVariant v = ReadRaw(fileName_, key, name);
    if (!v.isValid() || IsBinary(v))
        return std::nullopt;
    // A text that QSettings reads as a list ("a, b") was written by hand;
    // the registry would have held it as one string.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1String(", "));
    return v.toString();
}

void TRegistryStore::WriteString(const QString& key, const QString& name, const QString& value)
{
    WriteRaw(fileName_, key, name, QVariant(value));
}

std::optional<QByteArray> TRegistryStore::ReadBinary(const QString& key, const QString& name) const
{
    const QVariant v = ReadRaw(fileName_, key, name);
    if (!v.isValid())
        return std::nullopt;
    if (!IsBinary(v))
        throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name));
    return v.toByteArray();
}

void TRegistryStore::WriteBinary(const QString& key, const QString& name, const QByteArray& value)
{
    WriteRaw(fileName_, key, name, QVariant(value));
}

bool TRegistryStore::DeleteValue(const QString& key, const QString& name)
{
    QSettings s(fileName_, QSettings::IniFormat);
    const QString path = FindValue(s, key, name);
    if (path.isEmpty())
        return false;
    s.remove(path);
    Commit(s, name);
    return true;
}

bool TRegistryStore::DeleteKey(const QString& key)
{
    QSettings s(fileName_, QSettings::IniFormat);
    bool exists = false;
    const QString group = ResolveKey(s, key, &exists);
    if (!exists || group.isEmpty())
        return false;
    s.remove(group);
    Commit(s, key);
    return true;
}
