#include "FMainform.h"

#include "Application.h"
#include "DropSource.h"
#include "DropTarget.h"
#include "DragDropFormats.h"
#include "FDateiNeuDlg.h"
#include "FDlgInfo.h"
#include "Printers.h"
#include "QwColorPopupButton.h"
#include "RichText.h"
#include "SFormBild.h"
#include "SFormDlgRTFText.h"
#include "SFormFarbFlaeche.h"
#include "FSFormKalender.h"
#include "SFormSeiten.h"
#include "ShellExec.h"
#include "SplitterGrip.h"
#include "SysUtils.h"
#include "SystemMemory.h"
#include "WaitCursor.h"
#include "uCursors.h"
#include "uDataFile.h"
#include "uEditorTexts.h"
#include "uFotobuchDocument.h"
#include "uFotobuchPageTemplate.h"
#include "uFotobuchPresets.h"
#include "uFotobuchPrinter.h"
#include "uFotobuchSetup.h"
#include "uFotobuchMainview.h"
#include "uLeftPanelLists.h"
#include "uShellTreeViewEx.h"
#include "uThumbnailListview.h"
#include "SsFileDialog.h"
#include "SsNamespace.h"
#include "DragDrop.h"
#include "uInfoAusgabe.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "uPrinterSupport.h"
#include "uQwRegistry.h"
#include "uQwUtils.h"
#include "uUndo.h"
#include "Dialogs.h"

#include <QAbstractEventDispatcher>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrinter>
#include <QScreen>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTranslator>
#include <QVBoxLayout>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TMaster* theMaster = nullptr;

const char* const sNichtGespeichert = "Das aktuelle Album ist noch nicht gespeichert.";
const char* const sJetztSpeichern = "Soll es jetzt gespeichert werden?";
const char* const sUnbenannt = "Unbenannt";
const char* const sFertig = "Fertig";
const char* const sSeiteWirdGeladen = "Seite wird geladen";
const char* const sProjektDateien = "ZPB-Dateien (*.zpb)";  // the project files' filter, whole
const char* const sNichtGeschrieben = "Das Album konnte nicht gespeichert werden:";
const char* const sKeineBerechtigung = "Sie haben keine Berechtigung, hier zu speichern.";
const char* const sDateiSchreibgeschuetzt = "Die Datei ist schreibgeschützt.";
const char* const sBrowserFehler = "Der Internet-Browser konnte nicht geöffnet werden";
const char* const sKeinProjekt = "Die Datei ist keine Projektdatei:";
const char* const sNichtGeoeffnet = "Die Datei konnte nicht geöffnet werden:";
const char* const sUnvollstaendig = "Die Datei ist beschädigt und unvollständig. Geöffnet wurde, was sich lesen "
                                    "ließ; zum Speichern wählen Sie einen neuen Dateinamen:";

const char ProjectSignature[] = "Qw DataFile";

const char* const ProductTitle = "Brenmoor Vantoria";
const char* const ProjectExtension = "zpb";
const char* const ShopAddress = "https://shop.brenmoor.example/vantoria";
const char* const RetailAddress = "https://www.orvane.example";
const char* const LeafletFileName = "KreativerPhotospass.pdf";

constexpr int ToolButtonWidth = 74;
constexpr int ToolButtonHeight = 52;

// The original texts of the colour button's captions: the defaults of their keys.
struct TColorCaption {
    const char* Key;
    AnsiString* Caption;
    AnsiString Default;
};
std::array<TColorCaption, 4>& ColorCaptions()
{
    static std::array<TColorCaption, 4> captions{{
        {"cCaptionNoColor", &cCaptionNoColor, cCaptionNoColor},
        {"cCaptionMoreColor", &cCaptionMoreColor, cCaptionMoreColor},
        {"cCaptionGradient", &cCaptionGradient, cCaptionGradient},
        {"cCaptionStruktur", &cCaptionStruktur, cCaptionStruktur},
    }};
    return captions;
}

QIcon Glyph(const char* Name)
{
    return QIcon(QStringLiteral(":/images/") + QString::fromLatin1(Name));
}

QWidget* Panel(QWidget* Parent, const char* Name)
{
    auto* w = new QWidget(Parent);
    w->setObjectName(QString::fromLatin1(Name));
    return w;
}

QWidget* TabSheet(QTabWidget* Control, const char* Name, const QString& Caption)
{
    auto* sheet = new QWidget(Control);
    sheet->setObjectName(QString::fromLatin1(Name));
    Control->addTab(sheet, Caption);
    return sheet;
}

// A folder's path in the settings: as text, or, for a name that is no UTF-8
// (which the text of the settings store cannot keep), as its bytes.
void WriteFolderSetting(const char* Key, const QString& Path)
{
    TQwRegIniFile& settings = TQwRegIniFile::Instance();
    const QByteArray bytes = EncodeFileName(Path);
    if (DecodeFileName(bytes) == QString::fromUtf8(bytes))
        settings.WriteWideString("", Key, Path);
    else
        settings.WriteBinaryData("", Key, bytes.constData(), int32_t(bytes.size()));
}

// The stored folder's path; empty when none is stored.
QString ReadFolderSetting(const char* Key)
{
    TQwRegIniFile& settings = TQwRegIniFile::Instance();
    const QString none = QStringLiteral("xyxy");
    const QString text = settings.ReadWideString("", Key, none);
    if (text != none)
        return text;
    const int32_t size = settings.GetDataSize("", Key);
    if (size <= 0)
        return QString();
    QByteArray bytes(size, '\0');
    settings.ReadBinaryData("", Key, bytes.data(), size);
    return DecodeFileName(bytes);
}

}  // namespace

TMaster* Master()
{
    return theMaster;
}

