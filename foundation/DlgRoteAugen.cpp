#include "DlgRoteAugen.h"
#include "Application.h"

#include "Canvas.h"
#include "SysUtils.h"
#include "uDebug.h"
#include "uPictureFilter.h"

#include <QButtonGroup>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <cmath>

namespace {

const float cZoomStep = 1.5f;
const float cMaxZoom = 20.0f;
const float cMinZoom = 0.25f;
const int cMaxPaintBoxSize = 30000;

// Glyphs drawn here: a four-way arrow for dragging, a red eye for the brush,
// and filled circles for the brush sizes.
QIcon DragGlyph()
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(10, 2, 10, 18);
    p.drawLine(2, 10, 18, 10);
    const QPoint heads[4][3] = {{{10, 1}, {7, 5}, {13, 5}}, {{10, 19}, {7, 15}, {13, 15}},
                                {{1, 10}, {5, 7}, {5, 13}}, {{19, 10}, {15, 7}, {15, 13}}};
    p.setBrush(Qt::black);
    for (const auto& h : heads)
        p.drawPolygon(h, 3);
    return QIcon(pm);
}

QIcon RedEyeGlyph()
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(1.5, 5.5, 17, 9));
    p.setBrush(QColor(200, 0, 0));
    p.drawEllipse(QRectF(6.5, 6.5, 7, 7));
    return QIcon(pm);
}

QIcon BrushGlyph(int Size)
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const double d = Size + 2;
    p.drawEllipse(QRectF(10 - d / 2, 10 - d / 2, d, d));
    return QIcon(pm);
}

QToolButton* SpeedButton(QWidget* Parent, const char* Name, const QIcon& Glyph, QRect Bounds)
{
    auto* b = new QToolButton(Parent);
    b->setObjectName(Name);
    b->setIcon(Glyph);
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setGeometry(Bounds);
    return b;
}

}  // namespace

// ---- TRoteAugenPaintBox --------------------------------------------------------------------

