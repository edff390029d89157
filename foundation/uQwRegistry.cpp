#include "uQwRegistry.h"

#include "ParamStr.h"
#include "RegistryStore.h"
#include "SysUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>

#include <algorithm>
#include <cstring>

const char* const QwRegistryBaseKey = "Software\\Brenmoor\\Lumiseite";

namespace {

// Floats are stored with a comma whatever the program's locale, so that a
// settings file reads back the same everywhere.
const TFormatSettings& RegistryFloatFormat()
{
    static const TFormatSettings settings{',', '.'};
    return settings;
}

QString KeyOf(const TQwRegIniFile& ini, const AnsiString& section)
{
    return fromAnsi(ini.GetKeyPath(section));
}

// The window state as the system stores it: 0 normal, 1 minimised, 2 maximised.
int WindowStateOf(const QWidget* form)
{
    const Qt::WindowStates state = form->windowState();
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return 2;
    return (state & Qt::WindowMinimized) ? 1 : 0;
}

QString ProgramFolder()
{
    return IncludeTrailingPathDelimiter(ExtractFileDir(ParamStr(0)));
}

}  // namespace

TQwRegIniFile& TQwRegIniFile::Instance()
{
    static TQwRegIniFile instance;
    return instance;
}

TQwRegIniFile::TQwRegIniFile() : FRegIniFile(std::make_unique<TRegistryStore>()) {}

TQwRegIniFile::~TQwRegIniFile() = default;

AnsiString TQwRegIniFile::GetKeyPath(const AnsiString& Section) const
{
    if (Section.empty())
        return QwRegistryBaseKey;
    return AnsiString(QwRegistryBaseKey) + "\\" + Section;
}

AnsiString TQwRegIniFile::ReadString(const AnsiString& Section, const AnsiString& Ident,
                                     const AnsiString& Default) const
{
    const auto v = FRegIniFile->ReadString(KeyOf(*this, Section), fromAnsi(Ident));
    return v ? toAnsi(*v) : Default;
}

void TQwRegIniFile::WriteString(const AnsiString& Section, const AnsiString& Ident,
                                const AnsiString& Value)
{
    FRegIniFile->WriteString(KeyOf(*this, Section), fromAnsi(Ident), fromAnsi(Value));
}

QString TQwRegIniFile::ReadWideString(const AnsiString& Section, const AnsiString& Ident,
                                      const QString& Default) const
{
    return FRegIniFile->ReadString(KeyOf(*this, Section), fromAnsi(Ident)).value_or(Default);
}

void TQwRegIniFile::WriteWideString(const AnsiString& Section, const AnsiString& Ident,
                                    const QString& Value)
{
    FRegIniFile->WriteString(KeyOf(*this, Section), fromAnsi(Ident), Value);
}

int32_t TQwRegIniFile::ReadInteger(const AnsiString& Section, const AnsiString& Ident,
                                   int32_t Default) const
{
    const auto v = FRegIniFile->ReadString(KeyOf(*this, Section), fromAnsi(Ident));
    int32_t result = Default;
    if (!v || !TryStrToInt(toAnsi(*v), result))
        return Default;
    return result;
}

void TQwRegIniFile::WriteInteger(const AnsiString& Section, const AnsiString& Ident, int32_t Value)
{
    WriteString(Section, Ident, IntToStr(Value));
}

double TQwRegIniFile::ReadFloat(const AnsiString& Section, const AnsiString& Ident,
                                double Default) const
{
    const auto v = FRegIniFile->ReadString(KeyOf(*this, Section), fromAnsi(Ident));
    double result = Default;
    if (!v || !TryStrToFloat(toAnsi(*v), result, RegistryFloatFormat()))
        return Default;
    return result;
}

void TQwRegIniFile::WriteFloat(const AnsiString& Section, const AnsiString& Ident, double Value)
{
    WriteString(Section, Ident, FloatToStr(Value, RegistryFloatFormat()));
}

int32_t TQwRegIniFile::GetDataSize(const AnsiString& Section, const AnsiString& Ident) const
{
    return FRegIniFile->GetDataSize(KeyOf(*this, Section), fromAnsi(Ident));
}

