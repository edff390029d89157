// The page view's commands beyond direct mouse work: the context menu, the
// clipboard commands with the program's own clipboard formats, the element,
// page and picture commands, filling frames with files, and the view as drop
// target for the left panel's and the page overview's drags.
#include "FBMainViewCommands.h"

#include "Application.h"
#include "DragDropFormats.h"
#include "DragDropMime.h"
#include "DropTarget.h"
#include "FBPictureElement.h"
#include "FBildRahmen.h"
#include "SysUtils.h"
#include "WaitCursor.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uFotobuchPageTemplate.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "uUndo.h"
#include "ulocalize.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>

// ---- clipboard formats ------------------------------------------------------------------------

TClipFormat CF_QN_FotobuchData()
{
    static const TClipFormat format = RegisterClipboardFormatA("CF_QN_FotobuchData");
    return format;
}

TClipFormat CF_QN_FotobuchPic()
{
    static const TClipFormat format = RegisterClipboardFormatA("CF_QN_FotobuchPic");
    return format;
}

TClipFormat CF_QN_FotobuchKalender()
{
    static const TClipFormat format = RegisterClipboardFormatA("CF_QN_FotobuchKalender");
    return format;
}

namespace {

// Registered when the program starts, as the platform registers clipboard formats.
const bool clipboardFormatsRegistered = [] {
    CF_QN_FotobuchData();
    CF_QN_FotobuchPic();
    CF_QN_FotobuchKalender();
    return true;
}();

const char* const sClipboard = "Clipboard";
const char* const sSeiteLoeschen = "Soll die Seite wirklich gelöscht werden?";
const char* const sDoppelseiteLoeschen = "Soll die Doppelseite wirklich gelöscht werden?";
const char* const sBildWirdGeladen = "Bild %d von %d wird geladen";

// The busy cursor and the "Bild %d von %d wird geladen" panel while pictures
// load: a large one takes seconds, and the windows are drawn meanwhile.
class TLoadingPanel {
public:
    explicit TLoadingPanel(TFBMainView& View) : View(View) {}
    ~TLoadingPanel() { View.HideMessagePanel(); }
    TLoadingPanel(const TLoadingPanel&) = delete;
    TLoadingPanel& operator=(const TLoadingPanel&) = delete;
    void Show(int Number, int Count)
    {
        View.ShowMessagePanel(FillNumbers(LocalizedString(&View, QString::fromUtf8(sBildWirdGeladen)), {Number, Count}));
    }

private:
    TWaitCursor Wait;
    TFBMainView& View;
};

enum TMenuItem {
    miTurnLeft, miTurnRight, miHKIG, miHSL, miSWCol, miRedEye, miColor, miOrientation, miBackground,
    miBackgroundRemove, miFrame, miInsertBefore, miInsertAfter, miDeleteScreen, miPrevious, miNext,
    miCut, miCopy, miPaste, miDelete, miCount
};

struct TMenuEntry {
    int Item;  // -1: a separator
    const char* Name;
    const char* Caption;
};

const TMenuEntry MenuEntries[] = {
    {miTurnLeft, "popBildLinksDrehen", "Bild nach links drehen"},
    {miTurnRight, "popBildRechtsDrehen", "Bild nach rechts drehen"},
    {-1, nullptr, nullptr},
    {miHKIG, "popFilterHKIG", "Helligkeit, Kontrast, Intensität, Gamma..."},
    {miHSL, "popFilterHSL", "Farbton, Sättigung, Helligkeit..."},
    {miSWCol, "popFilterSWCol", "Schwarz-Weiß, Kolorieren..."},
    {miRedEye, "popRoteAugen", "Rote Augen entfernen..."},
    {-1, nullptr, nullptr},
    {miColor, "popFarbeAendern", "Farbe ändern"},
    {-1, nullptr, nullptr},
    {miOrientation, "popAusrichtung", "Ausrichtung wechseln"},
    {-1, nullptr, nullptr},
    {miBackground, "popSeitenhintergrund", "Seitenhintergrund..."},
    {miBackgroundRemove, "popSeitenhintergrundEntfernen", "Seitenhintergrund entfernen"},
    {-1, nullptr, nullptr},
    {miFrame, "popRahmen", "Rahmen..."},
    {-1, nullptr, nullptr},
    {miInsertBefore, "popSeiteDavor", "Seite davor einfuegen"},
    {miInsertAfter, "popSeiteDahinter", "Seite dahinter einfügen"},
    {-1, nullptr, nullptr},
    {miDeleteScreen, "popSeiteLoeschen", "Seite löschen"},
    {-1, nullptr, nullptr},
    {miPrevious, "popVorherigeSeite", "Vorherige Seite"},
    {miNext, "popNaechsteSeite", "Nächste Seite"},
    {-1, nullptr, nullptr},
    {miCut, "popAusschneiden", "Ausschneiden"},
    {miCopy, "popKopieren", "Kopieren"},
    {miPaste, "popEinfuegen", "Einfügen"},
    {-1, nullptr, nullptr},
    {miDelete, "popLoeschen", "Löschen"},
};

bool ClipboardHas(TClipFormat Format)
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasFormat(MimeTypeOfFormat(Format));
}

}  // namespace

