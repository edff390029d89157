#pragma once
// The brush mask of the red-eye brush: Width x Height cells, 255 where the
// brush paints.
#include "Object.h"

#include <cstdint>
#include <vector>

class TPixPinsel : public TObject {
public:
    LUMI_CLASSNAME(TPixPinsel)
    TPixPinsel(int32_t Width, int32_t Height);

    // Marks the mask for reallocation at the new size.
    void SetSize(int32_t Width, int32_t Height);
    // The cell; 0 outside the mask.
    uint8_t Mask(int32_t X, int32_t Y);
    void SetPixel(int32_t X, int32_t Y, uint8_t Value);
    // Sets the cells inside the ellipse that fills the mask.
    void MakeRound();

    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }

private:
    // Reallocates a dirty mask (sizes at least 1), all cells 0.
    void Check();

    std::vector<uint8_t> FMask;
    bool FDirty = true;
    int32_t FHeight = 1;
    int32_t FWidth = 1;
};
