#include "uPixPinsel.h"

#include <algorithm>

TPixPinsel::TPixPinsel(int32_t Width, int32_t Height)
{
    SetSize(Width, Height);
}

void TPixPinsel::SetSize(int32_t Width, int32_t Height)
{
    FWidth = Width;
    FHeight = Height;
    FDirty = true;
}

void TPixPinsel::Check()
{
    if (!FDirty)
        return;
    FWidth = std::max(1, FWidth);
    FHeight = std::max(1, FHeight);
    FMask.assign(size_t(FWidth) * size_t(FHeight), 0);
    FDirty = false;
}

uint8_t TPixPinsel::Mask(int32_t X, int32_t Y)
{
    Check();
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
        return 0;
    return FMask[size_t(Y) * FWidth + X];
}

void TPixPinsel::SetPixel(int32_t X, int32_t Y, uint8_t Value)
{
    Check();
    if (X >= 0 && Y >= 0 && X < FWidth && Y < FHeight)
        FMask[size_t(Y) * FWidth + X] = Value;
}

void TPixPinsel::MakeRound()
{
    Check();
    for (int32_t y = 0; y < FHeight; ++y)
        for (int32_t x = 0; x < FWidth; ++x) {
            const double dx = (x - (FWidth - 1) / 2.0) / FWidth * 2;
            const double dy = (y - (FHeight - 1) / 2.0) / FHeight * 2;
            SetPixel(x, y, dx * dx + dy * dy <= 1 ? 255 : 0);
        }
}