QStringList FileNamesOf(const AnsiString& Data)
{
    QStringList files;
    for (const QByteArray& line : QByteArray(Data.data(), qsizetype(Data.size())).split('\n')) {
        const QByteArray name = line.endsWith('\r') ? line.chopped(1) : line;
        if (!name.isEmpty())
            files.append(DecodeFileName(name));
    }
    return files;
}

std::unique_ptr<TMemoryStream> StreamOf(const AnsiString& Data)
{
    auto stream = std::make_unique<TMemoryStream>();
    if (!Data.empty())
        stream->WriteBuffer(Data.data(), int32_t(Data.size()));
    stream->SetPosition(0);
    return stream;
}

AnsiString PictureDragData(const TFBPictureElement* Element)
{
    return AnsiString(std::to_string(reinterpret_cast<uintptr_t>(Element)));
}

TFBPictureElement* PictureOfDragData(const TFBDocument* Document, const AnsiString& Data)
{
    bool ok = false;
    const qulonglong identity = QByteArray(Data.data(), qsizetype(Data.size())).toULongLong(&ok);
    if (!Document || !ok)
        return nullptr;
    // The number is only compared with the document's frames, never used as an
    // address: a stale or foreign identity finds nothing.
    for (int p = 0; p < Document->Pages.Count(); ++p) {
        TFBPage* page = Document->Pages.GetPage(p);
        for (int i = 0; i < page->Pictures.Count(); ++i)
            if (qulonglong(reinterpret_cast<uintptr_t>(page->Pictures.GetItem(i))) == identity)
                return static_cast<TFBPictureElement*>(page->Pictures.GetItem(i));
    }
    return nullptr;
}

// ---- context menu -------------------------------------------------------------------------------

