#include "ulocalize.h"

#include "Charsets.h"
#include "Dialogs.h"
#include "ParamStr.h"
#include "SysUtils.h"
#include "WVLValidateEdit.h"
#include "WaitCursor.h"
#include "uQwRegistry.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFont>
#include <QGroupBox>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMetaProperty>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTranslator>

#include <algorithm>
#include <vector>

namespace {

// Functions, not objects: other units register texts from their static
// initialisers, which may run before this unit's.
QString Sentinel() { return QStringLiteral("Qw2001 kein String"); }
QString NoDefault() { return QStringLiteral("kein Defaultwert definiert"); }
QString DefaultSection() { return QStringLiteral("Default"); }

// ---- language table ------------------------------------------------------------------

struct TLanguageEntry {
    const char* Code;
    int PrimaryLanguage;  // the operating system's primary language identifier
    // Letters of the bold, italic and underline glyphs.
    const char16_t* Glyphs;
    QLocale::Language Language;  // gives the number separators
};

const TLanguageEntry cLanguages[TLocalizer::LanguageCount] = {
    {"deu", 0x07, u"FKU", QLocale::German},     {"eng", 0x09, u"BIU", QLocale::English},
    {"fra", 0x0C, u"GIS", QLocale::French},     {"ita", 0x10, u"GCS", QLocale::Italian},
    {"spa", 0x0A, u"NKS", QLocale::Spanish},    {"por", 0x16, u"NIS", QLocale::Portuguese},
    {"pol", 0x15, u"BIU", QLocale::Polish},     {"ung", 0x0E, u"FDA", QLocale::Hungarian},
    {"cze", 0x05, u"BIU", QLocale::Czech},      {"ned", 0x13, u"VCO", QLocale::Dutch},
    {"fin", 0x0B, u"LKA", QLocale::Finnish},    {"cro", 0x1A, u"BIU", QLocale::Croatian},
    {"ser", 0x1A, u"BIU", QLocale::Serbian},    {"rum", 0x18, u"BIU", QLocale::Romanian},
    {"gre", 0x08, u"BIU", QLocale::Greek},      {"rus", 0x19, u"\u0416\u041A\u0427", QLocale::Russian},
};

// The primary language identifier of a locale, 0 when the table knows none.
int PrimaryLanguageOf(const QLocale& locale)
{
    switch (locale.language()) {
    case QLocale::German: return 0x07;
    case QLocale::English: return 0x09;
    case QLocale::French: return 0x0C;
    case QLocale::Italian: return 0x10;
    case QLocale::Spanish: return 0x0A;
    case QLocale::Portuguese: return 0x16;
    case QLocale::Polish: return 0x15;
    case QLocale::Hungarian: return 0x0E;
    case QLocale::Czech: return 0x05;
    case QLocale::Dutch: return 0x13;
    case QLocale::Finnish: return 0x0B;
    case QLocale::Croatian:
    case QLocale::Serbian:
    case QLocale::Bosnian: return 0x1A;
    case QLocale::Romanian: return 0x18;
    case QLocale::Greek: return 0x08;
    case QLocale::Russian: return 0x19;
    default: return 0;
    }
}

bool InMask(uint16_t mask, int index)
{
    return index >= 0 && index < TLocalizer::LanguageCount && (mask & (1u << index));
}

// ---- framework texts -----------------------------------------------------------------

struct TLibraryText {
    const char* Key;
    const char* Default;  // nullptr: no registered default
    const char* Context;  // where Qt (or our own dialogs) asks for the text
    const char* Source;
    const char* Source2;  // a second Qt text with the same meaning
};

const TLibraryText cLibraryTexts[] = {
    {"XSmkcBkSp", "Rück", "QShortcut", "Backspace", nullptr},
    {"XSmkcTab", "Tab", "QShortcut", "Tab", nullptr},
    {"XSmkcEsc", "Esc", "QShortcut", "Esc", nullptr},
    {"XSmkcEnter", "Enter", "QShortcut", "Return", "Enter"},
    {"XSmkcSpace", "Leertaste", "QShortcut", "Space", nullptr},
    {"XSmkcPgUp", "BildAuf", "QShortcut", "PgUp", nullptr},
    {"XSmkcPgDn", "BildAb", "QShortcut", "PgDown", nullptr},
    {"XSmkcEnd", "Ende", "QShortcut", "End", nullptr},
    {"XSmkcHome", "Pos1", "QShortcut", "Home", nullptr},
    {"XSmkcLeft", "Links", "QShortcut", "Left", nullptr},
    {"XSmkcUp", "Nach oben", "QShortcut", "Up", nullptr},
    {"XSmkcRight", "Rechts", "QShortcut", "Right", nullptr},
    {"XSmkcDown", "Nach unten", "QShortcut", "Down", nullptr},
    {"XSmkcIns", "Einfg", "QShortcut", "Ins", nullptr},
    {"XSmkcDel", "Entf", "QShortcut", "Del", nullptr},
    {"XSmkcShift", "Umsch+", "QShortcut", "Shift", nullptr},
    {"XSmkcCtrl", "Strg+", "QShortcut", "Ctrl", nullptr},
    {"XSmkcAlt", "Alt+", "QShortcut", "Alt", nullptr},
    {"XSModuleAccessViolation", "Zugriffsverletzung bei Adresse %p in Modul '%s'. %s von Adresse %p",
     "SysConst", "SAccessViolation", nullptr},
    {"IDS_mtWarning", nullptr, "MsgDlg", "Warning", nullptr},
    {"IDS_mtError", nullptr, "MsgDlg", "Error", nullptr},
    {"IDS_mtInformation", nullptr, "MsgDlg", "Information", nullptr},
    {"IDS_mtConfimation", nullptr, "MsgDlg", "Confirm", nullptr},
    {"IDS_mbYes", nullptr, "QPlatformTheme", "&Yes", nullptr},
    {"IDS_mbNo", nullptr, "QPlatformTheme", "&No", nullptr},
    {"IDS_mbOK", nullptr, "QPlatformTheme", "OK", nullptr},
    {"IDS_mbCancel", nullptr, "QPlatformTheme", "Cancel", nullptr},
    {"IDS_mbHelp", nullptr, "QPlatformTheme", "Help", nullptr},
    {"IDS_mbAbort", nullptr, "QPlatformTheme", "Abort", nullptr},
    {"IDS_mbRetry", nullptr, "QPlatformTheme", "Retry", nullptr},
    {"IDS_mbIgnore", nullptr, "QPlatformTheme", "Ignore", nullptr},
    {"IDS_mbAll", nullptr, "MsgDlg", "All", nullptr},
    {"IDS_mbNoToAll", nullptr, "QPlatformTheme", "N&o to All", nullptr},
    {"IDS_mbYesToAll", nullptr, "QPlatformTheme", "Yes to &All", nullptr},
    // The folder browser's context menu, its dialog and its messages.
    {"XSsOpen", nullptr, "TSsContextMenu", "&Open", nullptr},
    {"XSsCut", nullptr, "TSsContextMenu", "Cu&t", nullptr},
    {"XSsCopy", nullptr, "TSsContextMenu", "&Copy", nullptr},
    {"XSsCopyAsPath", nullptr, "TSsContextMenu", "Copy as &Path", nullptr},
    {"XSsPaste", nullptr, "TSsContextMenu", "&Paste", nullptr},
    {"XSsNewFolder", nullptr, "TSsContextMenu", "New &Folder", nullptr},
    {"XSsDelete", nullptr, "TSsContextMenu", "&Delete", nullptr},
    {"XSsRename", nullptr, "TSsContextMenu", "Rena&me", nullptr},
    {"XSsProperties", nullptr, "TSsContextMenu", "P&roperties", nullptr},
    {"XSsNewFolderName", nullptr, "TSsContextMenu", "New Folder", nullptr},
    {"XSsPropertiesTitle", nullptr, "TSsContextMenu", "Properties", nullptr},
    {"XSsLocation", nullptr, "TSsContextMenu", "Location:", nullptr},
    {"XSsLookIn", nullptr, "TSsContextMenu", "Look in:", nullptr},
    {"XSsSaveIn", nullptr, "TSsContextMenu", "Save in:", nullptr},
    {"XSsFileName", nullptr, "TSsContextMenu", "File name:", nullptr},
    {"XSsFilesOfType", nullptr, "TSsContextMenu", "Files of type:", nullptr},
    {"XSsOpenTitle", nullptr, "TSsContextMenu", "Open", nullptr},
    {"XSsSaveAsTitle", nullptr, "TSsContextMenu", "Save As", nullptr},
    {"XSsSave", nullptr, "TSsContextMenu", "&Save", nullptr},
    {"XSsUpOneLevel", nullptr, "TSsContextMenu", "Up One Level", nullptr},
    {"XSsReplaceFile", nullptr, "TSsContextMenu", "This file already exists. Do you want to replace it?", nullptr},
    {"XSsName", nullptr, "TSsContextMenu", "Name", nullptr},
    {"XSsSize", nullptr, "TSsContextMenu", "Size", nullptr},
    {"XSsType", nullptr, "TSsContextMenu", "Type", nullptr},
    {"XSsModified", nullptr, "TSsContextMenu", "Modified", nullptr},
    {"XSsAttributes", nullptr, "TSsContextMenu", "Attributes", nullptr},
    {"XSsFileFolder", nullptr, "TSsContextMenu", "File Folder", nullptr},
    {"XSsObjects", nullptr, "TSsContextMenu", " objects", nullptr},
    {"XSsNoProgram", nullptr, "TSsContextMenu", "No program could open:", nullptr},
    {"XSsCannotPaste", nullptr, "TSsContextMenu", "Cannot paste:", nullptr},
    {"XSsCannotCreateFolder", nullptr, "TSsContextMenu", "Cannot create a folder in:", nullptr},
    {"XSsCannotTrash", nullptr, "TSsContextMenu", "Cannot move to the trash:", nullptr},
    {"XSsConfirmTrash", nullptr, "TSsContextMenu", "Move to the trash?", nullptr},
    {"XSsFilesInAll", nullptr, "TSsContextMenu", "Files in all: %1", nullptr},
    {"XSsIntoItself", nullptr, "TSsContextMenu", "A folder cannot be pasted into itself or into a folder inside it:", nullptr},
    {"XSsNameTaken", nullptr, "TSsContextMenu", "This name is already taken:", nullptr},
    {"XSsBadName", nullptr, "TSsContextMenu", "A name cannot contain \"/\" and cannot be \".\" or \"..\":", nullptr},
    {"XSsNameRefused", nullptr, "TSsContextMenu", "The file system does not accept this name:", nullptr},
    {"XSsCannotRename", nullptr, "TSsContextMenu", "Cannot rename:", nullptr},
    {"XSsSkipped", nullptr, "TSsContextMenu", "Not copied, as pipes, sockets and devices cannot be copied:", nullptr},
    {"XSsLeftInPlace", nullptr, "TSsContextMenu", "Copied, but these stay at their old place:", nullptr},
    {"XSsRenamedForUnicode", nullptr, "TSsContextMenu", "The target takes only Unicode names, so these were written under the names shown here:", nullptr},
    {"XSsWriteProtected", nullptr, "TSsContextMenu", "the folder is write-protected", nullptr},
    {"XSsAddedDuringMove", nullptr, "TSsContextMenu", "entries were added to it during the move", nullptr},
    {"XSsChangedDuringMove", nullptr, "TSsContextMenu", "it changed during the move", nullptr},
    {"XSsTrashNotOwn", nullptr, "TSsContextMenu", "the trash of this drive is a link or another user's folder, so it is not used", nullptr},
    {"XSsInvalidFolder", nullptr, "TSsContextMenu", "Invalid folder", nullptr},
    {"XSsDesktop", nullptr, "TSsContextMenu", "Desktop", nullptr},
    // The type column of Qt's file dialog; the catalogues of several languages lack them.
    {"XSsFolder", nullptr, "QAbstractFileIconProvider", "Folder", nullptr},
    {"XSsDrive", nullptr, "QAbstractFileIconProvider", "Drive", nullptr},
    {"XSsRepeatedFolder", nullptr, "TSsContextMenu", "Not copied, as each leads back to a folder above it (a loop):", nullptr},
    {"XSsMountKept", nullptr, "TSsContextMenu", "Not removed, as another drive is mounted there:", nullptr},
    {"XSsNoUsableTrash", nullptr, "TSsContextMenu", "this drive has no trash that you may use, so it stays where it is", nullptr},
    // The causes of failed file operations (SysErrorMessage).
    {"XSysErrNameTooLong", nullptr, "SysConst", "The file name is too long.", nullptr},
    {"XSysErrNotFound", nullptr, "SysConst", "The file or folder does not exist.", nullptr},
    {"XSysErrTooManyLinks", nullptr, "SysConst", "Too many links lead from one to the next.", nullptr},
    {"XSysErrReadOnly", nullptr, "SysConst", "The disk is write-protected.", nullptr},
    {"XSysErrIO", nullptr, "SysConst", "The disk could not be read or written.", nullptr},
    {"XSysErrDiskFull", nullptr, "SysConst", "There is not enough free space on the disk.", nullptr},
    {"XSysErrNoPermission", nullptr, "SysConst", "You do not have permission for this.", nullptr},
    {"XSysErrBusy", nullptr, "SysConst", "The file or folder is in use by the system (a mounted drive, for example).", nullptr},
    {"XSysErrCrossDevice", nullptr, "SysConst", "The file or folder lies on another drive and cannot be moved there in one step.", nullptr},
    {"XSysErrBadChar", nullptr, "SysConst", "The disk cannot store a character of this name.", nullptr},
    {"XSysErrInvalid", nullptr, "SysConst", "The disk does not accept this name or request (names with : ? * \" < > on a FAT disk, for example).", nullptr},
    {"XSysErrFileTooLarge", nullptr, "SysConst", "The file is too large for the disk (a FAT32 disk holds files of up to 4 GB).", nullptr},
    {"XSysErrTooLargeHere", nullptr, "SysConst", "The file is too large to be handled.", nullptr},
    {"XSysErrNotAFolder", nullptr, "SysConst", "A part of the path is not a folder.", nullptr},
    {"XSysErrIsAFolder", nullptr, "SysConst", "This is a folder, not a file.", nullptr},
    {"XSysErrExists", nullptr, "SysConst", "A file or folder of this name already exists.", nullptr},
    {"XSysErrNotEmpty", nullptr, "SysConst", "The folder is not empty.", nullptr},
    {"XSysErrLinkCount", nullptr, "SysConst", "The file or folder has too many links.", nullptr},
    {"XSysErrRunning", nullptr, "SysConst", "The file is a running program and cannot be changed now.", nullptr},
    {"XSysErrTooManyOpen", nullptr, "SysConst", "Too many files are open.", nullptr},
    {"XSysErrNoMemory", nullptr, "SysConst", "There is not enough memory.", nullptr},
    {"XSysErrStale", nullptr, "SysConst", "The file or folder was changed or removed elsewhere (on a network drive, for example).", nullptr},
    {"XSysErrNoDevice", nullptr, "SysConst", "The drive or device is not available.", nullptr},
    {"XSysErrTryAgain", nullptr, "SysConst", "The file is busy at the moment. Please try again later.", nullptr},
    {"XSysErrLock", nullptr, "SysConst", "The file could not be locked.", nullptr},
    {"XSysErrInterrupted", nullptr, "SysConst", "The operation was interrupted.", nullptr},
    {"XSysErrCancelled", nullptr, "SysConst", "The operation was cancelled.", nullptr},
    {"XSysErrNotSupported", nullptr, "SysConst", "The disk or the system does not support this operation.", nullptr},
    {"XSysErrInternal", nullptr, "SysConst", "An internal error occurred while accessing the file.", nullptr},
    {"XSysErrNetwork", nullptr, "SysConst", "The network drive cannot be reached.", nullptr},
    {"XSysErrDamaged", nullptr, "SysConst", "The file system of the disk is damaged. Please have it checked.", nullptr},
    {"XSysErrEncrypted", nullptr, "SysConst", "The folder is encrypted and not unlocked.", nullptr},
    {"XSysErrOther", nullptr, "SysConst", "The operation failed (system error %d).", nullptr},
};

// Answers Qt's requests for its own texts with the current language's.
class TLibraryTranslator : public QTranslator {
public:
    QHash<QString, QString> Texts;  // context + '\n' + source -> text

