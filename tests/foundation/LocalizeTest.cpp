#include "ulocalize.h"

#include "Dialogs.h"
#include "RegistryStore.h"
#include "SysUtils.h"
#include "uQwRegistry.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

// A form can only be made through TLocalizerForm::create.
static_assert(!std::is_default_constructible_v<TLocalizerForm::TCreateKey>);

namespace {

// A widget of another unit that names its localisable properties itself.
class TCustomBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QStringList Entries READ entries WRITE setEntries)
public:
    using QWidget::QWidget;
    QString caption() const { return caption_; }
    void setCaption(const QString& v) { caption_ = v; }
    QStringList entries() const { return entries_; }
    void setEntries(const QStringList& v) { entries_ = v; }

private:
    QString caption_;
    QStringList entries_;
};

class TTestPanel : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TTestPanel)
    TTestPanel(TCreateKey Key, QWidget* Parent) : TLocalizerForm(Key, Parent, Qt::Widget)
    {
        setObjectName(QStringLiteral("TestPanel"));
        Label = new QLabel(QStringLiteral("Tafeltext"), this);
        Label->setObjectName(QStringLiteral("PanelLabel"));
        Button = new QPushButton(QStringLiteral("Knopf"), this);
        Button->setObjectName(QStringLiteral("PanelButton"));
    }
    QLabel* Label;
    QPushButton* Button;
};

template <class T>
T* Named(T* object, const char* name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

class TTestForm : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TTestForm)
    explicit TTestForm(TCreateKey Key, QWidget* Parent = nullptr) : TLocalizerForm(Key, Parent)
    {
        setObjectName(QStringLiteral("TestForm"));
        setWindowTitle(QStringLiteral("Testfenster"));
        BtnOk = Named(new QPushButton(QStringLiteral("OK-Knopf"), this), "BtnOk");
        BtnOk->setToolTip(QStringLiteral("Bestätigen"));
        EdName = Named(new QLineEdit(QStringLiteral("Ihr Name"), this), "EdName");
        LblInfo = Named(new QLabel(QStringLiteral("Info\r\nZeile 2"), this), "LblInfo");
        LblKeep = Named(new QLabel(QStringLiteral("Bleibt"), this), "LblKeep");
        Group = Named(new QGroupBox(QStringLiteral("Optionen"), this), "GroupBox1");
        Combo = Named(new QComboBox(Group), "ComboBox1");
        Combo->addItems({QStringLiteral("Rot"), QStringLiteral("Grün"), QStringLiteral("Blau")});
        List = Named(new QListWidget(this), "ListBox1");
        List->addItem(QStringLiteral("eins"));
        Memo = Named(new QPlainTextEdit(QStringLiteral("Zeile A\n\nZeile C"), this), "Memo1");
        Act = Named(new QAction(QStringLiteral("Ö&ffnen"), this), "ActOpen");
        auto* tabs = new QTabWidget(this);
        Page = Named(new QWidget, "PageOne");
        tabs->addTab(Page, QStringLiteral("Erste Seite"));
        Tabs = Named(new QTabBar(this), "TabBar1");
        Tabs->addTab(QStringLiteral("Links"));
        Tabs->addTab(QStringLiteral("Rechts"));
        auto* unnamed = new QWidget(this);
        Inner = Named(new QPushButton(QStringLiteral("Innen"), unnamed), "BtnInner");
        Custom = Named(new TCustomBox(this), "CustomBox");
        Custom->setCaption(QStringLiteral("Eigen"));
        Custom->setEntries({QStringLiteral("Eintrag 1"), QStringLiteral("Eintrag 2")});
        Dialog = Named(new QFileDialog(this), "OpenDialog1");
        Dialog->setWindowTitle(QStringLiteral("Datei wählen"));
        Panel = TLocalizerForm::create<TTestPanel>(this);
    }

    QPushButton* BtnOk;
    QLineEdit* EdName;
    QLabel *LblInfo, *LblKeep;
    QGroupBox* Group;
    QComboBox* Combo;
    QListWidget* List;
    QPlainTextEdit* Memo;
    QAction* Act;
    QWidget* Page;
    QTabBar* Tabs;
    QPushButton* Inner;
    TCustomBox* Custom;
    QFileDialog* Dialog;
    TTestPanel* Panel;
    int Before = 0;
    int After = 0;

protected:
    void BeforeLocalize() override
    {
        ++Before;
        RegisterLocalizedString(this, QStringLiteral("Seite %d wird gedruckt"));
    }
    void AfterLocalize() override { ++After; }
};

