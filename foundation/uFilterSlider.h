#pragma once
// A horizontal slider with a numeric edit box: linear (-100..100) or
// exponential (0.1..10). Changes are reported after a short delay, so that
// dragging does not recompute a preview for every pixel of movement.
#include <QRect>
#include <QWidget>
#include <functional>

class QLineEdit;
class QTimer;

enum TSliderMode : uint8_t { smLinear, smExpo };

class TFilterSlider : public QWidget {
    Q_OBJECT
public:
    explicit TFilterSlider(QWidget* Parent = nullptr);

    float Position() const { return FPosition; }
    // Clamps, stores, shows the value in the edit box and starts the delayed change.
    void SetPosition(float Value);
    TSliderMode SliderMode() const { return FSliderMode; }
    void SetSliderMode(TSliderMode Mode);
    int ChangeDelay() const;
    void SetChangeDelay(int Ms);

    std::function<void()> OnChange;

    QLineEdit* Edit() const { return FEdit; }
    QTimer* ChangeTimer() const { return FTimer; }
    QRect TrackRect() const;
    QRect ThumbRect() const;
    // The position for a pixel column of the track (not clamped).
    double PixelToPosition(int X) const;
    float MinValue() const { return FSliderMode == smLinear ? -100.0f : 0.1f; }
    float MaxValue() const { return FSliderMode == smLinear ? 100.0f : 10.0f; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool eventFilter(QObject* Watched, QEvent* e) override;

private:
    float Clamp(double Value) const;
    void UpdateEditText();
    void EditChanged();
    void StartChange();
    void FireChange();
    void Step(float Delta);
    int ThumbCentre(float Position) const;

    QLineEdit* FEdit;
    QTimer* FTimer;
    bool FFocused = false;
    bool FUpdating = false;
    TSliderMode FSliderMode = smLinear;
    float FPosition = 0;
    bool FDragging = false;
};