TMaster::TMaster(TCreateKey Key, QWidget* Parent) : TLocalizerForm(Key, Parent, Qt::Window)
{
    setObjectName(QStringLiteral("Master"));
    setMinimumSize(700, 500);
    setSizeGripEnabled(false);
    theMaster = this;
    RegisterMainForm(this);
    // Every file dialog, the editor's and the printer's too, is the folder browser's own.
    FileDialogHandler = [](QWidget* Parent, TFileDialogRequest& Request) {
        return TSsFileDialog::Execute(Parent, Request, ShowModalDialog);
    };

    CreateMenus();
    CreateToolbar();

    // Left tool panel.
    panWerkzeug = Panel(this, "panWerkzeug");
    panWerkzeug->setFixedWidth(310);
    PageControlLeft = new QTabWidget(panWerkzeug);
    PageControlLeft->setObjectName(QStringLiteral("PageControlLeft"));
    tsBilder = TabSheet(PageControlLeft, "tsBilder", QStringLiteral("Bilder"));
    tsLayouts = TabSheet(PageControlLeft, "tsLayouts", QStringLiteral("Layouts"));
    tsFarben = TabSheet(PageControlLeft, "tsFarben", QStringLiteral("Farben"));
    tsClipart = TabSheet(PageControlLeft, "tsClipart", QStringLiteral("Clipart"));
    panMarlowen = Panel(panWerkzeug, "panMarlowen");
    panMarlowen->setFixedHeight(60);
    imgMarlowen = new QLabel(panMarlowen);
    imgMarlowen->setObjectName(QStringLiteral("imgMarlowen"));
    imgMarlowen->setPixmap(QPixmap(QStringLiteral(":/images/MARLOWEN")));
    imgMarlowen->adjustSize();
    lblMarlowen = new QLabel(QStringLiteral("Jetzt online bestellen"), panMarlowen);
    lblMarlowen->setObjectName(QStringLiteral("lblMarlowen"));
    lblMarlowen->setCursor(Qt::PointingHandCursor);
    imgMarlowen->setCursor(Qt::PointingHandCursor);
    for (QWidget* w : {static_cast<QWidget*>(imgMarlowen), static_cast<QWidget*>(lblMarlowen), panMarlowen})
        w->installEventFilter(this);
    panMarlowen->hide();
    auto* leftLayout = new QVBoxLayout(panWerkzeug);
    leftLayout->setContentsMargins(4, 4, 0, 4);
    leftLayout->addWidget(PageControlLeft, 1);
    leftLayout->addWidget(panMarlowen);

    // Centre: title, page-view header, page view; below it the side panels.
    panMain = Panel(this, "panMain");
    panTitel = new QLabel(panMain);
    panTitel->setObjectName(QStringLiteral("panTitel"));
    panTitel->setAlignment(Qt::AlignCenter);
    QFont titleFont = panTitel->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    panTitel->setFont(titleFont);
    panTitel->setFixedHeight(24);
    panMainviewTop = Panel(panMain, "panMainviewTop");
    panMainviewTop->setFixedHeight(30);
    panMainviewTop->installEventFilter(this);
    BtnSeiteZurueck = new QToolButton(panMainviewTop);
    BtnSeiteZurueck->setObjectName(QStringLiteral("BtnSeiteZurueck"));
    BtnSeiteZurueck->setIcon(Glyph("TB_ZURUECK"));
    BtnSeiteZurueck->setToolTip(QString::fromUtf8("Vorherige Seite"));
    BtnSeiteZurueck->setAutoRaise(true);
    BtnSeiteZurueck->setFixedSize(26, 24);
    lblSeitenzahl = new QLabel(panMainviewTop);
    lblSeitenzahl->setObjectName(QStringLiteral("lblSeitenzahl"));
    lblSeitenzahl->setAlignment(Qt::AlignCenter);
    lblSeitenzahl->setFixedSize(142, 24);
    BtnSeiteVor = new QToolButton(panMainviewTop);
    BtnSeiteVor->setObjectName(QStringLiteral("BtnSeiteVor"));
    BtnSeiteVor->setIcon(Glyph("TB_VOR"));
    BtnSeiteVor->setToolTip(QString::fromUtf8("Nächste Seite"));
    BtnSeiteVor->setAutoRaise(true);
    BtnSeiteVor->setFixedSize(26, 24);
    imgZoom = new QLabel(panMainviewTop);
    imgZoom->setObjectName(QStringLiteral("imgZoom"));
    imgZoom->setPixmap(QPixmap(QStringLiteral(":/images/ZOOM")));
    imgZoom->setFixedSize(16, 16);
    tbMainViewZoom = new QSlider(Qt::Horizontal, panMainviewTop);
    tbMainViewZoom->setObjectName(QStringLiteral("tbMainViewZoom"));
    tbMainViewZoom->setRange(100, 800);
    tbMainViewZoom->setValue(100);
    tbMainViewZoom->setFixedSize(100, 20);
    tbMainViewZoom->setToolTip(QStringLiteral("Zoom"));
    connect(BtnSeiteZurueck, &QToolButton::clicked, this, Guarded([this] { BtnSeiteZurueckClick(); }));
    connect(BtnSeiteVor, &QToolButton::clicked, this, Guarded([this] { BtnSeiteVorClick(); }));
    connect(tbMainViewZoom, &QSlider::valueChanged, this, Guarded([this] { tbMainViewZoomChange(); }));
    auto* mainLayout = new QVBoxLayout(panMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    mainLayout->addWidget(panTitel);
    mainLayout->addWidget(panMainviewTop);

    panSeitenliste = Panel(this, "panSeitenliste");
    panSeitenliste->setMinimumHeight(168);
    pagecontrolBottom = new QTabWidget(panSeitenliste);
    pagecontrolBottom->setObjectName(QStringLiteral("pagecontrolBottom"));
    tsSeiten = TabSheet(pagecontrolBottom, "tsSeiten", QStringLiteral("Seiten"));
    tsText = TabSheet(pagecontrolBottom, "tsText", QStringLiteral("Text"));
    tsBild = TabSheet(pagecontrolBottom, "tsBild", QStringLiteral("Bild"));
    tsFarbflaeche = TabSheet(pagecontrolBottom, "tsFarbflaeche", QString::fromUtf8("Farbfläche"));
    tsKalender = TabSheet(pagecontrolBottom, "tsKalender", QStringLiteral("Kalender"));
    auto* bottomLayout = new QVBoxLayout(panSeitenliste);
    bottomLayout->setContentsMargins(0, 0, 4, 0);
    bottomLayout->addWidget(pagecontrolBottom);

    Splitter2 = new TGripSplitter(Qt::Vertical, this);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->addWidget(panMain);
    Splitter2->addWidget(panSeitenliste);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    Splitter2->setChildrenCollapsible(false);
    Splitter2->setSizes({600, 200});

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(4);
    body->addWidget(panWerkzeug);
    body->addWidget(Splitter2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu);
    layout->addWidget(panToolbar);
    layout->addLayout(body, 1);
    layout->addWidget(StatusBar1);

    FormCreate();
}

TMaster::~TMaster()
{
    for (auto [tree, key] : {std::pair{ShellTreeBilder, "BaseDir"}, std::pair{ShellTreeClipart, "ClipartBaseDir"}})
        if (tree && tree->SelectedFolder())
            WriteFolderSetting(key, tree->SelectedPath());
    // Leaves the document for no one: the multicaster, the undo stack and the
    // status bar forget this window first.
    TMulticaster& mc = GetMulticaster();
    mc.OnContentChanged = nullptr;
    mc.OnCurrentPageChanged = nullptr;
    mc.OnPageListChanged = nullptr;
    QObject::disconnect(FIdleConnection);
    QObject::disconnect(FFocusConnection);
    SaveFormPosition(this, "Master");
    GetUndoManager().Clear();
    UnregisterMainForm(this);
    if (theMaster == this)
        theMaster = nullptr;
    delete FMainView;
    FMainView = nullptr;
}

void TMaster::CreateMenus()
{
    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    auto menu = [this](const char* Name, const QString& Title) {
        QMenu* m = MainMenu->addMenu(Title);
        m->setObjectName(QString::fromLatin1(Name));
        return m;
    };
    auto item = [this](QMenu* Menu, const char* Name, const QString& Caption, const QKeySequence& Shortcut,
                       std::function<void()> Handler) {
        QAction* a = Menu->addAction(Caption);
        a->setObjectName(QString::fromLatin1(Name));
        a->setParent(Menu);
        if (!Shortcut.isEmpty())
            a->setShortcut(Shortcut);
        connect(a, &QAction::triggered, this, Guarded(Handler));
        return a;
    };

    mnuDatei = menu("mnuDatei", QStringLiteral("&Datei"));
    mnuDateiNeu = item(mnuDatei, "mnuDateiNeu", QStringLiteral("&Neu..."), QKeySequence(Qt::CTRL | Qt::Key_N),
                       [this] { BtnAlbumNeuClick(); });
    mnuDateiOeffnen = item(mnuDatei, "mnuDateiOeffnen", QString::fromUtf8("Ö&ffnen..."),
                           QKeySequence(Qt::CTRL | Qt::Key_O), [this] { BtnAlbumOeffnenClick(); });
    mnuDateiSpeichern = item(mnuDatei, "mnuDateiSpeichern", QStringLiteral("&Speichern"),
                             QKeySequence(Qt::CTRL | Qt::Key_S), [this] { BtnAlbumSpeichernClick(); });
    mnuDateiSpeichernUnter = item(mnuDatei, "mnuDateiSpeichernUnter", QStringLiteral("Speichern &unter..."),
                                  QKeySequence(), [this] { mnuDateiSpeichernUnterClick(); });
    mnuDatei->addSeparator();
    mnuDrucken = item(mnuDatei, "mnuDrucken", QStringLiteral("&Drucken..."), QKeySequence(Qt::CTRL | Qt::Key_P),
                      [this] { BtnAlbumDruckenClick(); });
    mnuDruckereinrichtung = item(mnuDatei, "mnuDruckereinrichtung", QStringLiteral("Drucker&einrichtung..."),
                                 QKeySequence(), [this] { mnuDruckereinrichtungClick(); });
    mnuDatei->addSeparator();
    mnuBeenden = item(mnuDatei, "mnuBeenden", QStringLiteral("&Beenden"), QKeySequence(Qt::ALT | Qt::Key_F4),
                      [this] { mnuBeendenClick(); });

    mnuBearbeiten = menu("mnuBearbeiten", QStringLiteral("&Bearbeiten"));
    mnuRueckgaengig = item(mnuBearbeiten, "mnuRueckgaengig", QString::fromUtf8("&Rückgängig"),
                           QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { mnuRueckgaengigClick(); });
    mnuBearbeiten->addSeparator();
    mnuBearbeitenAusschneiden = item(mnuBearbeiten, "mnuBearbeitenAusschneiden", QStringLiteral("&Ausschneiden"),
                                     QKeySequence(Qt::CTRL | Qt::Key_X), [this] { mnuBearbeitenAusschneidenClick(); });
    mnuBearbeitenKopieren = item(mnuBearbeiten, "mnuBearbeitenKopieren", QStringLiteral("&Kopieren"),
                                 QKeySequence(Qt::CTRL | Qt::Key_C), [this] { mnuBearbeitenKopierenClick(); });
    mnuBearbeitenEinfuegen = item(mnuBearbeiten, "mnuBearbeitenEinfuegen", QString::fromUtf8("&Einfügen"),
                                  QKeySequence(Qt::CTRL | Qt::Key_V), [this] { mnuBearbeitenEinfuegenClick(); });
    mnuBearbeitenDuplizieren = item(mnuBearbeiten, "mnuBearbeitenDuplizieren", QStringLiteral("&Duplizieren"),
                                    QKeySequence(Qt::CTRL | Qt::Key_D), [this] { mnuBearbeitenDuplizierenClick(); });
    connect(mnuBearbeiten, &QMenu::aboutToShow, this, Guarded([this] { mnuBearbeitenClick(); }));
    // Outside the open menu the shortcut stays live, so undo with nothing to
    // undo still beeps.
    connect(mnuBearbeiten, &QMenu::aboutToHide, this, Guarded([this] { mnuRueckgaengig->setEnabled(true); }));

    mnuSprache = menu("mnuSprache", QStringLiteral("&Sprache"));
    SpracheGroup = new QActionGroup(mnuSprache);
    SpracheGroup->setExclusive(true);
    auto language = [this](const char* Name, const QString& Caption, int Index) {
        QAction* a = mnuSprache->addAction(Caption);
        a->setObjectName(QString::fromLatin1(Name));
        a->setParent(mnuSprache);
        a->setCheckable(true);
        a->setData(Index);
        SpracheGroup->addAction(a);
        connect(a, &QAction::triggered, this, Guarded([this, a] { mnuSpracheClick(a); }));
        return a;
    };
    mnuSpracheDeutsch = language("mnuSpracheDeutsch", QStringLiteral("Deutsch"), 0);
    mnuSpracheEnglisch = language("mnuSpracheEnglisch", QStringLiteral("English"), 1);
    mnuSpracheFranzoesisch = language("mnuSpracheFranzoesisch", QString::fromUtf8("Français"), 2);
    mnuSpracheItalienisch = language("mnuSpracheItalienisch", QStringLiteral("Italiano"), 3);
    mnuSpracheSpanisch = language("mnuSpracheSpanisch", QString::fromUtf8("Español"), 4);
    mnuSpracheHollaendisch = language("mnuSpracheHollaendisch", QStringLiteral("Nederlands"), 9);
    connect(mnuSprache, &QMenu::aboutToShow, this, Guarded([this] { mnuSpracheClick(mnuSprache); }));

    mnuFenster = menu("mnuFenster", QString::fromUtf8("&Fenstergröße"));
    N800x6001 = item(mnuFenster, "N800x6001", QStringLiteral("800 x 600"), QKeySequence(),
                     [this] { resize(800, 600); });
    N1024x7681 = item(mnuFenster, "N1024x7681", QStringLiteral("1024 x 768"), QKeySequence(),
                      [this] { resize(1024, 768); });
    mnuFenster->menuAction()->setVisible(false);

    mnuHilfe = menu("mnuHilfe", QStringLiteral("&Hilfe"));
    mnuOrvaneHomepage = item(mnuHilfe, "mnuOrvaneHomepage", QStringLiteral("Orvane im Internet"), QKeySequence(),
                             [this] { mnuOrvaneHomepageClick(); });
    mnuOrvaneHomepage->setVisible(false);
    mnuOrvaneKreativerPhotospass =
        item(mnuHilfe, "mnuOrvaneKreativerPhotospass", QString::fromUtf8("Kreativer Photospaß"), QKeySequence(),
             [this] { mnuOrvaneKreativerPhotospassClick(); });
    mnuOrvaneKreativerPhotospass->setVisible(false);
    mnuHilfeUeber = item(mnuHilfe, "mnuHilfeUeber", QString::fromUtf8("&Info über Brenmoor Vantoria..."),
                         QKeySequence(), [this] { mnuHilfeUeberClick(); });
}

void TMaster::CreateToolbar()
{
    panToolbar = Panel(this, "panToolbar");
    panToolbar->setFixedHeight(ToolButtonHeight + 6);
    panToolbar->installEventFilter(this);
    auto button = [this](const char* Name, const char* Glyph_, const QString& Caption, const QString& Hint,
                         std::function<void()> Handler) {
        auto* b = new QToolButton(panToolbar);
        b->setObjectName(QString::fromLatin1(Name));
        b->setIcon(Glyph(Glyph_));
        b->setIconSize(QSize(24, 24));
        b->setText(Caption);
        b->setToolTip(Hint);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(ToolButtonWidth, ToolButtonHeight);
        connect(b, &QToolButton::clicked, this, Guarded(Handler));
        return b;
    };
    BtnAlbumNeu = button("BtnAlbumNeu", "TB_NEU", QStringLiteral("Neu"), QStringLiteral("Neues Album anlegen"),
                         [this] { BtnAlbumNeuClick(); });
    BtnAlbumOeffnen = button("BtnAlbumOeffnen", "TB_OEFFNEN", QString::fromUtf8("Öffnen"),
                             QString::fromUtf8("Album öffnen"), [this] { BtnAlbumOeffnenClick(); });
    BtnAlbumSpeichern = button("BtnAlbumSpeichern", "TB_SPEICHERN", QStringLiteral("Speichern"),
                               QStringLiteral("Album speichern"), [this] { BtnAlbumSpeichernClick(); });
    BtnAlbumDrucken = button("BtnAlbumDrucken", "TB_DRUCKEN", QStringLiteral("Drucken"),
                             QStringLiteral("Album drucken"), [this] { BtnAlbumDruckenClick(); });
    BtnRueckgaengig = button("BtnRueckgaengig", "TB_RUECKGAENGIG", QString::fromUtf8("Rückgängig"),
                             QString::fromUtf8("Letzte Änderung rückgängig machen"),
                             [this] { mnuRueckgaengigClick(); });
    BtnEntfernen = button("BtnEntfernen", "TB_ENTFERNEN", QStringLiteral("Entfernen"),
                          QStringLiteral("Markiertes Element entfernen"), [this] { BtnEntfernenClick(); });
    BtnBlattausrichtung = button("BtnBlattausrichtung", "TB_AUSRICHTUNG", QStringLiteral("Ausrichtung"),
                                 QStringLiteral("Ausrichtung der Seite wechseln"), [this] { BtnBlattausrichtungClick(); });
    BtnTextEinfuegen = button("BtnTextEinfuegen", "TB_TEXT", QStringLiteral("Text"),
                              QString::fromUtf8("Textfeld einfügen"), [this] { BtnTextEinfuegenClick(); });
    BtnBilderschatten = button("BtnBilderschatten", "TB_SCHATTEN", QStringLiteral("Schatten"),
                               QStringLiteral("Bilder mit Schatten"), [this] { BtnBilderschattenClick(); });
    BtnBilderschatten->setCheckable(true);
    BtnSchliessen = button("BtnSchliessen", "TB_SCHLIESSEN", QString::fromUtf8("Schließen"),
                           QString::fromUtf8("Album schließen"), [this] { BtnSchliessenClick(); });
    int x = 4;
    for (QToolButton* b : {BtnAlbumNeu, BtnAlbumOeffnen, BtnAlbumSpeichern, BtnAlbumDrucken}) {
        b->move(x, 3);
        x += ToolButtonWidth + 2;
    }
    x += 12;
    for (QToolButton* b : {BtnRueckgaengig, BtnEntfernen, BtnBlattausrichtung, BtnTextEinfuegen, BtnBilderschatten}) {
        b->move(x, 3);
        x += ToolButtonWidth + 2;
    }
}

void TMaster::FormCreate()
{
    RegisterFileExtension(QString::fromLatin1(ProjectExtension));
    resize(1100, 780);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    RestoreFormPosition(this, "Master");
    PageControlLeft->setCurrentIndex(0);

    FDoc = std::make_unique<TFBDocument>();
    SetupDefaultDocument(FDoc.get());
    FDoc->FileName.clear();
    UpdateCaption();

    TMulticaster& mc = GetMulticaster();
    mc.OnContentChanged = [this](TMulticaster* M, TObject* S, TFBPage* P, TFBElement* E) {
        OnContentChanged(M, S, P, E);
    };
    mc.OnCurrentPageChanged = [this](TMulticaster* M, TObject* S, int I) { OnPageChanged(M, S, I); };
    mc.OnPageListChanged = [this](TMulticaster* M, TObject* S) { OnPageListChanged(M, S); };

    BuildLeftPanel();
    SetupDragSources();
    LoadViewCursors();

    FMainView->SetScreen(0);
    SFormSeiten->SetCurrentScreen(0);
    pagecontrolBottom->setCurrentWidget(tsSeiten);

    for (QWidget* w : {panToolbar, panMain, panWerkzeug}) {
        w->setAutoFillBackground(true);
        w->setBackgroundRole(QPalette::Button);
    }
    panTitel->clear();

    FocusChanged();
    UpdatePageLabel();
    RefreshPageTemplates();

    LoadColorListFromRegistry("CustomColors");
    mnuBearbeitenDuplizieren->setVisible(false);
    BtnSchliessen->hide();

    Localizer().SetSupportedLanguages(0x217);
    FFocusConnection = connect(qApp, &QApplication::focusChanged, this, Guarded([this] { UpdateEditCommands(); }));
    FIdleConnection = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                              this, Guarded([this] { AppIdle(); }));
    Localizer().ChooseStartLanguage();
    // Neither a stored language nor an offered one of the user's: the
    // designed German stays, and its file names the framework's buttons and keys.
    QStringList loaded;
    Localizer().LanguageIni().ReadSections(loaded);
    if (loaded.isEmpty() && !Localizer().ResWriteMode()) {
        try {
            Localizer().SetLanguage(Localizer().LanguageIndex());
        } catch (const Exception&) {
            // An unreadable language file leaves the designed texts.
        }
    }
}

