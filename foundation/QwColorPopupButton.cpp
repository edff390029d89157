#include "QwColorPopupButton.h"
#include "Application.h"

#include "uQwUtils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <QWindow>
#include <qdrawutil.h>

AnsiString cCaptionNoColor = "- ohne -";
AnsiString cCaptionMoreColor = "andere Farbe...";
AnsiString cCaptionGradient = "Farbverlauf...";
AnsiString cCaptionStruktur = "Strukturf\xFCllung...";

const TColor QwDefaultColors[40] = {
    0x000000, 0x003399, 0x003333, 0x003300, 0x663300, 0x800000, 0x993333, 0x333333,
    0x000080, 0x0066FF, 0x008080, 0x008000, 0x808000, 0xFF0000, 0x996666, 0x808080,
    0x0000FF, 0x0099FF, 0x00CC99, 0x669933, 0xCCCC33, 0xFF6633, 0x800080, 0x969696,
    0xFF00FF, 0x00CCFF, 0x00FFFF, 0x00FF00, 0xFFFF00, 0xFFCC00, 0x663399, 0xC0C0C0,
    0xCC99FF, 0x99CCFF, 0x99FFFF, 0xCCFFCC, 0xFFFFCC, 0xFFCC99, 0xFF99CC, 0xFFFFFF,
};

namespace {

const int cPopupWidth = 154;
const int cMargin = 5;
const int cCell = 18;
const int cButtonHeight = 22;
const int cSeparatorHeight = 12;

// Pixel drawing with the platform's rules: right and bottom edges and the end
// point of a line are excluded.
QRgb Rgb(TColor c)
{
    return toQColor(c).rgba();
}

void PutPixel(QImage& img, int x, int y, QRgb c)
{
    if (x >= 0 && y >= 0 && x < img.width() && y < img.height())
        img.setPixel(x, y, c);
}

void FillRect(QImage& img, int l, int t, int r, int b, QRgb c)
{
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x)
            PutPixel(img, x, y, c);
}