    static QString KeyOf(const char* context, const char* source)
    {
        return QString::fromLatin1(context) + QLatin1Char('\n') + QString::fromUtf8(source);
    }
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (!context || !sourceText)
            return QString();
        return Texts.value(KeyOf(context, sourceText));
    }
    bool isEmpty() const override { return Texts.isEmpty(); }
};

// ---- forms ------------------------------------------------------------------------------

// Every loaded form, in the order of creation.
std::vector<TLocalizerForm*>& LoadedForms()
{
    static std::vector<TLocalizerForm*> forms;
    return forms;
}

QString SectionOf(const QObject* form)
{
    if (const auto* f = dynamic_cast<const TLocalizerForm*>(form))
        return QString::fromLatin1(f->ClassName());
    return QString::fromLatin1(form->metaObject()->className());
}

bool IsComponentName(const QString& name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

bool HasFormAncestor(const QObject* o)
{
    for (const QObject* p = o->parent(); p; p = p->parent())
        if (dynamic_cast<const TLocalizerForm*>(p))
            return true;
    return false;
}

// ---- component properties ----------------------------------------------------------------

// A string property of a component as the language file names it.
struct TStringAccess {
    std::function<QString()> Get;
    std::function<void(const QString&)> Set;
};

// A string list property: Set(i, s) replaces line i, or appends s when i is
// the number of lines.
struct TListAccess {
    QString Name;
    std::function<QStringList()> Get;
    std::function<void(int, const QString&)> Set;
};

template <class T>
T* As(QObject* o)
{
    return dynamic_cast<T*>(o);
}

bool IsForm(const QObject* o)
{
    return dynamic_cast<const TLocalizerForm*>(o) != nullptr;
}

// A plain dialog object such as a file dialog: its caption is its "Title".
bool IsDialogObject(const QObject* o)
{
    return dynamic_cast<const QDialog*>(o) && !IsForm(o);
}

TStringAccess QtStringProperty(QObject* c, const QString& name)
{
    const QMetaObject* mo = c->metaObject();
    const int index = mo->indexOfProperty(name.toLatin1().constData());
    if (index < 0 || mo->property(index).metaType().id() != QMetaType::QString)
        return {};
    const QMetaProperty p = mo->property(index);
    return {[c, p] { return p.read(c).toString(); }, [c, p](const QString& v) { p.write(c, v); }};
}

TStringAccess StringProperty(QObject* c, const QString& name)
{
    if (TStringAccess qt = QtStringProperty(c, name); qt.Get)
        return qt;

    if (name == QLatin1String("Caption")) {
        if (auto* b = As<QAbstractButton>(c))
            return {[b] { return b->text(); }, [b](const QString& v) { b->setText(v); }};
        if (auto* l = As<QLabel>(c))
            return {[l] { return l->text(); }, [l](const QString& v) { l->setText(v); }};
        if (auto* g = As<QGroupBox>(c))
            return {[g] { return g->title(); }, [g](const QString& v) { g->setTitle(v); }};
        if (auto* a = As<QAction>(c))
            return {[a] { return a->text(); }, [a](const QString& v) { a->setText(v); }};
        if (auto* m = As<QMenu>(c))
            return {[m] { return m->title(); }, [m](const QString& v) { m->setTitle(v); }};
        if (auto* w = As<QWidget>(c)) {
            auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
            auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
            if (tabs && tabs->indexOf(w) >= 0)
                return {[tabs, w] { return tabs->tabText(tabs->indexOf(w)); },
                        [tabs, w](const QString& v) { tabs->setTabText(tabs->indexOf(w), v); }};
            if (IsForm(w) || As<QDockWidget>(w) || (w->isWindow() && !IsDialogObject(w)))
                return {[w] { return w->windowTitle(); },
                        [w](const QString& v) { w->setWindowTitle(v); }};
        }
    } else if (name == QLatin1String("Hint")) {
        if (auto* a = As<QAction>(c))
            return {[a] { return a->statusTip(); },
                    [a](const QString& v) {
                        a->setToolTip(v);
                        a->setStatusTip(v);
                    }};
        if (auto* w = As<QWidget>(c))
            return {[w] { return w->toolTip(); }, [w](const QString& v) { w->setToolTip(v); }};
    } else if (name == QLatin1String("Text")) {
        if (auto* e = As<QLineEdit>(c))
            return {[e] { return e->text(); }, [e](const QString& v) { e->setText(v); }};
        if (auto* cb = As<QComboBox>(c); cb && cb->isEditable())
            return {[cb] { return cb->currentText(); },
                    [cb](const QString& v) { cb->setEditText(v); }};
    } else if (name == QLatin1String("Title")) {
        if (IsDialogObject(c)) {
            auto* w = static_cast<QWidget*>(c);
            return {[w] { return w->windowTitle(); },
                    [w](const QString& v) { w->setWindowTitle(v); }};
        }
    }
    return {};
}

QStringList SplitLines(const QString& text)
{
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

std::vector<TListAccess> ListProperties(QObject* c)
{
    std::vector<TListAccess> lists;
    const QMetaObject* mo = c->metaObject();
    for (int i = 0; i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        const QString name = QString::fromLatin1(p.name());
        if (p.metaType().id() != QMetaType::QStringList || name.isEmpty() || !name[0].isUpper())
            continue;
        lists.push_back({name, [c, p] { return p.read(c).toStringList(); },
                         [c, p](int line, const QString& v) {
                             QStringList l = p.read(c).toStringList();
                             if (line < l.size())
                                 l[line] = v;
                             else
                                 l.append(v);
                             p.write(c, l);
                         }});
    }
    if (!lists.empty())
        return lists;

    const QString items = QStringLiteral("Items");
    if (auto* cb = As<QComboBox>(c)) {
        lists.push_back({items,
                         [cb] {
                             QStringList l;
                             for (int i = 0; i < cb->count(); ++i)
                                 l.append(cb->itemText(i));
                             return l;
                         },
                         [cb](int i, const QString& v) {
                             if (i < cb->count())
                                 cb->setItemText(i, v);
                             else
                                 cb->addItem(v);
                         }});
    } else if (auto* lw = As<QListWidget>(c)) {
        lists.push_back({items,
                         [lw] {
                             QStringList l;
                             for (int i = 0; i < lw->count(); ++i)
                                 l.append(lw->item(i)->text());
                             return l;
                         },
                         [lw](int i, const QString& v) {
                             if (i < lw->count())
                                 lw->item(i)->setText(v);
                             else
                                 lw->addItem(v);
                         }});
    } else if (auto* tb = As<QTabBar>(c)) {
        lists.push_back({QStringLiteral("Tabs"),
                         [tb] {
                             QStringList l;
                             for (int i = 0; i < tb->count(); ++i)
                                 l.append(tb->tabText(i));
                             return l;
                         },
                         [tb](int i, const QString& v) {
                             if (i < tb->count())
                                 tb->setTabText(i, v);
                             else
                                 tb->addTab(v);
                         }});
    } else if (As<QPlainTextEdit>(c) || As<QTextEdit>(c)) {
        auto* pe = As<QPlainTextEdit>(c);
        auto* te = As<QTextEdit>(c);
        auto get = [pe, te] { return SplitLines(pe ? pe->toPlainText() : te->toPlainText()); };
        lists.push_back({QStringLiteral("Lines"), get, [pe, te, get](int i, const QString& v) {
                             QStringList l = get();
                             if (i < l.size())
                                 l[i] = v;
                             else
                                 l.append(v);
                             const QString text = l.join(u'\n');
                             if (pe)
                                 pe->setPlainText(text);
                             else
                                 te->setPlainText(text);
                         }});
    }
    return lists;
}

// ---- glyphs ---------------------------------------------------------------------------------

QImage DrawGlyphStrip()
{
    // 18 rows as the strip has always had; the last two are unused.
    QImage strip(48, 16 * 18, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::black);
    for (int n = 0; n < TLocalizer::LanguageCount; ++n)
        for (int k = 0; k < 3; ++k) {
            QFont font(QStringLiteral("Liberation Sans"));
            font.setPixelSize(13);
            font.setBold(k == 0);
            font.setItalic(k == 1);
            font.setUnderline(k == 2);
            p.setFont(font);
            p.drawText(QRect(16 * k, 16 * n, 16, 16), Qt::AlignCenter,
                       QString(QChar(cLanguages[n].Glyphs[k])));
        }
    return strip;
}

}  // namespace

// ---- TLocalizer -------------------------------------------------------------------------------

TLocalizer::TLocalizer()
{
    Init({ParamStr(0), ParamStr(1)}, ParamStr(0));
}

TLocalizer::TLocalizer(const QStringList& Arguments, const QString& ExeFileName)
{
    Init(Arguments, ExeFileName);
}

void TLocalizer::Init(const QStringList& Arguments, const QString& ExeFileName)
{
    FLanguageIndex = 0;
    FCurrentSection.clear();
    FResWriteMode =
        Arguments.size() > 1 && Arguments[1].compare(QLatin1String("/RESWRITE"), Qt::CaseInsensitive) == 0;
    FCollectedFileName = ChangeFileExt(ExeFileName, QStringLiteral(".txt"));
    FPropertyNames = {QStringLiteral("Caption"), QStringLiteral("Hint"), QStringLiteral("Text"),
                      QStringLiteral("Title")};
    RegisterLibraryDefaults();
    RegisterDefault(QStringLiteral("Localizer"), QStringLiteral("NoLanguageFile"),
                    QStringLiteral("Die Sprache wird nicht unterstützt"));
    LoadGlyphs();
    FSupportedLanguages = DefaultSupportedLanguages;
}

TLocalizer::~TLocalizer()
{
    if (!FResWriteMode)
        return;
    try {
        SaveCollectedTexts();
    } catch (const std::exception& e) {
        qWarning("Collected texts not written: %s", e.what());
    }
}

void TLocalizer::RegisterDefault(const QString& Section, const QString& Key, const QString& Text)
{
    FDefaultsIni.WriteString(Section, Key, EscapeLineBreaks(Text));
}

void TLocalizer::RegisterDefaultText(const QString& Key, const QString& Text)
{
    RegisterDefault(DefaultSection(), Key, Text);
}

QString TLocalizer::GetString(const QString& Section, const QString& Key, const QString& Default) const
{
    QString s = FLanguageIni.ReadString(Section, Key, Sentinel());
    if (s == Sentinel()) {
        s = FDefaultsIni.ReadString(Section, Key, Sentinel());
        if (s == Sentinel())
            s = Default;
    }
    return UnescapeLineBreaks(s);
}

QString TLocalizer::GetDefaultString(const QString& Key) const
{
    return GetString(DefaultSection(), Key, NoDefault());
}

QString TLocalizer::EscapeLineBreaks(const QString& Text)
{
    QString s = Text;
    s.replace(QLatin1Char('\r'), QLatin1String("#13#"));
    s.replace(QLatin1Char('\n'), QLatin1String("#10#"));
    return s;
}

QString TLocalizer::UnescapeLineBreaks(const QString& Text)
{
    QString s = Text;
    s.replace(QLatin1String("#10#"), QLatin1String("\n"));
    s.replace(QLatin1String("#13#"), QLatin1String("\r"));
    return s;
}

QString TLocalizer::LanguageResourceName(int Index)
{
    return QStringLiteral(":/lang/%1.lng").arg(100 + Index);
}

QString TLocalizer::LanguageCode(int Index)
{
    if (Index < 0 || Index >= LanguageCount)
        return QString();
    return QString::fromLatin1(cLanguages[Index].Code);
}

QString TLocalizer::LanguageTag(int Index)
{
    if (Index < 0 || Index >= LanguageCount)
        return QString();
    return QLocale::languageToCode(cLanguages[Index].Language);
}

int32_t TLocalizer::LanguageCodePage(int Index)
{
    if (Index < 0 || Index >= LanguageCount)
        return 1252;
    const int32_t charset = LanguageCharset(cLanguages[Index].Language, QLocale::AnyTerritory);
    return charset < 0 ? 1252 : CharsetCodePage(charset);
}

bool TLocalizer::IsLanguageAvailable(int Index) const
{
    return InMask(FSupportedLanguages, Index) && QFile::exists(LanguageResourceName(Index));
}

bool TLocalizer::ReadLanguage(int Index, TMyMemIniFile& Ini)
{
    try {
        QFile file(LanguageResourceName(Index));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.readAll();
        TMemoryStream stream;
        stream.WriteBuffer(bytes.constData(), int32_t(bytes.size()));
        stream.SetPosition(0);
        Ini.Clear();
        Ini.LoadFromStream(stream);
        return true;
    } catch (...) {
        return false;
    }
}

bool TLocalizer::LoadLanguage(int Index)
{
    return ReadLanguage(Index, FLanguageIni);
}

void TLocalizer::SetLanguage(int Index)
{
    TWaitCursor wait;
    if (FResWriteMode) {
        ShowMessage(QStringLiteral("Sprachumschaltung nicht möglich, da Resourcenschreibmodus aktiviert ist"));
        return;
    }
    if (!IsLanguageAvailable(Index)) {
        ShowMessage(QStringLiteral("Ausgewählte Sprache steht nicht zur Verfügung"));
        return;
    }
    FLanguageIndex = Index;
    FLanguageIni.Clear();
    if (!LoadLanguage(Index))
        throw Exception(GetString(QStringLiteral("Localizer"), QStringLiteral("NoLanguageFile"), NoDefault())
                        + QStringLiteral(": ") + LanguageCode(Index));
    ApplyLanguageFormats();
    LoadGlyphs();
    LocalizeLibraryTexts();
    const std::vector<TLocalizerForm*> forms = LoadedForms();
    for (TLocalizerForm* form : forms)
        if (!HasFormAncestor(form))
            LocalizeForm(form);
}

void TLocalizer::ChooseStartLanguage()
{
    int index = TQwRegIniFile::Instance().ReadInteger("", "Sprache", -99);
    if (index == -99) {
        const int primary = PrimaryLanguageOf(QLocale());
        for (int i = 0; i < LanguageCount; ++i)
            if (primary != 0 && cLanguages[i].PrimaryLanguage == primary) {
                index = i;
                break;
            }
        if (index != -99 && !IsLanguageAvailable(index))
            index = -99;
    }
    if (index != -99) {
        if (!InMask(FSupportedLanguages, index))
            index = 0;
        try {
            SetLanguage(index);
        } catch (...) {
            // A language that cannot be read leaves the designed texts.
        }
    }
    ApplyLanguageFormats();
}

void TLocalizer::ApplyLanguageFormats() const
{
    // Test localizers of their own leave the process's settings alone.
    if (this != &Localizer())
        return;
    const QLocale locale(cLanguages[std::clamp(FLanguageIndex, 0, LanguageCount - 1)].Language);
    const TFormatSettings language = FormatSettingsFor(locale);
    TFormatSettings& numbers = FormatSettings();
    numbers.DecimalSeparator = language.DecimalSeparator;
    numbers.ThousandSeparator = language.ThousandSeparator;
    SetFileNameCodePage(LanguageCodePage(FLanguageIndex));
    // Qt's own widgets and dialogs write dates, numbers and file types in it too.
    QLocale::setDefault(locale);
}

void TLocalizer::SetSupportedLanguages(uint16_t Mask)
{
    FSupportedLanguages = Mask;
    if (!InMask(FSupportedLanguages, FLanguageIndex))
        ChooseStartLanguage();
}

// ---- forms ------------------------------------------------------------------------------------

void TLocalizer::LocalizeForm(QWidget* Form)
{
    if (FResWriteMode) {
        CollectForm(Form);
        return;
    }
    const QString saved = FCurrentSection;
    FCurrentSection = SectionOf(Form);
    try {
        ApplyChildren(Form);
        if (auto* f = dynamic_cast<TLocalizerForm*>(Form))
            f->AfterLocalize();
    } catch (...) {
        FCurrentSection = saved;
        throw;
    }
    FCurrentSection = saved;
}

void TLocalizer::ApplyChildren(QObject* Component)
{
    ApplyComponent(Component);
    if (IsDialogObject(Component))
        return;  // a framework dialog's own controls carry Qt's texts
    const QObjectList children = Component->children();
    for (QObject* child : children) {
        if (auto* form = dynamic_cast<TLocalizerForm*>(child))
            LocalizeForm(form);
        else
            ApplyChildren(child);
    }
}

QString TLocalizer::LanguageText(const QString& Key) const
{
    const QString s = FLanguageIni.ReadString(FCurrentSection, Key, Sentinel());
    return s == Sentinel() ? QString() : s;
}

void TLocalizer::ApplyComponent(QObject* Component)
{
    const QString name = Component->objectName();
    if (!IsComponentName(name))
        return;
    for (const QString& property : std::as_const(FPropertyNames)) {
        const QString text = LanguageText(name + QLatin1Char('.') + property);
        if (text.isNull())
            continue;
        if (const TStringAccess access = StringProperty(Component, property); access.Set)
            access.Set(UnescapeLineBreaks(text));
    }
    for (const TListAccess& list : ListProperties(Component)) {
        const QString key = name + QLatin1Char('.') + list.Name;
        for (int i = 0;; ++i) {
            const QString text = LanguageText(key + QString::number(i));
            if (text.isNull())
                break;
            list.Set(i, UnescapeLineBreaks(text));
        }
    }
}

void TLocalizer::CollectForm(QWidget* Form)
{
    FCurrentSection = SectionOf(Form);
    CollectChildren(Form);
    FCurrentSection.clear();
}

void TLocalizer::CollectChildren(QObject* Component)
{
    CollectComponent(Component);
    if (IsDialogObject(Component))
        return;
    const QObjectList children = Component->children();
    for (QObject* child : children)
        CollectChildren(child);
}

void TLocalizer::CollectComponent(QObject* Component)
{
    const QString name = Component->objectName();
    if (!IsComponentName(name))
        return;
    for (const QString& property : std::as_const(FPropertyNames)) {
        const TStringAccess access = StringProperty(Component, property);
        if (!access.Get)
            continue;
        const QString value = access.Get();
        if (!value.trimmed().isEmpty())
            FLanguageIni.WriteString(FCurrentSection, name + QLatin1Char('.') + property,
                                     EscapeLineBreaks(value));
    }
    for (const TListAccess& list : ListProperties(Component)) {
        const QStringList lines = list.Get();
        for (int i = 0; i < lines.size(); ++i)
            FLanguageIni.WriteString(FCurrentSection,
                                     name + QLatin1Char('.') + list.Name + QString::number(i),
                                     EscapeLineBreaks(lines[i]));
    }
}

void TLocalizer::SaveCollectedTexts()
{
    TMemoryStream defaults;
    FDefaultsIni.SaveToStream(defaults);
    defaults.SetPosition(0);
    FLanguageIni.MergeFromAnsiStream(defaults);

    TMyMemIniFile collected;
    collected.LoadFromFile(FCollectedFileName);
    QStringList sections, keys;
    FLanguageIni.ReadSections(sections);
    for (const QString& section : std::as_const(sections)) {
        FLanguageIni.ReadSection(section, keys);
        for (const QString& key : std::as_const(keys))
            collected.WriteString(section, key, FLanguageIni.ReadString(section, key, QString()));
    }

    TMemoryStream out;
    collected.SaveToStream(out);
    QSaveFile file(FCollectedFileName);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char*>(out.Memory()), qint64(out.Size())) != out.Size()
        || !file.commit())
        throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2")
                                .arg(FCollectedFileName, file.errorString()));
}