void TFBMainView::CreateContextMenu()
{
    FContextMenu = new QMenu(this);
    FContextMenu->setObjectName(QStringLiteral("PopupMenu"));
    for (const TMenuEntry& entry : MenuEntries) {
        if (entry.Item < 0) {
            FContextMenu->addSeparator();
            continue;
        }
        QAction* a = FContextMenu->addAction(QString::fromUtf8(entry.Caption));
        a->setObjectName(QString::fromLatin1(entry.Name));
        FMenuItems[size_t(entry.Item)] = a;
        RegisterLocalizedString(this, QString::fromUtf8(entry.Caption));
    }
    auto on = [this](int Item, std::function<void()> Command) {
        connect(FMenuItems[size_t(Item)], &QAction::triggered, this, Guarded(Command));
    };
    on(miTurnLeft, [this] { TurnPicture(2); });
    on(miTurnRight, [this] { TurnPicture(0); });
    on(miHKIG, [this] { FilterPicture(pfHKIG); });
    on(miHSL, [this] { FilterPicture(pfHSL); });
    on(miSWCol, [this] { FilterPicture(pfSWCol); });
    on(miRedEye, [this] { FilterPicture(pfRedEye); });
    on(miColor, [this] { ChangeAreaColor(); });
    on(miOrientation, [this] {
        ToggleOrientation();
        GetMulticaster().ScreenContentChanged(this, FDoc, FScreenIndex);
    });
    on(miBackground, [this] { SetPageBackground(FContextPage, false); });
    on(miBackgroundRemove, [this] { SetPageBackground(FContextPage, true); });
    on(miFrame, [this] { PictureBorder(); });
    on(miInsertBefore, [this] { InsertScreen(false); });
    on(miInsertAfter, [this] { InsertScreen(true); });
    on(miDeleteScreen, [this] { DeleteScreen(); });
    on(miPrevious, [this] { PreviousScreen(); });
    on(miNext, [this] { NextScreen(); });
    on(miCut, [this] { CutElement(); });
    on(miCopy, [this] { CopyElement(); });
    on(miPaste, [this] { PasteElement(); });
    on(miDelete, [this] { DeleteFocused(); });
    for (const char* text : {sSeiteLoeschen, sDoppelseiteLoeschen, sBildWirdGeladen})
        RegisterLocalizedString(this, QString::fromUtf8(text));
}

void TFBMainView::BuildContextMenu(TFBPage* Page, TFBElement* Element)
{
    FContextPage = Page;
    auto item = [this](int I) { return FMenuItems[size_t(I)]; };
    auto* pic = dynamic_cast<TFBPictureElement*>(Element);
    for (int i : {miTurnLeft, miTurnRight, miHKIG, miHSL, miSWCol, miRedEye, miColor}) {
        item(i)->setVisible(pic != nullptr);
        item(i)->setEnabled(false);
    }
    if (pic && pic->HasPicture()) {
        for (int i : {miTurnLeft, miTurnRight, miHKIG, miHSL, miSWCol, miRedEye})
            item(i)->setEnabled(pic->CanZoomAndTrack);
        item(miColor)->setEnabled(!pic->CanZoomAndTrack);
    }
    for (int i : {miOrientation, miInsertBefore, miInsertAfter, miDeleteScreen, miPrevious, miNext})
        item(i)->setVisible(Element == nullptr);
    for (int i : {miCut, miCopy, miPaste, miDelete})
        item(i)->setVisible(Element != nullptr);
    // The page background where no element but a page lies under the mouse;
    // the frame of a picture, except on borderless prints.
    const bool background = Element == nullptr && Page != nullptr;
    item(miBackground)->setVisible(background);
    item(miBackgroundRemove)->setVisible(background);
    item(miBackgroundRemove)->setEnabled(Page && Page->PageColor != RGB(255, 255, 255));
    item(miFrame)->setVisible(pic && !(FDoc && FDoc->DocType <= 1 && FDoc->PrintBorderless));

    const int count = FDoc ? FDoc->GetScreenCount() : 0;
    item(miOrientation)->setEnabled(true);
    const bool canInsert = FDoc && FDoc->CanInsertScreen(FScreenIndex);
    item(miInsertBefore)->setEnabled(canInsert);
    item(miInsertAfter)->setEnabled(canInsert);
    item(miDeleteScreen)->setEnabled(FDoc && FDoc->CanDeleteScreen(FScreenIndex));
    item(miPrevious)->setEnabled(FScreenIndex >= 1);
    item(miNext)->setEnabled(FScreenIndex < count - 1);
    item(miCut)->setEnabled(CanCopy());
    item(miCopy)->setEnabled(CanCopy());
    item(miPaste)->setEnabled(CanPaste());
    item(miDelete)->setEnabled(CanDelete());

    for (const TMenuEntry& entry : MenuEntries)
        if (entry.Item >= 0)
            item(entry.Item)->setText(LocalizedString(this, QString::fromUtf8(entry.Caption)));
}

