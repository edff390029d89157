#include "SFormSeiten.h"
#include "Application.h"

#include "DragDropFormats.h"
#include "DropSource.h"
#include "DropTarget.h"
#include "FBMainViewCommands.h"
#include "FBPictureElement.h"
#include "FProgressDlg.h"
#include "Graphics.h"
#include "SysUtils.h"
#include "WaitCursor.h"
#include "uBitmapDrawContext.h"
#include "uCursors.h"
#include "uDocDrawer.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uFotobuchMainview.h"
#include "uFotobuchPageTemplate.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "uTransformation.h"
#include "uUndo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>

namespace {

const char* const sBildLaden = "Bild %d von %d wird geladen";
const char* const sFrageSeite = "Soll die Seite wirklich gelöscht werden?";
const char* const sFrageDoppelseite = "Soll die Doppelseite wirklich gelöscht werden?";
const char* const sSeiteLoeschen = "Seite löschen";
const char* const sSeiteDavor = "Seite davor einfügen";
const char* const sSeiteDahinter = "Seite dahinter einfügen";
const char* const sDoppelseiteLoeschen = "Doppelseite löschen";
const char* const sDoppelseiteDavor = "Doppelseite davor einfügen";
const char* const sDoppelseiteDahinter = "Doppelseite dahinter einfügen";

constexpr TColor clUsedArea = 0xF5F5F5;
constexpr TColor clUsedLine = 255;
constexpr TColor clMarker = 0x800000;
constexpr TColor clDragKey = 0x800080;

// The paint box: its painting and mouse go to the panel.
class TPaintBox : public QWidget {
public:
    TPaintBox(TSFormSeiten* Owner, QWidget* Parent) : QWidget(Parent), owner_(Owner)
    {
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        paintGuard_.Run(this, [&] { owner_->pbPaint(e->rect()); });
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        const QPoint p = e->position().toPoint();
        owner_->pbMouseDown(e->button(), p.x(), p.y());
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        const QPoint p = e->position().toPoint();
        owner_->pbMouseMove(p.x(), p.y());
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        const QPoint p = e->position().toPoint();
        owner_->pbMouseUp(p.x(), p.y());
    }

private:
    TSFormSeiten* owner_;
    TPaintGuard paintGuard_;
};

}  // namespace