QStringList ItemsOf(const QComboBox* c)
{
    QStringList l;
    for (int i = 0; i < c->count(); ++i)
        l << c->itemText(i);
    return l;
}

QStringList ItemsOf(const QListWidget* w)
{
    QStringList l;
    for (int i = 0; i < w->count(); ++i)
        l << w->item(i)->text();
    return l;
}

// Records the messages shown while it lives.
struct MessageRecorder {
    QStringList messages;
    MessageRecorder()
    {
        ShowMessageHandler = [this](const QString& m) { messages << m; };
    }
    ~MessageRecorder() { ShowMessageHandler = nullptr; }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
};

// A localizer of its own (not the global one), outside collecting mode.
struct TestLocalizer : MessageRecorder {
    QTemporaryDir dir;
    TLocalizer loc{QStringList{QStringLiteral("lumiseite")}, dir.filePath(QStringLiteral("lumiseite"))};
};

const QString cNotAvailable = QStringLiteral("Ausgewählte Sprache steht nicht zur Verfügung");

void ForgetStoredLanguage()
{
    TRegistryStore().DeleteValue(QString::fromLatin1(QwRegistryBaseKey), QStringLiteral("Sprache"));
}

class TNamedObject : public TObject {
public:
    LUMI_CLASSNAME(TNamedObject)
};

}  // namespace

TEST(Localizer, LineBreakEscapes)
{
    EXPECT_EQ(TLocalizer::UnescapeLineBreaks(QStringLiteral("eins#13##10#zwei")), QStringLiteral("eins\r\nzwei"));
    EXPECT_EQ(TLocalizer::UnescapeLineBreaks(QStringLiteral("a#10#b#13#")), QStringLiteral("a\nb\r"));
    EXPECT_EQ(TLocalizer::EscapeLineBreaks(QStringLiteral("a\r\nb\nc")), QStringLiteral("a#13##10#b#10#c"));
    EXPECT_EQ(TLocalizer::UnescapeLineBreaks(TLocalizer::EscapeLineBreaks(QStringLiteral("x\n\r\ny"))),
              QStringLiteral("x\n\r\ny"));
}

TEST(Localizer, LookupGoesFromLanguageToDefaultsToTheCaller)
{
    TestLocalizer t;
    TLocalizer& loc = t.loc;
    loc.RegisterDefault(QStringLiteral("TTestForm"), QStringLiteral("Seite %d wird gedruckt"),
                        QStringLiteral("Seite %d wird gedruckt"));
    loc.RegisterDefault(QStringLiteral("TTestForm"), QStringLiteral("Zwei"), QStringLiteral("alt"));
    loc.RegisterDefault(QStringLiteral("TTestForm"), QStringLiteral("Zwei"), QStringLiteral("A\r\nB"));
    EXPECT_EQ(loc.GetString(QStringLiteral("TTestForm"), QStringLiteral("Seite %d wird gedruckt"), QString()),
              QStringLiteral("Seite %d wird gedruckt"));

    loc.SetLanguage(1);
    EXPECT_TRUE(t.messages.isEmpty());
    EXPECT_EQ(loc.LanguageIndex(), 1);
    EXPECT_EQ(loc.GetString(QStringLiteral("ttestform"), QStringLiteral("SEITE %D WIRD GEDRUCKT"), QString()),
              QStringLiteral("Printing page %d"));
    EXPECT_EQ(loc.GetString(QStringLiteral("TTestForm"), QStringLiteral("Zwei"), QString()),
              QStringLiteral("A\r\nB"));
    EXPECT_EQ(loc.GetString(QStringLiteral("TTestForm"), QStringLiteral("Fehlt"), QStringLiteral("c#13##10#d")),
              QStringLiteral("c\r\nd"));
    EXPECT_EQ(loc.GetDefaultString(QStringLiteral("Dokument wird geladen")), QStringLiteral("Loading document"));
    EXPECT_EQ(loc.GetDefaultString(QStringLiteral("XSmkcTab")), QStringLiteral("Tab"));
    EXPECT_EQ(loc.GetDefaultString(QStringLiteral("Fehlt")), QStringLiteral("kein Defaultwert definiert"));
}