// ---- glyphs and framework texts -------------------------------------------------------------

const QImage& TLocalizer::GlyphStrip()
{
    static const QImage strip = DrawGlyphStrip();
    return strip;
}

void TLocalizer::LoadGlyphs()
{
    FGlyphLanguage = -1;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        CutGlyphs();
}

void TLocalizer::CutGlyphs() const
{
    const QImage& strip = GlyphStrip();
    const int n = std::clamp(FLanguageIndex, 0, LanguageCount - 1);
    FBoldGlyph = strip.copy(0, 16 * n, 16, 16);
    FItalicGlyph = strip.copy(16, 16 * n, 16, 16);
    FUnderlineGlyph = strip.copy(32, 16 * n, 16, 16);
    FGlyphLanguage = FLanguageIndex;
}

const QImage& TLocalizer::GetBoldGlyph() const
{
    if (FGlyphLanguage != FLanguageIndex)
        CutGlyphs();
    return FBoldGlyph;
}

const QImage& TLocalizer::GetItalicGlyph() const
{
    if (FGlyphLanguage != FLanguageIndex)
        CutGlyphs();
    return FItalicGlyph;
}

const QImage& TLocalizer::GetUnderlineGlyph() const
{
    if (FGlyphLanguage != FLanguageIndex)
        CutGlyphs();
    return FUnderlineGlyph;
}