int32_t TQwRegIniFile::ReadBinaryData(const AnsiString& Section, const AnsiString& Ident,
                                      void* Buffer, int32_t BufSize) const
{
    const auto v = FRegIniFile->ReadBinary(KeyOf(*this, Section), fromAnsi(Ident));
    if (!v)
        return 0;
    if (v->size() > std::max(BufSize, 0) || (!Buffer && !v->isEmpty()))
        throw ERegistryException(
            QStringLiteral("Invalid data type for '%1'").arg(fromAnsi(Ident)));
    if (!v->isEmpty())
        std::memcpy(Buffer, v->constData(), size_t(v->size()));
    return int32_t(v->size());
}

void TQwRegIniFile::WriteBinaryData(const AnsiString& Section, const AnsiString& Ident,
                                    const void* Buffer, int32_t BufSize)
{
    if (BufSize < 0 || (!Buffer && BufSize > 0))
        throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(fromAnsi(Ident)));
    FRegIniFile->WriteBinary(KeyOf(*this, Section), fromAnsi(Ident),
                             QByteArray(static_cast<const char*>(Buffer), BufSize));
}

QString GetSpecialFolderPath(int CSIDL)
{
    QStandardPaths::StandardLocation location;
    switch (CSIDL) {
    case CSIDL_DESKTOPDIRECTORY: location = QStandardPaths::DesktopLocation; break;
    case CSIDL_PERSONAL: location = QStandardPaths::DocumentsLocation; break;
    case CSIDL_APPDATA:
    case CSIDL_LOCAL_APPDATA: location = QStandardPaths::GenericDataLocation; break;
    case CSIDL_MYPICTURES: location = QStandardPaths::PicturesLocation; break;
    default: return QString();
    }
    return ExcludeTrailingPathDelimiter(QStandardPaths::writableLocation(location));
}

QString GetUserDataFolder()
{
    const QString own = fromAnsi(AnsiString(QwRegistryBaseKey).substr(9)).replace(u'\\', u'/');
    const QString appData = GetSpecialFolderPath(CSIDL_APPDATA);
    if (appData.isEmpty())
        return ProgramFolder();
    const QString path = IncludeTrailingPathDelimiter(appData) + own;
    if (!QDir(path).exists())
        QDir().mkpath(path);
    if (!QDir(path).exists())
        return ProgramFolder();
    return IncludeTrailingPathDelimiter(path);
}

QString GetUserDataFileName(const QString& FileName)
{
    const QString result = GetUserDataFolder() + FileName;
    if (!QFileInfo::exists(result)) {
        const QString old = ProgramFolder() + FileName;
        if (QFileInfo::exists(old) && old != result && QFile::copy(old, result))
            QFile::remove(old);
    }
    return result;
}

void SaveFormPosition(QWidget* Form, const AnsiString& Section)
{
    auto& ini = TQwRegIniFile::Instance();
    const int windowState = WindowStateOf(Form);
    ini.WriteInteger(Section, "WindowState", windowState);
    if (windowState == 2)
        return;
    ini.WriteInteger(Section, "Left", Form->x());
    ini.WriteInteger(Section, "Top", Form->y());
    ini.WriteInteger(Section, "Width", Form->width());
    ini.WriteInteger(Section, "Height", Form->height());
}

void RestoreFormPosition(QWidget* Form, const AnsiString& Section)
{
    auto& ini = TQwRegIniFile::Instance();
    const int state = ini.ReadInteger(Section, "WindowState", WindowStateOf(Form));
    static const Qt::WindowState states[] = {Qt::WindowNoState, Qt::WindowMinimized,
                                             Qt::WindowMaximized};
    if (state >= 0 && state <= 2)
        Form->setWindowState(states[state]);
    if (Form->windowState() != Qt::WindowNoState)
        return;

    int left = ini.ReadInteger(Section, "Left", Form->x());
    int top = ini.ReadInteger(Section, "Top", Form->y());
    int width = ini.ReadInteger(Section, "Width", Form->width());
    int height = ini.ReadInteger(Section, "Height", Form->height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const int sw = screen->geometry().width();
        const int sh = screen->geometry().height();
        if (width > sw)
            width = sw;
        if (height > sh)
            height = sh;
        if (left + width >= sw)
            left = sw - width;
        if (top + height >= sh)
            top = sh - height;
    }
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    Form->move(left, top);
    Form->resize(width, height);
}