TEST(Localizer, GlobalFunctionsUseTheClassNameOrTheDefaultSection)
{
    const TNamedObject obj;
    RegisterLocalizedStringKey(&obj, QStringLiteral("Zeilen"), QStringLiteral("eins\r\nzwei"));
    RegisterLocalizedString(&obj, QStringLiteral("Bild wird geladen"));
    RegisterDefaultString(QStringLiteral("Dokument wird gespeichert"));
    RegisterDefaultStringKey(QStringLiteral("IDS_TEST"), QStringLiteral("Prüftext"));

    EXPECT_EQ(LocalizedString(&obj, QStringLiteral("zeilen")), QStringLiteral("eins\r\nzwei"));
    EXPECT_EQ(LocalizedString(&obj, QStringLiteral("Bild wird geladen")), QStringLiteral("Bild wird geladen"));
    EXPECT_EQ(LocalizedString(&obj, QStringLiteral("Dokument wird gespeichert")),
              QStringLiteral("kein Defaultwert definiert"));
    EXPECT_EQ(LocalizedDefaultString(QStringLiteral("Dokument wird gespeichert")),
              QStringLiteral("Dokument wird gespeichert"));
    EXPECT_EQ(LocalizedDefaultString(QStringLiteral("IDS_TEST")), QStringLiteral("Prüftext"));
    EXPECT_EQ(LocalizedDefaultString(QStringLiteral("XSmkcCtrl")), QStringLiteral("Strg+"));
    EXPECT_EQ(Localizer().GetString(QStringLiteral("Localizer"), QStringLiteral("NoLanguageFile"), QString()),
              QStringLiteral("Die Sprache wird nicht unterstützt"));
}

TEST(LocalizerForm, CreateRunsTheLocalizingStepsAfterConstruction)
{
    std::unique_ptr<TTestForm> form(TLocalizerForm::create<TTestForm>());
    EXPECT_EQ(form->Before, 1);
    EXPECT_EQ(form->After, 2);  // once inside the localizing, once after it
    EXPECT_EQ(LocalizedString(form.get(), QStringLiteral("Seite %d wird gedruckt")),
              QStringLiteral("Seite %d wird gedruckt"));
    EXPECT_EQ(form->ClassName(), std::string("TTestForm"));
    EXPECT_EQ(form->Panel->ClassName(), std::string("TTestPanel"));
}

TEST(LocalizerForm, EscClosesOnlyAModalForm)
{
    std::unique_ptr<TTestForm> form(TLocalizerForm::create<TTestForm>());
    auto pressEsc = [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(form.get(), &press);
    };
    form->show();
    pressEsc();
    EXPECT_TRUE(form->isVisible());
    form->hide();
    form->setModal(true);
    form->show();
    pressEsc();
    EXPECT_FALSE(form->isVisible());
}

TEST(Localizer, LocalizesFormsFromTheLanguageFile)
{
    std::unique_ptr<TTestForm> form(TLocalizerForm::create<TTestForm>());
    const int after = form->After;
    TestLocalizer t;
    t.loc.SetLanguage(1);  // applies the language to every loaded form

    EXPECT_EQ(form->windowTitle(), QStringLiteral("Test window"));
    EXPECT_EQ(form->BtnOk->text(), QStringLiteral("OK button"));
    EXPECT_EQ(form->BtnOk->toolTip(), QStringLiteral("Press to confirm"));
    EXPECT_EQ(form->EdName->text(), QStringLiteral("Your name"));
    EXPECT_EQ(form->LblInfo->text(), QStringLiteral("First line\r\nSecond line"));
    EXPECT_EQ(form->LblKeep->text(), QStringLiteral("Bleibt"));
    EXPECT_EQ(form->Group->title(), QStringLiteral("Options"));
    EXPECT_EQ(ItemsOf(form->Combo), (QStringList{"Red", "Green", "Blau"}));
    EXPECT_EQ(ItemsOf(form->List), (QStringList{"one", "two", "three"}));
    EXPECT_EQ(form->Memo->toPlainText(), QStringLiteral("Memo line A\n\nZeile C"));
    EXPECT_EQ(form->Act->text(), QStringLiteral("&Open"));
    EXPECT_EQ(form->Act->toolTip(), QStringLiteral("Open a file"));
    auto* tabs = qobject_cast<QTabWidget*>(form->Page->parentWidget()->parentWidget());
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("First page"));
    EXPECT_EQ(form->Tabs->tabText(0), QStringLiteral("Left tab"));
    EXPECT_EQ(form->Tabs->tabText(1), QStringLiteral("Rechts"));
    EXPECT_EQ(form->Inner->text(), QStringLiteral("Inner button"));
    EXPECT_EQ(form->Custom->caption(), QStringLiteral("Custom caption"));
    EXPECT_EQ(form->Custom->entries(), (QStringList{"Custom entry", "Eintrag 2"}));
    EXPECT_EQ(form->Dialog->windowTitle(), QStringLiteral("Choose a file"));
    // The embedded panel reads its own section.
    EXPECT_EQ(form->Panel->Label->text(), QStringLiteral("Panel text"));
    EXPECT_EQ(form->Panel->Button->text(), QStringLiteral("Knopf"));  // key only in [TTestForm]
    EXPECT_EQ(form->After, after + 1);
}

