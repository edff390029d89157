#pragma once
// Blending of 32-bit pixel rows (blue, green, red, alpha) with a constant or
// a per-pixel alpha.
#include <cstdint>

#include "Canvas.h"

// Dst := Src blended over Dst by Alpha (0 copies Src, 255 keeps Dst one step darker).
void BlendLineConstAlpha(const uint32_t* Src, uint32_t* Dst, int32_t Count, uint8_t Alpha);
// Dst := Src blended over Dst by each source pixel's alpha.
void BlendLinePixelAlpha(const uint32_t* Src, uint32_t* Dst, int32_t Count);
// Blends all of Source onto Dest at (X, Y), clipped to Dest (both 32-bit).
void AlphaBlendBitmap(TBitmap& Dest, int32_t X, int32_t Y, uint8_t Alpha, TBitmap& Source);
