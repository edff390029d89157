#pragma once
// Colour names of the class library ("clRed", "clBtnFace") and the
// conversion of a colour text to a colour.
#include "AnsiString.h"
#include "Graphics.h"

// The colour of a name, compared ignoring case; false for an unknown name.
bool IdentToColor(const AnsiString& ident, TColor& color);
// A colour name, else an integer ("$" for hexadecimal); false when neither.
bool TryStringToColor(const AnsiString& s, TColor& color);