TRoteAugenPaintBox::TRoteAugenPaintBox(TDlgRoteAugen* Dialog, QWidget* Parent)
    : QWidget(Parent), FDialog(Dialog)
{
    setObjectName("pb");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TRoteAugenPaintBox::paintEvent(QPaintEvent* e)
{
    FDialog->PaintPicture(e);
}

void TRoteAugenPaintBox::mousePressEvent(QMouseEvent* e)
{
    FDialog->MouseDown(e);
}

void TRoteAugenPaintBox::mouseMoveEvent(QMouseEvent* e)
{
    FDialog->MouseMove(e);
}

void TRoteAugenPaintBox::mouseReleaseEvent(QMouseEvent* e)
{
    FDialog->MouseUp(e);
}

void TRoteAugenPaintBox::wheelEvent(QWheelEvent* e)
{
    if (!(e->modifiers() & Qt::ControlModifier)) {
        e->ignore();  // the scroll box scrolls
        return;
    }
    const QPoint p = e->position().toPoint();
    FDialog->ZoomAt(p.x(), p.y(), e->angleDelta().y() < 0);
    e->accept();
}

// ---- TDlgRoteAugen -------------------------------------------------------------------------

TDlgRoteAugen::TDlgRoteAugen(TCreateKey Key, QWidget* Parent) : TLocalizerForm(Key, Parent)
{
    setObjectName("DlgRoteAugen");
    setWindowTitle("Bildnachbearbeitung");
    resize(640, 520);

    FBtnDrag = SpeedButton(this, "BtnDrag", DragGlyph(), QRect(8, 8, 28, 28));
    FBtnRedEye = SpeedButton(this, "BtnRedEye", RedEyeGlyph(), QRect(38, 8, 28, 28));
    auto* modes = new QButtonGroup(this);
    modes->addButton(FBtnDrag, 0);
    modes->addButton(FBtnRedEye, 1);
    FBtnDrag->setChecked(true);
    connect(modes, &QButtonGroup::idClicked, this, Guarded([this](int id) { SetMode(id); }));

    const char* names[3] = {"BtnPinsel1", "BtnPinsel3", "BtnPinsel5"};
    const int sizes[3] = {3, 5, 9};
    auto* brushes = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        FBtnPinsel[i] = SpeedButton(this, names[i], BrushGlyph(sizes[i]), QRect(84 + 30 * i, 8, 28, 28));
        brushes->addButton(FBtnPinsel[i], sizes[i]);  // the id is the tag: the brush size
    }
    FBtnPinsel[1]->setChecked(true);
    connect(brushes, &QButtonGroup::idClicked, this, Guarded([this](int size) { SetBrushSize(size); }));

    FScrollBox = new QScrollArea(this);
    FScrollBox->setObjectName("sb");
    FScrollBox->setGeometry(8, 42, 624, 420);
    FScrollBox->setWidgetResizable(false);
    FScrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FPaintBox = new TRoteAugenPaintBox(this, nullptr);
    FPaintBox->resize(1, 1);
    FScrollBox->setWidget(FPaintBox);

    FBtnOK = new QPushButton("OK", this);
    FBtnOK->setObjectName("BtnOK");
    FBtnOK->setGeometry(432, 472, 95, 25);
    FBtnOK->setDefault(true);
    connect(FBtnOK, &QPushButton::clicked, this, Guarded([this] { BtnOKClick(); }));
    FBtnAbbrechen = new QPushButton("Abbrechen", this);
    FBtnAbbrechen->setObjectName("BtnAbbrechen");
    FBtnAbbrechen->setGeometry(537, 472, 95, 25);
    connect(FBtnAbbrechen, &QPushButton::clicked, this, Guarded([this] { reject(); }));

    FProgressBar = new QProgressBar(this);
    FProgressBar->setObjectName("ProgressBar1");
    FProgressBar->setGeometry(0, 504, 640, 16);
    FProgressBar->setTextVisible(false);

    FTimer1 = new QTimer(this);
    FTimer1->setObjectName("Timer1");
    FTimer1->setInterval(250);
    connect(FTimer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    FTimer1->start();

    SetBrushSize(5);
}

void TDlgRoteAugen::SetPicture(const QImage& Bitmap, int)
{
    FPicture = CreateCloneCopy(&Bitmap, 0);
    // Corrections work on 32-bit pixels.
    if (FPicture->format() != QImage::Format_ARGB32)
        FPicture->convertTo(QImage::Format_ARGB32);
    SizePaintBox();
}

void TDlgRoteAugen::SizePaintBox()
{
    if (!FPicture)
        return;
    FPaintBox->resize(std::max(1, int(Trunc(FPicture->width() * FZoom))),
                      std::max(1, int(Trunc(FPicture->height() * FZoom))));
    FPaintBox->update();
}

void TDlgRoteAugen::SetMode(int Mode)
{
    FMode = uint8_t(Mode);
    FPaintBox->setCursor(FMode == 1 ? Qt::BlankCursor : Qt::ArrowCursor);
    if (FMode == 0)
        MoveOutline(QPoint(-1000, -1000));
}

void TDlgRoteAugen::SetBrushSize(int Size)
{
    FBrushSize = Size;
    FPinsel.SetSize(Size, Size);
    FPinsel.MakeRound();
    FPaintBox->update();
}

QRect TDlgRoteAugen::OutlineRect() const
{
    if (FOutline.x() <= -1000)
        return QRect();
    const int bx = int(Trunc(FOutline.x() / FZoom)) - FBrushSize / 2;
    const int by = int(Trunc(FOutline.y() / FZoom)) - FBrushSize / 2;
    const int l = int(Trunc(bx * FZoom)), t = int(Trunc(by * FZoom));
    const int r = int(Trunc((bx + FBrushSize) * FZoom)) + 1;
    const int b = int(Trunc((by + FBrushSize) * FZoom)) + 1;
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

void TDlgRoteAugen::MoveOutline(QPoint P)
{
    const QRect old = OutlineRect();
    FOutline = P;
    const QRect now = OutlineRect();
    if (old != now) {
        if (old.isValid())
            FPaintBox->update(old.adjusted(-1, -1, 1, 1));
        if (now.isValid())
            FPaintBox->update(now.adjusted(-1, -1, 1, 1));
    }
}

void TDlgRoteAugen::CorrectAt(int X, int Y)
{
    if (!FPicture)
        return;
    const int px = int(Trunc((X + 0.5) / FZoom)) - FBrushSize / 2;
    const int py = int(Trunc((Y + 0.5) / FZoom)) - FBrushSize / 2;
    BitmapData data;
    if (!LockBits(*FPicture, data))
        return;
    for (int j = 0; j < FBrushSize; ++j)
        for (int i = 0; i < FBrushSize; ++i) {
            const int x = px + i, y = py + j;
            if (!FPinsel.Mask(i, j) || x < 0 || y < 0 || x >= data.Width || y >= data.Height)
                continue;
            uint8_t* p = data.Scan0 + intptr_t(y) * data.Stride + 4 * x;
            FHSL.SetColor(RGB(p[2], p[1], p[0]));
            if (FHSL.GetHue() < 0.09 || FHSL.GetHue() > 0.9)
                p[2] = uint8_t((p[1] + p[0]) / 2);
        }
    FPaintBox->update();
}

void TDlgRoteAugen::ZoomAt(int X, int Y, bool In)
{
    if (!FPicture)
        return;
    const double picX = X / FZoom, picY = Y / FZoom;
    FZoom = In ? FZoom * cZoomStep : FZoom / cZoomStep;
    FZoom = std::min(FZoom, cMaxZoom);
    FZoom = std::min(FZoom, float(cMaxPaintBoxSize) / FPicture->width());
    FZoom = std::min(FZoom, float(cMaxPaintBoxSize) / FPicture->height());
    FZoom = std::max(FZoom, cMinZoom);
    SizePaintBox();
    const QSize view = FScrollBox->viewport()->size();
    FScrollBox->horizontalScrollBar()->setValue(int(Round(picX * FZoom - view.width() / 2.0)));
    FScrollBox->verticalScrollBar()->setValue(int(Round(picY * FZoom - view.height() / 2.0)));
}

void TDlgRoteAugen::MouseDown(QMouseEvent* e)
{
    FDownPos = e->globalPosition().toPoint();
    FLastPos = FDownPos;
    FDownScroll = QPoint(FScrollBox->horizontalScrollBar()->value(),
                         FScrollBox->verticalScrollBar()->value());
    if (FMode == 1 && e->button() == Qt::LeftButton) {
        const QPoint p = e->position().toPoint();
        CorrectAt(p.x(), p.y());
    }
}

void TDlgRoteAugen::MouseMove(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (FMode == 0) {
        if (e->buttons() & Qt::LeftButton) {
            const QPoint moved = e->globalPosition().toPoint() - FDownPos;
            FScrollBox->horizontalScrollBar()->setValue(FDownScroll.x() - moved.x());
            FScrollBox->verticalScrollBar()->setValue(FDownScroll.y() - moved.y());
        }
    } else {
        MoveOutline(p);
        if (e->buttons() & Qt::LeftButton)
            CorrectAt(p.x(), p.y());
    }
    FLastPos = e->globalPosition().toPoint();
}

void TDlgRoteAugen::MouseUp(QMouseEvent* e)
{
    if (FMode != 0)
        return;
    const QPoint moved = e->globalPosition().toPoint() - FDownPos;
    if (std::abs(moved.x()) < 3 && std::abs(moved.y()) < 3) {
        const QPoint p = e->position().toPoint();
        if (e->button() == Qt::LeftButton)
            ZoomAt(p.x(), p.y(), true);
        else if (e->button() == Qt::RightButton)
            ZoomAt(p.x(), p.y(), false);
    }
}

void TDlgRoteAugen::Timer1Timer()
{
    const QPoint p = FScrollBox->viewport()->mapFromGlobal(QCursor::pos());
    if (!FScrollBox->viewport()->rect().contains(p))
        MoveOutline(QPoint(-1000, -1000));
}

void TDlgRoteAugen::PaintPicture(QPaintEvent* e)
{
    QPainter p(FPaintBox);
    const QRect area = e->rect();
    p.fillRect(area, palette().color(QPalette::Window));
    if (FPicture && !FPicture->isNull()) {
        // Only the visible part, one picture pixel extra, nearest neighbour.
        const int sx0 = std::max(0, int(std::floor(area.left() / FZoom)));
        const int sy0 = std::max(0, int(std::floor(area.top() / FZoom)));
        const int sx1 = std::min(FPicture->width(), int(std::ceil((area.right() + 1) / FZoom)) + 1);
        const int sy1 = std::min(FPicture->height(), int(std::ceil((area.bottom() + 1) / FZoom)) + 1);
        if (sx1 > sx0 && sy1 > sy0) {
            const QRectF target(sx0 * FZoom, sy0 * FZoom, (sx1 - sx0) * FZoom, (sy1 - sy0) * FZoom);
            p.setRenderHint(QPainter::SmoothPixmapTransform, false);
            p.drawImage(target, *FPicture, QRectF(sx0, sy0, sx1 - sx0, sy1 - sy0));
        }
    }
    const QRect outline = OutlineRect();
    if (outline.isValid()) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(outline.adjusted(0, 0, -1, -1));
    }
}

void TDlgRoteAugen::BtnOKClick()
{
    Debug().Log("TDlgRoteAugen.BtnOKClick");
    accept();
}