void Line(QImage& img, int x0, int y0, int x1, int y1, QRgb c)
{
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        PutPixel(img, x0, y0, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Rectangle(QImage& img, int l, int t, int r, int b, QRgb pen, QRgb brush)
{
    FillRect(img, l, t, r, b, brush);
    Line(img, l, t, r - 1, t, pen);
    Line(img, r - 1, t, r - 1, b - 1, pen);
    Line(img, r - 1, b - 1, l, b - 1, pen);
    Line(img, l, b - 1, l, t, pen);
}

QImage ArrowGlyph()
{
    QImage img(5, 3, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    const QRgb black = qRgb(0, 0, 0);
    Line(img, 0, 0, 5, 0, black);
    Line(img, 1, 1, 4, 1, black);
    Line(img, 2, 2, 3, 2, black);
    return img;
}

void Draw3DFrame(QPainter& p, const QRect& r, const QPalette& pal, bool Sunken)
{
    qDrawShadePanel(&p, r, pal, Sunken, 1);
}

}  // namespace

// ---- TQwColorPopupForm -------------------------------------------------------------------

TQwColorPopupForm::TQwColorPopupForm(TQwColorPopupButton* Owner)
    : QWidget(Owner, Qt::Popup | Qt::FramelessWindowHint), FOwner(Owner)
{
    setObjectName("QwColorPopupForm");
    setMouseTracking(true);
    setAutoFillBackground(true);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);
    setBackgroundRole(QPalette::Button);
    LayoutPopup();
}

void TQwColorPopupForm::SetOptions(TColorPopupOptions Value)
{
    FOptions = Value;
    LayoutPopup();
}

void TQwColorPopupForm::LayoutPopup()
{
    const int w = cPopupWidth - 2 * cMargin;
    int y = cMargin;
    auto take = [&](bool present, int height) {
        if (!present)
            return QRect();
        const QRect r(cMargin, y, w, height);
        y += height;
        return r;
    };
    FNoColorRect = take(FOptions & cpNoColor, cButtonHeight);
    FDefRect = take(FOptions & cpDefColor, 5 * cCell);
    FDefSepRect = take((FOptions & cpDefColor) && (FOptions & ~cpDefColor), cSeparatorHeight);
    const int used = ColorList().GetUsedCount();
    const bool cust = (FOptions & cpCustColor) && used > 0;
    FCustRect = take(cust, ((used - 1) / 8 + 1) * cCell);
    FCustSepRect = take(cust && (FOptions & ~(cpDefColor | cpCustColor)), cSeparatorHeight);
    FMoreColorRect = take(FOptions & cpMoreColor, cButtonHeight);
    FGradientRect = take(FOptions & cpGradient, cButtonHeight);
    FStrukturRect = take(FOptions & cpStruktur, cButtonHeight);
    setFixedSize(cPopupWidth, y + cMargin);
    update();
}

// The used slots of the colour list in slot order.
static std::vector<TColor> CustomColors()
{
    std::vector<TColor> colors;
    TColorList& list = ColorList();
    for (int i = 0; i < list.GetCount(); ++i)
        if (list.GetColor(i) != TColorList::EmptySlot)
            colors.push_back(list.GetColor(i));
    return colors;
}

bool TQwColorPopupForm::HitTest(QPoint P, int& Code, TColor& Color, QRect& Frame) const
{
    auto cellIn = [&](const QRect& grid, int count, const TColor* colors) {
        if (!grid.contains(P))
            return false;
        const int col = (P.x() - grid.left()) / cCell, row = (P.y() - grid.top()) / cCell;
        const int index = col + 8 * row;
        if (col >= 8 || index >= count)
            return false;
        Code = crColor;
        Color = colors[index];
        Frame = QRect(grid.left() + col * cCell, grid.top() + row * cCell, cCell, cCell);
        return true;
    };
    if (cellIn(FDefRect, 40, QwDefaultColors))
        return true;
    if (FCustRect.isValid()) {
        const std::vector<TColor> cust = CustomColors();
        if (cellIn(FCustRect, int(cust.size()), cust.data()))
            return true;
    }
    const std::pair<QRect, int> buttons[] = {{FNoColorRect, crNoColor},
                                             {FMoreColorRect, crMoreColor},
                                             {FGradientRect, crGradient},
                                             {FStrukturRect, crStruktur}};
    for (const auto& [r, code] : buttons)
        if (r.contains(P)) {
            Code = code;
            Color = -1;
            Frame = r;
            return true;
        }
    return false;
}

void TQwColorPopupForm::Track(QPoint P, bool Pressed)
{
    int code = crCancel;
    TColor color = 0;
    QRect frame;
    if (!HitTest(P, code, color, frame)) {
        code = crCancel;
        frame = QRect();
    }
    if (code != FResult || color != FColor || frame != FFrame || Pressed != FFramePressed) {
        FResult = code;
        FColor = color;
        FFrame = frame;
        FFramePressed = Pressed;
        update();
    }
}

void TQwColorPopupForm::CloseWith(int Code)
{
    const TColor color = FColor;
    FOwner->FPopupOpen = false;
    hide();
    FOwner->PopupClosed(Code, color);
}

void TQwColorPopupForm::mouseMoveEvent(QMouseEvent* e)
{
    Track(e->position().toPoint(), e->buttons() & Qt::LeftButton);
}

void TQwColorPopupForm::mousePressEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (rect().contains(p)) {
        Track(p, e->button() == Qt::LeftButton);
        return;
    }
    // A press outside cancels; unless it hit the colour button itself, the
    // same press goes on to the window under the cursor, so it is not lost.
    const QPoint global = e->globalPosition().toPoint();
    const QRect own(FOwner->mapToGlobal(QPoint(0, 0)), FOwner->size());
    setAttribute(Qt::WA_NoMouseReplay);  // the replay is done here, not by Qt
    CloseWith(crCancel);
    if (own.contains(global))
        return;
    QWidget* target = QApplication::widgetAt(global);
    QWindow* window = target ? target->window()->windowHandle() : nullptr;
    if (!window)
        return;
    const QPointF local = window->mapFromGlobal(QPointF(global));
    QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonPress, local, local,
                                                        QPointF(global), e->button(), e->buttons(),
                                                        e->modifiers()));
}

void TQwColorPopupForm::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (!rect().contains(p))
        return;  // keep the popup open
    Track(p, false);
    CloseWith(FResult);
}

void TQwColorPopupForm::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape)
        CloseWith(crCancel);
    else
        QWidget::keyPressEvent(e);
}

void TQwColorPopupForm::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    if (FOwner->FPopupOpen) {  // closed by the system (deactivation, cancel)
        FOwner->FPopupOpen = false;
        FOwner->PopupClosed(crCancel, FColor);
    }
}

void TQwColorPopupForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    qDrawWinPanel(&p, rect(), pal, false);
    const QColor shadow = pal.color(QPalette::Dark);
    const QColor light = pal.color(QPalette::Light);

    auto grid = [&](const QRect& r, const TColor* colors, int count) {
        for (int i = 0; i < count; ++i) {
            const int c = i % 8, row = i / 8;
            const QRect swatch(r.left() + cCell * c + 3, r.top() + cCell * row + 3, 12, 12);
            p.fillRect(swatch, toQColor(colors[i]));
            p.setPen(shadow);
            p.setBrush(Qt::NoBrush);
            p.drawRect(swatch.adjusted(0, 0, -1, -1));
        }
    };
    auto separator = [&](const QRect& r) {
        const int y = r.top() + r.height() / 2;
        p.setPen(shadow);
        p.drawLine(r.left(), y, r.right(), y);
        p.setPen(light);
        p.drawLine(r.left(), y + 1, r.right(), y + 1);
    };
    auto button = [&](const QRect& r, const AnsiString& text) {
        p.setPen(pal.color(QPalette::ButtonText));
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, fromAnsi(text));
    };

    if (FNoColorRect.isValid()) {
        p.setPen(shadow);
        p.drawRect(FNoColorRect.adjusted(4, 4, -5, -5));
        button(FNoColorRect, cCaptionNoColor);
    }
    if (FDefRect.isValid())
        grid(FDefRect, QwDefaultColors, 40);
    if (FDefSepRect.isValid())
        separator(FDefSepRect);
    if (FCustRect.isValid()) {
        const std::vector<TColor> cust = CustomColors();
        grid(FCustRect, cust.data(), int(cust.size()));
    }
    if (FCustSepRect.isValid())
        separator(FCustSepRect);
    if (FMoreColorRect.isValid())
        button(FMoreColorRect, cCaptionMoreColor);
    if (FGradientRect.isValid())
        button(FGradientRect, cCaptionGradient);
    if (FStrukturRect.isValid())
        button(FStrukturRect, cCaptionStruktur);
    if (FFrame.isValid())
        Draw3DFrame(p, FFrame, pal, FFramePressed);
}

// ---- TQwColorPopupButton -----------------------------------------------------------------

TQwColorPopupButton::TQwColorPopupButton(QWidget* Parent) : QWidget(Parent)
{
    FColorButton = new QToolButton(this);
    FColorButton->setAutoRaise(true);
    FColorButton->setFocusPolicy(Qt::NoFocus);
    connect(FColorButton, &QToolButton::pressed, this, Guarded([this] { SwatchMouseDown(); }));

    FArrowButton = new QToolButton(this);
    FArrowButton->setAutoRaise(true);
    FArrowButton->setFocusPolicy(Qt::NoFocus);
    const QImage arrow = ArrowGlyph();
    FArrowButton->setIcon(QIcon(QPixmap::fromImage(arrow)));
    FArrowButton->setIconSize(arrow.size());
    connect(FArrowButton, &QToolButton::pressed, this, Guarded([this] { DropDown(); }));

    FPopupForm = new TQwColorPopupForm(this);
    setFixedSize(36, 22);
    SetColorButtonStyle(cbsBrush);
}

void TQwColorPopupButton::SetColor(TColor Value)
{
    if (Value != FColor) {
        FColor = Value;
        DrawGlyph();
    }
}

void TQwColorPopupButton::SetColorButtonStyle(TColorButtonStyle Value)
{
    FColorButtonStyle = Value;
    switch (Value) {
    case cbsColor:
    case cbsFont:
        FPopupForm->SetOptions(cpDefColor | cpCustColor | cpMoreColor);
        break;
    case cbsBrush:
        FPopupForm->SetOptions(cpDefColor | cpCustColor | cpNoColor | cpMoreColor | cpGradient);
        break;
    case cbsPen:
        FPopupForm->SetOptions(cpDefColor | cpCustColor | cpNoColor | cpMoreColor);
        break;
    }
    Layout();
    DrawGlyph();
}

bool TQwColorPopupButton::Flat() const
{
    return FColorButton->autoRaise();
}

void TQwColorPopupButton::SetFlat(bool Value)
{
    FColorButton->setAutoRaise(Value);
    FArrowButton->setAutoRaise(Value);
}