void TMaster::BuildLeftPanel()
{
    BuildLeftLists();
    FMainView = new TFBMainView(panMain, FDoc.get());
    FMainView->setObjectName(QStringLiteral("MainView"));
    panMain->layout()->addWidget(FMainView);
    FMainView->SetScreen(0);
    FMainView->OnFocusChanged = [this](TObject*) { FocusChanged(); };
    FMainView->OnZoomChanged = [this](TObject*) { ViewZoomChanged(); };
    SFormBild = TSubForm::CreateOn<TSFormBild>(tsBild);
    SFormDlgRTFText = TSubForm::CreateOn<TSFormDlgRTFText>(tsText);
    SFormFarbFlaeche = TSubForm::CreateOn<TSFormFarbFlaeche>(tsFarbflaeche);
    SFormKalender = TSubForm::CreateOn<TSFormKalender>(tsKalender);
    SFormSeiten = TSubForm::CreateOn<TSFormSeiten>(tsSeiten);
    SFormSeiten->OnReleaseFocusOnPage = [this](TFBPage* Page) {
        if (FMainView->FocusedElement() && FMainView->FocusedElement()->Page == Page)
            FMainView->SetFocusedElement(nullptr);
    };
    SFormSeiten->SetDocument(FDoc.get());
}

void TMaster::BuildLeftLists()
{
    // Pictures and clip-art: each a folder tree above the thumbnails of the chosen folder.
    BuildFolderBrowser(tsBilder, QStringLiteral("Bilder"), ShellTreeBilder, ThumbnailsBilder);
    BuildFolderBrowser(tsClipart, QStringLiteral("Clipart"), ShellTreeClipart, ThumbnailsClipart);

    PageTemplateList = new TPageTemplateListview(tsLayouts);
    ColorList = new TColorListView(tsFarben);
    for (auto [sheet, list] : {std::pair<QWidget*, TQwListview*>{tsLayouts, PageTemplateList},
                               std::pair<QWidget*, TQwListview*>{tsFarben, ColorList}}) {
        auto* l = new QVBoxLayout(sheet);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(list);
    }
    for (TQwListview* list :
         std::initializer_list<TQwListview*>{ThumbnailsBilder, ThumbnailsClipart, PageTemplateList, ColorList})
        connect(list, &QAbstractItemView::pressed, this, Guarded([this, list] {
            if (QApplication::mouseButtons() & Qt::LeftButton)
                LeftListMouseDown(list, list->viewport()->mapFromGlobal(QCursor::pos()));
        }));

    StartFolderBrowser(ShellTreeBilder, ThumbnailsBilder, "BaseDir");
    // The clip-art tree starts when its tab is first shown (see eventFilter).
    ShellTreeClipart->installEventFilter(this);
}