// ---- queries ------------------------------------------------------------------------------------

TFBPictureElement* TFBMainView::FocusedPicture() const
{
    return dynamic_cast<TFBPictureElement*>(FFocused);
}

bool TFBMainView::CanCopy() const
{
    if (!FFocused || dynamic_cast<TFBKalenderElement*>(FFocused))
        return false;
    if (TFBPictureElement* pic = FocusedPicture())
        return pic->HasPicture();
    return true;
}

bool TFBMainView::CanPaste() const
{
    return (FocusedPicture() && ClipboardHas(CF_QN_FotobuchPic())) ||
           (dynamic_cast<TFBKalenderElement*>(FFocused) && ClipboardHas(CF_QN_FotobuchKalender())) ||
           ClipboardHas(CF_QN_FotobuchData());
}

bool TFBMainView::CanDuplicate() const
{
    return dynamic_cast<const TFBSizeableElement*>(FFocused) != nullptr;
}

// ---- clipboard ----------------------------------------------------------------------------------

void TFBMainView::ElementDone(TFBElement* Element)
{
    InvalidateElement(Element);
    GetMulticaster().ElementChanged(this, Element);
    FDoc->Modified = true;
}

void TFBMainView::CopyElement()
{
    if (!CanCopy())
        return;
    TMemoryStream stream;
    {
        TMemoryDataFile data(stream);
        FFocused->SaveClipboardData(data, sClipboard);
    }
    TClipFormat format = CF_QN_FotobuchData();
    if (FocusedPicture())
        format = CF_QN_FotobuchPic();
    else if (dynamic_cast<TFBKalenderElement*>(FFocused))
        format = CF_QN_FotobuchKalender();
    CopyStreamToClipboard(format, stream);
}

void TFBMainView::CutElement()
{
    if (!CanCopy())
        return;
    CopyElement();
    DeleteFocused();
}

void TFBMainView::ReadClipboard(TClipFormat Format, TMemoryStream& Stream)
{
    CopyStreamFromClipboard(Format, Stream);
    Stream.SetPosition(0);
}

void TFBMainView::PasteElement()
{
    if (!FDoc || !CanPaste())
        return;
    TMemoryStream stream;
    TFBPictureElement* pic = FocusedPicture();
    if (pic && ClipboardHas(CF_QN_FotobuchPic())) {
        ReadClipboard(CF_QN_FotobuchPic(), stream);
        TMemoryDataFile data(stream);
        if (data.ReadString(sClipboard, "Classname", "") != "TFBPictureElement")
            return;
        GetUndoManager().AddBildEinfuegen(pic);
        pic->LoadClipboardData(data, sClipboard);
        ElementDone(pic);
        return;
    }
    // No command writes the calendar format; finding it changes nothing.
    if (ClipboardHas(CF_QN_FotobuchKalender()) || !ClipboardHas(CF_QN_FotobuchData()))
        return;
    ReadClipboard(CF_QN_FotobuchData(), stream);
    TMemoryDataFile data(stream);
    const AnsiString className = data.ReadString(sClipboard, "Classname", "");
    if (className != "TFBTextElement" && className != "TFBClipartElement")
        return;
    TFBPage* left = FDoc->GetLeftPage(FScreenIndex);
    TFBPage* right = FDoc->GetRightPage(FScreenIndex);
    TFBPage* page = data.ReadBool(sClipboard, "IsLeftPage", true) ? (left ? left : right) : (right ? right : left);
    if (!page)
        return;
    std::unique_ptr<TFBElement> owned = CreateElementByClassName(className, page);
    TFBElement* element = owned.get();
    page->Elements.Add(std::move(owned));
    element->LoadClipboardData(data, sClipboard);
    GetUndoManager().AddElementEinfuegen(element);
    ElementDone(element);
    SetFocusedElement(element);
}

