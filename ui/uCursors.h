#pragma once
// The screen's cursor table: mouse cursors by number, as the program's
// windows ask for them. 0 is the default arrow; an unknown number gives it too.
#include <QCursor>

// Cursor numbers of the page view and its selection frame.
constexpr int crPicturePan = 125;      // a picture can be panned in its frame
constexpr int crViewPan = 126;         // the view can be panned
constexpr int crDrag = -22;            // a freely sized element can be moved
constexpr int crRotate = 200;          // rotation without snapping
constexpr int crRotate15 = 201;        // rotation snapping to 15 degrees
constexpr int crRotate10 = 202;        // ... 10 degrees
constexpr int crRotate5 = 203;         // ... 5 degrees
constexpr int crRotate1 = 204;         // ... 1 degree
constexpr int crSizeNS = 211;          // resize vertically
constexpr int crSizeNWSE = 212;        // resize along the falling diagonal
constexpr int crSizeWE = 213;          // resize horizontally
constexpr int crSizeNESW = 214;        // resize along the rising diagonal

// Registers or replaces the cursor of a number.
void RegisterScreenCursor(int Number, const QCursor& Cursor);
// The cursor of a number. The selection frame's cursors are loaded from the
// program's cursor resources of the same numbers on first use.
QCursor ScreenCursor(int Number);
// Loads the page view's cursors: resource 101 as 125, 102 as -22 and 126 as 126.
void LoadViewCursors();
