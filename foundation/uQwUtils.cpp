#include "uQwUtils.h"

#include "Application.h"
#include "ColorDialog.h"
#include "ColorNames.h"
#include "MainFormStatusBar.h"
#include "ShellExec.h"
#include "SysUtils.h"
#include "uQwRegistry.h"
#include "ulocalize.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>

#include <algorithm>
#include <limits>
#include <memory>

// ---- TColorList -------------------------------------------------------------------

TColorList::TColorList(int32_t Capacity) : FColors(size_t(std::max(Capacity, 0)), EmptySlot) {}

void TColorList::CheckIndex(int32_t Index) const
{
    if (Index < 0 || Index >= GetCount())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
}

TColor TColorList::GetColor(int32_t Index) const
{
    CheckIndex(Index);
    return FColors[size_t(Index)];
}

void TColorList::SetColor(int32_t Index, TColor Color)
{
    CheckIndex(Index);
    FColors[size_t(Index)] = Color;
}

int32_t TColorList::GetUsedCount() const
{
    return int32_t(std::count_if(FColors.begin(), FColors.end(),
                                 [](TColor c) { return c != EmptySlot; }));
}

void TColorList::Clear()
{
    std::fill(FColors.begin(), FColors.end(), EmptySlot);
}

int32_t TColorList::AddColor(TColor Color, int32_t DefaultIndex)
{
    for (int32_t i = 0; i < GetCount(); ++i)
        if (FColors[size_t(i)] == Color)
            return i;
    for (int32_t i = 0; i < GetCount(); ++i) {
        if (FColors[size_t(i)] == EmptySlot) {
            FColors[size_t(i)] = Color;
            return i;
        }
    }
    SetColor(DefaultIndex, Color);
    return DefaultIndex;
}

void TColorList::LoadFromFile(const QString& FileName)
{
    Clear();
    if (!FileExists(FileName))
        return;
    TStringList lines;
    lines.LoadFromFile(FileName);
    int32_t stored = 0;
    for (int i = 0; i < lines.Count() && stored < GetCount(); ++i) {
        TColor color = 0;
        if (!TryStringToColor(lines[i], color) || color < 0)
            continue;
        FColors[size_t(stored++)] = color;
    }
}

void TColorList::SaveToFile(const QString& FileName) const
{
    TStringList lines;
    for (TColor color : FColors)
        if (color != EmptySlot)
            lines.Add(Format("$%.8x", {uint32_t(color)}));
    const AnsiString text = lines.Text();
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit())
        throw EFCreateError(Format("Cannot create file \"%s\". %s",
                                   {toAnsi(QDir::toNativeSeparators(FileName)),
                                    toAnsi(file.errorString())}));
}

// ---- the global colour list ---------------------------------------------------------

namespace {

std::unique_ptr<TColorList> GlobalColorList;
QString GlobalColorListFile;

// Writes the list back and frees it, at application or program end.
void FreeColorList()
{
    if (!GlobalColorList)
        return;
    try {
        GlobalColorList->SaveToFile(GlobalColorListFile);
    } catch (const std::exception& e) {
        qWarning("%s", e.what());
    }
    GlobalColorList.reset();
}

struct TColorListFinalizer {
    ~TColorListFinalizer() { FreeColorList(); }
} ColorListFinalizer;

} // namespace

QString ColorListFileName()
{
    return GetUserDataFileName(QStringLiteral("custcolo.dat"));
}

TColorList& ColorList()
{
    if (!GlobalColorList) {
        GlobalColorListFile = ColorListFileName();
        GlobalColorList = std::make_unique<TColorList>(32);
        GlobalColorList->LoadFromFile(GlobalColorListFile);
        if (QCoreApplication::instance())
            qAddPostRoutine(FreeColorList);
    }
    return *GlobalColorList;
}