void TMaster::BuildFolderBrowser(QWidget* Sheet, const QString& Name, TShellTreeViewEx*& Tree,
                                 TThumbnailListview*& List)
{
    auto* splitter = new TGripSplitter(Qt::Vertical, Sheet);
    splitter->setObjectName(QStringLiteral("Splitter") + Name);
    splitter->setHandleWidth(5);
    Tree = new TShellTreeViewEx(splitter);
    Tree->setObjectName(QStringLiteral("ShellTree") + Name);
    Tree->ChangeDelay = 500;
    Tree->SetFiltered(true);
    // Only folders of the file system and their ancestors.
    Tree->OnFilterItem = [](TObject*, TSsShellItem* Item, bool& Accept) {
        Accept = Item->IsFileSystemAncestor() || Item->IsLink() || Item->IsDesktop || Item->IsFileSystem
                 || Item->IsFileFolder;
    };
    TThumbnailListview* list = List = new TThumbnailListview(splitter);
    List->setObjectName(QStringLiteral("Thumbnails") + Name);
    splitter->addWidget(Tree);
    splitter->addWidget(List);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 400});
    auto* layout = new QVBoxLayout(Sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    Tree->OnFolderSelected = [list](TObject*, TSsShellFolder* Folder) {
        // The tree's first paint reports the folder that is shown already.
        if (SsILIsEqual(list->Enumerator().RootPidl(), Folder->AbsoluteList.get()))
            return;
        HandleExceptions([&] { list->ShowFolder(Folder->AbsoluteList.get()); });
    };
    // The folder shown, renamed or moved by another program: its pictures are
    // shown from its new place.
    Tree->OnShellChangeNotify = [list](TObject*, TSsShellItem* Old, TSsShellItem* New, TSsNotifyEventsSet Events) {
        if (!(Events & NE(neFolderRename)) || !Old || !New || !list->Enumerator().RootPidl())
            return;
        const QByteArray shown = SsIdListToNativePath(list->Enumerator().RootPidl());
        const QByteArray from = Old->NativePath();
        if (from.isEmpty() || (shown != from && !shown.startsWith(from + '/')))
            return;
        if (PSsIdList moved = SsNativePathToIdList(New->NativePath() + shown.mid(from.size())))
            HandleExceptions([&] { list->FolderMoved(moved.get()); });
    };
}

