#pragma once
// Integer edit with up and down arrow buttons: a speed button that repeats
// its click while held, the pair of arrow buttons with a drag strip between
// them, and the edit that keeps its value within limits.
#include <QAbstractButton>
#include <QLineEdit>
#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <functional>

class QTimer;

class TKvTimerSpeedButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TKvTimerSpeedButton(QWidget* Parent = nullptr);

    bool AllowTimer() const { return FAllowTimer; }
    void SetAllowTimer(bool Value);
    bool FocusRect() const { return FFocusRect; }
    void SetFocusRect(bool Value);

    // Glyph strip of NumGlyphs cells: normal, disabled, pressed.
    void SetGlyph(const QPixmap& Glyph, int NumGlyphs);
    const QPixmap& Glyph() const { return FGlyph; }
    int NumGlyphs() const { return FNumGlyphs; }

    // The repeat timer, once created (nullptr before the first press).
    QTimer* RepeatTimer() const { return FRepeatTimer; }

    // Fired by a click and by every repeat.
    std::function<void()> OnClick;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void TimerExpired();
    void Click();

    QTimer* FRepeatTimer = nullptr;
    bool FFocusRect = false;
    bool FAllowTimer = false;
    QPixmap FGlyph;
    int FNumGlyphs = 1;
};

class TKvSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TKvSpinButton(QWidget* Parent = nullptr);

    TKvTimerSpeedButton* UpButton() const { return FUpButton; }
    TKvTimerSpeedButton* DownButton() const { return FDownButton; }
    TKvTimerSpeedButton* FocusedButton() const { return FFocusedButton; }
    QWidget* DragStrip() const { return FDragStrip; }

    // An empty pixmap loads the default glyph.
    void SetUpGlyph(const QPixmap& Glyph);
    void SetDownGlyph(const QPixmap& Glyph);
    void SetUpNumGlyphs(int N);
    void SetDownNumGlyphs(int N);

    QWidget* FocusControl = nullptr;
    std::function<void()> OnUpClick;
    std::function<void()> OnDownClick;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool eventFilter(QObject* Watched, QEvent* e) override;

private:
    void AdjustSize();
    void SetFocusBtn(TKvTimerSpeedButton* Btn);
    void BtnMouseDown(TKvTimerSpeedButton* Btn);
    void StripMouse(QEvent* e);

    QWidget* FDragStrip;
    TKvTimerSpeedButton* FUpButton;
    TKvTimerSpeedButton* FDownButton;
    TKvTimerSpeedButton* FFocusedButton;
    int FLastY = 0;
};

class TKvSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TKvSpinEdit(QWidget* Parent = nullptr);

    int Value() const;
    void SetValue(int NewValue);
    int MinValue() const { return FMinValue; }
    void SetMinValue(int V) { FMinValue = V; }
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int V) { FMaxValue = V; }
    int Increment() const { return FIncrement; }
    void SetIncrement(int V) { FIncrement = V; }
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool V) { FEditorEnabled = V; }
    bool AutoSelect = true;

    TKvSpinButton* Button() const { return FButton; }

    virtual bool IsValidChar(char Key) const;
    virtual void UpClick();
    virtual void DownClick();

    // With AutoSize (the default) the field keeps at least MinHeight, also
    // when its font changes; without it the height is the one set.
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    // The smallest height the field keeps while AutoSize is on.
    int MinHeight() const;

    std::function<void()> OnChange;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    // Raises the height to MinHeight when AutoSize asks for it; true when it did.
    bool AdjustHeight();
    int CheckValue(int NewValue) const;
    // Adds Delta to the value (a beep in a read-only field).
    void Step(int64_t Delta);
    bool EditAllowed() const { return FEditorEnabled && !isReadOnly(); }
    void SetEditRect();

    int FMinValue = 0;
    int FMaxValue = 0;
    int FIncrement = 1;
    TKvSpinButton* FButton;
    bool FEditorEnabled = true;
    bool FAutoSize = true;
};