TSFormSeiten::TSFormSeiten(TCreateKey Key, QWidget* Parent)
    : TSubForm(Key, Parent), FCellBitmap(std::make_unique<TBitmap>())
{
    setObjectName(QStringLiteral("SFormSeiten"));
    FCellBitmap->SetPixelFormat(pf32bit);

    sb = new QScrollArea(this);
    sb->setObjectName(QStringLiteral("sb"));
    sb->setFrameShape(QFrame::NoFrame);
    sb->setFocusPolicy(Qt::StrongFocus);
    sb->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    sb->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sb->setWidgetResizable(false);
    sb->setBackgroundRole(QPalette::Base);
    pb = new TPaintBox(this, nullptr);
    pb->setObjectName(QStringLiteral("pb"));
    pb->setFocusProxy(sb);
    sb->setWidget(pb);
    sb->installEventFilter(this);
    sb->viewport()->installEventFilter(this);
    connect(sb->horizontalScrollBar(), &QScrollBar::valueChanged, pb, Guarded([this] { pb->update(); }));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(sb);

    droptarget = new TDropEmptyTarget(this);
    droptarget->Dragtypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
    droptarget->GetDataOnEnter = true;
    auto targetFormat = [this](const char* Name) {
        auto* f = new TGenericDataFormat(droptarget);
        f->AddFormat(Name);
        return f;
    };
    FTargetPic = targetFormat("QwPic");
    FTargetView = targetFormat("QwView");
    FTargetFileList = targetFormat("QwFileList");
    FTargetColor = targetFormat("QwColor");
    FTargetPageTemplate = targetFormat("QwPageTemplate");
    droptarget->Register(sb);
    droptarget->OnDragOver = [this](TObject*, TShiftState, QPoint P, int32_t& Effect) { droptargetDragOver(P, Effect); };
    // The enter is not judged: a refused enter would end the whole visit, so a
    // drag entering beside a frame or a boundary could never reach one. The
    // move that follows every enter judges the point.
    droptarget->OnDrop = [this](TObject*, TShiftState, QPoint P, int32_t& Effect) { droptargetDrop(P, Effect); };
    droptarget->OnLeave = [this](TObject*) { SetMarker(-3); };

    dropsrcPics = new TDropEmptySource(this);
    dropsrcPics->DragTypes = DragTypeSet(dtCopy) | DragTypeSet(dtMove);
    dropsrcPics->SetImages(&ImgList);
    dropsrcPics->ImageHotSpotX = 16;
    dropsrcPics->ImageHotSpotY = 16;
    FFormatPic = new TGenericDataFormat(dropsrcPics);
    FFormatPic->AddFormat("QwPic");

    DropSrcView = new TDropEmptySource(this);
    DropSrcView->DragTypes = DragTypeSet(dtMove);
    FFormatView = new TGenericDataFormat(DropSrcView);
    FFormatView->AddFormat("QwView");

    pmSeiten = new QMenu(this);
    pmSeiten->setObjectName(QStringLiteral("pmSeiten"));
    mnuSeiteVorAktuellerEinfuegen = pmSeiten->addAction(QString());
    mnuSeiteNachAktuellerEinfuegen = pmSeiten->addAction(QString());
    pmSeiten->addSeparator();
    mnuSeiteloeschen = pmSeiten->addAction(QString());
    connect(mnuSeiteVorAktuellerEinfuegen, &QAction::triggered, this, Guarded([this] { mnuSeiteVorAktuellerEinfuegenClick(); }));
    connect(mnuSeiteNachAktuellerEinfuegen, &QAction::triggered, this, Guarded([this] { mnuSeiteNachAktuellerEinfuegenClick(); }));
    connect(mnuSeiteloeschen, &QAction::triggered, this, Guarded([this] { mnuSeiteloeschenClick(); }));

    // The overview's two cursors: a picture or a screen can be dragged.
    RegisterScreenCursor(crOverviewPicture, QCursor(Qt::OpenHandCursor));
    RegisterScreenCursor(crOverviewScreen, QCursor(Qt::SizeHorCursor));
    DetectDrag = DetectDragStart;
    ShowProgressText = ShowProgress;
}

TSFormSeiten::~TSFormSeiten() = default;

void TSFormSeiten::BeforeLocalize()
{
    TSubForm::BeforeLocalize();
    for (const char* t : {sBildLaden, sFrageSeite, sFrageDoppelseite, sSeiteLoeschen, sSeiteDavor, sSeiteDahinter,
                          sDoppelseiteLoeschen, sDoppelseiteDavor, sDoppelseiteDahinter})
        RegisterLocalizedString(this, QString::fromUtf8(t));
}

QString TSFormSeiten::FormText(const char* Text) const
{
    return LocalizedString(this, QString::fromUtf8(Text));
}

int TSFormSeiten::ScreenCount() const
{
    return FDocument ? FDocument->GetScreenCount() : 0;
}

void TSFormSeiten::MarkModified()
{
    if (FDocument)
        FDocument->Modified = true;
}

// ---- document, screens, scrolling ----------------------------------------------------------

void TSFormSeiten::SetDocument(TFBDocument* Document)
{
    FDocument = Document;
    Refresh();
}

void TSFormSeiten::Refresh()
{
    sb->setUpdatesEnabled(false);
    const int remembered = CurrentScreen;
    CurrentScreen = -1;
    sb->horizontalScrollBar()->setValue(0);
    pb->setGeometry(0, 0, std::max(1, CellWidth * ScreenCount()), sb->viewport()->height());
    if (ScreenCount() > remembered && remembered >= 0) {
        CurrentScreen = remembered;
        ScrollScreenIntoView(CurrentScreen);
    }
    sb->setUpdatesEnabled(true);
    pb->update();
}

void TSFormSeiten::SetCurrentScreen(int Index)
{
    Index = std::clamp(Index, -1, ScreenCount() - 1);
    if (Index != CurrentScreen)
        MakeCurrent(Index);
}

// The screen becomes current, announced, scrolled into view and repainted.
void TSFormSeiten::MakeCurrent(int Index)
{
    CurrentScreen = std::clamp(Index, -1, ScreenCount() - 1);
    GetMulticaster().FireCurrentPageChanged(this, CurrentScreen);
    ScrollScreenIntoView(CurrentScreen);
    pb->update();
}