TEST(Localizer, ReadsLanguageFilesInEveryEncoding)
{
    std::unique_ptr<TTestForm> form(TLocalizerForm::create<TTestForm>());
    TestLocalizer t;
    const std::pair<int, QString> cases[] = {
        {0, QStringLiteral("Testfenster (deutsch)")},  // UTF-16 little-endian
        {2, QStringLiteral("Fenêtre d'essai")},        // 8-bit
        {9, QStringLiteral("Testvenster \u0133")},     // UTF-16 big-endian
    };
    for (const auto& [index, caption] : cases) {
        t.loc.SetLanguage(index);
        EXPECT_EQ(t.loc.LanguageIndex(), index);
        EXPECT_EQ(form->windowTitle(), caption) << index;
    }
    EXPECT_TRUE(t.messages.isEmpty());
}

TEST(Localizer, RefusesLanguagesThatAreNotAvailable)
{
    ForgetStoredLanguage();
    std::unique_ptr<TTestForm> form(TLocalizerForm::create<TTestForm>());
    TestLocalizer t;
    t.loc.SetLanguage(1);
    for (int index : {3 /* no file */, 5 /* not supported */, 16, -1}) {
        t.messages.clear();
        t.loc.SetLanguage(index);
        EXPECT_EQ(t.messages, QStringList{cNotAvailable}) << index;
        EXPECT_EQ(t.loc.LanguageIndex(), 1);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Test window"));
    }
    EXPECT_TRUE(t.loc.IsLanguageAvailable(9));
    EXPECT_FALSE(t.loc.IsLanguageAvailable(4));

    // Dropping the current language reselects from the (German) user locale.
    t.loc.SetSupportedLanguages(0x0001);
    EXPECT_EQ(t.loc.LanguageIndex(), 0);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Testfenster (deutsch)"));
    EXPECT_FALSE(t.loc.IsLanguageAvailable(1));
}

