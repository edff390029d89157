#pragma once
// A small tool-bar control for choosing a colour: a swatch button showing the
// current colour and an arrow button that drops down a grid of fixed colours,
// the user's own colours and optional command buttons.
#include "AnsiString.h"
#include "Graphics.h"

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>

class QToolButton;
class TQwColorPopupButton;

enum TColorButtonStyle : uint8_t { cbsColor, cbsBrush, cbsPen, cbsFont };

enum TColorPopupOption : uint8_t {
    cpDefColor = 1 << 0,
    cpCustColor = 1 << 1,
    cpNoColor = 1 << 2,
    cpMoreColor = 1 << 3,
    cpGradient = 1 << 4,
    cpStruktur = 1 << 5,
};
using TColorPopupOptions = uint8_t;

using TQwColorChangeEvent = std::function<void(QObject* Sender, TColor NewColor)>;
using TQwColorButtonClickEvent = std::function<void(QObject* Sender, int BtnIndex)>;

// The colour value that means "no colour".
constexpr TColor clNoColor = 1;

// Result codes of the popup.
constexpr int crColor = -1;
constexpr int crNoColor = -2;
constexpr int crMoreColor = -3;
constexpr int crGradient = -4;
constexpr int crStruktur = -5;
constexpr int crCancel = -999;

// Captions of the popup's command buttons; the main window fills them from
// the localizer.
extern AnsiString cCaptionNoColor;
extern AnsiString cCaptionMoreColor;
extern AnsiString cCaptionGradient;
extern AnsiString cCaptionStruktur;

// The 40 fixed colours, 8 per row.
extern const TColor QwDefaultColors[40];

class TQwColorPopupForm : public QWidget {
    Q_OBJECT
public:
    explicit TQwColorPopupForm(TQwColorPopupButton* Owner);

    TColorPopupOptions Options() const { return FOptions; }
    void SetOptions(TColorPopupOptions Value);
    // Places the parts from the options and the colour list and sets the height.
    void LayoutPopup();

    QRect DefRect() const { return FDefRect; }
    QRect DefSepRect() const { return FDefSepRect; }
    QRect CustRect() const { return FCustRect; }
    QRect CustSepRect() const { return FCustSepRect; }
    QRect NoColorRect() const { return FNoColorRect; }
    QRect MoreColorRect() const { return FMoreColorRect; }
    QRect GradientRect() const { return FGradientRect; }
    QRect StrukturRect() const { return FStrukturRect; }
    int ResultCode() const { return FResult; }
    TColor CurrentColor() const { return FColor; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    friend class TQwColorPopupButton;
    // What lies under the point: result code, colour and the frame to draw.
    void Track(QPoint P, bool Pressed);
    bool HitTest(QPoint P, int& Code, TColor& Color, QRect& Frame) const;
    void CloseWith(int Code);

    TQwColorPopupButton* FOwner;
    QRect FDefRect, FDefSepRect, FCustRect, FCustSepRect;
    QRect FNoColorRect, FMoreColorRect, FGradientRect, FStrukturRect;
    TColorPopupOptions FOptions = cpDefColor | cpCustColor | cpNoColor | cpMoreColor | cpGradient;
    int FResult = crCancel;
    TColor FColor = 0;
    QRect FFrame;
    bool FFramePressed = false;
    bool FClosing = false;
};

class TQwColorPopupButton : public QWidget {
    Q_OBJECT
public:
    explicit TQwColorPopupButton(QWidget* Parent = nullptr);

    TColor Color() const { return FColor; }
    // Stores and redraws the swatch (no event).
    void SetColor(TColor Value);
    TColorButtonStyle ColorButtonStyle() const { return FColorButtonStyle; }
    void SetColorButtonStyle(TColorButtonStyle Value);
    TColorPopupOptions ColorPopupOptions() const { return FPopupForm->Options(); }
    void SetColorPopupOptions(TColorPopupOptions Value) { FPopupForm->SetOptions(Value); }
    bool Flat() const;
    void SetFlat(bool Value);

    TQwColorChangeEvent OnColorChange;
    TQwColorButtonClickEvent OnMenuButtonClick;

    TQwColorPopupForm* PopupForm() const { return FPopupForm; }
    QToolButton* SwatchButton() const { return FColorButton; }
    QToolButton* ArrowButton() const { return FArrowButton; }
    bool PopupOpen() const { return FPopupOpen; }
    // The swatch glyph as drawn for the current colour and style.
    const QImage& SwatchGlyph() const { return FGlyph; }

    // Drops the popup down below (or above) the control.
    void DropDown();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    friend class TQwColorPopupForm;
    void SwatchMouseDown();
    void DrawGlyph();
    void Layout();
    void PopupClosed(int Code, TColor Color);

    TQwColorPopupForm* FPopupForm;
    bool FPopupOpen = false;
    bool FMouseInControl = false;
    TColorButtonStyle FColorButtonStyle = cbsBrush;
    QToolButton* FColorButton;
    QToolButton* FArrowButton;
    TColor FColor = 0;
    QImage FGlyph;
};
