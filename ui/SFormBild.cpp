#include "SFormBild.h"
#include "Application.h"

#include "FBPictureElement.h"
#include "PaintBox.h"
#include "SysUtils.h"
#include "uFotobuchDocument.h"
#include "uMulticaster.h"
#include "uUndo.h"

#include <QBitmap>
#include <algorithm>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainterPath>
#include <QSlider>
#include <QToolButton>

namespace {

const QRgb kTransparent = 0xFFFF00FF;  // magenta

// The four lights: red lit, yellow lit, green lit, all grey.
QImage DrawAmpelStrip()
{
    QImage strip(64, 32, QImage::Format_RGB32);
    strip.fill(kTransparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor lit[3] = {QColor(230, 30, 30), QColor(250, 200, 20), QColor(40, 200, 50)};
    const QColor off(90, 90, 90);
    for (int cell = 0; cell < 4; ++cell) {
        const int x = cell * 16;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 40));
        p.drawRoundedRect(QRectF(x + 2, 0.5, 12, 31), 3, 3);
        for (int lamp = 0; lamp < 3; ++lamp) {
            p.setBrush(lamp == cell ? lit[lamp] : off);
            p.drawEllipse(QPointF(x + 8, 6 + lamp * 10), 4, 4);
        }
    }
    return strip;
}

// A quarter-turn arrow; the left one is the right one mirrored.
QIcon RotateGlyph(bool Clockwise)
{
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor blue(30, 70, 160);
        p.setPen(QPen(blue, 3, Qt::SolidLine, Qt::RoundCap));
        // From six o'clock over nine and twelve to three.
        p.drawArc(QRectF(6, 6, 20, 20), 270 * 16, -270 * 16);
        QPainterPath head;
        head.moveTo(20.5, 14);
        head.lineTo(31.5, 14);
        head.lineTo(26, 21);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawPath(head);
    }
    return QIcon(QPixmap::fromImage(Clockwise ? img : img.mirrored(true, false)));
}

QIcon FilterGlyph()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QColor colors[3] = {QColor(230, 40, 40, 170), QColor(40, 180, 40, 170), QColor(40, 80, 230, 170)};
    const QPointF centres[3] = {{16, 11}, {11, 20}, {21, 20}};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(colors[i]);
        p.drawEllipse(centres[i], 8, 8);
    }
    return QIcon(pm);
}