void TMaster::StartFolderBrowser(TShellTreeViewEx* Tree, TThumbnailListview* List, const char* Key)
{
    const QString baseDir = ReadFolderSetting(Key);
    bool selected = false;
    if (!baseDir.isEmpty()) {
        if (PSsIdList list = SsPathToIdList(baseDir)) {
            try {
                selected = Tree->SelectPidl(list.get());
            } catch (const Exception&) {
            }
        }
    }
    if (!selected)
        Tree->SelectSpecialFolder(sfPersonal);
    if (TSsShellFolder* folder = Tree->SelectedFolder()) {
        // The tree selects its start folder again when it is first shown.
        if (!folder->Path.isEmpty())
            Tree->SetStartInFolder(folder->Path);
        HandleExceptions([&] { List->ShowFolder(folder->AbsoluteList.get()); });
    }
}

void TMaster::LeftListMouseDown(TQwListview* List, const QPoint& p)
{
    QListWidgetItem* item = List->itemAt(p);
    if (!item || !DetectDragStart(List->viewport(), p))
        return;
    TDropEmptySource* source;
    TGenericDataFormat* format;
    if (List == ThumbnailsBilder || List == ThumbnailsClipart) {
        QStringList paths;
        static_cast<TThumbnailListview*>(List)->GetSelectedPaths(paths);
        if (paths.isEmpty())
            return;
        AnsiString text;
        for (const QString& path : paths)
            text += EncodeFileName(path).toStdString() + "\r\n";
        const bool pictures = List == ThumbnailsBilder;
        source = pictures ? dropsrcPicFiles : dropsrcClipart;
        format = DragFormats[pictures ? 0 : 3];
        format->SetData(text);
    } else {
        TMemoryStream stream;
        if (List == PageTemplateList) {
            PageTemplateList->TemplateOf(item)->SaveToStream(stream);
            source = dropsrcPageTemplate;
            format = DragFormats[1];
        } else {
            ColorList->ColorOf(item)->SaveToStream(stream);
            source = dropsrcColor;
            format = DragFormats[2];
        }
        format->SetDataHere(stream.Memory(), int32_t(stream.Size()));
    }
    QPixmap image;
    QPoint hotSpot;
    imglistDrag.clear();
    if (List->MakeDragImage(image, p.x(), p.y(), hotSpot)) {
        imglistDrag.append(image);
        source->SetImageIndex(0);
        source->ImageHotSpotX = hotSpot.x();
        source->ImageHotSpotY = hotSpot.y();
    }
    source->SetShowImage(true);
    const TDragResult result = source->Execute();
    imglistDrag.clear();
    format->Clear();
    // After pictures were dropped, only the first of them stays selected.
    if (List == ThumbnailsBilder && result == drDropCopy) {
        const QList<QListWidgetItem*> chosen = ThumbnailsBilder->selectedItems();
        QListWidgetItem* first = nullptr;
        for (QListWidgetItem* it : chosen)
            if (!first || ThumbnailsBilder->row(it) < ThumbnailsBilder->row(first))
                first = it;
        for (QListWidgetItem* it : chosen)
            it->setSelected(it == first);
    }
}

void TMaster::SetupDragSources()
{
    DropDummy = new TDropDummy(this);
    DropDummy->Register(this);
    int i = 0;
    for (auto [source, name] : {std::pair{&dropsrcPicFiles, "QwFileList"}, std::pair{&dropsrcPageTemplate, "QwPageTemplate"},
                                std::pair{&dropsrcColor, "QwColor"}, std::pair{&dropsrcClipart, "QwClipart"}}) {
        *source = new TDropEmptySource(this);
        (*source)->DragTypes = DragTypeSet(dtCopy);
        (*source)->SetImages(&imglistDrag);
        (*source)->ImageHotSpotX = 16;
        (*source)->ImageHotSpotY = 16;
        DragFormats[size_t(i)] = new TGenericDataFormat(*source);
        DragFormats[size_t(i)]->AddFormat(name);
        ++i;
    }
}

// ---- status, caption, labels ----------------------------------------------------------------

void TMaster::SetStatusBarText(const QString& Text)
{
    StatusBar1->showMessage(Text);
}

QString TMaster::Text(const char* Key) const
{
    return LocalizedString(this, QString::fromUtf8(Key));
}

void TMaster::UpdateCaption()
{
    const QString name = FDoc->FileName.isEmpty() ? Text(sUnbenannt) : DisplayFileName(QFileInfo(FDoc->FileName).fileName());
    const QString caption = name + QStringLiteral(" - ") + QString::fromLatin1(ProductTitle);
    setWindowTitle(caption);
    if (auto* app = qobject_cast<TApplication*>(QCoreApplication::instance()))
        app->Title = caption;
}

void TMaster::UpdatePageLabel()
{
    lblSeitenzahl->setText(fromAnsi(FDoc->GetScreenCaption(FMainView->ScreenIndex())));
}

namespace {

// One of the editor's edit commands through its command dispatcher, which
// writes the change back like typing does.
void RunEditorCommand(TRtCustomRichText& Editor, TRtEditCommand Id)
{
    uint8_t state = rtcmdClick;
    Editor.Execute(rtgEdit, Id, state);
}

}  // namespace

TRtCustomRichText* TMaster::ActiveRichText() const
{
    return qobject_cast<TRtCustomRichText*>(focusWidget());
}

void TMaster::UpdateEditCommands()
{
    const bool editor = ActiveRichText() != nullptr;
    mnuBearbeitenAusschneiden->setEnabled(editor || FMainView->CanCopy());
    mnuBearbeitenKopieren->setEnabled(editor || FMainView->CanCopy());
    mnuBearbeitenEinfuegen->setEnabled(editor || FMainView->CanPaste());
    mnuBearbeitenDuplizieren->setEnabled(!editor && FMainView->CanDuplicate());
}

