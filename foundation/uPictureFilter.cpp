#include "uPictureFilter.h"

#include "ParallelRows.h"
#include "SysUtils.h"
#include "uDebug.h"
#include "uHSLUtil.h"

#include <QTransform>
#include <algorithm>
#include <cmath>

namespace {

const char* const cOnly32Bit = "nur 32bit Bilder werden unterst\xFCtzt";

void Check32Bit(const BitmapData& Data)
{
    if (!Is32BitFormat(Data.PixelFormat))
        throw Exception(AnsiString(cOnly32Bit));
}

uint8_t* ScanLine(BitmapData& Data, int Row)
{
    return Data.Scan0 + intptr_t(Row) * Data.Stride;
}

// Percentage after a row; a single row is all of the picture.
void ReportRow(const TFilterProgress& Progress, int Row, int Height)
{
    if (Progress)
        Progress(Height > 1 ? MulDiv(100, Row, Height - 1) : 100);
}

// Runs a function on every row (its first pixel and its width), rows spread
// over the cores when the picture is large; progress on the calling thread.
template <typename F>
void ForEachRow(BitmapData& Data, const TFilterProgress& Progress, F&& f)
{
    const int w = int(Data.Width), h = int(Data.Height);
    if (w <= 0)
        return;
    // A band of rows is worth a thread from about 64 K pixels on.
    const int minRows = std::max(1, 65536 / w);
    ParallelRows(
        h, minRows,
        [&](int First, int Last) {
            for (int y = First; y < Last; ++y)
                f(ScanLine(Data, y), w);
        },
        [&](int Done) { ReportRow(Progress, Done - 1, h); });
}

// Runs a per-pixel function over every row.
template <typename F>
void ForEachPixel(BitmapData& Data, const TFilterProgress& Progress, F&& f)
{
    ForEachRow(Data, Progress, [&](uint8_t* p, int w) {
        for (int x = 0; x < w; ++x, p += 4)
            f(p);
    });
}

// Locks the whole picture as 32-bit ARGB, runs the data filter, and writes
// the pixels back in the picture's own format.
template <typename F>
GpStatus FilterLocked(QImage& Bitmap, F&& filter)
{
    if (Bitmap.isNull())
        return GpInvalidParameter;
    const QImage::Format original = Bitmap.format();
    if (original != QImage::Format_ARGB32)
        Bitmap.convertTo(QImage::Format_ARGB32);
    BitmapData data;
    if (!LockBits(Bitmap, data))
        return GpInvalidParameter;
    try {
        filter(data);
    } catch (...) {
        if (original != QImage::Format_ARGB32)
            Bitmap.convertTo(original);
        throw;
    }
    if (original != QImage::Format_ARGB32)
        Bitmap.convertTo(original);
    return GpOk;
}

}  // namespace

bool CheckRange(double Max, double Min, double Value)
{
    return Min <= Value && Value <= Max;
}

uint8_t ClipByte(int I)
{
    return I < 0 ? 0 : I > 255 ? 255 : uint8_t(I);
}

bool Is32BitFormat(int32_t PixelFormat)
{
    return PixelFormat == PixelFormat32bppARGB || PixelFormat == PixelFormat32bppPARGB
        || PixelFormat == PixelFormat32bppRGB;
}

void ApplyLookupTable(BitmapData& Data, const int* TableB, const int* TableG, const int* TableR,
                      const TFilterProgress& Progress)
{
    ForEachPixel(Data, Progress, [=](uint8_t* p) {
        p[0] = uint8_t(TableB[p[0]]);
        p[1] = uint8_t(TableG[p[1]]);
        p[2] = uint8_t(TableR[p[2]]);
    });
}

void HKIGFilterData(BitmapData& Data, const TFilterProgress& Progress, float Brightness,
                    float Contrast, float Intensity, float Gamma)
{
    Check32Bit(Data);
    if (!CheckRange(1, -1, Brightness))
        throw Exception(AnsiString("prozHelligkeit au\xDF" "erhalb von -1..1"));
    if (!CheckRange(1, -1, Contrast))
        throw Exception(AnsiString("prozKontrast au\xDF" "erhalb von -1..1"));
    if (!CheckRange(1, -1, Intensity))
        throw Exception(AnsiString("prozIntensitaet au\xDF" "erhalb von -1..1"));
    if (!CheckRange(100, 0.0001, Gamma))
        throw Exception(AnsiString("gamma au\xDF" "erhalb von 0,0001..100"));

    const double k = Contrast < 0 ? (127.0 * Contrast + 128) / 128 : 128 / (128 - 127.0 * Contrast);
    const int64_t brightness = Round(double(Brightness) * 255);
    int table[256];
    for (int i = 0; i < 256; ++i) {
        int64_t t = Round(255 * std::pow(i / 255.0, 1.0 / Gamma));
        t = t + brightness;
        t = Round((double(t) - 128) * k + 128);
        t = Round(double(t) * (1 + double(Intensity)));
        table[i] = ClipByte(int(t));
    }
    ApplyLookupTable(Data, table, table, table, Progress);
}

void HSLFilterData(BitmapData& Data, const TFilterProgress& Progress, float dH, float dS, float dL)
{
    Check32Bit(Data);
    const THSLShifter shift(dH, dS, dL);
    ForEachRow(Data, Progress, [&](uint8_t* p, int w) { shift.ApplyRow(p, w); });
}

void SWColFilterData(BitmapData& Data, const TFilterProgress& Progress, float Hue,
                     float Saturation)
{
    Check32Bit(Data);
    uint8_t tb[256], tg[256], tr[256];
    for (int i = 0; i < 256; ++i) {
        const TColor c = HSLToRGB(Hue, Saturation, i / 255.0);
        tb[i] = GetBValue(c);
        tg[i] = GetGValue(c);
        tr[i] = GetRValue(c);
    }
    ForEachPixel(Data, Progress, [&](uint8_t* p) {
        const int grey = (p[0] + p[1] + p[2]) / 3;
        p[0] = tb[grey];
        p[1] = tg[grey];
        p[2] = tr[grey];
    });
}

GpStatus HKIGFilter(QImage& Bitmap, const TFilterProgress& Progress, float Brightness,
                    float Contrast, float Intensity, float Gamma)
{
    return FilterLocked(Bitmap, [&](BitmapData& d) {
        HKIGFilterData(d, Progress, Brightness, Contrast, Intensity, Gamma);
    });
}

GpStatus HSLFilter(QImage& Bitmap, const TFilterProgress& Progress, float dH, float dS, float dL)
{
    return FilterLocked(Bitmap, [&](BitmapData& d) { HSLFilterData(d, Progress, dH, dS, dL); });
}

GpStatus SWColFilter(QImage& Bitmap, const TFilterProgress& Progress, float Hue, float Saturation)
{
    return FilterLocked(Bitmap, [&](BitmapData& d) { SWColFilterData(d, Progress, Hue, Saturation); });
}

std::unique_ptr<QImage> CreateCloneCopy(const QImage* Picture, int Angle)
{
    if (!Picture)
        return nullptr;
    Angle %= 360;
    if (Angle < 0)
        Angle += 360;
    if (Angle % 90 != 0)
        throw EInvalidArgument(Format("CreateCloneCopy: Winkel %d ist kein Vielfaches von 90", {Angle}));
    std::unique_ptr<QImage> copy;
    if (Angle == 0)
        copy = std::make_unique<QImage>(Picture->copy());
    else
        copy = std::make_unique<QImage>(Picture->transformed(QTransform().rotate(Angle)));
    Debug().LogFmt("Create CloneCopy Ende - Winkel: %d", {Angle});
    return copy;
}