// ---- element and page commands --------------------------------------------------------------------

void TFBMainView::InsertTextElement()
{
    if (!FDoc)
        return;
    TFBPage* page = FDoc->GetLeftPage(FScreenIndex);
    if (!page)
        page = FDoc->GetRightPage(FScreenIndex);
    if (!page)
        return;
    auto owned = std::make_unique<TFBTextElement>(page);
    TFBTextElement* text = owned.get();
    text->SetHasShadow(true);
    text->NewText = true;
    const bool landscape = page->Orientation != 0;
    text->Width = 0.6f * (landscape ? FDoc->PageHeight : FDoc->PageWidth);
    text->Height = 20;
    text->CenterX = FDoc->PageWidth / 2;
    text->CenterY = FDoc->PageHeight / 2;
    if (landscape)
        text->Angle = -FDoc->ScreenQuerformatWinkel;
    page->Elements.Add(std::move(owned));
    GetUndoManager().AddElementEinfuegen(text);
    ElementDone(text);
    SetFocusedElement(text);
}

void TFBMainView::ToggleOrientation()
{
    if (!FDoc)
        return;
    FDoc->Modified = true;
    FDoc->SetScreenOrientation(FScreenIndex, FDoc->GetScreenOrientation(FScreenIndex) != 0 ? 0 : 1);
    SetupTransformation();
    if (dynamic_cast<TFBSizeableElement*>(FFocused))
        LoadTrackerFrom(FFocused);
    Invalidate();
}

void TFBMainView::TurnPicture(int Direction)
{
    TFBPictureElement* pic = FocusedPicture();
    if (!pic || !pic->HasPicture())
        return;
    GetUndoManager().AddBildDrehen(pic);
    pic->RotatePicture(Direction);
    ElementDone(pic);
}

void TFBMainView::FilterPicture(TPictureFilter Filter)
{
    TFBPictureElement* pic = FocusedPicture();
    if (!pic || !pic->HasPicture())
        return;
    const bool changed = GetUndoManager().AddBildFilter(pic, [pic, Filter] {
        switch (Filter) {
        case pfHKIG: return pic->ShowHKIGDlg();
        case pfHSL: return pic->ShowHSLDlg();
        case pfSWCol: return pic->ShowSWColDlg();
        case pfRedEye: return pic->ShowRedEyeDlg();
        }
        return false;
    });
    if (changed)
        ElementDone(pic);
}

void TFBMainView::ChangeAreaColor()
{
    TFBPictureElement* pic = FocusedPicture();
    if (!pic || !pic->HasPicture())
        return;
    TColor color = clWhite;
    if (const QImage* bmp = pic->GetBitmap(); bmp && !bmp->isNull()) {
        const QRgb px = bmp->pixel(0, 0);
        color = RGB(qRed(px), qGreen(px), qBlue(px));
    }
    if (!ExecuteColorDialog(color))
        return;
    GetUndoManager().AddFarbeEinfuegen(pic);
    pic->FillWithColor(color);
    ElementDone(pic);
}

void TFBMainView::PictureBorder()
{
    TFBPictureElement* pic = FocusedPicture();
    if (!pic)
        return;
    std::unique_ptr<TBildRahmen> dialog(TLocalizerForm::create<TBildRahmen>(this));
    dialog->SetColor(pic->BorderColor);
    dialog->SetWidth(pic->BorderWidth);
    if (ShowModalDialog(*dialog) != QDialog::Accepted)
        return;
    GetUndoManager().AddBildRahmen(pic);
    pic->SetBorderWidth(float(dialog->GetWidth()));
    pic->SetBorderColor(dialog->GetColor());
    ElementDone(pic);
}