void TMaster::FocusChanged()
{
    TFBElement* e = FMainView->FocusedElement();
    SFormBild->SetElement(nullptr);
    SFormFarbFlaeche->SetElement(nullptr);
    SFormKalender->SetElement(nullptr);
    // The text panel forgets a box that lost the focus, so that it never
    // writes into one that has gone meanwhile.
    SFormDlgRTFText->SetElement(nullptr);
    if (auto* pic = dynamic_cast<TFBPictureElement*>(e)) {
        if (pic->HasPicture() && !pic->CanZoomAndTrack) {
            SFormFarbFlaeche->SetElement(pic);
            ShowSidePanel(tsFarbflaeche);
        } else {
            SFormBild->SetElement(pic);
            ShowSidePanel(tsBild);
        }
    } else if (auto* text = dynamic_cast<TFBTextElement*>(e)) {
        SFormDlgRTFText->SetElement(text);
        ShowSidePanel(tsText);
    }
    else if (auto* cal = dynamic_cast<TFBKalenderElement*>(e)) {
        SFormKalender->SetElement(cal);
        ShowSidePanel(tsKalender);
    }
    else
        ShowSidePanel(tsSeiten);
    BtnBilderschatten->setEnabled(FDoc->PictureShadowsAllowed);
    if (BtnBilderschatten->isEnabled())
        BtnBilderschatten->setChecked(FDoc->PicturesHaveShadows);
    BtnEntfernen->setEnabled(FMainView->CanDelete());
    UpdateEditCommands();
}

void TMaster::ShowSidePanel(QWidget* TabSheet)
{
    for (QWidget* sheet : {tsBild, tsText, tsFarbflaeche, tsKalender})
        pagecontrolBottom->setTabVisible(pagecontrolBottom->indexOf(sheet), sheet == TabSheet);
    pagecontrolBottom->setCurrentWidget(TabSheet);
}

void TMaster::RefreshPageTemplates()
{
    FillPageTemplateList(PageTemplateList->Templates, FDoc->Layouttypen, FDoc->LayoutStil);
    PageTemplateList->Fill();
    PageControlLeft->setTabVisible(PageControlLeft->indexOf(tsLayouts), !PageTemplateList->Templates.empty());
}

void TMaster::AppIdle()
{
    BtnRueckgaengig->setEnabled(ActiveRichText() || GetUndoManager().CanUndo());
}

// ---- multicaster ---------------------------------------------------------------------------

void TMaster::OnContentChanged(TMulticaster*, TObject* Sender, TFBPage* Page, TFBElement* Element)
{
    // Every change of the document reaches this point, so nothing is lost on close.
    FDoc->Modified = true;
    if (Sender != FMainView)
        FMainView->ContentChanged(Page, Element);
    for (TSubForm* panel :
         std::initializer_list<TSubForm*>{SFormSeiten, SFormDlgRTFText, SFormBild, SFormFarbFlaeche, SFormKalender})
        if (panel && Sender != panel)
            panel->ContentChanged(Page, Element);
}

void TMaster::OnPageChanged(TMulticaster*, TObject* Sender, int ScreenIndex)
{
    if (ScreenIndex < 0)
        return;
    {
        TWaitCursor wait;
        InfoAusgabe().SetStatusText(Text(sSeiteWirdGeladen));
        if (Sender != FMainView) {
            FMainView->SetScreen(ScreenIndex);
            FMainView->repaint();
        }
        if (Sender != SFormSeiten)
            SFormSeiten->SetCurrentScreen(ScreenIndex);
        InfoAusgabe().SetStatusText(QString());
    }
    UpdatePageLabel();
}

void TMaster::OnPageListChanged(TMulticaster*, TObject* Sender)
{
    FDoc->Modified = true;
    if (Sender != SFormSeiten)
        SFormSeiten->Refresh();
    UpdatePageLabel();
}

// ---- page-view header and tool bar layout -------------------------------------------------------

bool TMaster::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::Resize) {
        if (Watched == panMainviewTop)
            panMainviewTopResize();
        else if (Watched == panToolbar)
            panToolbarResize();
        else if (Watched == panMarlowen)
            panMarlowenResize();
    } else if (Event->type() == QEvent::Show && Watched == ShellTreeClipart) {
        ShellTreeClipart->removeEventFilter(this);
        StartFolderBrowser(ShellTreeClipart, ThumbnailsClipart, "ClipartBaseDir");
    } else if (Event->type() == QEvent::MouseButtonRelease && (Watched == lblMarlowen || Watched == imgMarlowen)
               && static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
        lblMarlowenClick();
        return true;
    }
    return TLocalizerForm::eventFilter(Watched, Event);
}

void TMaster::panMainviewTopResize()
{
    const int w = panMainviewTop->width();
    const int h = panMainviewTop->height();
    tbMainViewZoom->move(w - 5 - tbMainViewZoom->width(), (h - tbMainViewZoom->height()) / 2 - 1);
    imgZoom->move(tbMainViewZoom->x() - 3 - imgZoom->width(), (h - imgZoom->height()) / 2);
    BtnSeiteZurueck->move(w / 2 - 97, (h - BtnSeiteZurueck->height()) / 2);
    lblSeitenzahl->move(BtnSeiteZurueck->x() + BtnSeiteZurueck->width(), (h - lblSeitenzahl->height()) / 2);
    BtnSeiteVor->move(lblSeitenzahl->x() + lblSeitenzahl->width(), (h - BtnSeiteVor->height()) / 2);
}

void TMaster::panToolbarResize()
{
    const int lastEnd = BtnBilderschatten->x() + BtnBilderschatten->width();
    BtnSchliessen->move(std::max(lastEnd, panToolbar->width() - 5 - BtnSchliessen->width()), 3);
}

void TMaster::panMarlowenResize()
{
    const int w = imgMarlowen->width() + 6 + lblMarlowen->sizeHint().width();
    const int x = (panMarlowen->width() - w) / 2;
    imgMarlowen->move(x, (panMarlowen->height() - imgMarlowen->height()) / 2);
    lblMarlowen->adjustSize();
    lblMarlowen->move(x + imgMarlowen->width() + 6, (panMarlowen->height() - lblMarlowen->height()) / 2);
}

// ---- zoom ------------------------------------------------------------------------------------

void TMaster::tbMainViewZoomChange()
{
    FMainView->SetZoom(float(tbMainViewZoom->value()) / 100.0f);
}

void TMaster::ViewZoomChanged()
{
    const QSignalBlocker block(tbMainViewZoom);
    tbMainViewZoom->setValue(Round(double(FMainView->Zoom()) * 100.0));
}

// ---- localisation ------------------------------------------------------------------------------

void TMaster::BeforeLocalize()
{
    InstallEditorTexts();
    for (const char* t : {sNichtGespeichert, sJetztSpeichern, sUnbenannt, sFertig, sSeiteWirdGeladen, sProjektDateien,
                          sNichtGeschrieben, sKeineBerechtigung, sDateiSchreibgeschuetzt, sBrowserFehler,
                          sKeinProjekt, sNichtGeoeffnet, sUnvollstaendig})
        RegisterLocalizedString(this, QString::fromUtf8(t));
    for (const TColorCaption& c : ColorCaptions())
        RegisterDefaultStringKey(QString::fromLatin1(c.Key), fromAnsi(c.Default));
}