void TSFormSeiten::ScrollScreenIntoView(int ScreenIndex)
{
    if (ScreenIndex < 0)
        return;
    QScrollBar* bar = sb->horizontalScrollBar();
    const QRect r = CellRect(ScreenIndex, cpCell);
    const int clientWidth = sb->viewport()->width();
    // The range follows the paint box's width only once the layout ran.
    bar->setRange(0, std::max(0, pb->width() - clientWidth));
    if (r.x() + r.width() > bar->value() + clientWidth)
        bar->setValue(r.x() + r.width() - clientWidth);
    if (r.x() < bar->value())
        bar->setValue(r.x());
}

void TSFormSeiten::ContentChanged(TFBPage*, TFBElement*)
{
    pb->update();
}

void TSFormSeiten::InvalidateScreen(int)
{
    pb->update();
}

void TSFormSeiten::sbResize()
{
    pb->resize(pb->width(), sb->viewport()->height());
    CellWidth = std::clamp(pb->height() - 18, 100, 200);
    pb->resize(std::max(1, CellWidth * ScreenCount()), pb->height());
    QCoreApplication::postEvent(this, new TShowScreenEvent(CurrentScreen));
}

bool TSFormSeiten::sbKeyDown(int Key)
{
    if (Key == Qt::Key_Left) {
        if (CurrentScreen > 0)
            SetCurrentScreen(CurrentScreen - 1);
        ScrollScreenIntoView(CurrentScreen);
        return true;
    }
    if (Key == Qt::Key_Right) {
        if (CurrentScreen < ScreenCount() - 1)
            SetCurrentScreen(CurrentScreen + 1);
        ScrollScreenIntoView(CurrentScreen);
        return true;
    }
    return false;
}

bool TSFormSeiten::event(QEvent* Event)
{
    if (Event->type() == QEvent::Type(QEvent::User + WM_SHOWSCREEN)) {
        const int screen = static_cast<TShowScreenEvent*>(Event)->Screen;
        SetCurrentScreen(screen);
        ScrollScreenIntoView(CurrentScreen);
        return true;
    }
    return TSubForm::event(Event);
}

bool TSFormSeiten::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == sb && Event->type() == QEvent::KeyPress) {
        if (sbKeyDown(static_cast<QKeyEvent*>(Event)->key()))
            return true;
    } else if (Watched == sb->viewport() && Event->type() == QEvent::Resize) {
        sbResize();
    }
    return TSubForm::eventFilter(Watched, Event);
}

// ---- geometry ---------------------------------------------------------------------------------