void TLocalizer::RegisterLibraryDefaults()
{
    for (const TLibraryText& t : cLibraryTexts)
        if (t.Default)
            RegisterDefaultText(QString::fromLatin1(t.Key), QString::fromUtf8(t.Default));
}

void TLocalizer::LocalizeLibraryTexts()
{
    if (!FLibraryTexts)
        FLibraryTexts = std::make_unique<TLibraryTranslator>();
    auto* translator = static_cast<TLibraryTranslator*>(FLibraryTexts.get());
    translator->Texts.clear();
    for (const TLibraryText& t : cLibraryTexts) {
        QString text = GetDefaultString(QString::fromLatin1(t.Key));
        // The shortcut texts of the modifiers carry the "+" that Qt adds itself.
        if (qstrcmp(t.Context, "QShortcut") == 0 && QByteArray(t.Default).endsWith('+')
            && text.endsWith(u'+'))
            text.chop(1);
        translator->Texts.insert(TLibraryTranslator::KeyOf(t.Context, t.Source), text);
        if (t.Source2)
            translator->Texts.insert(TLibraryTranslator::KeyOf(t.Context, t.Source2), text);
    }
    if (QCoreApplication::instance()) {
        QCoreApplication::removeTranslator(translator);
        QCoreApplication::installTranslator(translator);
    }
}

