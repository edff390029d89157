#pragma once
// Localisation of every text the user sees: the localizer, the base class of
// all forms, and the global lookup functions.
//
// Language files are Qt resources ":/lang/<100 + index>.lng" (index 0 German,
// 1 English, 2 French, 3 Italian, 4 Spanish, 9 Dutch, ...): ini text with a
// "[FormClass]" section per form and keys "Component.Property" (Caption, Hint,
// Text, Title), or the same followed by N for line N of a string list
// ("ComboBox1.Items0"; lists are Items, Lines and Tabs); "#13#" and "#10#"
// stand for CR and LF. A component is a QObject with an object name; see
// ApplyComponent for how the properties map onto Qt.
#include "MyMemIniFile.h"
#include "Object.h"

#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <utility>

class QTranslator;
class TLocalizerForm;

class TLocalizer : public TObject {
public:
    LUMI_CLASSNAME(TLocalizer)

    static constexpr int LanguageCount = 16;
    static constexpr uint16_t DefaultSupportedLanguages = 0x21F;  // 0-4 and 9

    // Collecting mode when the process's first argument is "/RESWRITE" (any case).
    TLocalizer();
    // Arguments[0] is ignored, Arguments[1] may switch on collecting mode; the
    // collected texts go to ExeFileName with the extension ".txt".
    TLocalizer(const QStringList& Arguments, const QString& ExeFileName);
    // In collecting mode writes the collected texts.
    ~TLocalizer() override;
    TLocalizer(const TLocalizer&) = delete;
    TLocalizer& operator=(const TLocalizer&) = delete;

    // Registers a default text (line breaks escaped), replacing an earlier one.
    void RegisterDefault(const QString& Section, const QString& Key, const QString& Text);
    void RegisterDefaultText(const QString& Key, const QString& Text);  // section "Default"
    // The language's text, else the registered default, else Default; line
    // breaks unescaped.
    QString GetString(const QString& Section, const QString& Key, const QString& Default) const;
    QString GetDefaultString(const QString& Key) const;  // section "Default"

    // Loads the language and applies it to every form. Refusals are shown with
    // ShowMessage; an unreadable language raises Exception.
    void SetLanguage(int Index);
    // The stored "Sprache", else the user's locale; nothing when neither fits
    // (numbers then follow the designed language).
    void ChooseStartLanguage();
    void SetSupportedLanguages(uint16_t Mask);
    bool IsLanguageAvailable(int Index) const;
    bool LoadLanguage(int Index);

    void LocalizeForm(QWidget* Form);
    // The component and everything it owns; an owned form is localized in its
    // own section, and the controls inside a framework dialog (a QDialog that is
    // not a form, such as a file dialog) are left to Qt.
    void ApplyChildren(QObject* Component);
    // Sets Caption, Hint, Text, Title and the string lists of a named component
    // (object name not starting with "qt_") from the language. A Qt property of
    // that name is used when the class has one (string lists: any QStringList
    // property with a capitalised name). Otherwise: Caption = text of a button,
    // label or action, title of a group box or menu, tab text of a tab page,
    // window title of a form, dock or other window; Hint = tool tip (and status
    // tip of an action); Text = text of a line edit or editable combo box;
    // Title = window title of a dialog that is not a form (file, colour, font
    // dialogs); lists: Items of combo boxes and list widgets, Lines of text
    // edits, Tabs of tab bars.
    void ApplyComponent(QObject* Component);
    void CollectForm(QWidget* Form);
    void CollectChildren(QObject* Component);
    void CollectComponent(QObject* Component);
    // Merges the collected texts and the defaults into CollectedFileName().
    void SaveCollectedTexts();

    static QString EscapeLineBreaks(const QString& Text);    // CR -> "#13#", LF -> "#10#"
    static QString UnescapeLineBreaks(const QString& Text);  // "#10#" -> LF, "#13#" -> CR

    // Cuts the current language's glyphs out of the strip. They are drawn with
    // the application's fonts, so before a QGuiApplication exists this only
    // marks them for the first Get...Glyph call.
    void LoadGlyphs();
    const QImage& GetBoldGlyph() const;
    const QImage& GetItalicGlyph() const;
    const QImage& GetUnderlineGlyph() const;
    // The 48 x 288 strip of all languages' bold, italic and underline glyphs
    // (row n = language n), drawn on first use.
    static const QImage& GlyphStrip();

    // Hands the framework texts of the current language to Qt: key names and
    // modifiers of shortcuts (context "QShortcut"), the standard buttons
    // (context "QPlatformTheme"), message box captions and the All button that
    // Qt lacks (context "MsgDlg": "Warning", "Error", "Information", "Confirm",
    // "All") and the access violation format (context "SysConst",
    // "SAccessViolation").
    void LocalizeLibraryTexts();
    void RegisterLibraryDefaults();