void TMaster::LoadFrameworkTranslation()
{
    QLocale::Language language;
    switch (Localizer().LanguageIndex()) {
    case 0: language = QLocale::German; break;
    case 1: language = QLocale::English; break;
    case 2: language = QLocale::French; break;
    case 3: language = QLocale::Italian; break;
    case 4: language = QLocale::Spanish; break;
    case 9: language = QLocale::Dutch; break;
    default: return;
    }
    if (!FFrameworkTexts)
        FFrameworkTexts = std::make_unique<QTranslator>();
    QCoreApplication::removeTranslator(FFrameworkTexts.get());
    if (!FFrameworkTexts->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(FFrameworkTexts.get());
    // The language file's own framework texts are asked first.
    QStringList loaded;
    Localizer().LanguageIni().ReadSections(loaded);
    if (!loaded.isEmpty())
        Localizer().LocalizeLibraryTexts();
}

void TMaster::AfterLocalize()
{
    LoadFrameworkTranslation();
    LoadEditorTexts();
    if (ColorList) {
        FillColorList(ColorList->Colors);
        ColorList->SyncListviewItems();
    }
    if (FDoc) {
        UpdatePageLabel();
        UpdateCaption();
        panTitel->setText(LocalizedProductName(FDoc->Dokumentname));
        if (PageTemplateList)
            RefreshPageTemplates();  // their names
    }
    if (SFormSeiten)
        SFormSeiten->pb->update();
    if (FMainView)
        FMainView->Invalidate();
    for (const TColorCaption& c : ColorCaptions())
        *c.Caption = toAnsi(LocalizedDefaultString(QString::fromLatin1(c.Key)));
}

// ---- album commands ------------------------------------------------------------------------------

bool TMaster::QuerySaveAlbum()
{
    if (!FDoc->Modified)
        return true;
    const QString text = Text(sNichtGespeichert) + QStringLiteral("\r\n") + Text(sJetztSpeichern);
    int answer;
    if (AskSaveHook) {
        answer = AskSaveHook(text);
    } else {
        QString shown = text;
        shown.remove(QLatin1Char('\r'));
        answer = QMessageBox::question(this, windowTitle(), shown,
                                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    }
    if (answer == QMessageBox::Yes)
        return BtnAlbumSpeichernClick();  // a given-up or failed save stops the command
    return answer == QMessageBox::No;
}

QString TMaster::ExecuteFileDialog(bool Save)
{
    if (Save && SaveDialogHook)
        return SaveDialogHook();
    if (!Save && OpenDialogHook)
        return OpenDialogHook();
    TFileDialogRequest request;
    request.Save = Save;
    request.Filter = Text(sProjektDateien);
    request.DefaultExt = QString::fromLatin1(ProjectExtension);
    // The documents folder at first, then the folder of the last file chosen.
    request.Folder = FLastFileFolder.isEmpty() ? UserDocumentsFolder() : FLastFileFolder;
    if (Save)
        request.FileName = FDoc->FileName;
    if (!::ExecuteFileDialog(this, request))
        return QString();
    FLastFileFolder = QFileInfo(request.FileName).absolutePath();
    return request.FileName;
}

void TMaster::BtnAlbumNeuClick()
{
    if (QuerySaveAlbum())
        NewAlbum();
}

void TMaster::NewAlbum()
{
    std::unique_ptr<TDateiNeuDlg> wizard(TLocalizerForm::create<TDateiNeuDlg>(this));
    TFBElement* focused = FMainView->FocusedElement();
    FMainView->SetFocusedElement(nullptr);
    const int result = wizard->Execute(FDoc.get());
    wizard.reset();
    if (result == 1) {
        FDoc->FileName.clear();
        DocumentReplaced();
        FDoc->Modified = false;
    } else if (result == TDateiNeuDlg::mrDateiOeffnen) {
        OpenAlbum();
    } else {
        FMainView->SetFocusedElement(focused);
    }
}

void TMaster::BtnAlbumOeffnenClick()
{
    if (QuerySaveAlbum())
        OpenAlbum();
}

void TMaster::OpenAlbum()
{
    const QString name = ExecuteFileDialog(false);
    if (!name.isEmpty())
        OpenDocument(name);
}

void TMaster::DocumentReplaced()
{
    GetUndoManager().Clear();
    FMainView->SetFocusedElement(nullptr);
    FMainView->SetScreen(0);
    FMainView->UpdateVirtualSize();
    FMainView->SetupTransformation();
    FMainView->Invalidate();
    SFormSeiten->Refresh();
    SFormSeiten->SetCurrentScreen(0);
    RefreshPageTemplates();
    UpdateCaption();
    UpdatePageLabel();
    panTitel->setText(LocalizedProductName(FDoc->Dokumentname));
    FocusChanged();
    // The old document's pictures, undo records and miniatures are freed:
    // their memory goes back to the system, as after printing.
    ReleaseFreeMemory();
}

void TMaster::OpenDocument(const QString& FileName)
{
    FMainView->SetFocusedElement(nullptr);
    TWaitCursor wait;
    {
        // Only a project file is opened; TDataFile would make a missing one.
        const int probe = ::open(EncodeFileName(FileName).constData(), O_RDONLY | O_CLOEXEC);
        if (probe < 0)
            throw Exception(Text(sNichtGeoeffnet) + QLatin1Char(' ') + DisplayFileName(FileName) + QLatin1Char('\n')
                            + SysErrorMessage(errno));
        char signature[sizeof(ProjectSignature) - 1] = {};
        const ssize_t read = ::read(probe, signature, sizeof(signature));
        ::close(probe);
        if (read != ssize_t(sizeof(signature)) || std::memcmp(signature, ProjectSignature, sizeof(signature)) != 0)
            throw Exception(Text(sKeinProjekt) + QLatin1Char(' ') + DisplayFileName(FileName));
    }
    TDataFile dataFile(FileName);
    // The current document is kept until the new one has loaded in full.
    TMemoryStream saved;
    const bool wasModified = FDoc->Modified;
    const QString oldName = FDoc->FileName;
    {
        TMemoryDataFile savedFile(saved);
        FDoc->SaveToDataFile(savedFile);
    }
    try {
        FDoc->Clear();
        FDoc->LoadFromDataFile(dataFile);
    } catch (...) {
        FDoc->Clear();
        saved.SetPosition(0);
        TMemoryDataFile savedFile(saved);
        FDoc->LoadFromDataFile(savedFile);
        FDoc->FileName = oldName;
        FDoc->Modified = wasModified;
        FMainView->SetScreen(0);
        FMainView->Invalidate();
        UpdatePageLabel();
        throw;
    }
    // A file that ends inside a record shows what could be read, and keeps no
    // name, so that saving never overwrites what is left of the original.
    const bool incomplete = dataFile.Incomplete;
    FDoc->FileName = incomplete ? QString() : FileName;
    DocumentReplaced();
    BtnBilderschatten->setEnabled(FDoc->PictureShadowsAllowed);
    if (BtnBilderschatten->isEnabled())
        BtnBilderschatten->setChecked(FDoc->PicturesHaveShadows);
    InfoAusgabe().ShowInfo(Text(sFertig));
    InfoAusgabe().ShowInfo(QString());
    FDoc->Modified = false;
    if (incomplete)
        ShowMessage(Text(sUnvollstaendig) + QStringLiteral("\n") + DisplayFileName(FileName));
}

bool TMaster::BtnAlbumSpeichernClick()
{
    QString name = FDoc->FileName;
    if (name.isEmpty()) {
        name = ExecuteFileDialog(true);
        if (name.isEmpty())
            return false;
    }
    return SaveAlbumAs(name);
}

bool TMaster::mnuDateiSpeichernUnterClick()
{
    const QString name = ExecuteFileDialog(true);
    return !name.isEmpty() && SaveAlbumAs(name);
}

QString TMaster::WriteErrorText(int Error, const QString& FileName) const
{
    if (Error != EACCES && Error != EPERM)
        return SysErrorMessage(Error);
    // Refused before the folder was asked: the file itself may not be written.
    const QByteArray name = EncodeFileName(FileName);
    struct stat st;
    if (::stat(name.constData(), &st) == 0 && ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0)
        return Text(sDateiSchreibgeschuetzt);
    return Text(sKeineBerechtigung);
}

bool TMaster::SaveAlbumAs(const QString& FileName)
{
    // The album goes to a temporary file that replaces the old one only when
    // it was written in full.
    QString error;
    const bool wasModified = FDoc->Modified;
    {
        TWaitCursor wait;
        try {
            TMemoryStream stream;
            {
                TMemoryDataFile dataFile(stream);
                FDoc->SaveToDataFile(dataFile);
            }
            if (const int err = ReplaceFileContents(FileName, stream.Memory(), size_t(stream.Size())))
                error = WriteErrorText(err, FileName);
        } catch (const Exception& e) {
            error = e.text();
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        }
    }
    if (!error.isEmpty()) {
        FDoc->Modified = wasModified;
        ShowErrorMessage(Text(sNichtGeschrieben) + QStringLiteral("\n") + DisplayFileName(FileName) + QStringLiteral("\n") + error);
        return false;
    }
    FDoc->FileName = FileName;
    UpdateCaption();
    GetUndoManager().Clear();
    FDoc->Modified = false;
    return true;
}

void TMaster::BtnSchliessenClick()
{
    if (!QuerySaveAlbum())
        return;
    FMainView->SetFocusedElement(nullptr);
    SetupDefaultDocument(FDoc.get());
    FDoc->FileName.clear();
    DocumentReplaced();
    FDoc->Modified = false;
    update();
    NewAlbum();
}

void TMaster::BtnAlbumDruckenClick()
{
    if (PrintHook) {
        PrintHook(*FDoc);
        return;
    }
    // A PDF file is suggested under the project's name.
    struct TPdfName {
        explicit TPdfName(const QString& Name) { Printer().DocumentName = Name; }
        ~TPdfName() { Printer().DocumentName.clear(); }
    } pdfName(FDoc->FileName.isEmpty() ? Text(sUnbenannt) : DisplayFileName(QFileInfo(FDoc->FileName).completeBaseName()));
    TFotobuchPrinter printer(FDoc.get());
    printer.Print();
}

void TMaster::mnuDruckereinrichtungClick()
{
    if (PrinterSetupHook) {
        PrinterSetupHook();
        return;
    }
    QString title = mnuDruckereinrichtung->text().remove(QLatin1Char('&'));
    if (title.endsWith(QStringLiteral("...")))
        title.chop(3);
    PrinterSupport().ExecutePrinterSetup(this, title);
}

void TMaster::mnuBeendenClick()
{
    close();
}

void TMaster::closeEvent(QCloseEvent* Event)
{
    // Not while a job that keeps the window drawn (a large picture loading)
    // still works on the document.
    if (ServingEventsForWork()) {
        Event->ignore();
        return;
    }
    bool close = false;
    HandleExceptions([&] { close = QuerySaveAlbum(); });
    if (close)
        Event->accept();
    else
        Event->ignore();
}

// ---- edit menu ------------------------------------------------------------------------------------

void TMaster::mnuBearbeitenClick()
{
    mnuRueckgaengig->setEnabled(ActiveRichText() || GetUndoManager().CanUndo());
    // The clipboard may have changed since the focus did.
    UpdateEditCommands();
}

void TMaster::mnuBearbeitenAusschneidenClick()
{
    if (TRtCustomRichText* editor = ActiveRichText()) {
        RunEditorCommand(*editor, rtcEditCut);
        return;
    }
    FMainView->CutElement();
    UpdateEditCommands();
}

void TMaster::mnuBearbeitenKopierenClick()
{
    if (TRtCustomRichText* editor = ActiveRichText()) {
        RunEditorCommand(*editor, rtcEditCopy);
        return;
    }
    FMainView->CopyElement();
    UpdateEditCommands();
}

void TMaster::mnuBearbeitenEinfuegenClick()
{
    if (TRtCustomRichText* editor = ActiveRichText()) {
        RunEditorCommand(*editor, rtcEditPaste);
        return;
    }
    FMainView->PasteElement();
}

void TMaster::mnuBearbeitenDuplizierenClick()
{
    FMainView->DuplicateElement();
}

void TMaster::mnuRueckgaengigClick()
{
    if (TRtCustomRichText* editor = ActiveRichText()) {
        RunEditorCommand(*editor, rtcEditUndo);
        return;
    }
    TUndoManager& undo = GetUndoManager();
    if (!undo.CanUndo()) {
        QApplication::beep();
        return;
    }
    FMainView->SetFocusedElement(nullptr);
    undo.Undo(*FDoc);
    // An undo may have put back pages as well as their content: every view and
    // panel renews itself through the usual notices (which also mark the album modified).
    FMainView->SetScreen(FMainView->ScreenIndex());  // kept within the screens left
    TMulticaster& mc = GetMulticaster();
    mc.FirePageListChanged(this);
    mc.ScreenContentChanged(this, FDoc.get(), FMainView->ScreenIndex());
    FMainView->Invalidate();
}

void TMaster::BtnEntfernenClick()
{
    FMainView->DeleteFocused();
}

void TMaster::BtnBlattausrichtungClick()
{
    FMainView->ToggleOrientation();
    GetMulticaster().ScreenContentChanged(FMainView, FDoc.get(), FMainView->ScreenIndex());
}

void TMaster::BtnTextEinfuegenClick()
{
    FMainView->InsertTextElement();
}

// ---- pages and shadows ---------------------------------------------------------------------------

void TMaster::BtnSeiteZurueckClick()
{
    GetMulticaster().FireCurrentPageChanged(this, std::max(0, FMainView->ScreenIndex() - 1));
}

void TMaster::BtnSeiteVorClick()
{
    GetMulticaster().FireCurrentPageChanged(
        this, std::min(FMainView->ScreenIndex() + 1, std::max(0, FDoc->GetScreenCount() - 1)));
}

void TMaster::BtnBilderschattenClick()
{
    FDoc->PicturesHaveShadows = !FDoc->PicturesHaveShadows;
    FDoc->Modified = true;
    BtnBilderschatten->setChecked(FDoc->PicturesHaveShadows);
    FMainView->Invalidate();
}

// ---- language ------------------------------------------------------------------------------------

void TMaster::mnuSpracheClick(QObject* Sender)
{
    if (Sender == mnuSprache) {
        for (QAction* a : SpracheGroup->actions()) {
            a->setVisible(Localizer().IsLanguageAvailable(a->data().toInt()));
            a->setChecked(a->data().toInt() == Localizer().LanguageIndex());
        }
        return;
    }
    auto* entry = qobject_cast<QAction*>(Sender);
    if (!entry)
        return;
    const int index = entry->data().toInt();
    Localizer().SetLanguage(index);
    entry->setChecked(Localizer().LanguageIndex() == index);
    if (Localizer().LanguageIndex() == index)
        TQwRegIniFile::Instance().WriteInteger("", "Sprache", index);
}

// ---- help and web pages --------------------------------------------------------------------------

void TMaster::mnuHilfeUeberClick()
{
    ShowInfoDialog();
}

void TMaster::lblMarlowenClick()
{
    if (!ShellOpen(QString::fromLatin1(ShopAddress)))
        ShowMessage(Text(sBrowserFehler));
}

void TMaster::mnuOrvaneHomepageClick()
{
    ShellOpenFile(this, QString::fromLatin1(RetailAddress));
}

void TMaster::mnuOrvaneKreativerPhotospassClick()
{
    ShellOpenDocument(this, QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                + QString::fromLatin1(LeafletFileName));
}