void LoadColorListFromRegistry(const AnsiString& Section)
{
    TColorList& list = ColorList();
    list.Clear();
    TStringList lines;
    lines.SetText(TQwRegIniFile::Instance().ReadString(Section, "Colors", ""));
    for (int i = 0; i < lines.Count(); ++i) {
        int32_t color = 0;
        if (!TryStrToInt("$" + lines.ValueFromIndex(i), color))
            continue;
        // A full list puts the colour into slot i; a line beyond the list
        // has no slot of its own and is left out.
        if (i < list.GetCount() || list.GetUsedCount() < list.GetCount())
            list.AddColor(color, i);
    }
}

void LoadCustomColors(TColorDialog& ColorDialog, const AnsiString& Section)
{
    ColorDialog.CustomColors.SetText(TQwRegIniFile::Instance().ReadString(Section, "Colors", ""));
    LoadColorListFromRegistry(Section);
}

void SaveCustomColors(TColorDialog& ColorDialog, const AnsiString& Section)
{
    AnsiString text;
    for (int i = 0; i < ColorDialog.CustomColors.Count(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += ColorDialog.CustomColors[i];
    }
    TQwRegIniFile::Instance().WriteString(Section, "Colors", text);
    LoadColorListFromRegistry(Section);
}

// ---- file association ----------------------------------------------------------------

namespace {

// The executable as a quoted argument of a desktop entry's Exec key: the
// quoting of the Exec key, then the escaping of a string value.
QString DesktopExecArgument(const QString& path)
{
    QString quoted = path;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""))
        .replace(QLatin1Char('`'), QLatin1String("\\`"))
        .replace(QLatin1Char('$'), QLatin1String("\\$"))
        .replace(QLatin1Char('%'), QLatin1String("%%"));
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    return quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

// Replaces the file when its content differs; true when it did. Throws when
// the file cannot be written.
bool WriteIfChanged(const QString& fileName, const QByteArray& content)
{
    QFile old(fileName);
    if (old.open(QIODevice::ReadOnly) && old.readAll() == content)
        return false;
    old.close();
    if (!QDir().mkpath(QFileInfo(fileName).absolutePath()))
        throw Exception(QStringLiteral("Cannot create folder for ") + fileName);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw Exception(file.errorString());
    return true;
}

// Lets the desktop see changed MIME types and desktop entries.
void UpdateDesktopDatabases(const QString& mimeDir, const QString& applicationsDir)
{
    const std::pair<QString, QString> tools[] = {
        {QStringLiteral("update-mime-database"), mimeDir},
        {QStringLiteral("update-desktop-database"), applicationsDir},
    };
    for (const auto& [tool, dir] : tools) {
        const QString program = QStandardPaths::findExecutable(tool);
        if (program.isEmpty())
            continue;
        QProcess process;
        process.start(program, {dir});
        process.waitForFinished(10000);
    }
}

// The file type's description: the application title + " Datei", and the
// same in each language the program carries, for the desktop to choose from.
QString FileTypeComments()
{
    const QString title = ApplicationTitle();
    QString comments =
        QStringLiteral("    <comment>%1</comment>\n").arg((title + QStringLiteral(" Datei")).toHtmlEscaped());
    for (int i = 0; i < TLocalizer::LanguageCount; ++i) {
        TMyMemIniFile texts;
        if (!TLocalizer::ReadLanguage(i, texts))
            continue;
        const QString description = texts.ReadString(QStringLiteral("Default"), QStringLiteral("%s Datei"), QString());
        if (description.contains(QLatin1String("%s")))
            comments += QStringLiteral("    <comment xml:lang=\"%1\">%2</comment>\n")
                            .arg(TLocalizer::LanguageTag(i),
                                 QString(description).replace(QLatin1String("%s"), title).toHtmlEscaped());
    }
    return comments;
}

} // namespace