QToolButton* SpeedButton(QWidget* Parent, const char* Name, const QString& Caption, const QIcon& Glyph)
{
    auto* b = new QToolButton(Parent);
    b->setObjectName(QString::fromLatin1(Name));
    b->setText(Caption);
    b->setIcon(Glyph);
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

TSFormBild::TSFormBild(TCreateKey Key, QWidget* Parent) : TSubForm(Key, Parent)
{
    setObjectName(QStringLiteral("SFormBild"));

    BtnBildDrehenRechts = SpeedButton(this, "BtnBildDrehenRechts", QStringLiteral("Rechts drehen"),
                                      RotateGlyph(true));
    BtnBildDrehenLinks = SpeedButton(this, "BtnBildDrehenLinks", QStringLiteral("Links drehen"),
                                     RotateGlyph(false));
    BtnBildFilter = SpeedButton(this, "BtnBildFilter", QStringLiteral("Filter"), FilterGlyph());

    ZoomTrackbar = new QSlider(Qt::Horizontal, this);
    ZoomTrackbar->setObjectName(QStringLiteral("ZoomTrackbar"));
    Label1 = new QLabel(QStringLiteral("Zoom"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/ZOOM")));

    imgAmpel = DrawAmpelStrip();
    pbAmpel = new TPaintBox(this);
    pbAmpel->setObjectName(QStringLiteral("pbAmpel"));
    pbAmpel->OnPaint = [this](QPainter& Canvas) { pbAmpelPaint(Canvas); };
    lbldpi = new QLabel(this);
    lbldpi->setObjectName(QStringLiteral("lbldpi"));
    lbldpi->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    pmBildFilter = new QMenu(this);
    pmBildFilter->setObjectName(QStringLiteral("pmBildFilter"));
    auto item = [this](const char* Name, const QString& Caption, void (TSFormBild::*Handler)()) {
        QAction* a = pmBildFilter->addAction(Caption);
        a->setObjectName(QString::fromLatin1(Name));
        connect(a, &QAction::triggered, this, Guarded([this, Handler] { (this->*Handler)(); }));
        return a;
    };
    mnuHKIG = item("mnuHKIG", QString::fromUtf8("Helligkeit, Kontrast, Intensität, Gamma..."),
                   &TSFormBild::mnuHKIGClick);
    mnuHSL = item("mnuHSL", QString::fromUtf8("Farbton, Sättigung, Helligkeit..."), &TSFormBild::mnuHSLClick);
    mnuSWCol = item("mnuSWCol", QString::fromUtf8("Schwarz-Weiß, Kolorieren..."), &TSFormBild::mnuSWColClick);
    mnuRedEye = item("mnuRedEye", QStringLiteral("Rote Augen entfernen..."), &TSFormBild::mnuRedEyeClick);

    connect(BtnBildDrehenRechts, &QToolButton::clicked, this, Guarded([this] { BtnBildDrehenRechtsClick(); }));
    connect(BtnBildDrehenLinks, &QToolButton::clicked, this, Guarded([this] { BtnBildDrehenLinksClick(); }));
    connect(BtnBildFilter, &QToolButton::clicked, this, Guarded([this] { BtnBildFilterClick(); }));

    // FormCreate
    ZoomTrackbar->setMaximum(400);
    ZoomTrackbar->setMinimum(100);
    SetTrackbarPosition(100);
    ZoomTrackbar->setPageStep(10);
    ZoomTrackbar->setTickPosition(QSlider::NoTicks);
    ZoomTrackbar->setFocusPolicy(Qt::NoFocus);
    ZoomTrackbar->installEventFilter(this);
    connect(ZoomTrackbar, &QSlider::valueChanged, this, Guarded([this] { ZoomTrackbarChange(); }));
    lbldpi->clear();
    ArrangeControls();
    UpdateControls();
}

void TSFormBild::ArrangeControls()
{
    // The buttons are at least 85 x 60, wider where a caption needs it; the
    // zoom bar and the light follow them in a row.
    int x = 8;
    for (QToolButton* b : {BtnBildDrehenLinks, BtnBildDrehenRechts, BtnBildFilter}) {
        b->setGeometry(x, 8, std::max(85, b->sizeHint().width()), 60);
        x = b->geometry().right() + 5;
    }
    x += 12;
    Image1->setGeometry(x + 4, 14, 16, 16);
    Label1->setGeometry(x + 24, 14, 200, 16);
    ZoomTrackbar->setGeometry(x, 36, 253, 32);
    x = ZoomTrackbar->geometry().right() + 24;
    pbAmpel->setGeometry(x + 27, 12, 16, 32);
    lbldpi->setGeometry(x, 48, 70, 16);
}

void TSFormBild::BeforeLocalize()
{
    RegisterLocalizedString(this, QStringLiteral("%d dpi"));
}

void TSFormBild::AfterLocalize()
{
    ArrangeControls();
    RefreshPanel();
}

int TSFormBild::AmpelIndex(int Dpi)
{
    if (Dpi <= 0)
        return 3;
    if (Dpi < 100)
        return 0;
    if (Dpi < 200)
        return 1;
    return 2;
}

void TSFormBild::SetElement(TFBElement* Element)
{
    FElement = dynamic_cast<TFBPictureElement*>(Element);
    // The controls follow the newly bound frame at once, so a frame without a
    // picture never offers the previous frame's tools or resolution.
    UpdateControls();
}

void TSFormBild::ContentChanged(TFBPage*, TFBElement* Element)
{
    if (!FElement || Element != FElement)
        return;
    UpdateControls();
}

void TSFormBild::UpdateControls()
{
    const bool hasPicture = FElement && FElement->HasPicture();
    for (QWidget* w : {static_cast<QWidget*>(ZoomTrackbar), static_cast<QWidget*>(BtnBildDrehenRechts),
                       static_cast<QWidget*>(BtnBildDrehenLinks), static_cast<QWidget*>(BtnBildFilter)})
        w->setEnabled(hasPicture);
    if (FElement)
        SetTrackbarPosition(int(Round(double(FElement->Zoom) * 100)));
    RefreshPanel();
}

void TSFormBild::SetTrackbarPosition(int Position)
{
    FSettingPosition = true;
    ZoomTrackbar->setValue(Position);
    FSettingPosition = false;
}

void TSFormBild::RefreshPanel()
{
    if (FElement && FElement->HasPicture())
        lbldpi->setText(LocalizedString(this, QStringLiteral("%d dpi"))
                            .replace(QLatin1String("%d"), QString::number(FElement->GetResolutionDpi())));
    else
        lbldpi->clear();
    lbldpi->update();
    pbAmpel->update();
}

void TSFormBild::pbAmpelPaint(QPainter& Canvas)
{
    if (!FElement)
        return;
    const int x = AmpelIndex(FElement->GetResolutionDpi()) * 16;  // 0 without a picture
    const QImage cell = imgAmpel.copy(x, 0, 16, 32);
    QPixmap light = QPixmap::fromImage(cell);
    light.setMask(QBitmap::fromImage(cell.createMaskFromColor(kTransparent, Qt::MaskInColor)));
    Canvas.drawPixmap(0, 0, light);
}

void TSFormBild::Changed()
{
    GetMulticaster().ElementChanged(this, FElement);
    RefreshPanel();
}

void TSFormBild::Rotate(int Direction)
{
    if (!FElement)
        return;
    GetUndoManager().AddBildDrehen(FElement);
    FElement->RotatePicture(Direction);
    Changed();
}

void TSFormBild::BtnBildDrehenLinksClick()
{
    Rotate(2);
}

void TSFormBild::BtnBildDrehenRechtsClick()
{
    Rotate(0);
}

bool TSFormBild::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == ZoomTrackbar) {
        // Before the track bar moves on a press, after it settled on a release.
        if (Event->type() == QEvent::MouseButtonPress)
            ZoomTrackbarMouseDown();
        else if (Event->type() == QEvent::MouseButtonRelease)
            ZoomTrackbarMouseUp();
    }
    return TSubForm::eventFilter(Watched, Event);
}

void TSFormBild::ZoomTrackbarMouseDown()
{
    FZoomItemRecorded = false;
    if (!FElement)
        return;
    FZoomAtMouseDown = ZoomTrackbar->value();
    GetUndoManager().AddBildZoomPan(FElement, false);
    FZoomItemRecorded = true;
}

void TSFormBild::ZoomTrackbarMouseUp()
{
    // Only the item this press recorded is dropped, never an older one.
    if (FZoomItemRecorded && ZoomTrackbar->value() == FZoomAtMouseDown)
        GetUndoManager().DropLast();
    FZoomItemRecorded = false;
}

void TSFormBild::ZoomTrackbarChange()
{
    if (FSettingPosition || !FElement)
        return;
    // A change without a press (the wheel) records its own step; a run of
    // such steps undoes at once.
    if (!FZoomItemRecorded)
        GetUndoManager().AddBildZoomPan(FElement, true);
    FElement->SetZoom(float(ZoomTrackbar->value() / 100.0));
    Changed();
}

void TSFormBild::BtnBildFilterClick()
{
    const QPoint at(BtnBildFilter->x(), BtnBildFilter->y() + BtnBildFilter->height());
    pmBildFilter->popup(mapToGlobal(at));
}

void TSFormBild::RunFilter(bool (TFBPictureElement::*Dialog)())
{
    if (FElement && GetUndoManager().AddBildFilter(FElement, [this, Dialog] { return (FElement->*Dialog)(); }))
        Changed();
}

void TSFormBild::mnuHKIGClick()
{
    RunFilter(&TFBPictureElement::ShowHKIGDlg);
}

void TSFormBild::mnuHSLClick()
{
    RunFilter(&TFBPictureElement::ShowHSLDlg);
}

void TSFormBild::mnuSWColClick()
{
    RunFilter(&TFBPictureElement::ShowSWColDlg);
}

void TSFormBild::mnuRedEyeClick()
{
    RunFilter(&TFBPictureElement::ShowRedEyeDlg);
}