void TQwColorPopupButton::Layout()
{
    if (FColorButtonStyle == cbsColor) {
        FColorButton->setGeometry(0, 0, 36, 22);
        FArrowButton->hide();
    } else {
        FColorButton->setGeometry(0, 0, 24, 22);
        FArrowButton->setGeometry(24, 0, 12, 22);
        FArrowButton->show();
    }
    update();
}

void TQwColorPopupButton::resizeEvent(QResizeEvent*)
{
    Layout();
}

void TQwColorPopupButton::DrawGlyph()
{
    const QRgb colour = FColor == clNoColor ? qRgb(255, 255, 255) : Rgb(FColor);
    const QRgb black = qRgb(0, 0, 0);
    if (FColorButtonStyle == cbsColor) {
        FGlyph = QImage(30, 16, QImage::Format_ARGB32);
        FGlyph.fill(Rgb(clBtnFace));
        Rectangle(FGlyph, 2, 2, 19, 14, qRgb(0x80, 0x80, 0x80), colour);
        if (FColor == clNoColor) {
            Line(FGlyph, 2, 2, 19, 14, qRgb(0x80, 0x80, 0x80));
            Line(FGlyph, 2, 13, 19, 2, qRgb(0x80, 0x80, 0x80));
        }
        Line(FGlyph, 24, 7, 29, 7, black);
        Line(FGlyph, 25, 8, 28, 8, black);
        Line(FGlyph, 26, 9, 27, 9, black);
    } else {
        static const char* const names[] = {"", "QwCOLORPOPUPBRUSH", "QwCOLORPOPUPPEN",
                                            "QwCOLORPOPUPFONT"};
        FGlyph = QImage(QString(":/foundation/") + names[FColorButtonStyle])
                     .convertToFormat(QImage::Format_ARGB32);
        if (FColor == clNoColor) {
            Rectangle(FGlyph, 6, 5, 16, 15, black, colour);
            Line(FGlyph, 6, 5, 17, 16, black);
            Line(FGlyph, 15, 5, 5, 15, black);
        } else {
            FillRect(FGlyph, 6, 5, 16, 15, colour);
        }
    }
    FColorButton->setIcon(QIcon(QPixmap::fromImage(FGlyph)));
    FColorButton->setIconSize(FGlyph.size());
}

void TQwColorPopupButton::SwatchMouseDown()
{
    if (FColorButtonStyle == cbsColor)
        DropDown();
    else if (OnColorChange)
        OnColorChange(this, FColor);
}

void TQwColorPopupButton::DropDown()
{
    FPopupOpen = true;
    FPopupForm->FResult = crCancel;
    FPopupForm->FFrame = QRect();
    FPopupForm->LayoutPopup();
    const QSize size = FPopupForm->size();
    QPoint pos = mapToGlobal(QPoint(0, height()));
    const QRect screenRect = screen() ? screen()->geometry() : QRect(0, 0, 32000, 32000);
    if (pos.y() + size.height() > screenRect.bottom() + 1)
        pos.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
    if (pos.x() + size.width() > screenRect.right() + 1)
        pos.setX(mapToGlobal(QPoint(width(), 0)).x() - size.width() - 2);
    FPopupForm->move(pos);
    FPopupForm->show();
    FPopupForm->raise();
}

void TQwColorPopupButton::PopupClosed(int Code, TColor Color)
{
    switch (Code) {
    case crCancel:
        break;
    case crColor:
        FColor = Color;
        DrawGlyph();
        if (OnColorChange)
            OnColorChange(this, FColor);
        break;
    default:
        if (OnMenuButtonClick)
            OnMenuButtonClick(this, Code);
        if (Code == crNoColor) {
            FColor = clNoColor;
            DrawGlyph();
        }
        break;
    }
}

void TQwColorPopupButton::enterEvent(QEnterEvent* e)
{
    QWidget::enterEvent(e);
    FMouseInControl = true;
    update();
}

void TQwColorPopupButton::leaveEvent(QEvent* e)
{
    QWidget::leaveEvent(e);
    FMouseInControl = false;
    update();
}

void TQwColorPopupButton::paintEvent(QPaintEvent*)
{
    if (!FMouseInControl)
        return;
    QPainter p(this);
    qDrawShadePanel(&p, rect(), palette(), false, 1);
    if (FColorButtonStyle != cbsColor)
        qDrawShadeLine(&p, 24, 2, 24, height() - 3, palette(), true, 1);
}
