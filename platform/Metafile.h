#pragma once
// The class library's metafile: a Windows metafile (with or without its
// placeable header) or an enhanced metafile, read from its file bytes and
// played record by record onto a QPainter. The records are checked with
// libuemf before any field of them is read; a damaged record ends the play.
#include <QByteArray>
#include <QRectF>

#include <cstdint>

class QPainter;

class TMetafile {
public:
    // False (and empty) when the bytes are neither kind of metafile.
    bool LoadFromBytes(const QByteArray& Bytes);
    bool Empty() const { return bytes_.isEmpty(); }
    bool Enhanced() const { return enhanced_; }
    // The picture's size in 0.01 mm.
    int32_t MMWidth() const { return mmWidth_; }
    int32_t MMHeight() const { return mmHeight_; }
    // Metafile units per inch of the placeable header; 0 when there is none.
    int32_t Inch() const { return inch_; }
    // Size in pixels of a device with PixelsPerInch.
    int32_t Width(int32_t PixelsPerInch) const;
    int32_t Height(int32_t PixelsPerInch) const;
    // What one play spent of its budget, and whether it reached its time limit.
    struct TPlayCost {
        int64_t Work = 0;
        int64_t Raster = 0;
        int64_t Pixels = 0;
        bool TimedOut = false;
    };
    // Plays the records so that the picture's frame fills Dest (in the
    // painter's current coordinates); the painter's state is kept. One play
    // does a bounded amount of work and ends at its time limit, which follows the part
    // of Dest inside the painter's clip and device: once either is reached the rest of
    // the picture is left out, and the result is false.
    bool Draw(QPainter& Painter, const QRectF& Dest, TPlayCost* Cost = nullptr) const;

    // The time limit of a play shown on Area device pixels: TimeLimitSeconds up to
    // TimeLimitArea, above it in proportion to the area; times the limit factor.
    static constexpr double TimeLimitSeconds = 0.25;
    static constexpr double TimeLimitArea = 600 * 400;
    static double TimeLimit(double Area);
    // Tests widen the limit by a factor, so that a loaded machine does not cut ordinary
    // drawings, and may time plays by a clock of their own (nanoseconds; nullptr: the
    // monotonic clock).
    static void SetTimeLimitFactor(double Factor);
    using TClock = int64_t (*)();
    static void SetClock(TClock Clock);

    // The budget of one play, whose units take about 50 ns each, so that at 600 x 400
    // pixels a whole budget costs well under the time limit: records, points, glyphs
    // and clip rectangles ...
    static constexpr int64_t MaxWork = 1100000;
    // ... the rasteriser's work on what is filled and stroked, RasterWorkPerPixel per
    // pixel of the shown width and height ...
    static constexpr double RasterWorkPerPixel = 1600;
    // ... and device pixels painted, at least this many or MaxOverdraw times the shown area.
    static constexpr int64_t MaxPixels = 32 * 1024 * 1024;
    static constexpr int64_t MaxOverdraw = 200;
    // Saved device states kept at most; a deeper save is refused.
    static constexpr int32_t MaxSavedStates = 1024;
    // The em of text in device pixels: below MinTextPixels or above MaxTextPixels the
    // text is left out; glyphs are drawn up to MaxGlyphPixels and stretched by at
    // most MaxGlyphStretch, one by one from MinGlyphPixels on and below it a whole
    // text at once; other text is filled as outlines.
    static constexpr double MinTextPixels = 0.5;
    static constexpr double MaxTextPixels = 8192;
    static constexpr double MinGlyphPixels = 2;
    static constexpr double MaxGlyphPixels = 1024;
    static constexpr double MaxGlyphStretch = 8;

private:
    bool LoadWmf();
    bool LoadEmf();
    QByteArray bytes_;
    bool enhanced_ = false;
    int32_t mmWidth_ = 0;
    int32_t mmHeight_ = 0;
    int32_t inch_ = 0;
    QRectF frame_;          // WMF: logical units; EMF: reference-device pixels
    int32_t recordStart_ = 0;  // the first record after the headers
    uint32_t tableSize_ = 0;   // size of the object table the header asks for
    double pixelsPerMM_ = 96 / 25.4;  // EMF: of the reference device
};