QRect TSFormSeiten::CellRect(int Index, TCellPart Part) const
{
    // Edges as left, top, right, bottom.
    int l = Index * CellWidth, t = 0, r = (Index + 1) * CellWidth, b = pb->height();
    if (Part == cpPicture) {
        l += 10, t += 10, r -= 10, b -= 10 + 20;
    } else if (Part == cpCaption) {
        l += 10, r -= 10, b -= 10;
        t = b - 18;
    }
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

void TSFormSeiten::BuildTransformation(TTransformation& T, int Screen, int CellLeft) const
{
    const QRect pic = CellRect(Screen, cpPicture).translated(CellLeft - Screen * CellWidth, 0);
    const int w = pic.width();
    const int h = pic.height() < 0 ? 10 : pic.height();
    const float s = float(std::min(w, h) - 3);
    float sw = 0, sh = 0;
    FDocument->GetScreenSize(sw, sh);
    T.SetIdentity();
    T.Translate(pic.x() + pic.width() / 2.0f, pic.y() + pic.height() / 2.0f);
    if (FDocument->GetScreenOrientation(Screen) != 0)
        T.Rotate(FDocument->ScreenQuerformatWinkel);
    const float larger = std::max(sw, sh);
    T.ScaleUniform(larger > 0 ? s / larger : 1.0f);
    T.Translate(-sw / 2, -sh / 2);
}

int TSFormSeiten::InsertPosition(int X) const
{
    const int count = ScreenCount();
    const int tolerance = CellWidth / 10 + 10;
    for (int i = 0; i <= count; ++i) {
        const bool hit = i == 0       ? X < tolerance
                         : i == count ? X > count * CellWidth - tolerance
                                      : std::abs(X - i * CellWidth) < tolerance;
        if (hit)
            return i;
    }
    return -3;
}

bool TSFormSeiten::CanDragScreen(int Screen) const
{
    if (!FDocument || Screen < 0 || Screen >= ScreenCount())
        return false;
    if (FDocument->PrintSetting == 7 || FDocument->PrintSetting == 8)
        return false;
    if (FDocument->ScreenMode == 1 && (Screen == 0 || Screen == ScreenCount() - 1))
        return false;
    return true;
}

bool TSFormSeiten::MoveAllowed(int Screen, int Boundary) const
{
    if (!CanDragScreen(Screen) || Boundary < 0 || Boundary > ScreenCount())
        return false;
    if (Boundary == Screen || Boundary == Screen + 1)
        return false;
    if (FDocument->ScreenMode == 1 && (Boundary == 0 || Boundary == ScreenCount()))
        return false;
    return true;
}

TFBPictureElement* TSFormSeiten::FrameAt(int X, int Y) const
{
    if (!FDocument || X < 0)
        return nullptr;
    const int screen = X / CellWidth;
    if (screen >= ScreenCount())
        return nullptr;
    TFBPage* pages[2] = {FDocument->GetLeftPage(screen), nullptr};
    if (FDocument->ScreenMode != 0)
        pages[1] = FDocument->GetRightPage(screen);
    if (pages[1] == pages[0])
        pages[1] = nullptr;
    for (TFBPage* page : pages) {
        if (!page)
            continue;
        TTransformation t;
        BuildTransformation(t, screen, screen * CellWidth);
        FDocument->TranslateToPage(t, page);
        float px, py;
        t.InverseTransform(float(X), float(Y), px, py);
        for (int i = 0; i < page->Pictures.Count(); ++i) {
            auto* frame = static_cast<TFBPictureElement*>(page->Pictures.GetItem(i));
            TTransformation e;
            e.Translate(frame->CenterX, frame->CenterY);
            e.Rotate(frame->Angle);
            float ex, ey;
            e.InverseTransform(px, py, ex, ey);
            if (std::abs(ex) < frame->Width / 2 && std::abs(ey) < frame->Height / 2)
                return frame;
        }
    }
    return nullptr;
}

TFBPage* TSFormSeiten::PageAt(int X, int Y) const
{
    if (!FDocument || X < 0)
        return nullptr;
    const int screen = X / CellWidth;
    if (screen >= ScreenCount())
        return nullptr;
    TTransformation t;
    BuildTransformation(t, screen, screen * CellWidth);
    float x, y;
    t.InverseTransform(float(X), float(Y), x, y);
    const float pw = FDocument->PageWidth, ph = FDocument->PageHeight;
    auto inside = [pw, ph](float px, float py) { return px >= 0 && px < pw && py >= 0 && py < ph; };
    switch (FDocument->ScreenMode) {
    case 0:
        return FDocument->GetLeftPage(screen);
    case 1:
        x -= FDocument->Umschlagbreite;
        y -= FDocument->Umschlagbreite;
        if (inside(x, y) && FDocument->GetLeftPage(screen))
            return FDocument->GetLeftPage(screen);
        if (inside(x - pw - FDocument->Stegbreite, y))
            return FDocument->GetRightPage(screen);
        return nullptr;
    case 2:
        if (inside(x, y) && FDocument->GetLeftPage(screen))
            return FDocument->GetLeftPage(screen);
        if (inside(x - pw, y))
            return FDocument->GetRightPage(screen);
        return nullptr;
    default:
        return nullptr;
    }
}

QPoint TSFormSeiten::PaintBoxPoint(QPoint TargetPoint) const
{
    return pb->mapFrom(sb->viewport(), TargetPoint);
}

// ---- painting -----------------------------------------------------------------------------------

void TSFormSeiten::DrawCell(int Screen)
{
    const int cw = CellWidth, ch = std::max(1, pb->height());
    TBitmap& bmp = *FCellBitmap;
    if (bmp.Width() != cw || bmp.Height() != ch)
        bmp.SetSize(cw, ch);
    const QRect pic = CellRect(Screen, cpPicture).translated(-Screen * cw, 0);
    const QRect caption = CellRect(Screen, cpCaption).translated(-Screen * cw, 0);
    {
        QPainter p(&bmp.Image());
        p.fillRect(0, 0, cw, ch, Qt::white);
        if (FDocument->ScreenMode == 1 && LastUsedPage >= 0) {
            const TFBPage* used = FDocument->Pages.GetPage(LastUsedPage);
            const int l = used->GetScreenIndex() + (used->IsLeftPage() ? 0 : 1);
            const QColor grey = toQColor(clUsedArea);
            const QPen red(toQColor(clUsedLine));
            if (Screen < l) {
                p.fillRect(0, 0, cw, ch, grey);
            } else if (Screen == l) {
                // The used sheet ends at the spine: grey on the side of the
                // left page, which a turned screen shows above or below it.
                const int m = pic.y() + pic.height() / 2;
                const int n = pic.x() + pic.width() / 2;
                p.setPen(red);
                if (FDocument->GetScreenOrientation(Screen) != 0) {
                    TTransformation t;
                    BuildTransformation(t, Screen, 0);
                    float sw, sh, x, y;
                    FDocument->GetScreenSize(sw, sh);
                    t.Transform(sw / 4, sh / 2, x, y);
                    if (y < float(m))
                        p.fillRect(0, 0, cw, m, grey);
                    else
                        p.fillRect(0, m, cw, ch - m, grey);
                    p.drawLine(0, m, cw - 1, m);
                    p.drawLine(0, m, 0, ch - 1);
                    p.drawLine(cw - 1, m, cw - 1, 0);
                } else {
                    p.fillRect(0, 0, n, ch, grey);
                    p.drawLine(n, 0, n, ch - 1);
                }
            }
        }
        if (Screen == CurrentScreen) {
            QPen frame(toQColor(clBtnShadow));
            frame.setWidth(4);
            frame.setJoinStyle(Qt::MiterJoin);
            p.setPen(frame);
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(4, 4, cw - 8, ch - 8));
        }
    }
    {
        TBitmapDrawContext dc(bmp);
        BuildTransformation(*dc.Transformation, Screen, 0);
        DocumentDrawer().DrawSpread(*FDocument, dc, Screen, 1);
    }
    QPainter p(&bmp.Image());
    p.fillRect(caption, toQColor(clWindow));
    p.setPen(toQColor(clBtnShadow));
    p.drawRect(caption.adjusted(0, 0, -1, -1));
    p.setPen(toQColor(clWindowText));
    p.setFont(font());
    p.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine, fromAnsi(FDocument->GetScreenCaption(Screen)));
}