bool RegisterFileExtension(const QString& Ext)
{
    try {
        const QString x = QString(Ext).remove(QLatin1Char('.')).toLower();
        const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const bool plain = std::all_of(x.begin(), x.end(), [](QChar c) {
            return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-');
        });
        if (x.isEmpty() || !plain || dataDir.isEmpty())
            return false;
        const QString mimeType = QStringLiteral("application/x-") + x;
        const QString mimeDir = dataDir + QStringLiteral("/mime");
        const QString applicationsDir = dataDir + QStringLiteral("/applications");

        const QString mimeInfo =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                           "  <mime-type type=\"%1\">\n"
                           "%2"
                           "    <glob pattern=\"*.%3\"/>\n"
                           "  </mime-type>\n"
                           "</mime-info>\n")
                .arg(mimeType, FileTypeComments(), x.toHtmlEscaped());
        const QString desktopEntry =
            QStringLiteral("[Desktop Entry]\n"
                           "Type=Application\n"
                           "Name=%1\n"
                           "Exec=%2 %f\n"
                           "MimeType=%3;\n"
                           "NoDisplay=true\n")
                .arg(ApplicationTitle().replace(QLatin1Char('\n'), QLatin1Char(' ')),
                     DesktopExecArgument(QCoreApplication::applicationFilePath()), mimeType);

        bool changed = WriteIfChanged(mimeDir + QStringLiteral("/packages/") + x + QStringLiteral("file.xml"),
                                      mimeInfo.toUtf8());
        changed |= WriteIfChanged(applicationsDir + QLatin1Char('/') + x + QStringLiteral("file.desktop"),
                                  desktopEntry.toUtf8());
        if (!changed)
            return false;
        UpdateDesktopDatabases(mimeDir, applicationsDir);
        if (TMainFormStatusBar* form = ApplicationMainForm()) {
            form->MainFormWidget()->raise();
            form->MainFormWidget()->activateWindow();
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// ---- shell helpers -------------------------------------------------------------------

namespace {

void ShowError(QWidget* Wnd, const QString& text)
{
    QMessageBox::critical(Wnd, QCoreApplication::translate("MsgDlg", "Error"), text, QMessageBox::Ok);
}

} // namespace

bool ShellOpenDocument(QWidget* Wnd, const QString& FileName)
{
    if (!FileExists(FileName)) {
        ShowError(Wnd, QStringLiteral("Die Datei \"%1\" konnte nicht gefunden werden. Bitte "
                                      "installieren Sie das Programm neu.")
                           .arg(QDir::toNativeSeparators(FileName)));
        return false;
    }
    if (!ShellOpen(FileName)) {
        static const bool registered = [] {
            RegisterDefaultStringKey(
                QStringLiteral("IDS_NOACROBAT"),
                QStringLiteral("Das Dokument konnte nicht geöffnet werden. Bitte prüfen Sie, ob "
                               "ein Programm zum Anzeigen dieses Dateityps installiert ist."));
            return true;
        }();
        (void)registered;
        ShowError(Wnd, LocalizedDefaultString(QStringLiteral("IDS_NOACROBAT")));
        return false;
    }
    return true;
}

bool ShellOpenFile(QWidget*, const QString& FileName)
{
    return ShellOpen(FileName);
}

// ---- screen and files ------------------------------------------------------------------

int32_t ScaleByScreenDpi(int32_t Value)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int32_t dpi = screen ? int32_t(Round(screen->logicalDotsPerInchY())) : 96;
    return MulDiv(Value, dpi, 96);
}

void SetBoundsScaled(QWidget* Control, int32_t Left, int32_t Top, int32_t Width, int32_t Height)
{
    Control->setGeometry(ScaleByScreenDpi(Left), ScaleByScreenDpi(Top), ScaleByScreenDpi(Width),
                         ScaleByScreenDpi(Height));
}

int32_t GetFileSizeByName(const QString& FileName)
{
    const QFileInfo info(FileName);
    if (FileName.isEmpty() || !info.exists())
        return -1;
    if (info.isDir())
        return 0;
    return int32_t(std::min<qint64>(info.size(), std::numeric_limits<int32_t>::max()));
}

TDateTime GetFileDateTime(const QString& FileName)
{
    const QFileInfo info(FileName);
    if (FileName.isEmpty() || !info.exists())
        return -1.0;
    return QDateTimeToDateTime(info.lastModified());
}
