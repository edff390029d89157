#include "KvSpinEdit.h"
#include "Application.h"

#include "SysUtils.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

const int cInitRepeatPause = 400;
const int cRepeatPause = 100;

QPixmap DefaultGlyph(const char* Name)
{
    return QPixmap(QString(":/foundation/") + Name);
}

// The spin cursor, loaded once (hot spot in the middle of the arrow).
const QCursor& SpinCursor()
{
    static const QCursor cursor(DefaultGlyph("KvSPINCUR"), 7, 10);
    return cursor;
}

}  // namespace

// ---- TKvTimerSpeedButton ---------------------------------------------------------------

TKvTimerSpeedButton::TKvTimerSpeedButton(QWidget* Parent) : QAbstractButton(Parent)
{
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, Guarded([this] { Click(); }));
}

void TKvTimerSpeedButton::SetAllowTimer(bool Value)
{
    FAllowTimer = Value;
    if (!Value && FRepeatTimer)
        FRepeatTimer->stop();
}

void TKvTimerSpeedButton::SetFocusRect(bool Value)
{
    if (FFocusRect != Value) {
        FFocusRect = Value;
        update();
    }
}

void TKvTimerSpeedButton::SetGlyph(const QPixmap& Glyph, int NumGlyphs)
{
    FGlyph = Glyph;
    FNumGlyphs = std::max(1, NumGlyphs);
    update();
}

void TKvTimerSpeedButton::Click()
{
    if (OnClick)
        OnClick();
}

void TKvTimerSpeedButton::mousePressEvent(QMouseEvent* e)
{
    QAbstractButton::mousePressEvent(e);
    if (e->button() == Qt::LeftButton && FAllowTimer && isDown()) {
        if (!FRepeatTimer) {
            FRepeatTimer = new QTimer(this);
            FRepeatTimer->setTimerType(Qt::PreciseTimer);
            connect(FRepeatTimer, &QTimer::timeout, this, Guarded([this] { TimerExpired(); }));
        }
        FRepeatTimer->setInterval(cInitRepeatPause);
        FRepeatTimer->start();
    }
}

void TKvTimerSpeedButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (FRepeatTimer)
        FRepeatTimer->stop();
    QAbstractButton::mouseReleaseEvent(e);
}

void TKvTimerSpeedButton::TimerExpired()
{
    FRepeatTimer->setInterval(cRepeatPause);
    if (isDown()) {  // still pressed, and the mouse still over the button
        try {
            Click();
        } catch (...) {
            FRepeatTimer->stop();
            throw;
        }
    }
}

void TKvTimerSpeedButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &opt, &p, this);
    const int offset = isDown() ? 1 : 0;
    if (!FGlyph.isNull()) {
        int cell = 0;
        if (!isEnabled() && FNumGlyphs > 1)
            cell = 1;
        else if (isDown() && FNumGlyphs > 2)
            cell = 2;
        const int cw = FGlyph.width() / FNumGlyphs;
        const QRect src(cell * cw, 0, cw, FGlyph.height());
        const QPoint at((width() - cw) / 2 + offset, (height() - FGlyph.height()) / 2 + offset);
        p.drawPixmap(at, FGlyph, src);
    }
    if (FFocusRect) {
        QPen pen(palette().color(QPalette::ButtonText), 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(3, 3, width() - 7, height() - 7).translated(offset, offset));
    }
}

// ---- TKvSpinButton ---------------------------------------------------------------------

TKvSpinButton::TKvSpinButton(QWidget* Parent) : QWidget(Parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Dark));
    setPalette(pal);
    setFocusPolicy(Qt::NoFocus);

    FDragStrip = new QWidget(this);
    FDragStrip->setAutoFillBackground(true);
    FDragStrip->setPalette(pal);
    FDragStrip->setCursor(SpinCursor());
    FDragStrip->installEventFilter(this);

    FUpButton = new TKvTimerSpeedButton(this);
    FUpButton->SetAllowTimer(true);
    FUpButton->SetGlyph(DefaultGlyph("KvSPINUP"), 1);
    FUpButton->OnClick = [this] {
        if (OnUpClick)
            OnUpClick();
    };
    FUpButton->installEventFilter(this);

    FDownButton = new TKvTimerSpeedButton(this);
    FDownButton->SetAllowTimer(true);
    FDownButton->SetGlyph(DefaultGlyph("KvSPINDOWN"), 1);
    FDownButton->OnClick = [this] {
        if (OnDownClick)
            OnDownClick();
    };
    FDownButton->installEventFilter(this);

    FFocusedButton = FUpButton;
    resize(20, 15);
}

