#include "uFilterSlider.h"
#include "Application.h"

#include "SysUtils.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <cmath>
#include <qdrawutil.h>

TFilterSlider::TFilterSlider(QWidget* Parent) : QWidget(Parent)
{
    FEdit = new QLineEdit(this);
    FEdit->installEventFilter(this);
    connect(FEdit, &QLineEdit::textChanged, this, Guarded([this] { EditChanged(); }));
    connect(FEdit, &QLineEdit::editingFinished, this, Guarded([this] { UpdateEditText(); }));
    FTimer = new QTimer(this);
    FTimer->setSingleShot(false);
    FTimer->setInterval(0);
    FTimer->setTimerType(Qt::PreciseTimer);
    connect(FTimer, &QTimer::timeout, this, Guarded([this] { FireChange(); }));
    setFocusPolicy(Qt::StrongFocus);
    resize(300, 40);
    UpdateEditText();
}

float TFilterSlider::Clamp(double Value) const
{
    return float(std::clamp(Value, double(MinValue()), double(MaxValue())));
}

void TFilterSlider::SetPosition(float Value)
{
    const float v = Clamp(Value);
    if (v != FPosition) {
        FPosition = v;
        update();
    }
    UpdateEditText();
    StartChange();
}

void TFilterSlider::SetSliderMode(TSliderMode Mode)
{
    FSliderMode = Mode;
    FPosition = Clamp(FPosition);
    UpdateEditText();
    update();
}

int TFilterSlider::ChangeDelay() const
{
    return FTimer->interval();
}

void TFilterSlider::SetChangeDelay(int Ms)
{
    FTimer->setInterval(Ms);
}

void TFilterSlider::UpdateEditText()
{
    FUpdating = true;
    const AnsiString text = FSliderMode == smLinear ? Format("%d", {Round(FPosition)})
                                                    : Format("%2f", {FPosition});
    if (FEdit->text() != fromAnsi(text))
        FEdit->setText(fromAnsi(text));
    FUpdating = false;
}

void TFilterSlider::EditChanged()
{
    if (FUpdating)
        return;
    double typed;
    if (TryStrToFloat(toAnsi(FEdit->text()), typed)) {
        const float stored = Clamp(typed);
        if (stored != FPosition) {
            FPosition = stored;
            update();
        }
        if (std::fabs(double(stored) - typed) > 1e-6)
            UpdateEditText();
    }
    StartChange();
}

void TFilterSlider::StartChange()
{
    if (FTimer->interval() != 0) {
        FTimer->stop();
        FTimer->start();
    } else {
        FireChange();
    }
}

void TFilterSlider::FireChange()
{
    FTimer->stop();
    repaint();
    if (OnChange)
        OnChange();
}

QRect TFilterSlider::TrackRect() const
{
    return QRect(QPoint(6, 4), QPoint(FEdit->x() - 12 - 1, height() - 3 - 1));
}

double TFilterSlider::PixelToPosition(int X) const
{
    const QRect t = TrackRect();
    const int x0 = t.left();
    int span = (t.right() + 1) - 6 - x0 + 6;
    span += span & 1;  // up to an even number
    if (span <= 0)
        span = 2;
    if (FSliderMode == smLinear)
        return double(X - x0) / span * 200 - 100;
    return std::pow(10.0, double(X - x0) * 2 / span - 1);
}

int TFilterSlider::ThumbCentre(float Position) const
{
    const QRect t = TrackRect();
    const int w = (t.right() + 1) - t.left();
    const double offset = FSliderMode == smLinear ? (double(Position) + 100) / 200 * w
                                                  : (std::log10(double(Position)) + 1) * w / 2;
    return t.left() - 3 + int(Round(offset)) + 3;
}

QRect TFilterSlider::ThumbRect() const
{
    const QRect t = TrackRect();
    return QRect(ThumbCentre(FPosition) - 3, t.top(), 6, t.height());
}

void TFilterSlider::resizeEvent(QResizeEvent*)
{
    const QFontMetrics fm(font());
    const int wanted = fm.height() + 10;
    if (height() != wanted)
        resize(width(), wanted);
    const int editWidth = fm.horizontalAdvance("10,00") + 10;
    FEdit->setGeometry(width() - editWidth - 2, 2, editWidth, height() - 4);
    update();
}

