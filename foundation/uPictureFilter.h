#pragma once
// Picture filters on 32-bit pixels (bytes blue, green, red, alpha; alpha is
// never changed): brightness/contrast/intensity/gamma, hue/saturation/
// lightness, black-and-white or tint; and the turned copy of a picture.
#include "Canvas.h"

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>

constexpr int32_t PixelFormat32bppPARGB = 0xE200B;
constexpr int32_t PixelFormat32bppRGB = 0x22009;

// Result of a filter run on a picture: the lock's status.
enum GpStatus : int32_t { GpOk = 0, GpInvalidParameter = 2 };

// Called after every row with the percentage done.
using TFilterProgress = std::function<void(int Percent)>;

bool CheckRange(double Max, double Min, double Value);
uint8_t ClipByte(int I);
bool Is32BitFormat(int32_t PixelFormat);

void ApplyLookupTable(BitmapData& Data, const int* TableB, const int* TableG, const int* TableR,
                      const TFilterProgress& Progress);
void HKIGFilterData(BitmapData& Data, const TFilterProgress& Progress, float Brightness,
                    float Contrast, float Intensity, float Gamma);
void HSLFilterData(BitmapData& Data, const TFilterProgress& Progress, float dH, float dS, float dL);
void SWColFilterData(BitmapData& Data, const TFilterProgress& Progress, float Hue,
                     float Saturation);

// The same on a whole picture, locked as 32-bit ARGB for reading and writing.
// The result is the lock status; a picture that cannot be locked (a null
// image) is returned untouched with GpInvalidParameter.
GpStatus HKIGFilter(QImage& Bitmap, const TFilterProgress& Progress, float Brightness,
                    float Contrast, float Intensity, float Gamma);
GpStatus HSLFilter(QImage& Bitmap, const TFilterProgress& Progress, float dH, float dS, float dL);
GpStatus SWColFilter(QImage& Bitmap, const TFilterProgress& Progress, float Hue, float Saturation);

// A new picture holding Picture turned clockwise by Angle, a multiple of 90
// (other angles raise EInvalidArgument); nullptr for a null picture.
std::unique_ptr<QImage> CreateCloneCopy(const QImage* Picture, int Angle);