void TKvSpinButton::SetUpGlyph(const QPixmap& Glyph)
{
    FUpButton->SetGlyph(Glyph.isNull() ? DefaultGlyph("KvSPINUP") : Glyph,
                        Glyph.isNull() ? 1 : FUpButton->NumGlyphs());
}

void TKvSpinButton::SetDownGlyph(const QPixmap& Glyph)
{
    FDownButton->SetGlyph(Glyph.isNull() ? DefaultGlyph("KvSPINDOWN") : Glyph,
                          Glyph.isNull() ? 1 : FDownButton->NumGlyphs());
}

void TKvSpinButton::SetUpNumGlyphs(int N)
{
    FUpButton->SetGlyph(FUpButton->Glyph(), N);
}

void TKvSpinButton::SetDownNumGlyphs(int N)
{
    FDownButton->SetGlyph(FDownButton->Glyph(), N);
}

void TKvSpinButton::resizeEvent(QResizeEvent*)
{
    AdjustSize();
}

void TKvSpinButton::AdjustSize()
{
    if (width() < 16) {
        resize(16, height());  // comes back here through the resize event
        return;
    }
    const int w = width(), h = height(), half = h / 2;
    FUpButton->setGeometry(0, 1, w, half - 1);
    FDownButton->setGeometry(0, h - half + 1, w, half - 1);
    FDragStrip->setGeometry(0, half, w + 1, h - half + 1);
    FDragStrip->lower();
}

void TKvSpinButton::SetFocusBtn(TKvTimerSpeedButton* Btn)
{
    if (Btn == FFocusedButton)
        return;
    FFocusedButton->SetFocusRect(false);
    FFocusedButton = Btn;
    if (hasFocus())
        FFocusedButton->SetFocusRect(true);
}

void TKvSpinButton::BtnMouseDown(TKvTimerSpeedButton* Btn)
{
    if (isVisible() && isEnabled())
        SetFocusBtn(Btn);
    if (FocusControl && FocusControl->isVisible() && FocusControl->isEnabled()
        && FocusControl->focusPolicy() != Qt::NoFocus && !FocusControl->hasFocus())
        FocusControl->setFocus(Qt::MouseFocusReason);
    else if (focusPolicy() & Qt::TabFocus)
        setFocus(Qt::MouseFocusReason);
}

void TKvSpinButton::StripMouse(QEvent* e)
{
    auto* me = static_cast<QMouseEvent*>(e);
    const int y = int(me->position().y());
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        if (me->button() == Qt::LeftButton)
            FLastY = y;
        break;
    case QEvent::MouseMove:
        if (me->buttons() & Qt::LeftButton) {
            for (int i = y; i < FLastY; ++i)
                FUpButton->OnClick();
            for (int i = FLastY; i < y; ++i)
                FDownButton->OnClick();
            FLastY = y;
        }
        break;
    case QEvent::MouseButtonRelease:
        FLastY = 0;
        break;
    default:
        break;
    }
}

bool TKvSpinButton::eventFilter(QObject* Watched, QEvent* e)
{
    const QEvent::Type t = e->type();
    const bool mouse = t == QEvent::MouseButtonPress || t == QEvent::MouseMove
        || t == QEvent::MouseButtonRelease;
    if (Watched == FDragStrip && mouse)
        StripMouse(e);
    else if (t == QEvent::MouseButtonPress
             && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton
             && (Watched == FUpButton || Watched == FDownButton))
        BtnMouseDown(static_cast<TKvTimerSpeedButton*>(Watched));
    return QWidget::eventFilter(Watched, e);
}

void TKvSpinButton::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Up:
        SetFocusBtn(FUpButton);
        FUpButton->OnClick();
        break;
    case Qt::Key_Down:
        SetFocusBtn(FDownButton);
        FDownButton->OnClick();
        break;
    case Qt::Key_Space:
        FFocusedButton->OnClick();
        break;
    default:
        QWidget::keyPressEvent(e);
    }
}

void TKvSpinButton::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    FFocusedButton->SetFocusRect(true);
}

void TKvSpinButton::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    FFocusedButton->SetFocusRect(false);
}

// ---- TKvSpinEdit -----------------------------------------------------------------------

