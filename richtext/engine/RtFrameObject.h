#pragma once
// The frame laid over a selected embedded object: a child window of the edit
// control with eight sizing handles. Dragging a handle resizes the object,
// dragging the frame moves it to another text position, a double click edits
// it, a right click falls through to the edit control.
#include "AnsiString.h"
#include "Types.h"

#include <QWidget>

#include <array>
#include <cstdint>

class TRtObject;
class TRtObjectEnv;
class TRtFrameObject;
struct TParagraph;
struct TTextObj;

// One sizing handle, 7 x 7 pixels.
class TRtFrameObjectIcon : public QWidget {
public:
    TRtFrameObjectIcon(TRtFrameObject* Frame, uint8_t Kind);

    TRtFrameObject* Frame;
    uint8_t Kind;
    int32_t XFactor;   // 0 none, 1 edge, -1 corner
    int32_t YFactor;
    // Whether the handle moves the left or the top edge.
    bool MovesLeft() const { return Kind == 0 || Kind == 6 || Kind == 7; }
    bool MovesTop() const { return Kind <= 2; }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
};

class TRtFrameObject : public QWidget {
public:
    explicit TRtFrameObject(QWidget* Parent = nullptr);
    ~TRtFrameObject() override;

    void PlaceHandles();
    // A handle drag, in screen (global) pixels.
    void HandleDown(TRtFrameObjectIcon* Handle, const QPoint& Global);
    void HandleMove(TRtFrameObjectIcon* Handle, const QPoint& Global);
    void HandleUp(TRtFrameObjectIcon* Handle);
    // A frame drag, in screen pixels; Right is the right mouse button.
    void FrameDown(bool Right, const QPoint& Local, const QPoint& Global);
    void FrameMove(const QPoint& Local, const QPoint& Global);
    void FrameUp(bool Right, const QPoint& Local);
    void FrameDoubleClick();

    bool KeepRatio = false;
    uint32_t IgnoreClicksUntil = 0;
    bool IgnoreNextMove = false;
    TRtObject* Obj = nullptr;
    TTextObj* Entry = nullptr;
    int32_t HandleSize = 4;
    bool Sizing = false;
    bool PlacingHandles = false;
    bool Moving = false;
    int32_t StartWidth = 0, StartHeight = 0;
    QPoint StartPoint;
    TRtObjectEnv* Env = nullptr;
    TParagraph* DropPar = nullptr;
    int32_t DropIndex = 0;
    std::array<TRtFrameObjectIcon*, 8> Handles{};

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;

private:
    double ratio_ = 0;
};
