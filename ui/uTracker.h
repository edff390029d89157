#pragma once
// The selection frame around a focused freely sized element: eight resize
// handles, one rotation handle, their hit test and cursors, and the
// arithmetic of a drag. It works on its own copy of the element's geometry.
//
// Every operation takes the view's transformation as set up for the
// element's page (page millimetres to device pixels) and leaves it as it was.
#include "Object.h"
#include "Types.h"
#include "uVectorLib.h"

#include <cstdint>

class TPaintWindow;
class TDrawContext;
class TTransformation;

class TTracker : public TObject {
public:
    LUMI_CLASSNAME(TTracker)

    // Draws the nine handles, each 6 pixels wide at every zoom and angle.
    void Draw(TDrawContext& DC);
    // Invalidates the areas of the nine handles in the window.
    void InvalidateHandles(TPaintWindow* Window, TTransformation& T);
    // The handle under a device point (1..8 resize, 9 rotation), 0 for none.
    int HitTest(TTransformation& T, int X, int Y);
    // Starts dragging the handle under the point; false when there is none.
    bool BeginDrag(TTransformation& T, int X, int Y);
    // Follows the mouse with the dragged handle. Returns the cursor to show at
    // once (the rotation cursors of the snapping steps), 0 when none changes.
    int DragTo(TTransformation& T, int X, int Y);
    // The cursor over a handle; false when no handle is under the point.
    bool GetCursor(TTransformation& T, int X, int Y, int& Cursor);
    // The device point of a handle (1..9).
    TPointF HandlePoint(TTransformation& T, int Code);

    float CenterX = 0;
    float CenterY = 0;
    float Height = 0;  // negative while an edge is dragged across its opposite
    float Width = 0;
    float Angle = 0;
    uint8_t DragHandle = 0;  // 0: none
    TPoint LastMouse;
    bool Shown = false;

private:
    // Handle position in the frame's own coordinates; s is half a handle in page units.
    TPointF HandleLocal(int Code, float S) const;
    float HalfHandle(TTransformation& T) const;
};
