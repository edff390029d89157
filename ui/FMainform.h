#pragma once
// The main window: owner of the one current document, with the tool bar, the
// left tool panel, the page view, the side-panel tabs, the status bar and the
// menus, and the album commands new, open, save, save as, close and print.
#include "AnsiString.h"
#include "MainFormStatusBar.h"
#include "ulocalize.h"

#include <QList>
#include <QPixmap>
#include <QString>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QMenuBar;
class QSlider;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QToolButton;
class QTranslator;
class TDropDummy;
class TDropEmptySource;
class TFBDocument;
class TFBElement;
class TFBMainView;
class TFBPage;
class TGenericDataFormat;
class TRtCustomRichText;
class TSFormBild;
class TSFormDlgRTFText;
class TSFormFarbFlaeche;
class TSFormKalender;
class TSFormSeiten;
class TMulticaster;
class TColorListView;
class TPageTemplateListview;
class TShellTreeViewEx;
class TThumbnailListview;
class TQwListview;

class TMaster : public TLocalizerForm, public TMainFormStatusBar {
public:
    LUMI_CLASSNAME(TMaster)
    TMaster(TCreateKey Key, QWidget* Parent);
    ~TMaster() override;

    // ---- seams: tests stand in for the user here; empty means the real dialog
    // The unsaved-album question; returns QMessageBox::Yes, No or Cancel.
    std::function<int(const QString& Text)> AskSaveHook;
    // The open and save file dialogs; the chosen name, or empty when given up.
    std::function<QString()> OpenDialogHook;
    std::function<QString()> SaveDialogHook;
    // Printing the document and the printer set-up.
    std::function<void(TFBDocument& Document)> PrintHook;
    std::function<void()> PrinterSetupHook;

    TFBDocument* Document() const { return FDoc.get(); }
    TFBMainView* MainView() const { return FMainView; }

    // TMainFormStatusBar
    QWidget* MainFormWidget() override { return this; }
    void SetStatusBarText(const QString& Text) override;

    // ---- commands
    void BtnAlbumNeuClick();
    void BtnAlbumOeffnenClick();
    // True when the album was written; false when the dialog was given up
    // or the file could not be written (which is shown).
    bool BtnAlbumSpeichernClick();
    bool mnuDateiSpeichernUnterClick();
    void BtnSchliessenClick();
    void BtnAlbumDruckenClick();
    void mnuDruckereinrichtungClick();
    void mnuBeendenClick();
    void mnuBearbeitenClick();
    void mnuBearbeitenAusschneidenClick();
    void mnuBearbeitenKopierenClick();
    void mnuBearbeitenEinfuegenClick();
    void mnuBearbeitenDuplizierenClick();
    void mnuRueckgaengigClick();
    void BtnSeiteZurueckClick();
    void BtnSeiteVorClick();
    void BtnBilderschattenClick();
    void BtnEntfernenClick();
    void BtnBlattausrichtungClick();
    void BtnTextEinfuegenClick();
    void tbMainViewZoomChange();
    void mnuSpracheClick(QObject* Sender);
    void mnuHilfeUeberClick();
    void lblMarlowenClick();
    void mnuOrvaneHomepageClick();
    void mnuOrvaneKreativerPhotospassClick();

    // Opens the project; a file that cannot be read leaves the current
    // document as it was and raises the error.
    void OpenDocument(const QString& FileName);

    void UpdateCaption();
    void UpdatePageLabel();
    void FocusChanged();
    void ShowSidePanel(QWidget* TabSheet);
    void RefreshPageTemplates();
    // A left-button press at Pos on a list of the left panel: once the mouse
    // leaves the drag box, drags the selected pictures, or the template or
    // colour under the mouse.
    void LeftListMouseDown(TQwListview* List, const QPoint& Pos);
    void AppIdle();

    // ---- components
    QMenuBar* MainMenu;
    QMenu* mnuDatei;
    QAction* mnuDateiNeu;
    QAction* mnuDateiOeffnen;
    QAction* mnuDateiSpeichern;
    QAction* mnuDateiSpeichernUnter;
    QAction* mnuDrucken;
    QAction* mnuDruckereinrichtung;
    QAction* mnuBeenden;
    QMenu* mnuBearbeiten;
    QAction* mnuRueckgaengig;
    QAction* mnuBearbeitenAusschneiden;
    QAction* mnuBearbeitenKopieren;
    QAction* mnuBearbeitenEinfuegen;
    QAction* mnuBearbeitenDuplizieren;  // hidden
    QMenu* mnuSprache;
    QActionGroup* SpracheGroup;
    QAction* mnuSpracheDeutsch;
    QAction* mnuSpracheEnglisch;
    QAction* mnuSpracheFranzoesisch;
    QAction* mnuSpracheItalienisch;
    QAction* mnuSpracheSpanisch;
    QAction* mnuSpracheHollaendisch;
    QMenu* mnuFenster;  // hidden: window sizes
    QAction* N800x6001;
    QAction* N1024x7681;
    QMenu* mnuHilfe;
    QAction* mnuOrvaneHomepage;                 // hidden
    QAction* mnuOrvaneKreativerPhotospass;      // hidden
    QAction* mnuHilfeUeber;