void TFBMainView::SetPageBackground(TFBPage* Page, bool Remove)
{
    if (!Page)
        return;
    TColor color = RGB(255, 255, 255);
    if (!Remove) {
        color = Page->PageColor;
        if (!ExecuteColorDialog(color))
            return;
    }
    GetUndoManager().AddSeitenhintergrund(Page);
    Page->PageColor = color;
    GetMulticaster().PageContentChanged(this, Page);
    FDoc->Modified = true;
    Invalidate();
}

void TFBMainView::InsertScreen(bool After)
{
    if (!FDoc || !FDoc->CanInsertScreen(FScreenIndex))
        return;
    const int current = FScreenIndex;
    const int at = After ? current + 1 : current;
    SetFocusedElement(nullptr);
    GetUndoManager().AddSeiteEinfuegen(at);
    FDoc->InsertScreen(at, current);
    FDoc->Modified = true;
    if (After)
        SetScreen(at);
    SetupTransformation();
    GetMulticaster().FirePageListChanged(this);
    GetMulticaster().FireCurrentPageChanged(this, FScreenIndex);
    Invalidate();
}

void TFBMainView::DeleteScreen()
{
    if (!FDoc || !FDoc->CanDeleteScreen(FScreenIndex))
        return;
    QMessageBox question(QMessageBox::Question, ApplicationTitle(),
                         LocalizedString(this, QString::fromUtf8(FDoc->ScreenMode == 0 ? sSeiteLoeschen
                                                                                         : sDoppelseiteLoeschen)),
                         QMessageBox::Yes | QMessageBox::No, this);
    if (ShowModalDialog(question) == QMessageBox::No)
        return;
    // The focused element goes with its screen.
    SetFocusedElement(nullptr);
    GetUndoManager().AddSeiteLoeschen(FDoc, FScreenIndex);
    FDoc->DeleteScreen(FScreenIndex);
    FDoc->Modified = true;
    CheckScreen();
    SetupTransformation();
    GetMulticaster().FirePageListChanged(this);
    Invalidate();
}

void TFBMainView::PreviousScreen()
{
    if (FScreenIndex < 1)
        return;
    SetScreen(FScreenIndex - 1);
    GetMulticaster().FireCurrentPageChanged(this, FScreenIndex);
}

void TFBMainView::NextScreen()
{
    if (!FDoc || FScreenIndex >= FDoc->GetScreenCount() - 1)
        return;
    SetScreen(FScreenIndex + 1);
    GetMulticaster().FireCurrentPageChanged(this, FScreenIndex);
}

// ---- filling frames with files ------------------------------------------------------------------

void TFBMainView::ShowMessagePanel(const QString& Text)
{
    const int w = ClientWidth() / 2;
    FMessagePanel->setGeometry((ClientWidth() - w) / 2, (ClientHeight() - 50) / 2, w, 50);
    FMessagePanel->setText(Text);
    FMessagePanel->show();
    FMessagePanel->raise();
    FMessagePanel->repaint();
}

void TFBMainView::HideMessagePanel()
{
    FMessagePanel->hide();
}

void TFBMainView::FillFramesWithFiles(const QStringList& Files, TFBPictureElement* Frame)
{
    if (!FDoc)
        return;
    TLoadingPanel panel(*this);
    const int count = int(Files.size());
    for (int i = 0; i < count && Frame; ++i) {
        panel.Show(i + 1, count);
        const bool oriented = LoadFileIntoFrame(*FDoc, *Frame, Files[i]);
        FDoc->Modified = true;
        if (oriented) {
            SetupTransformation();
            Invalidate();
        }
        TFBPage* page = Frame->Page;
        GetMulticaster().ElementChanged(this, Frame);
        if (QWidget* main = window(); main != this)
            main->repaint();
        if (IsOnScreen(page)) {
            InvalidateElement(Frame);
            UpdateNow();
        }
        Frame = Frame->GetNextPictureElement();
    }
}