// ---- global functions ---------------------------------------------------------------------------

TLocalizer& Localizer()
{
    static TLocalizer localizer;
    return localizer;
}

namespace {
QString ClassSection(const TObject* Obj)
{
    return Obj ? QString::fromLatin1(Obj->ClassName()) : QString();
}
}  // namespace

void RegisterLocalizedString(const TObject* Obj, const QString& Text)
{
    Localizer().RegisterDefault(ClassSection(Obj), Text, Text);
}

void RegisterLocalizedStringKey(const TObject* Obj, const QString& Key, const QString& Text)
{
    Localizer().RegisterDefault(ClassSection(Obj), Key, Text);
}

QString LocalizedString(const TObject* Obj, const QString& Key)
{
    return Localizer().GetString(ClassSection(Obj), Key, NoDefault());
}

void RegisterDefaultString(const QString& Text)
{
    Localizer().RegisterDefaultText(Text, Text);
}

void RegisterDefaultStringKey(const QString& Key, const QString& Text)
{
    Localizer().RegisterDefaultText(Key, Text);
}

QString LocalizedDefaultString(const QString& Key)
{
    return Localizer().GetDefaultString(Key);
}

// ---- TLocalizerForm -------------------------------------------------------------------------------

TLocalizerForm::TLocalizerForm(TCreateKey, QWidget* Parent, Qt::WindowFlags Flags)
    : QDialog(Parent, Flags)
{
}

TLocalizerForm::~TLocalizerForm()
{
    auto& forms = LoadedForms();
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
}

void TLocalizerForm::done(int Result)
{
    if (auto* query = findChild<TFormCloseQuery*>(QStringLiteral("TFormCloseQuery"), Qt::FindDirectChildrenOnly))
        if (!query->CloseQuery())
            return;
    QDialog::done(Result);
}

void TLocalizerForm::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier && !isModal())
        QWidget::keyPressEvent(Event);
    else
        QDialog::keyPressEvent(Event);
}

void TLocalizerForm::Loaded()
{
    LoadedForms().push_back(this);
    BeforeLocalize();
    Localizer().LocalizeForm(this);
    AfterLocalize();
}