TEST(Localizer, ChoosesTheStartLanguage)
{
    struct Case {
        int stored;  // -1: no "Sprache" value
        QLocale::Language locale;
        int index;   // -1: no language set
    };
    const Case cases[] = {
        {-1, QLocale::Portuguese, -1}, {-1, QLocale::Croatian, -1}, {-1, QLocale::German, 0},
        {-1, QLocale::English, 1},     {20, QLocale::English, 0},   {5, QLocale::English, 0},
        {9, QLocale::German, 9},
    };
    for (const Case& c : cases) {
        ForgetStoredLanguage();
        if (c.stored >= 0)
            TQwRegIniFile::Instance().WriteInteger("", "Sprache", c.stored);
        QLocale::setDefault(QLocale(c.locale));
        TestLocalizer t;
        t.loc.ChooseStartLanguage();
        QStringList sections;
        t.loc.LanguageIni().ReadSections(sections);
        if (c.index < 0) {
            EXPECT_TRUE(sections.isEmpty()) << c.stored << " " << int(c.locale);
            EXPECT_EQ(t.loc.LanguageIndex(), 0);
        } else {
            EXPECT_FALSE(sections.isEmpty()) << c.stored << " " << int(c.locale);
            EXPECT_EQ(t.loc.LanguageIndex(), c.index) << c.stored << " " << int(c.locale);
        }
        EXPECT_TRUE(t.messages.isEmpty());
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ForgetStoredLanguage();
}

TEST(Localizer, NumbersFollowTheProgramsLanguage)
{
    TFormatSettings& numbers = FormatSettings();
    const TFormatSettings saved = numbers;
    // A system whose locale writes a decimal point; the program speaks German.
    ForgetStoredLanguage();
    QLocale::setDefault(QLocale::c());
    numbers.DecimalSeparator = '.';
    numbers.ThousandSeparator = ',';
    Localizer().ChooseStartLanguage();
    ASSERT_EQ(Localizer().LanguageIndex(), 0);
    EXPECT_EQ(numbers.DecimalSeparator, ',');
    EXPECT_EQ(numbers.ThousandSeparator, '.');
    double value = 0;
    EXPECT_TRUE(TryStrToFloat("1,5", value));
    EXPECT_EQ(value, 1.5);
    EXPECT_EQ(Format("%.2f", {1.0}), "1,00");

    {
        TestLocalizer t;  // a localizer of its own changes nothing
        t.loc.SetLanguage(1);
        EXPECT_EQ(numbers.DecimalSeparator, ',');
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    numbers = saved;
}

// Names that are no UTF-8 are shown in the code page of the language's script.
TEST(Localizer, FileNamesFollowTheLanguagesCodePage)
{
    const int32_t expected[TLocalizer::LanguageCount] = {
        1252, 1252, 1252, 1252, 1252, 1252,  // deu eng fra ita spa por
        1250, 1250, 1250, 1252, 1252,        // pol ung cze ned fin
        1250, 1251, 1250, 1253, 1251,        // cro ser rum gre rus
    };
    for (int i = 0; i < TLocalizer::LanguageCount; ++i)
        EXPECT_EQ(TLocalizer::LanguageCodePage(i), expected[i]) << TLocalizer::LanguageCode(i).toStdString();
    EXPECT_EQ(TLocalizer::LanguageCodePage(-1), 1252);
    EXPECT_EQ(TLocalizer::LanguageCodePage(16), 1252);

    const int32_t saved = FileNameCodePage();
    SetFileNameCodePage(1250);
    {
        TestLocalizer t;  // a localizer of its own changes nothing
        t.loc.SetLanguage(1);
        EXPECT_EQ(FileNameCodePage(), 1250);
    }
    Localizer().SetLanguage(1);
    EXPECT_EQ(FileNameCodePage(), 1252);
    EXPECT_EQ(DisplayFileName(DecodeFileName("No\xebl")), QString::fromUtf8("Noël"));
    Localizer().SetLanguage(0);
    SetFileNameCodePage(saved);
    ForgetStoredLanguage();
}

TEST(Localizer, CollectingModeWritesTheTextsOfEveryFormMet)
{
    std::unique_ptr<TTestForm> form(TLocalizerForm::create<TTestForm>());
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("lumiseite"));
    const QString txt = exe + QStringLiteral(".txt");
    {
        QFile old(txt);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("[Old]\r\nK=V\r\n[TTestForm]\r\nBtnOk.Caption=old\r\nStale=kept\r\n");
    }
    {
        TLocalizer loc({QStringLiteral("lumiseite"), QStringLiteral("/reswrite")}, exe);
        MessageRecorder recorder;
        EXPECT_TRUE(loc.ResWriteMode());
        EXPECT_EQ(loc.CollectedFileName(), txt);
        loc.SetLanguage(1);
        EXPECT_EQ(recorder.messages, QStringList{QStringLiteral(
                                "Sprachumschaltung nicht möglich, da Resourcenschreibmodus aktiviert ist")});
        loc.RegisterDefaultText(QStringLiteral("Dokument wird geladen"), QStringLiteral("Dokument wird geladen"));
        const int after = form->After;
        loc.LocalizeForm(form.get());
        EXPECT_EQ(form->After, after);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Testfenster"));
    }
    TMyMemIniFile out;
    out.LoadFromFile(txt);
    QStringList sections;
    out.ReadSections(sections);
    EXPECT_EQ(sections, (QStringList{"Old", "TTestForm", "Default", "Localizer"}));
    const std::pair<const char*, const char*> expected[] = {
        {"TestForm.Caption", "Testfenster"},  {"BtnOk.Caption", "OK-Knopf"},
        {"BtnOk.Hint", "Bestätigen"},         {"EdName.Text", "Ihr Name"},
        {"LblInfo.Caption", "Info#13##10#Zeile 2"},
        {"GroupBox1.Caption", "Optionen"},    {"ComboBox1.Items1", "Grün"},
        {"ComboBox1.Items2", "Blau"},         {"ListBox1.Items0", "eins"},
        {"Memo1.Lines1", ""},                 {"Memo1.Lines2", "Zeile C"},
        {"ActOpen.Caption", "Ö&ffnen"},       {"PageOne.Caption", "Erste Seite"},
        {"TabBar1.Tabs1", "Rechts"},          {"BtnInner.Caption", "Innen"},
        {"CustomBox.Caption", "Eigen"},       {"CustomBox.Entries1", "Eintrag 2"},
        {"OpenDialog1.Title", "Datei wählen"},
        {"PanelLabel.Caption", "Tafeltext"},  // owned forms go into the same section
        {"Stale", "kept"},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(out.ReadString(QStringLiteral("TTestForm"), QString::fromUtf8(key), QStringLiteral("<none>")),
                  QString::fromUtf8(value))
            << key;
    // Empty texts and the inner workings of framework dialogs are not collected.
    for (const char* key : {"EdName.Hint", "fileNameLabel.Caption"})
        EXPECT_EQ(out.ReadString(QStringLiteral("TTestForm"), QString::fromLatin1(key), QStringLiteral("<none>")),
                  QStringLiteral("<none>"))
            << key;
    EXPECT_EQ(out.ReadString(QStringLiteral("Old"), QStringLiteral("K"), QString()), QStringLiteral("V"));
    EXPECT_EQ(out.ReadString(QStringLiteral("Default"), QStringLiteral("XSmkcBkSp"), QString()), QStringLiteral("Rück"));
    EXPECT_EQ(out.ReadString(QStringLiteral("Default"), QStringLiteral("Dokument wird geladen"), QString()),
              QStringLiteral("Dokument wird geladen"));
    EXPECT_EQ(out.ReadString(QStringLiteral("Localizer"), QStringLiteral("NoLanguageFile"), QString()),
              QStringLiteral("Die Sprache wird nicht unterstützt"));

    QFile raw(txt);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_TRUE(raw.readAll().contains("ComboBox1.Items1=Gr\xFCn\r\n"));  // 8-bit text

    // A later run without forms keeps what earlier runs collected.
    { TLocalizer again({QStringLiteral("x"), QStringLiteral("/RESWRITE")}, exe); }
    TMyMemIniFile accumulated;
    accumulated.LoadFromFile(txt);
    EXPECT_EQ(accumulated.ReadString(QStringLiteral("TTestForm"), QStringLiteral("BtnOk.Caption"), QString()),
              QStringLiteral("OK-Knopf"));
}

TEST(Localizer, HandsFrameworkTextsToQt)
{
    const QKeySequence shiftHome(Qt::SHIFT | Qt::Key_Home);
    const QKeySequence ctrlDel(Qt::CTRL | Qt::Key_Delete);
    {
        TestLocalizer t;
        t.loc.SetLanguage(0);  // the German test file has none: the registered defaults
        EXPECT_EQ(shiftHome.toString(QKeySequence::NativeText), QStringLiteral("Umsch+Pos1"));
        EXPECT_EQ(ctrlDel.toString(QKeySequence::NativeText), QStringLiteral("Strg+Entf"));
        EXPECT_EQ(QCoreApplication::translate("SysConst", "SAccessViolation"),
                  QStringLiteral("Zugriffsverletzung bei Adresse %p in Modul '%s'. %s von Adresse %p"));

        t.loc.SetLanguage(1);
        EXPECT_EQ(ctrlDel.toString(QKeySequence::NativeText), QStringLiteral("Ctrl+Del"));
        EXPECT_EQ(shiftHome.toString(QKeySequence::NativeText), QStringLiteral("Umsch+Pos1"));
        QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Yes please"));
    }
    EXPECT_EQ(shiftHome.toString(QKeySequence::NativeText), QStringLiteral("Shift+Home"));
}

TEST(Localizer, GlyphsFollowTheLanguage)
{
    const QImage& strip = TLocalizer::GlyphStrip();
    EXPECT_EQ(strip.size(), QSize(48, 288));

    auto inked = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += qAlpha(img.pixel(x, y)) > 128;
        return n;
    };
    TestLocalizer t;
    const QImage bold0 = t.loc.GetBoldGlyph();
    EXPECT_EQ(bold0.size(), QSize(16, 16));
    EXPECT_GT(inked(bold0), 10);
    EXPECT_NE(bold0, t.loc.GetItalicGlyph());
    EXPECT_EQ(bold0, strip.copy(0, 0, 16, 16));

    t.loc.SetLanguage(1);
    EXPECT_NE(t.loc.GetBoldGlyph(), bold0);
    EXPECT_EQ(t.loc.GetUnderlineGlyph(), strip.copy(32, 16, 16, 16));
}

#include "LocalizeTest.moc"