void TFilterSlider::Step(float Delta)
{
    SetPosition(FPosition + Delta);
}

void TFilterSlider::keyPressEvent(QKeyEvent* e)
{
    const bool linear = FSliderMode == smLinear;
    const float small = linear ? 1.0f : 0.1f, big = linear ? 10.0f : 1.0f;
    switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        Step(-small);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        Step(small);
        break;
    case Qt::Key_PageUp:
        Step(-big);
        break;
    case Qt::Key_PageDown:
        Step(big);
        break;
    case Qt::Key_Home:
        SetPosition(MinValue());
        break;
    case Qt::Key_End:
        SetPosition(MaxValue());
        break;
    case Qt::Key_R:
        SetPosition(linear ? 0.0f : 1.0f);
        break;
    default:
        QWidget::keyPressEvent(e);
    }
}

void TFilterSlider::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint p = e->position().toPoint();
    if (ThumbRect().contains(p)) {
        FDragging = true;
    } else if (TrackRect().contains(p)) {
        SetPosition(float(PixelToPosition(p.x())));
        FDragging = true;
    }
}

void TFilterSlider::mouseMoveEvent(QMouseEvent* e)
{
    if (FDragging)
        SetPosition(float(PixelToPosition(int(e->position().x()))));
}

void TFilterSlider::mouseReleaseEvent(QMouseEvent*)
{
    FDragging = false;
}

void TFilterSlider::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    FFocused = true;
    update();
}

void TFilterSlider::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    FFocused = false;
    update();
}

bool TFilterSlider::eventFilter(QObject* Watched, QEvent* e)
{
    if (Watched == FEdit && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            setFocus(Qt::OtherFocusReason);
            return true;
        }
        // Only typed characters are filtered; keys that type none (delete,
        // tab, escape, shortcuts) keep their usual meaning.
        const QString t = k->text();
        if (t.size() == 1 && t[0].isPrint()) {
            const QChar c = t[0];
            const bool pass = (c >= '0' && c <= '9') || c == '-'
                || c == QChar(FormatSettings().DecimalSeparator);
            if (!pass)
                return true;
        }
    } else if (Watched == FEdit && e->type() == QEvent::FocusOut) {
        UpdateEditText();
    }
    return QWidget::eventFilter(Watched, e);
}

void TFilterSlider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(QRect(0, 0, FEdit->x(), height()), pal.color(QPalette::Window));
    const QRect t = TrackRect();
    const int cy = t.top() + t.height() / 2;
    const QRect groove(t.left(), cy - 2, t.width(), 4);
    qDrawShadePanel(&p, groove, pal, true, 1);

    // From the neutral point to the thumb in the highlight colour.
    const int centre = ThumbCentre(FSliderMode == smLinear ? 0.0f : 1.0f);
    const int thumb = ThumbCentre(FPosition);
    if (thumb != centre)
        p.fillRect(QRect(QPoint(std::min(centre, thumb), groove.top() + 1),
                         QPoint(std::max(centre, thumb), groove.bottom() - 1)),
                   pal.color(QPalette::Highlight));

    // Ticks below the groove.
    p.setPen(pal.color(QPalette::Dark));
    const int tickTop = groove.bottom() + 3, full = std::max(2, t.bottom() - tickTop);
    auto tick = [&](float pos, bool major) {
        const int x = ThumbCentre(pos);
        p.drawLine(x, tickTop, x, tickTop + (major ? full : full / 2));
    };
    if (FSliderMode == smLinear) {
        for (int i = 0; i <= 20; ++i)
            tick(-100.0f + 10 * i, i % 5 == 0);
    } else {
        tick(0.1f, true);
        for (int i = 1; i <= 10; ++i)
            tick(float(i), i == 1 || i == 10);
    }

    const QRect th = ThumbRect();
    p.fillRect(th, pal.color(QPalette::Button));
    qDrawShadePanel(&p, th, pal, false, 1, nullptr);
    p.fillRect(th.adjusted(2, 2, -2, -2), pal.color(QPalette::Highlight));

    if (FFocused) {
        QPen pen(pal.color(QPalette::WindowText), 1, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