void TSFormSeiten::PreparePreviews(int Left, int Right)
{
    std::vector<int32_t> refs;
    for (int i = std::max(0, Left / std::max(1, CellWidth)); i < ScreenCount(); ++i) {
        if (CellRect(i, cpCell).x() > Right)
            break;
        for (TFBPage* page : {FDocument->GetLeftPage(i), FDocument->GetRightPage(i)}) {
            if (!page)
                continue;
            for (int k = 0; k < page->Pictures.Count(); ++k)
                if (auto* e = dynamic_cast<TFBPictureElement*>(page->Pictures.GetItem(k)); e && e->HasPicture())
                    refs.push_back(e->RefIndex);
        }
    }
    BildManager().PreparePreviews(refs);
}

void TSFormSeiten::pbPaint(const QRect& Update)
{
    QPainter p(pb);
    p.fillRect(Update, palette().color(QPalette::Base));
    if (!FDocument)
        return;
    LastUsedPage = FDocument->GetLastUsedPageIndex();
    const int left = sb->horizontalScrollBar()->value();
    const int right = left + sb->viewport()->width();
    PreparePreviews(left, right);
    for (int i = 0; i < ScreenCount(); ++i) {
        const QRect cell = CellRect(i, cpCell);
        if (cell.x() > right)
            break;
        if (cell.x() + cell.width() <= left)
            continue;
        DrawCell(i);
        p.drawImage(cell.topLeft(), FCellBitmap->Image());
    }
    if (InsertMarker >= 0) {
        p.fillRect(InsertMarker * CellWidth - 1, 10, 2, std::max(0, pb->height() - 10), toQColor(clMarker));
    }
}

void TSFormSeiten::SetMarker(int Boundary)
{
    if (Boundary == InsertMarker)
        return;
    InsertMarker = Boundary;
    pb->update();
}