QString FillNumbers(QString Text, std::initializer_list<int> Numbers)
{
    int from = 0;
    for (int n : Numbers) {
        const int at = Text.indexOf(QLatin1String("%d"), from);
        if (at < 0)
            break;
        const QString s = QString::number(n);
        Text.replace(at, 2, s);
        from = at + int(s.size());
    }
    return Text;
}

bool LoadFileIntoFrame(TFBDocument& Document, TFBPictureElement& Frame, const QString& File)
{
    TBildmanager::CheckFileExists(File);
    GetUndoManager().AddBildEinfuegen(&Frame);
    try {
        Frame.LoadPictureFromFile(File);
    } catch (...) {
        GetUndoManager().DropLast();  // the frame is unchanged
        throw;
    }
    TFBPage* page = Frame.Page;
    bool oriented = false;
    if (Document.DocType == 0 && page && page->Pictures.Count() == 1 && page->Calendars.Count() == 0) {
        if (const QImage* bmp = Frame.GetBitmap()) {
            page->SetOrientation(bmp->width() < bmp->height() ? 0 : 1);
            oriented = true;
        }
    }
    if (page && page->Orientation != 0)
        Frame.RotatePicture(Document.ScreenQuerformatWinkel == -90 ? 0 : 2);
    return oriented;
}

// ---- drop target --------------------------------------------------------------------------------

void TFBMainView::CreateDropTarget()
{
    FDropTarget = new TDropEmptyTarget(this);
    FDropTarget->Dragtypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
    const char* const names[] = {"QwFileList", "QwPageTemplate", "QwColor", "QwPic", "QwClipart"};
    for (size_t i = 0; i < FDropFormats.size(); ++i) {
        FDropFormats[i] = new TGenericDataFormat(FDropTarget);
        FDropFormats[i]->AddFormat(names[i]);
    }
    // Files dropped from other programs fill frames like the program's own file lists.
    auto files = std::make_unique<TGenericClipboardFormat>();
    files->SetClipboardFormat(Ole::CF_HDROP);
    files->DataDirections = ddRead;
    FDropFormats[dfFileList]->CompatibleFormats->Add(std::move(files));

    // Only moves are judged: a refused enter would drop the data for the whole visit,
    // so a drag entering beside a frame could never reach one.
    FDropTarget->OnDragOver = [this](TObject*, TShiftState, QPoint Point, int32_t& Effect) {
        HandleExceptions([&] { DropDragOver(Point, Effect); });
    };
    FDropTarget->OnDrop = [this](TObject*, TShiftState, QPoint Point, int32_t& Effect) {
        HandleExceptions([&] { DropDrop(Point, Effect); });
    };
    FDropTarget->Register(this);
}

TFBPictureElement* TFBMainView::DraggedPicture() const
{
    return PictureOfDragData(FDoc, FDropFormats[dfPic]->Data());
}

void TFBMainView::DropDragOver(const QPoint& Point, int32_t& Effect)
{
    IDataObject* data = FDropTarget->DataObject.get();
    if (!FDoc || !data) {
        Effect = Ole::DROPEFFECT_NONE;
        return;
    }
    const int x = Point.x(), y = Point.y();
    auto* pic = dynamic_cast<TFBPictureElement*>(ElementAt(x, y, eaPictures));
    const bool onPage = PageAt(x, y) != nullptr;
    // Every format present is tested; one refusal refuses the drop.
    bool present = false, refused = false;
    auto test = [&](int Format, const std::function<bool()>& Accept) {
        TGenericDataFormat* format = FDropFormats[size_t(Format)];
        if (!format->HasValidFormats(*data))
            return;
        present = true;
        if (!Accept())
            refused = true;
    };
    test(dfFileList, [&] { return pic != nullptr; });
    test(dfPageTemplate, [&] { return onPage; });
    test(dfClipart, [&] { return onPage; });
    test(dfColor, [&] { return pic != nullptr; });
    test(dfPic, [&] {
        FDropFormats[dfPic]->GetData(*data);
        // A number that names no picture of this document is refused.
        TFBPictureElement* dragged = DraggedPicture();
        return pic != nullptr && dragged != nullptr && pic != dragged;
    });
    if (!present || refused)
        Effect = Ole::DROPEFFECT_NONE;
}

