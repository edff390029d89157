#pragma once
// Gaussian blur of a grey mask into the alpha channel of a coloured bitmap.
#include <array>
#include <cstdint>

#include "Canvas.h"
#include "Graphics.h"

// The kernel, shared by every blur and rebuilt only when the radius changes.
struct TGaussKernel {
    double Radius = 2.0;
    double BuiltRadius = -1.0;
    std::array<double, 201> Weights{};     // offsets -100..100 at index + 100
    int32_t Size = 0;                       // half-width 1..100
    std::array<int32_t, 201> IntWeights{};  // -Size..Size at index + 100, sum 256
    double W(int j) const { return Weights[size_t(j + 100)]; }
    int32_t K(int j) const { return IntWeights[size_t(j + 100)]; }
};
extern TGaussKernel GaussKernel;

void BuildGaussKernel();
// Builds the kernel for the current radius; returns its half-width.
int32_t GaussKernelRadius();
// Scales the float weights From..To to sum 1.
void NormalizeKernel(int32_t From, int32_t To);
// Blurs the red channel of Src into the red and alpha bytes of Dst.
void BlurLine(const uint32_t* Src, uint32_t* Dst, int32_t Count);
// Blurs the mask (red channel) into alpha; blue, green and red become Color.
void GaussianBlurToAlpha(TBitmap& Bitmap, TColor Color, double Radius);