// ---- mouse ----------------------------------------------------------------------------------------

void TSFormSeiten::pbMouseDown(Qt::MouseButton Button, int X, int Y)
{
    sb->setFocus();
    ClickedScreen = X >= 0 ? X / CellWidth : -1;
    if (Button == Qt::RightButton) {
        UpdateMenu();
        pmSeiten->popup(pb->mapToGlobal(QPoint(X, Y)));
        return;
    }
    if (!FDocument)
        return;
    const bool onCaption = CellRect(ClickedScreen, cpCaption).contains(X, Y) && CanDragScreen(ClickedScreen);
    TFBPictureElement* frame = onCaption ? nullptr : FrameAt(X, Y);
    if (frame && !frame->HasPicture())
        frame = nullptr;
    if (!onCaption && !frame)
        return;
    if (DetectDrag && DetectDrag(pb, QPoint(X, Y))) {
        if (onCaption) {
            FFormatView->SetData(IntToStr(ClickedScreen));
            DropSrcView->Execute();
        } else {
            FFormatPic->SetData(PictureDragData(frame));
            if (MakeDragImage(frame)) {
                dropsrcPics->SetImageIndex(int(ImgList.size()) - 1);
                dropsrcPics->SetShowImage(true);
            }
            dropsrcPics->Execute();
            dropsrcPics->SetShowImage(false);
            ImgList.clear();
        }
        return;
    }
    // The press ended without a drag: it was a click.
    pbMouseMove(X, Y);
    pbMouseUp(X, Y);
    if (QWidget::mouseGrabber() == pb)
        pb->releaseMouse();
}

void TSFormSeiten::pbMouseMove(int X, int Y)
{
    int cursor = 0;
    const int screen = X >= 0 ? X / CellWidth : -1;
    if (FDocument && CellRect(screen, cpCaption).contains(X, Y) && CanDragScreen(screen)) {
        cursor = crOverviewScreen;
    } else if (TFBPictureElement* frame = FrameAt(X, Y); frame && frame->HasPicture()) {
        cursor = crOverviewPicture;
    }
    if (cursor == 0)
        pb->unsetCursor();
    else
        pb->setCursor(ScreenCursor(cursor));
}

void TSFormSeiten::pbMouseUp(int X, int)
{
    const int screen = X >= 0 ? X / CellWidth : -1;
    if (screen == ClickedScreen && screen >= 0 && screen < ScreenCount()) {
        SetCurrentScreen(screen);
        ScrollScreenIntoView(screen);
    }
}

bool TSFormSeiten::MakeDragImage(TFBPictureElement* Frame)
{
    const int screen = Frame->Page->GetScreenIndex();
    TTransformation t;
    BuildTransformation(t, screen, 0);
    FDocument->TranslateToPage(t, Frame->Page);
    const TRectF box = Frame->GetBoundingRect();
    const TRect r = t.TransformBounds(box.Left, box.Top, box.Right, box.Bottom);
    const int w = std::min(64, r.Right - r.Left), h = std::min(64, r.Bottom - r.Top);
    if (w <= 0 || h <= 0)
        return false;
    TBitmap bmp;
    bmp.SetPixelFormat(pf32bit);
    bmp.SetSize(64, 64);
    bmp.Image().fill(toQColor(clDragKey));
    {
        TBitmapDrawContext dc(bmp);
        dc.Transformation->Translate(float(-r.Left), float(-r.Top));
        dc.Transformation->Multiply(t);
        DocumentDrawer().DrawPictureElement(*Frame, dc, 1, true);
    }
    QImage image = bmp.Image().copy(0, 0, w, h).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = toQColor(clDragKey).rgb();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                line[x] = 0;
    }
    ImgList.append(QPixmap::fromImage(image));
    dropsrcPics->ImageHotSpotX = w / 2;
    dropsrcPics->ImageHotSpotY = h / 2;
    return true;
}

// ---- drag and drop ------------------------------------------------------------------------------