    QWidget* panToolbar;
    QToolButton* BtnAlbumNeu;
    QToolButton* BtnAlbumOeffnen;
    QToolButton* BtnAlbumSpeichern;
    QToolButton* BtnAlbumDrucken;
    QToolButton* BtnRueckgaengig;
    QToolButton* BtnEntfernen;
    QToolButton* BtnBlattausrichtung;
    QToolButton* BtnTextEinfuegen;
    QToolButton* BtnBilderschatten;
    QToolButton* BtnSchliessen;

    QWidget* panWerkzeug;
    QTabWidget* PageControlLeft;
    QWidget* tsBilder;
    QWidget* tsLayouts;
    QWidget* tsFarben;
    QWidget* tsClipart;
    TShellTreeViewEx* ShellTreeBilder = nullptr;        // on tsBilder
    TThumbnailListview* ThumbnailsBilder = nullptr;     // on tsBilder
    TPageTemplateListview* PageTemplateList = nullptr;  // on tsLayouts
    TColorListView* ColorList = nullptr;                // on tsFarben
    TShellTreeViewEx* ShellTreeClipart = nullptr;       // on tsClipart
    TThumbnailListview* ThumbnailsClipart = nullptr;    // on tsClipart
    QWidget* panMarlowen;
    QLabel* imgMarlowen;
    QLabel* lblMarlowen;

    QStatusBar* StatusBar1;
    QSplitter* Splitter2;
    QWidget* panMain;
    QLabel* panTitel;
    QWidget* panMainviewTop;
    QLabel* lblSeitenzahl;
    QToolButton* BtnSeiteZurueck;
    QToolButton* BtnSeiteVor;
    QLabel* imgZoom;
    QSlider* tbMainViewZoom;
    QWidget* panSeitenliste;
    QTabWidget* pagecontrolBottom;
    QWidget* tsSeiten;
    QWidget* tsText;
    QWidget* tsBild;
    QWidget* tsFarbflaeche;
    QWidget* tsKalender;
    TSFormBild* SFormBild = nullptr;                // on tsBild
    TSFormFarbFlaeche* SFormFarbFlaeche = nullptr;  // on tsFarbflaeche
    TSFormKalender* SFormKalender = nullptr;        // on tsKalender
    TSFormSeiten* SFormSeiten = nullptr;            // on tsSeiten
    TSFormDlgRTFText* SFormDlgRTFText = nullptr;    // on tsText

    TDropDummy* DropDummy;
    TDropEmptySource* dropsrcPicFiles;
    TDropEmptySource* dropsrcPageTemplate;
    TDropEmptySource* dropsrcColor;
    TDropEmptySource* dropsrcClipart;
    QList<QPixmap> imglistDrag;
    // The data formats of the four drag sources, in the order above.
    std::array<TGenericDataFormat*, 4> DragFormats{};

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void FormCreate();
    void CreateMenus();
    void CreateToolbar();
    void BuildLeftPanel();
    void SetupDragSources();
    // The picture browser, the page-template list and the colour list.
    void BuildLeftLists();
    // A folder tree above the thumbnails of its chosen folder, on Sheet.
    void BuildFolderBrowser(QWidget* Sheet, const QString& Name, TShellTreeViewEx*& Tree, TThumbnailListview*& List);
    // The tree starts in the folder stored under Key, else in the personal
    // documents folder (also when that folder has gone since); its pictures are
    // listed at once. The clip-art tree starts when its tab is first shown.
    void StartFolderBrowser(TShellTreeViewEx* Tree, TThumbnailListview* List, const char* Key);
    void panMainviewTopResize();
    void panToolbarResize();
    void panMarlowenResize();
    void ViewZoomChanged();

    void OnContentChanged(TMulticaster* Multicaster, TObject* Sender, TFBPage* Page, TFBElement* Element);
    void OnPageChanged(TMulticaster* Multicaster, TObject* Sender, int ScreenIndex);
    void OnPageListChanged(TMulticaster* Multicaster, TObject* Sender);

    // The unsaved-album question; false when the command must stop.
    bool QuerySaveAlbum();
    // Runs the wizard; the album question has been asked.
    void NewAlbum();
    // The open dialog and opening; the album question has been asked.
    void OpenAlbum();
    bool SaveAlbumAs(const QString& FileName);
    // The cause of a failed write of FileName (an errno) in the program's language.
    QString WriteErrorText(int Error, const QString& FileName) const;
    QString ExecuteFileDialog(bool Save);
    // After the document was built, opened or reset: view, lists, caption.
    void DocumentReplaced();
    // Cut, copy, paste and duplicate enabled as the page view can, or all of
    // them while a rich-text editor has the focus.
    void UpdateEditCommands();
    // The rich-text editor that is the window's active control, else null.
    TRtCustomRichText* ActiveRichText() const;
    // Qt's own texts (file and print dialogs) in the current language.
    void LoadFrameworkTranslation();
    QString Text(const char* Key) const;

    std::unique_ptr<TFBDocument> FDoc;
    TFBMainView* FMainView = nullptr;
    QString FLastFileFolder;  // of the last file chosen in the open or save dialog
    QMetaObject::Connection FIdleConnection;
    QMetaObject::Connection FFocusConnection;
    std::unique_ptr<QTranslator> FFrameworkTexts;
};

// The application's main window while it exists, else null.
TMaster* Master();