void TFBMainView::DropDrop(const QPoint& Point, int32_t& Effect)
{
    if (!FDoc)
        return;
    const int x = Point.x(), y = Point.y();
    auto pictureAt = [&] { return dynamic_cast<TFBPictureElement*>(ElementAt(x, y, eaPictures)); };

    if (FDropFormats[dfFileList]->HasData()) {
        if (TFBPictureElement* pic = pictureAt()) {
            setFocus(Qt::OtherFocusReason);
            FillFramesWithFiles(FileNamesOf(FDropFormats[dfFileList]->Data()), pic);
            ElementDone(pic);
            if (OnFocusChanged)
                OnFocusChanged(this);
        }
    }
    if (FDropFormats[dfPageTemplate]->HasData()) {
        if (TFBPage* page = PageAt(x, y)) {
            TFBPageTemplate pageTemplate;
            pageTemplate.LoadFromStream(*StreamOf(FDropFormats[dfPageTemplate]->Data()));
            SetFocusedElement(nullptr);
            GetUndoManager().AddLayoutEinfuegen(FDoc, FScreenIndex);
            pageTemplate.ApplyToPage(page);
            FDoc->Modified = true;
            Invalidate();
            GetMulticaster().PageContentChanged(this, page);
        }
    }
    if (FDropFormats[dfColor]->HasData()) {
        if (TFBPictureElement* pic = pictureAt()) {
            setFocus(Qt::OtherFocusReason);
            TFBColor color;
            color.LoadFromStream(*StreamOf(FDropFormats[dfColor]->Data()));
            TColor value = 0;
            if (color.GetColor(value)) {
                GetUndoManager().AddFarbeEinfuegen(pic);
                pic->FillWithColor(value);
                ElementDone(pic);
            }
        }
    }
    if (FDropFormats[dfPic]->HasData()) {
        TFBPictureElement* target = pictureAt();
        TFBPictureElement* source = DraggedPicture();
        if (target && source && target != source) {
            if (Effect & Ole::DROPEFFECT_COPY) {
                GetUndoManager().AddBildEinfuegen(target);
                target->AssignPicture(*source);
            } else if (Effect & Ole::DROPEFFECT_MOVE) {
                GetUndoManager().AddBildAustauschen(target, source);
                target->SwapPicture(*source);
                ElementDone(source);
            }
            ElementDone(target);
        }
    }
    if (FDropFormats[dfClipart]->HasData()) {
        setFocus(Qt::OtherFocusReason);
        const QStringList files = FileNamesOf(FDropFormats[dfClipart]->Data());
        TFBPage* page = PageAt(x, y);
        TPointF p;
        if (!files.isEmpty() && page && ScreenPoint(x, y, p)) {
            TBildmanager::CheckFileExists(files.first());
            auto owned = std::make_unique<TFBClipartElement>(page);
            TFBClipartElement* clipart = owned.get();
            {
                TLoadingPanel panel(*this);
                panel.Show(1, 1);
                clipart->LoadFromFile(files.first());
            }
            if (page->Orientation != 0)
                clipart->Angle -= FDoc->ScreenQuerformatWinkel;
            const TPointF local = PageLocal(page, p);
            clipart->CenterX = local.X;
            clipart->CenterY = local.Y;
            page->Elements.Add(std::move(owned));
            GetUndoManager().AddElementEinfuegen(clipart);
            ElementDone(clipart);
            SetFocusedElement(clipart);
        }
    }
}