void TSFormSeiten::droptargetDragOver(QPoint Point, int32_t& Effect)
{
    const QPoint p = PaintBoxPoint(Point);
    const int32_t offered = Effect;
    Effect = Ole::DROPEFFECT_NONE;
    if (!FDocument)
        return;
    if (FTargetView->HasData()) {
        int32_t screen = -1;
        const int boundary = InsertPosition(p.x());
        if (TryStrToInt(FTargetView->Data(), screen) && MoveAllowed(screen, boundary)) {
            Effect = offered;
            SetMarker(boundary);
        } else {
            SetMarker(-3);
        }
        return;
    }
    if (FTargetPic->HasData()) {
        TFBPictureElement* source = PictureOfDragData(FDocument, FTargetPic->Data());
        TFBPictureElement* target = FrameAt(p.x(), p.y());
        if (source && target && target != source)
            Effect = offered;
    } else if (FTargetFileList->HasData() || FTargetColor->HasData()) {
        if (FrameAt(p.x(), p.y()))
            Effect = offered;
    } else if (FTargetPageTemplate->HasData()) {
        if (PageAt(p.x(), p.y()))
            Effect = offered;
    }
}

void TSFormSeiten::droptargetDrop(QPoint Point, int32_t& Effect)
{
    if (!FDocument)
        return;
    const QPoint p = PaintBoxPoint(Point);
    TMulticaster& mc = GetMulticaster();
    TUndoManager& undo = GetUndoManager();
    if (FTargetPic->HasData()) {
        TFBPictureElement* source = PictureOfDragData(FDocument, FTargetPic->Data());
        TFBPictureElement* target = FrameAt(p.x(), p.y());
        if (source && target && target != source) {
            if (Effect & Ole::DROPEFFECT_MOVE) {
                undo.AddBildAustauschen(target, source);
                target->SwapPicture(*source);
                InvalidateScreen(source->Page->GetScreenIndex());
                mc.ElementChanged(this, source);
            } else {
                undo.AddBildEinfuegen(target);
                target->AssignPicture(*source);
            }
            MarkModified();
            InvalidateScreen(target->Page->GetScreenIndex());
            mc.ElementChanged(this, target);
        } else {
            Effect = Ole::DROPEFFECT_NONE;
        }
    }
    if (FTargetView->HasData()) {
        SetMarker(-3);
        int32_t screen = -1;
        const int boundary = InsertPosition(p.x());
        if (TryStrToInt(FTargetView->Data(), screen) && MoveAllowed(screen, boundary)) {
            const int dest = boundary > screen ? boundary - 1 : boundary;
            // Every screen from the moved one to its target changes its place:
            // the page view must not keep an element that leaves the screen it shows.
            for (int i = std::min(screen, dest); i <= std::max(screen, dest); ++i)
                ReleaseFocusOnScreen(i);
            undo.AddSeiteVerschieben(screen, dest);
            FDocument->MoveScreen(screen, dest);
            MarkModified();
            SetCurrentScreen(dest);
            pb->update();
            mc.PageContentChanged(this, FDocument->GetLeftPage(CurrentScreen));
        } else {
            Effect = Ole::DROPEFFECT_NONE;
        }
    }
    if (FTargetFileList->HasData()) {
        if (TFBPictureElement* frame = FrameAt(p.x(), p.y())) {
            LoadFilesIntoFrames(FileNamesOf(FTargetFileList->Data()), frame);
        }
    }
    if (FTargetColor->HasData()) {
        if (TFBPictureElement* frame = FrameAt(p.x(), p.y())) {
            TFBColor color;
            color.LoadFromStream(*StreamOf(FTargetColor->Data()));
            TColor value = 0;
            if (color.GetColor(value)) {
                undo.AddFarbeEinfuegen(frame);
                frame->FillWithColor(value);
                MarkModified();
                InvalidateScreen(frame->Page->GetScreenIndex());
                mc.ElementChanged(this, frame);
            }
        }
    }
    if (FTargetPageTemplate->HasData()) {
        if (TFBPage* page = PageAt(p.x(), p.y())) {
            TFBPageTemplate layout;
            layout.LoadFromStream(*StreamOf(FTargetPageTemplate->Data()));
            if (OnReleaseFocusOnPage)
                OnReleaseFocusOnPage(page);
            undo.AddLayoutEinfuegen(FDocument, page->GetScreenIndex());
            layout.ApplyToPage(page);
            MarkModified();
            pb->update();
            mc.PageContentChanged(this, page);
        }
    }
}