    int LanguageIndex() const { return FLanguageIndex; }
    uint16_t SupportedLanguages() const { return FSupportedLanguages; }
    bool ResWriteMode() const { return FResWriteMode; }
    const QString& CollectedFileName() const { return FCollectedFileName; }
    const TMyMemIniFile& LanguageIni() const { return FLanguageIni; }

    // ":/lang/<100 + Index>.lng"
    static QString LanguageResourceName(int Index);
    // Reads the texts of a language the program carries into Ini; false when it has none.
    static bool ReadLanguage(int Index, TMyMemIniFile& Ini);
    // "deu", "eng", ... ; "" outside 0..15.
    static QString LanguageCode(int Index);
    // The language's code of ISO 639 ("de", "en", ...); "" outside 0..15.
    static QString LanguageTag(int Index);
    // The Windows code page of a language's script (1252 for the Western
    // languages, 1250 for the Central European ones, ...); 1252 outside 0..15.
    static int32_t LanguageCodePage(int Index);

private:
    void Init(const QStringList& Arguments, const QString& ExeFileName);
    // The program's language sets the decimal and thousands separators of
    // numbers read and shown, Qt's default locale, and the code page in which
    // file names that are no UTF-8 are shown (the application's own localizer
    // only).
    void ApplyLanguageFormats() const;
    QString LanguageText(const QString& Key) const;  // in CurrentSection; null when missing
    void CutGlyphs() const;

    bool FResWriteMode = false;
    TMyMemIniFile FLanguageIni;
    TMyMemIniFile FDefaultsIni;
    QStringList FPropertyNames;
    QString FCurrentSection;
    mutable QImage FBoldGlyph, FItalicGlyph, FUnderlineGlyph;
    mutable int FGlyphLanguage = -1;  // language the glyphs were cut for
    int FLanguageIndex = 0;
    uint16_t FSupportedLanguages = DefaultSupportedLanguages;
    QString FCollectedFileName;
    std::unique_ptr<QTranslator> FLibraryTexts;
};

// The global localizer, created on first use and freed at program end.
TLocalizer& Localizer();

// Registers Text as default under the class name of Obj, key = Text.
void RegisterLocalizedString(const TObject* Obj, const QString& Text);
void RegisterLocalizedStringKey(const TObject* Obj, const QString& Key, const QString& Text);
// The text of (class name of Obj, Key); "kein Defaultwert definiert" when none.
QString LocalizedString(const TObject* Obj, const QString& Key);
// The same in the section "Default".
void RegisterDefaultString(const QString& Text);
void RegisterDefaultStringKey(const QString& Key, const QString& Text);
QString LocalizedDefaultString(const QString& Key);

// Base of every form, dialog and side panel (a QDialog: with Qt::Widget flags
// it embeds as a panel). A form is made only through create<T>(), which
// localizes it once it is fully constructed:
//
//   class TMyDialog : public TLocalizerForm {
//   public:
//       LUMI_CLASSNAME(TMyDialog)
//       TMyDialog(TCreateKey Key, QWidget* Parent) : TLocalizerForm(Key, Parent) { ... }
//   protected:
//       void BeforeLocalize() override { RegisterLocalizedString(this, "Text"); }
//   };
//   auto* dlg = TLocalizerForm::create<TMyDialog>(parent);
//
// The form's section in the language file is its ClassName(); its object name
// is the component name of its own caption ("Name.Caption").
class TLocalizerForm : public QDialog, public TObject {
public:
    // Only create() can make one, so no form escapes localisation.
    class TCreateKey {
        friend class TLocalizerForm;
        TCreateKey() = default;
    };

    // Constructs T (T's constructor takes the key first), then runs
    // BeforeLocalize, localizes the form and runs AfterLocalize. The form
    // belongs to its parent; a form without one belongs to the caller.
    template <class T, class... Args>
    static T* create(Args&&... args)
    {
        T* form = new T(TCreateKey(), std::forward<Args>(args)...);
        form->Loaded();
        return form;
    }

    ~TLocalizerForm() override;

    // Every form names its class (LUMI_CLASSNAME).
    const char* ClassName() const override = 0;

protected:
    explicit TLocalizerForm(TCreateKey Key, QWidget* Parent = nullptr, Qt::WindowFlags Flags = {});

    // Registers the texts the form's code asks for.
    virtual void BeforeLocalize() {}
    // Refreshes texts the form's code sets; runs after every language switch.
    virtual void AfterLocalize() {}

    // Esc closes a form only while it is shown modally; a main window or a
    // panel ignores it.
    void keyPressEvent(QKeyEvent* Event) override;

public:
    // Closing a form (OK, Cancel, the close button) first asks its close
    // query (the validating fields); a refusal keeps the form open.
    void done(int Result) override;

private:
    friend class TLocalizer;
    void Loaded();
};