TKvSpinEdit::TKvSpinEdit(QWidget* Parent) : QLineEdit(Parent)
{
    FButton = new TKvSpinButton(this);
    FButton->resize(15, 18);
    FButton->FocusControl = this;
    FButton->OnUpClick = [this] { UpClick(); };
    FButton->OnDownClick = [this] { DownClick(); };
    setText("0");
    connect(this, &QLineEdit::textChanged, this, Guarded([this] {
        if (OnChange)
            OnChange();
    }));
    SetEditRect();
}

int TKvSpinEdit::CheckValue(int NewValue) const
{
    if (FMinValue != FMaxValue) {
        if (NewValue < FMinValue)
            return FMinValue;
        if (NewValue > FMaxValue)
            return FMaxValue;
    }
    return NewValue;
}

int TKvSpinEdit::Value() const
{
    return StrToIntDef(toAnsi(text()), FMinValue);
}

void TKvSpinEdit::SetValue(int NewValue)
{
    setText(fromAnsi(IntToStr(CheckValue(NewValue))));
}

bool TKvSpinEdit::IsValidChar(char Key) const
{
    const uint8_t k = uint8_t(Key);
    bool result = Key == '+' || Key == '-' || (Key >= '0' && Key <= '9')
        || (k < 32 && Key != '\r');
    if (!FEditorEnabled && result && (k >= 32 || Key == '\b'))
        result = false;
    return result;
}

void TKvSpinEdit::Step(int64_t Delta)
{
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    // A step past the end of the integer range stops there.
    const int64_t v = std::clamp<int64_t>(int64_t(Value()) + Delta,
                                          std::numeric_limits<int32_t>::min(),
                                          std::numeric_limits<int32_t>::max());
    SetValue(int(v));
}

void TKvSpinEdit::UpClick()
{
    Step(FIncrement);
}

void TKvSpinEdit::DownClick()
{
    Step(-int64_t(FIncrement));
}

void TKvSpinEdit::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Up)
        UpClick();
    else if (e->key() == Qt::Key_Down)
        DownClick();
    if ((e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut)) && !EditAllowed())
        return;
    // Enter, Esc and Tab are the dialog's keys.
    const bool dialogKey = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter
        || e->key() == Qt::Key_Escape || e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab;
    const QString t = e->text();
    if (!dialogKey && t.size() == 1 && t[0].unicode() != 0x7F) {
        const int c = UnicodeToAnsiChar(t[0].unicode());
        if (c < 0 || !IsValidChar(char(c))) {
            QApplication::beep();
            return;
        }
    }
    QLineEdit::keyPressEvent(e);
}

void TKvSpinEdit::contextMenuEvent(QContextMenuEvent* e)
{
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (!EditAllowed()) {
        for (QAction* a : menu->actions()) {
            const QString name = a->objectName();
            if (name == "edit-paste" || name == "edit-cut")
                a->setEnabled(false);
        }
    }
    menu->exec(e->globalPos());
}

void TKvSpinEdit::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    if (AutoSelect && !(QApplication::mouseButtons() & Qt::LeftButton))
        selectAll();
}

void TKvSpinEdit::focusOutEvent(QFocusEvent* e)
{
    const int v = Value();
    if (CheckValue(v) != v)
        SetValue(v);
    QLineEdit::focusOutEvent(e);
}

int TKvSpinEdit::MinHeight() const
{
    const int sysHeight = QFontMetrics(QApplication::font()).height();
    const int height = QFontMetrics(font()).height();
    const int borderHeight = 1;  // the system's thin border
    return std::min(sysHeight, height) / 4 + height + 4 * borderHeight + 2;
}

void TKvSpinEdit::SetAutoSize(bool Value)
{
    FAutoSize = Value;
    AdjustHeight();
}

bool TKvSpinEdit::AdjustHeight()
{
    const int mh = MinHeight();
    if (!FAutoSize || height() >= mh)
        return false;
    resize(width(), mh);
    return true;
}

void TKvSpinEdit::changeEvent(QEvent* e)
{
    QLineEdit::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        AdjustHeight();
}

void TKvSpinEdit::resizeEvent(QResizeEvent* e)
{
    QLineEdit::resizeEvent(e);
    if (AdjustHeight())
        return;  // comes back here through the resize event
    // The button sits inside the 2-pixel edge, right-aligned.
    FButton->setGeometry(width() - FButton->width() - 2, 1, FButton->width(), height() - 3);
    SetEditRect();
}

void TKvSpinEdit::SetEditRect()
{
    setTextMargins(0, 0, FButton->width() + 2, 0);
}
