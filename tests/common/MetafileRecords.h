#pragma once
// Windows and enhanced metafiles written record by record, and the small
// hostile files that once crashed the player or held it for seconds.
// Header-only: tests, benchmarks and the fuzz seeds share it.
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <tuple>
#include <vector>

namespace metafile_records {

inline void Put16(QByteArray& B, int V)
{
    B.append(char(V & 0xFF));
    B.append(char((V >> 8) & 0xFF));
}
inline void Put32(QByteArray& B, int64_t V)
{
    Put16(B, int(V & 0xFFFF));
    Put16(B, int((V >> 16) & 0xFFFF));
}
inline QByteArray Words(std::initializer_list<int> Ws)
{
    QByteArray b;
    for (int w : Ws)
        Put16(b, w);
    return b;
}
inline QByteArray Longs(std::initializer_list<int64_t> Ls)
{
    QByteArray b;
    for (int64_t l : Ls)
        Put32(b, l);
    return b;
}

// A device-independent bitmap (40-byte info header, 32 bits per pixel) of
// Rows, top row first; stored bottom-up or top-down.
inline QByteArray Dib(const std::vector<std::vector<QRgb>>& Rows, bool BottomUp)
{
    const int h = int(Rows.size()), w = h ? int(Rows[0].size()) : 0;
    QByteArray b = Longs({40, w, BottomUp ? h : -h}) + Words({1, 32}) + Longs({0, int64_t(w) * h * 4, 0, 0, 0, 0});
    for (int i = 0; i < h; ++i) {
        const auto& row = Rows[size_t(BottomUp ? h - 1 - i : i)];
        for (QRgb px : row)
            b += QByteArray(1, char(qBlue(px))) + char(qGreen(px)) + char(qRed(px)) + char(0);
    }
    return b;
}

// A Windows metafile (no placeable header) whose records are added one by one.
struct TWmf {
    QByteArray Records;
    int Objects = 16;  // the header's size of the object table
    TWmf& Add(int Function, const QByteArray& Params)
    {
        const int64_t words = 3 + (Params.size() + 1) / 2;
        Put32(Records, words);
        Put16(Records, Function);
        Records += Params;
        if (Params.size() % 2)
            Records.append('\0');
        return *this;
    }
    TWmf& Add(int Function, std::initializer_list<int> Params) { return Add(Function, Words(Params)); }
    // Header, records, end record.
    QByteArray Bytes() const
    {
        QByteArray b = Words({1, 9, 0x0300});
        Put32(b, (18 + Records.size() + 6) / 2);
        Put16(b, Objects);
        Put32(b, 3);
        Put16(b, 0);
        return b + Records + Longs({3}) + Words({0});
    }
};

// Functions of the Windows metafile records used here.
enum : int {
    wmfSetWindowOrg = 0x020B, wmfSetWindowExt = 0x020C, wmfTextOut = 0x0521, wmfExtTextOut = 0x0A32,
    wmfCreateBrush = 0x02FC, wmfSelectObject = 0x012D, wmfDeleteObject = 0x01F0, wmfRectangle = 0x041B,
    wmfSaveDC = 0x001E, wmfRestoreDC = 0x0127, wmfExcludeClipRect = 0x0415, wmfSetBkColor = 0x0201,
    wmfStretchDib = 0x0F43, wmfDibStretchBlt = 0x0B41, wmfCreatePen = 0x02FA, wmfEllipse = 0x0418,
    wmfMoveTo = 0x0214, wmfLineTo = 0x0213, wmfPolygon = 0x0324, wmfPolyPolygon = 0x0538,
};

// A window of W x H units at (0, 0).
inline TWmf WmfWindow(int W, int H)
{
    TWmf w;
    w.Add(wmfSetWindowOrg, {0, 0});
    w.Add(wmfSetWindowExt, {H, W});
    return w;
}
inline TWmf& WmfBrush(TWmf& W, QRgb C) { return W.Add(wmfCreateBrush, Words({0}) + Longs({int64_t(qRed(C) | qGreen(C) << 8 | qBlue(C) << 16)}) + Words({0})); }
inline TWmf& WmfRect(TWmf& W, int L, int T, int R, int B) { return W.Add(wmfRectangle, {B, R, T, L}); }

// An enhanced metafile of Width x Height reference pixels (96 per inch).
struct TEmf {
    QByteArray Records;
    int Count = 1;
    int Handles = 1;  // the header's size of the object table (slot 0 is the file's own)
    int Width = 100, Height = 100;
    TEmf& Add(int Type, const QByteArray& Params)
    {
        QByteArray p = Params;
        while (p.size() % 4)
            p.append('\0');
        Put32(Records, Type);
        Put32(Records, 8 + p.size());
        Records += p;
        ++Count;
        return *this;
    }
    QByteArray Bytes() const
    {
        const int64_t mmW = Width * 2540 / 96, mmH = Height * 2540 / 96;
        QByteArray b = Longs({1, 108, 0, 0, Width - 1, Height - 1, 0, 0, mmW - 1, mmH - 1, 0x464D4520, 0x10000,
                              108 + Records.size() + 20, Count + 1});
        Put16(b, Handles);
        Put16(b, 0);
        b += Longs({0, 0, 0, 1920, 1080, 508, 286, 0, 0, 0, 508000, 285750});
        return b + Records + Longs({14, 20, 0, 0, 20});
    }
};

enum : int {
    emfSetWindowExtEx = 9, emfSetViewportExtEx = 11, emfSetMapMode = 17, emfExtTextOutW = 84,
    emfCreateBrush = 39, emfSelectObject = 37, emfRectangle = 43, emfSaveDC = 33, emfRestoreDC = 34,
    emfPolyBezier = 2, emfPolygon = 3, emfBeginPath = 59, emfEndPath = 60, emfSelectClipPath = 67,
    emfExtSelectClipRgn = 75, emfIntersectClipRect = 30, emfPolyline = 4, emfCreatePen = 38,
    emfExtCreateFontIndirectW = 82, emfSetBkColor = 25,
};

// Points of a poly record (bounds left out, count first) in 32-bit coordinates.
inline QByteArray EmfPoints(const std::vector<std::pair<int, int>>& Points)
{
    QByteArray b = Longs({0, 0, 0, 0, int64_t(Points.size())});
    for (const auto& [x, y] : Points)
        b += Longs({x, y});
    return b;
}
// EXTSELECTCLIPRGN of device rectangles (left, top, right, bottom) combined by Mode.
inline QByteArray EmfClipRects(const std::vector<std::array<int, 4>>& Rects, int Mode)
{
    const int64_t n = int64_t(Rects.size());
    QByteArray b = Longs({32 + n * 16, Mode, 32, 1, n, n * 16, 0, 0, 0, 0});
    for (const auto& r : Rects)
        b += Longs({r[0], r[1], r[2], r[3]});
    return b;
}

// ExtTextOutW of Text at (X, Y), without advances.
inline QByteArray EmfTextOutW(int X, int Y, const QString& Text)
{
    QByteArray b = Longs({0, 0, -1, -1, 1, 0, 0, X, Y, Text.size(), 76, 0, 0, 0, -1, -1, 0});
    for (QChar c : Text)
        Put16(b, c.unicode());
    return b;
}

// The window 1 unit wide and -14492 high with one character drawn in it:
// text stretched far wider than high.
inline QByteArray StretchedTextWmf(bool Extended)
{
    TWmf w;
    w.Add(wmfSetWindowExt, {-14492, 1});
    if (Extended)
        w.Add(wmfExtTextOut, Words({0, 0, 1, 0}) + QByteArray("A"));
    else
        w.Add(wmfTextOut, Words({1}) + QByteArray("A", 2) + Words({0, 0}));
    return w.Bytes();
}
inline QByteArray StretchedTextEmf()
{
    TEmf e;
    e.Add(emfSetMapMode, Longs({8}));
    e.Add(emfSetWindowExtEx, Longs({1, 14492}));
    e.Add(emfSetViewportExtEx, Longs({100, 100}));
    e.Add(emfExtTextOutW, EmfTextOutW(0, 0, QStringLiteral("A")));
    return e.Bytes();
}

// Small files that make the player work long: name and bytes.
inline std::vector<std::pair<const char*, QByteArray>> SlowMetafiles()
{
    std::vector<std::pair<const char*, QByteArray>> files;
    {
        // 1,000 holes cut into the clip, each a little apart, then a fill.
        TWmf w = WmfWindow(2000, 2000);
        for (int i = 0; i < 1000; ++i) {
            const int x = (i * 37) % 1990, y = (i * 53) % 1990;
            w.Add(wmfExcludeClipRect, {y + 7, x + 7, y, x});
        }
        WmfBrush(w, qRgb(255, 0, 0)).Add(wmfSelectObject, {0});
        WmfRect(w, 0, 0, 2000, 2000);
        files.emplace_back("exclude-clip-rects.wmf", w.Bytes());
    }
    {
        // The whole object table filled, slot 0 freed, then creates that find it taken.
        TWmf w = WmfWindow(100, 100);
        w.Objects = 0xFFFF;
        for (int i = 0; i < 0xFFFF; ++i)
            WmfBrush(w, qRgb(0, 0, 255));
        w.Add(wmfDeleteObject, {0});
        for (int i = 0; i < 1000; ++i)
            WmfBrush(w, qRgb(0, 0, 255));
        files.emplace_back("full-object-table.wmf", w.Bytes());
    }
    {
        TWmf w = WmfWindow(100, 100);
        for (int i = 0; i < 1000000; ++i)
            w.Add(wmfSaveDC, {});
        files.emplace_back("million-savedc.wmf", w.Bytes());
    }
    {
        // Brushes created at ever new indexes, far past the header's table.
        TEmf e;
        for (int i = 0; i < 1000000; ++i)
            e.Add(emfCreateBrush, Longs({i + 1, 0, 0xFF, 0}));
        files.emplace_back("emf-object-indexes.emf", e.Bytes());
    }
    {
        // One character at a size of thousands of pixels.
        TEmf e;
        e.Add(emfSetMapMode, Longs({8}));
        e.Add(emfSetWindowExtEx, Longs({1, 1}));
        e.Add(emfSetViewportExtEx, Longs({30000, 30000}));
        e.Add(emfExtTextOutW, EmfTextOutW(0, 0, QStringLiteral("WWWW")));
        files.emplace_back("huge-text.emf", e.Bytes());
    }
    return files;
}

// Ten ellipses of a window ten units wide, framed by a dashed pen, each reaching
// 32,000 units to the left, above and below, its right edge crossing the
// picture at 1 ... 10.
inline QByteArray HugeEllipsesWmf()
{
    TWmf w = WmfWindow(10, 10);
    WmfBrush(w, qRgb(255, 0, 0)).Add(wmfSelectObject, {0});
    w.Add(wmfCreatePen, Words({1, 0, 0}) + Longs({0xFF0000})).Add(wmfSelectObject, {1});
    for (int i = 0; i < 10; ++i)
        w.Add(wmfEllipse, {32000, 1 + i, -32000, -32000});
    return w.Bytes();
}

// One POLYBEZIER of Curves curves from the middle of a 100 x 100 picture out to
// 2,000 times its size and back.
inline QByteArray FarBeziersEmf(int Curves)
{
    std::vector<std::pair<int, int>> pts{{50, 50}};
    for (int i = 0; i < Curves; ++i) {
        const int s = i % 2 ? -1 : 1;
        pts.insert(pts.end(), {{s * 200000, -200000}, {-s * 200000, 200000}, {50 + i % 7, 50 - i % 5}});
    }
    TEmf e;
    e.Add(emfPolyBezier, EmfPoints(pts));
    return e.Bytes();
}

// A 600 x 400 picture clipped to a path of a zigzag polygon of Points points,
// Tall pixels tall around the picture's middle, then filled blue.
inline QByteArray ZigzagClipPathEmf(int Points, int Tall = 80000)
{
    std::vector<std::pair<int, int>> pts;
    for (int i = 0; i < Points; ++i)
        pts.emplace_back(i % 2 ? 600 : 0, 200 - Tall / 2 + int(int64_t(i) * Tall / std::max(1, Points - 1)));
    TEmf e;
    e.Width = 600;
    e.Height = 400;
    e.Handles = 2;
    e.Add(emfBeginPath, {}).Add(emfPolygon, EmfPoints(pts)).Add(emfEndPath, {});
    e.Add(emfSelectClipPath, Longs({5}));
    e.Add(emfCreateBrush, Longs({1, 0, 0x0000FF, 0})).Add(emfSelectObject, Longs({1}));
    e.Add(emfRectangle, Longs({0, 0, 600, 400}));
    return e.Bytes();
}

// A 600 x 400 picture clipped to Rects single pixels two apart, then Rounds
// times a saved state restored and a small rectangle drawn.
inline QByteArray RestoredClipEmf(int Rects, int Rounds)
{
    std::vector<std::array<int, 4>> rects;
    for (int i = 0; i < Rects; ++i) {
        const int x = (i % 300) * 2, y = (i / 300) * 2;
        rects.push_back({x, y, x + 1, y + 1});
    }
    TEmf e;
    e.Width = 600;
    e.Height = 400;
    e.Add(emfExtSelectClipRgn, EmfClipRects(rects, 5));
    for (int i = 0; i < Rounds; ++i)
        e.Add(emfSaveDC, {}).Add(emfRestoreDC, Longs({-1})).Add(emfRectangle, Longs({i % 590, 100, i % 590 + 10, 110}));
    return e.Bytes();
}

// Records of Chars characters in a window of W x H units (at 600 x 400 pixels, by
// default 200 times higher than wide) running far past the picture.
inline QByteArray LongStretchedTextWmf(int Records, int Chars, int W = 2400, int H = 12)
{
    TWmf w = WmfWindow(W, H);
    for (int r = 0; r < Records; ++r) {
        QByteArray text(Chars, 'W');
        for (int i = 0; i < Chars; ++i)
            text[i] = char('A' + i % 26);
        w.Add(wmfExtTextOut, Words({0, 0, Chars, 0}) + text);
    }
    return w.Bytes();
}

// One record of Chars characters drawn at the same place (advances of 0) in a
// window 2,400 units wide and 12 high: all of them show.
inline QByteArray StackedStretchedTextWmf(int Chars)
{
    TWmf w = WmfWindow(2400, 12);
    QByteArray text(Chars, 'W');
    if (Chars % 2)
        text.append('\0');
    w.Add(wmfExtTextOut, Words({0, 1200, Chars, 0}) + text + QByteArray(Chars * 2, '\0'));
    return w.Bytes();
}

// A StretchDIB of a bitmap whose header promises 2^31 - 1 by 2^31 - 1 pixels
// of 32 bits, with a few bytes of bits, then a red rectangle.
inline QByteArray HugeDibWmf()
{
    QByteArray dib = Longs({40, 0x7FFFFFFF, 0x7FFFFFFF}) + Words({1, 32}) + Longs({0, 0, 0, 0, 0, 0});
    dib += QByteArray(16, char(0x80));
    TWmf w = WmfWindow(100, 100);
    w.Add(wmfStretchDib, Longs({0x00CC0020}) + Words({0, 1, 1, 0, 0, 100, 100, 0, 0}) + dib);
    WmfBrush(w, qRgb(255, 0, 0)).Add(wmfSelectObject, {0});
    WmfRect(w, 0, 0, 100, 100);
    return w.Bytes();
}

// Files whose work the player's budget once left uncounted, at the sizes that
// took seconds (Full), or small enough to seed a fuzzer.
// The metafiles in Folder by file name: tests/data/metafile/ordinary holds drawings
// LibreOffice Draw made of SVG files (the corpus that must be drawn whole at every
// size), tests/data/metafile/hostile small crafted ones.
inline std::vector<std::pair<QString, QByteArray>> MetafilesIn(const QString& Folder)
{
    std::vector<std::pair<QString, QByteArray>> files;
    for (const QString& name : QDir(Folder).entryList({QStringLiteral("*.wmf"), QStringLiteral("*.emf")}, QDir::Files)) {
        QFile f(Folder + QLatin1Char('/') + name);
        if (f.open(QIODevice::ReadOnly))
            files.emplace_back(name, f.readAll());
    }
    return files;
}

// Pictures of 600 x 400 reference pixels that each spend a play's budget on one kind
// of work, as far as the play takes them: name and bytes.
inline std::vector<std::pair<const char*, QByteArray>> BudgetKindMetafiles()
{
    auto picture = [] {
        TEmf e;
        e.Width = 600;
        e.Height = 400;
        e.Handles = 4;
        return e;
    };
    // A zigzag of Teeth teeth from top to bottom across the picture, shifted by Shift.
    auto zigzag = [](int Teeth, int Shift) {
        std::vector<std::pair<int, int>> points;
        for (int i = 0; i <= Teeth; ++i)
            points.emplace_back(Shift + i * 600 / Teeth, i % 2 ? 395 : 5);
        return points;
    };
    // ExtTextOutW of Text at (X, Y), Advance units apart.
    auto text = [](int X, int Y, const QString& Text, int Advance) {
        const int64_t n = Text.size();
        QByteArray b = Longs({0, 0, -1, -1, 1, 0, 0, X, Y, n, 76, 0, 0, 0, -1, -1, 76 + (n * 2 + 3) / 4 * 4});
        for (QChar c : Text)
            Put16(b, c.unicode());
        if (n % 2)
            Put16(b, 0);
        for (int64_t i = 0; i < n; ++i)
            Put32(b, Advance);
        return b;
    };
    auto font = [](int Height, const QString& Face) {
        QByteArray b = Longs({1, Height, 0, 0, 0, 400, 0, 0});
        for (int i = 0; i < 32; ++i)
            Put16(b, i < Face.size() ? Face[i].unicode() : 0);
        return b;
    };
    const auto noPen = Longs({0x80000008}), noBrush = Longs({0x80000005});
    std::vector<std::pair<const char*, QByteArray>> files;
    {
        TEmf e = picture();
        for (int i = 0; i < 1200000; ++i)
            e.Add(emfSetBkColor, Longs({i & 0xFFFFFF}));
        files.emplace_back("records", e.Bytes());
    }
    {
        TEmf e = picture();
        e.Add(emfSelectObject, noPen).Add(emfSelectObject, noBrush);
        std::vector<std::pair<int, int>> points;
        for (int i = 0; i < 16000; ++i)
            points.emplace_back(300 + i % 3, 200 + i % 5);
        for (int i = 0; i < 80; ++i)
            e.Add(emfPolygon, EmfPoints(points));
        files.emplace_back("points", e.Bytes());
    }
    {
        TEmf e = picture();
        e.Add(emfExtCreateFontIndirectW, font(-10, QStringLiteral("DejaVu Sans"))).Add(emfSelectObject, Longs({1}));
        QString line;
        for (int i = 0; i < 100; ++i)
            line += QChar(u'a' + i % 26);
        for (int i = 0; i < 1200; ++i)
            e.Add(emfExtTextOutW, text(0, 20 + i % 37 * 10, line, 6));
        files.emplace_back("glyphs", e.Bytes());
    }
    {
        TEmf e = picture();
        std::vector<std::array<int, 4>> rects;
        for (int i = 0; i < 1000; ++i)
            rects.push_back({i % 100 * 6, i / 100 * 40, i % 100 * 6 + 3, i / 100 * 40 + 20});
        const QByteArray clip = EmfClipRects(rects, 5);
        for (int i = 0; i < 1200; ++i)
            e.Add(emfExtSelectClipRgn, clip);
        files.emplace_back("clip rectangles", e.Bytes());
    }
    files.emplace_back("curve pieces", FarBeziersEmf(3000));
    {
        TEmf e = picture();
        e.Handles = 1000;
        for (int i = 0; i < 600; ++i) {
            e.Add(emfExtCreateFontIndirectW, font(-10, QStringLiteral("No Such Face %1").arg(i)));
            e.Add(emfSelectObject, Longs({1}));
            e.Add(emfExtTextOutW, text(i, 200, QStringLiteral("A"), 6));
        }
        files.emplace_back("face lookups", e.Bytes());
    }
    {
        TEmf e = picture();
        e.Add(emfCreateBrush, Longs({1, 0, 0x000000, 0})).Add(emfSelectObject, Longs({1})).Add(emfSelectObject, noPen);
        for (int i = 0; i < 200; ++i)
            e.Add(emfPolygon, EmfPoints(zigzag(100, i % 5)));
        files.emplace_back("filled zigzags", e.Bytes());
    }
    // Zigzag lines with a solid pen 2 units wide, and with a dashed pen of 1.
    for (const auto& [name, style, width] : {std::tuple{"wide zigzag lines", 0, 2}, {"dashed zigzag lines", 1, 1}}) {
        TEmf e = picture();
        e.Add(emfSelectObject, noBrush);
        e.Add(emfCreatePen, Longs({1, style, width, 0, 0})).Add(emfSelectObject, Longs({1}));
        for (int i = 0; i < 200; ++i)
            e.Add(emfPolyline, EmfPoints(zigzag(100, i % 5)));
        files.emplace_back(name, e.Bytes());
    }
    {
        TEmf e = picture();
        e.Add(emfCreateBrush, Longs({1, 0, 0x0000FF, 0})).Add(emfSelectObject, Longs({1})).Add(emfSelectObject, noPen);
        for (int i = 0; i < 2000; ++i)
            e.Add(emfRectangle, Longs({0, 0, 600, 400}));
        files.emplace_back("filled rectangles", e.Bytes());
    }
    {
        TEmf e = picture();
        e.Add(emfExtCreateFontIndirectW, font(-300, QStringLiteral("DejaVu Sans"))).Add(emfSelectObject, Longs({1}));
        for (int i = 0; i < 20; ++i)
            e.Add(emfExtTextOutW, text(100, 50, QString(1000, QLatin1Char('W')), 0));
        files.emplace_back("stacked glyphs", e.Bytes());
    }
    return files;
}

inline std::vector<std::pair<const char*, QByteArray>> CostlyMetafiles(bool Full)
{
    return {
        {"huge-ellipses.wmf", HugeEllipsesWmf()},
        {"far-beziers.emf", FarBeziersEmf(Full ? 3000 : 600)},
        {"zigzag-clip-path.emf", ZigzagClipPathEmf(Full ? 100 : 60)},
        {"restored-clip.emf", Full ? RestoredClipEmf(30000, 2000) : RestoredClipEmf(2500, 300)},
        {"long-stretched-text.wmf", LongStretchedTextWmf(3, Full ? 32000 : 4000)},
        {"huge-dib.wmf", HugeDibWmf()},
    };
}

}  // namespace metafile_records