void TSFormSeiten::LoadFilesIntoFrames(const QStringList& Files, TFBPictureElement* First)
{
    TWaitCursor wait;
    TFBPictureElement* frame = First;
    const int count = int(Files.size());
    struct THide {
        bool shown = false;
        ~THide()
        {
            if (shown)
                HideProgress();
        }
    } hide;
    for (int i = 0; i < count && frame; ++i) {
        if (count > 1 && ShowProgressText) {
            ShowProgressText(FillNumbers(FormText(sBildLaden), {i + 1, count}));
            hide.shown = true;
        }
        LoadFileIntoFrame(*FDocument, *frame, Files[i]);
        MarkModified();
        InvalidateScreen(frame->Page->GetScreenIndex());
        GetMulticaster().ElementChanged(this, frame);
        frame = frame->GetNextPictureElement();
    }
}

// ---- context menu ---------------------------------------------------------------------------------

void TSFormSeiten::UpdateMenu()
{
    const bool spreads = FDocument && (FDocument->ScreenMode == 1 || FDocument->ScreenMode == 2);
    mnuSeiteloeschen->setText(FormText(spreads ? sDoppelseiteLoeschen : sSeiteLoeschen));
    mnuSeiteVorAktuellerEinfuegen->setText(FormText(spreads ? sDoppelseiteDavor : sSeiteDavor));
    mnuSeiteNachAktuellerEinfuegen->setText(FormText(spreads ? sDoppelseiteDahinter : sSeiteDahinter));
    const bool valid = FDocument && ClickedScreen >= 0 && ClickedScreen < ScreenCount();
    mnuSeiteloeschen->setEnabled(valid && FDocument->CanDeleteScreen(ClickedScreen));
    const bool canInsert = valid && FDocument->CanInsertScreen(ClickedScreen);
    mnuSeiteVorAktuellerEinfuegen->setEnabled(canInsert);
    mnuSeiteNachAktuellerEinfuegen->setEnabled(canInsert);
}

void TSFormSeiten::mnuSeiteVorAktuellerEinfuegenClick()
{
    if (!FDocument || ClickedScreen < 0 || !FDocument->CanInsertScreen(ClickedScreen))
        return;
    GetUndoManager().AddSeiteEinfuegen(ClickedScreen);
    FDocument->InsertScreen(ClickedScreen, ClickedScreen);
    MarkModified();
    Refresh();
    MakeCurrent(ClickedScreen);
}

void TSFormSeiten::mnuSeiteNachAktuellerEinfuegenClick()
{
    if (!FDocument || ClickedScreen < 0 || !FDocument->CanInsertScreen(ClickedScreen))
        return;
    GetUndoManager().AddSeiteEinfuegen(ClickedScreen + 1);
    FDocument->InsertScreen(ClickedScreen + 1, ClickedScreen);
    MarkModified();
    Refresh();
    MakeCurrent(ClickedScreen + 1);
}

void TSFormSeiten::ReleaseFocusOnScreen(int Screen)
{
    if (!OnReleaseFocusOnPage)
        return;
    TFBPage* left = FDocument->GetLeftPage(Screen);
    TFBPage* right = FDocument->GetRightPage(Screen);
    if (left)
        OnReleaseFocusOnPage(left);
    if (right && right != left)
        OnReleaseFocusOnPage(right);
}

void TSFormSeiten::mnuSeiteloeschenClick()
{
    if (!FDocument)
        return;
    const bool spreads = FDocument->ScreenMode == 1 || FDocument->ScreenMode == 2;
    QMessageBox box(QMessageBox::Question, windowTitle(), FormText(spreads ? sFrageDoppelseite : sFrageSeite),
                    QMessageBox::Yes | QMessageBox::No, this);
    if (ShowModalDialog(box) == QMessageBox::No)
        return;
    if (ClickedScreen < 0 || ClickedScreen >= ScreenCount() || !FDocument->CanDeleteScreen(ClickedScreen))
        return;
    // The page view must not keep an element of the pages that go.
    ReleaseFocusOnScreen(ClickedScreen);
    GetUndoManager().AddSeiteLoeschen(FDocument, ClickedScreen);
    FDocument->DeleteScreen(ClickedScreen);
    MarkModified();
    Refresh();
    MakeCurrent(std::min(ClickedScreen, ScreenCount() - 1));
}
