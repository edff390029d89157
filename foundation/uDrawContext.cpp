#include "uDrawContext.h"

#include <QImage>

#include <algorithm>
#include <cmath>

#include "SysUtils.h"
#include "uDebug.h"
#include "uFontcache.h"

namespace {

// Snaps to 1/10000 (truncating), then rounds half to even.
int32_t SnapRound(float c)
{
    const double snapped = double(Trunc(double(c) / 0.0001 + 0.5)) * 0.0001;
    return int32_t(Round(snapped));
}

// Read-only view of a 32-bit image.
bool ViewBits(const QImage& Image, BitmapData& Data)
{
    Data = BitmapData{};
    if (Image.isNull() || Image.format() != QImage::Format_ARGB32)
        return false;
    Data.Width = Image.width();
    Data.Height = Image.height();
    Data.Stride = int32_t(Image.bytesPerLine());
    Data.PixelFormat = PixelFormat32bppARGB;
    Data.Scan0 = const_cast<uint8_t*>(Image.constBits());
    return true;
}

TRect Clip3(const TRect& R, const TRect& A, const TRect& B)
{
    TRect r;
    IntersectRect(r, R, A);
    IntersectRect(r, r, B);
    return r;
}

// The device's surface: nothing outside it is drawn or rendered.
TRect Surface(TCanvas* C)
{
    const QRect r = C->DeviceRegion().boundingRect();
    return TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

}  // namespace

QImage AsARGB32(const QImage& Image)
{
    if (Image.format() == QImage::Format_ARGB32)
        return Image;
    if (Image.format() == QImage::Format_RGB32)
        return QImage(Image.constBits(), Image.width(), Image.height(), Image.bytesPerLine(),
                      QImage::Format_ARGB32);
    return Image.convertToFormat(QImage::Format_ARGB32);
}

// ---- construction ------------------------------------------------------------------------

TDrawContext::TDrawContext(TCanvas* ACanvas)
    : Font(std::make_unique<TFont>()),
      MeasureCanvas(std::make_unique<TCanvas>()),
      Canvas(ACanvas),
      Transformation(std::make_unique<TTransformation>())
{
    Font->SetName("Arial");
    Font->OnChange = [](TObject*) {};
}

TDrawContext::~TDrawContext() = default;

// ---- coordinates ---------------------------------------------------------------------------

TPoint TDrawContext::PageToDevice(float X, float Y)
{
    float rx, ry;
    Transformation->Transform(X, Y, rx, ry);
    return TPoint{SnapRound(rx), SnapRound(ry)};
}

TPoint TDrawContext::VectorToDevice(float DX, float DY)
{
    float rx, ry;
    Transformation->TransformVector(DX, DY, rx, ry);
    return TPoint{int32_t(Round(rx)), int32_t(Round(ry))};
}

TPointArray TDrawContext::PointsToDevice(const TPointFArray& Points)
{
    TPointArray result;
    result.reserve(Points.size());
    for (const TPointF& p : Points)
        result.push_back(PageToDevice(p.X, p.Y));
    return result;
}

TPointF TDrawContext::DeviceToPage(int32_t X, int32_t Y)
{
    TPointF p;
    Transformation->InverseTransform(float(X), float(Y), p.X, p.Y);
    return p;
}

TPointF TDrawContext::DeviceVectorToPage(int32_t DX, int32_t DY)
{
    TPointF p;
    Transformation->InverseTransformVector(float(DX), float(DY), p.X, p.Y);
    return p;
}

// ---- pen, brush, font ------------------------------------------------------------------------

void TDrawContext::SetPenColor(TColor Color) { Canvas->Pen().SetColor(Color); }

void TDrawContext::SetPenStyle(TPenStyle Style) { Canvas->Pen().SetStyle(Style); }

TBrush& TDrawContext::GetBrush() { return Canvas->Brush(); }

void TDrawContext::SetPenWidth(float W)
{
    PenWidth = W;
    int32_t width = 1;
    if (W != 0) {
        const TPoint v = VectorToDevice(W, 0);
        width = int32_t(Round(std::sqrt(double(v.X) * v.X + double(v.Y) * v.Y)));
    }
    Canvas->Pen().SetWidth(width);
}

void TDrawContext::SetPenWidthPixels(int32_t N)
{
    Canvas->Pen().SetWidth(N);
    PenWidth = VectorLength(DeviceVectorToPage(N, 0));
}

void TDrawContext::SetFont(const TFont& AFont) { Font->Assign(AFont); }

void TDrawContext::PrepareFont()
{
    Canvas->Font().Assign(*Font);
    const float h = float(Font->Size() / 72.0 * 25.4);
    float vx, vy;
    Transformation->TransformVector(0, h, vx, vy);
    FontPixelHeight = float(std::sqrt(double(vx) * vx + double(vy) * vy));
    int32_t height = -int32_t(Round(FontPixelHeight));
    if (height == 0)
        height = -1;
    Canvas->Font().SetHeight(height);
    Canvas->SetFontEscapement(int(Round(10.0 * VectorAngle(vy, vx))));
}

void TDrawContext::GetTextMetrics(TTextMetric& TM)
{
    PrepareFont();
    TM = Canvas->GetTextMetrics();
}

// ---- lines and shapes ----------------------------------------------------------------------------

void TDrawContext::MoveTo(float X, float Y)
{
    const TPoint p = PageToDevice(X, Y);
    Canvas->MoveTo(p.X, p.Y);
}

void TDrawContext::LineTo(float X, float Y)
{
    const TPoint p = PageToDevice(X, Y);
    Canvas->LineTo(p.X, p.Y);
}

void TDrawContext::Line(float X1, float Y1, float X2, float Y2)
{
    MoveTo(X1, Y1);
    LineTo(X2, Y2);
}

void TDrawContext::Polyline(const TPointFArray& Points) { Canvas->Polyline(PointsToDevice(Points)); }

void TDrawContext::BezierTo(const TPointF& P1, const TPointF& P2, const TPointF& P3)
{
    Canvas->PolyBezierTo(PointsToDevice({P1, P2, P3}));
}

void TDrawContext::Rectangle(float Left, float Top, float Right, float Bottom)
{
    Canvas->Polygon(PointsToDevice({{Left, Top}, {Right, Top}, {Right, Bottom}, {Left, Bottom}}));
}

void TDrawContext::RectangleRect(const TRectF& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }

void TDrawContext::RectangleCentered(float CX, float CY, float W, float H)
{
    Rectangle(CX - W / 2, CY - H / 2, CX + W / 2, CY + H / 2);
}

void TDrawContext::RotatedRectangle(float CX, float CY, float W, float H, float Angle)
{
    Transformation->Push();
    Transformation->Translate(CX, CY);
    Transformation->Rotate(Angle);
    Rectangle(-W / 2, -H / 2, W / 2, H / 2);
    Transformation->Pop();
}

void TDrawContext::Ellipse(float CX, float CY, float W, float H)
{
    const float k = 0.2761423749154f;
    const float kx = k * W;
    const float ky = k * H;
    const float l = CX - W / 2, r = CX + W / 2, t = CY - H / 2, b = CY + H / 2;
    const TPointFArray pts{{l, CY},      {l, CY - ky},  {CX - kx, t}, {CX, t},      {CX + kx, t},
                           {r, CY - ky}, {r, CY},       {r, CY + ky}, {CX + kx, b}, {CX, b},
                           {CX - kx, b}, {l, CY + ky}, {l, CY}};
    BeginPath();
    Canvas->PolyBezier(PointsToDevice(pts));
    EndPath();
    StrokeAndFillPath();
}

// ---- paths and clipping ------------------------------------------------------------------------

void TDrawContext::BeginPath() { Canvas->BeginPath(); }
void TDrawContext::EndPath() { Canvas->EndPath(); }
void TDrawContext::CloseFigure() { Canvas->CloseFigure(); }
void TDrawContext::StrokePath() { Canvas->StrokePath(); }
void TDrawContext::StrokeAndFillPath() { Canvas->StrokeAndFillPath(); }

void TDrawContext::SelectClipPath(int Mode)
{
    if (Canvas->HasClipRegion())
        ClipStack.push_back(Canvas->ClipRegion());
    Canvas->SelectClipPath(Mode);
}

void TDrawContext::RestoreClip()
{
    if (ClipStack.empty()) {
        Canvas->SelectClipRegion(nullptr);
        return;
    }
    const QRegion r = ClipStack.back();
    ClipStack.pop_back();
    Canvas->SelectClipRegion(&r);
}

void TDrawContext::ClipRect(float Left, float Top, float Right, float Bottom, int Mode)
{
    BeginPath();
    MoveTo(Left, Top);
    LineTo(Right, Top);
    LineTo(Right, Bottom);
    LineTo(Left, Bottom);
    LineTo(Left, Top);
    CloseFigure();
    EndPath();
    SelectClipPath(Mode);
}

void TDrawContext::ClipRotatedRect(float CX, float CY, float W, float H, float Angle, int Mode)
{
    Transformation->Push();
    Transformation->RotateAt(CX, CY, Angle);
    ClipRect(CX - W / 2, CY - H / 2, CX + W / 2, CY + H / 2, Mode);
    Transformation->Pop();
}

// ---- text ------------------------------------------------------------------------------------------

std::function<void(const AnsiString& Text)> DrawTextHook;

void TDrawContext::TextOut(const AnsiString& Text, int Align, float X, float Y)
{
    if (DrawTextHook)
        DrawTextHook(Text);
    Canvas->Brush().SetStyle(bsClear);
    PrepareFont();
    TPoint p = PageToDevice(X, Y);
    const TFontInfo& info = FontCache.GetFontInfo(*Font);
    const float size = std::fabs(FontPixelHeight);
    std::vector<int> dx(Text.size());
    const std::vector<int32_t> widths = info.TextWidths(Text);
    float s = 0;
    int32_t q = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        s = s + float(double(widths[i]) / info.EmSquare * size);
        const int32_t pos = int32_t(Trunc(double(s) + 0.5));
        dx[i] = pos - q;
        q = pos;
    }
    if (Align == 2) {
        const float l = VectorLength(DeviceVectorToPage(q, 0));
        p = PageToDevice(X - l, Y);
    }
    Canvas->ExtTextOut(p.X, p.Y, Text, dx.data());
    Canvas->Brush().SetStyle(bsSolid);
}

// The measuring canvas needs no device: it measures from the font's outlines.
void TDrawContext::BeginMeasure() {}

void TDrawContext::EndMeasure() {}

void TDrawContext::PrepareMeasureFont()
{
    TFont& f = MeasureCanvas->Font();
    f.Assign(*Font);
    f.SetPixelsPerInch(720);
    f.SetSize(Font->Size());
}

float TDrawContext::TextWidth(const AnsiString& Text)
{
    BeginMeasure();
    PrepareMeasureFont();
    const int w = MeasureCanvas->TextWidth(Text);
    EndMeasure();
    return float(w / 720.0 * 25.4);
}

float TDrawContext::TextHeight(const AnsiString& Text)
{
    BeginMeasure();
    PrepareMeasureFont();
    const int h = MeasureCanvas->TextHeight(Text);
    EndMeasure();
    return float(h / 720.0 * 25.4);
}

void TDrawContext::WrapText(const AnsiString& Text, TStringList& Lines, float Width)
{
    if (Text.empty())
        return;
    BeginMeasure();
    PrepareMeasureFont();
    const int32_t limit = int32_t(Round(Width / 25.4 * 720));
    const size_t len = Text.size();
    auto extent = [&](size_t from, size_t to) {
        return MeasureCanvas->TextWidth(Text.substr(from, to - from));
    };
    auto add = [&](size_t from, size_t to, intptr_t hard) {
        Lines.AddObject(Text.substr(from, to - from), reinterpret_cast<void*>(hard));
    };
    size_t start = 0;       // line start
    size_t scan = 0;        // where the next word begins
    bool hasBreak = false;  // a space of this line to break at
    size_t lastBreak = 0;
    for (;;) {
        size_t stop = scan;
        while (stop < len && Text[stop] != ' ' && Text[stop] != '\r')
            ++stop;
        if (extent(start, stop) <= limit) {
            if (stop >= len) {
                add(start, len, 1);
                break;
            }
            if (Text[stop] == ' ') {
                hasBreak = true;
                lastBreak = stop;
                scan = stop + 1;
                continue;
            }
            // Carriage return: a hard line end; a following line feed belongs to it.
            add(start, stop, 1);
            start = stop + 1;
            if (start < len && Text[start] == '\n')
                ++start;
            scan = start;
            hasBreak = false;
            continue;
        }
        if (hasBreak) {
            add(start, lastBreak, 0);
            start = lastBreak + 1;
        } else {
            // One word wider than the line: as much of it as fits, at least one character.
            size_t end = stop;
            while (end > start + 1 && extent(start, end) > limit)
                --end;
            if (end >= len) {  // the last character: the text ends here
                add(start, len, 1);
                break;
            }
            add(start, end, 0);
            start = end;
        }
        scan = start;
        hasBreak = false;
    }
    EndMeasure();
}

float TDrawContext::DrawText(const AnsiString& Text, uint32_t Flags, float Left, float Top,
                             float Right, float Bottom)
{
    const bool draw = !(Flags & DT_MEASUREONLY);
    auto lineX = [&](float w) {
        if (Flags & DT_HCENTER)
            return (Left + Right - w) / 2;
        if (Flags & DT_HRIGHT)
            return Right - w;
        return Left;
    };
    if (!(Flags & DT_WORDWRAP)) {
        const float w = TextWidth(Text);
        const float h = TextHeight(Text);
        float y = Top;
        if (Flags & DT_VCENTER)
            y = (Top + Bottom - h) / 2;
        else if (Flags & DT_VBOTTOM)
            y = Bottom - h;
        if (draw)
            TextOut(Text, 0, lineX(w), y);
        return h;
    }
    TStringList lines;
    WrapText(Text, lines, Right - Left);
    if (lines.Count() == 0)
        return 0;
    const float h = TextHeight("Xy");
    const float total = float(lines.Count()) * h;
    float y = Top;
    if (Flags & DT_VCENTER)
        y = (Top + Bottom - total) / 2;
    else if (Flags & DT_VBOTTOM)
        y = Bottom - total;
    y = std::max(Top, y);
    if (draw)
        for (int i = 0; i < lines.Count(); ++i) {
            TextOut(lines[i], 0, lineX(TextWidth(lines[i])), y);
            y += h;
        }
    return total;
}

float TDrawContext::DrawTextRect(const TRectF& R, const AnsiString& Text, uint32_t Flags)
{
    return DrawText(Text, Flags, R.Left, R.Top, R.Right, R.Bottom);
}

// ---- images ------------------------------------------------------------------------------------------

void TDrawContext::GetBitmapData(TBitmap& Bitmap, BitmapData& Data)
{
    Data = BitmapData{};
    if (Bitmap.PixelFormat() != pf32bit)
        return;
    LockBits(Bitmap.Image(), Data);
}

int TDrawContext::ReductionFactor(bool ExactDivision) const
{
    const int ppi = Canvas ? Canvas->PixelsPerInchY() : 96;
    int n = 1;
    while (ExactDivision ? double(ppi) / n > 360 : ppi / n > 360)
        ++n;
    return n;
}

// Renders the source into a bitmap covering Area at 1/n of the device
// resolution (n from the vertical resolution, at most 360 dpi) and stretches
// it onto Area. Page rectangle (X, Y, W, H) shows SrcRect scaled by ScaleW x ScaleH.
void TDrawContext::RenderOrthogonal(const BitmapData& Src, const TRect& Area, float X, float Y,
                                    float W, float H, float ScaleW, float ScaleH,
                                    const TRect& SrcRect, uint32_t Fill)
{
    const int n = ReductionFactor(false);
    TTransformation t;
    t.Assign(*Transformation);
    TTransformation pre;
    pre.Scale(1.0f / n, 1.0f / n);
    pre.Translate(float(-Area.Left), float(-Area.Top));
    t.MultiplyLeft(pre);
    t.Translate(X, Y);
    t.Scale(ScaleW, ScaleH);
    t.Translate(float(-SrcRect.Left), float(-SrcRect.Top));
    t.UpdateCache();

    const int bw = (Area.Width() + n - 1) / n;
    const int bh = (Area.Height() + n - 1) / n;
    QImage bmp(bw, bh, QImage::Format_ARGB32);
    if (bmp.isNull())
        return;
    bmp.fill(Fill);
    if (Src.Scan0) {
        const auto& i = t.Inverse12();
        for (int y = 0; y < bh; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(bmp.scanLine(y));
            // x * i0 + y * i1 + i2 + 2047 stepped along the row (32-bit wrap-around).
            uint32_t ax = uint32_t(y) * uint32_t(i[1]) + uint32_t(i[2]) + 2047u;
            uint32_t ay = uint32_t(y) * uint32_t(i[4]) + uint32_t(i[5]) + 2047u;
            for (int x = 0; x < bw; ++x, ax += uint32_t(i[0]), ay += uint32_t(i[3])) {
                const int32_t sx = int32_t(ax) >> 12;
                const int32_t sy = int32_t(ay) >> 12;
                if (sx >= SrcRect.Left && sx < SrcRect.Right && sy >= SrcRect.Top && sy < SrcRect.Bottom)
                    row[x] = Src.Row(sy)[sx];
            }
        }
    }
    Canvas->StretchDIBits(Area, bmp);
}

void TDrawContext::DrawImageOrthogonalBlt(const QImage& Image, float X, float Y, float W, float H)
{
    const TRect r = Clip3(Transformation->TransformBounds(X, Y, X + W, Y + H), ClipBounds, Surface(Canvas));
    if (IsRectEmpty(r))
        return;
    const QImage img = AsARGB32(Image);
    BitmapData data;
    if (!ViewBits(img, data))
        Debug().LogFmt("DrawImageOrthogonalBlt: Lockbits failed %d", {int(Image.isNull() ? 2 : 3)});
    const int iw = Image.width();
    const int ih = Image.height();
    RenderOrthogonal(data, r, X, Y, W, H, W / float(iw + 1), H / float(ih + 1), TRect{0, 0, iw, ih}, 0);
}

// Source sizes below 1 become 1; the rectangle must lie inside the data.
static bool SourceInside(int32_t Width, int32_t Height, int32_t SrcX, int32_t SrcY, int32_t& SrcW,
                         int32_t& SrcH)
{
    SrcW = std::max(SrcW, 1);
    SrcH = std::max(SrcH, 1);
    return SrcX >= 0 && SrcY >= 0 && int64_t(SrcX) + SrcW <= Width && int64_t(SrcY) + SrcH <= Height;
}

void TDrawContext::DrawBitmapDataOrthogonalBlt(const BitmapData& Data, float X, float Y, float W,
                                               float H, int32_t SrcX, int32_t SrcY, int32_t SrcW,
                                               int32_t SrcH)
{
    if (!SourceInside(Data.Width, Data.Height, SrcX, SrcY, SrcW, SrcH))
        return;
    TRect r = Clip3(Transformation->TransformBounds(X, Y, X + W, Y + H), DeviceBounds, ClipBounds);
    IntersectRect(r, r, Surface(Canvas));
    if (IsRectEmpty(r))
        return;
    // Source pixel centres span the rectangle; a one-pixel source covers all of it.
    auto span = [](int32_t n) { return n > 1 ? float(n - 1) : 0.5f; };
    RenderOrthogonal(Data, r, X, Y, W, H, W / span(SrcW), H / span(SrcH),
                     TRect{SrcX, SrcY, SrcX + SrcW, SrcY + SrcH}, 0x00800080u);
}

void TDrawContext::DrawImageGDIPlus(const QImage& Image, float CX, float CY, float W, float H,
                                    float Angle, int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH)
{
    if (!SourceInside(Image.width(), Image.height(), SrcX, SrcY, SrcW, SrcH))
        return;
    Transformation->Push();
    Transformation->Translate(CX, CY);
    Transformation->Rotate(Angle);
    DrawImageOnCanvas(Image, -W / 2, -H / 2, W, H, QRectF(SrcX, SrcY, SrcW, SrcH));
    Transformation->Pop();
}

void TDrawContext::DrawImageOnCanvas(const QImage& Image, float X, float Y, float W, float H, const QRectF& Src)
{
    const TPoint p0 = PageToDevice(X, Y);
    const TPoint p1 = PageToDevice(X + W, Y);
    const TPoint p2 = PageToDevice(X, Y + H);
    Canvas->DrawImageParallelogram(Image, QPointF(p0.X, p0.Y), QPointF(p1.X, p1.Y), QPointF(p2.X, p2.Y), Src);
}

void TDrawContext::DrawBitmapData(const BitmapData& Data, float X, float Y, float W, float H,
                                  int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH)
{
    if (!SourceInside(Data.Width, Data.Height, SrcX, SrcY, SrcW, SrcH))
        return;
    const TMatrix& m = Transformation->Matrix();
    if ((IsNearlyZero(m[1]) && IsNearlyZero(m[3])) || (IsNearlyZero(m[0]) && IsNearlyZero(m[4]))) {
        DrawBitmapDataOrthogonalBlt(Data, X, Y, W, H, SrcX, SrcY, SrcW, SrcH);
        return;
    }
    TRect r = Clip3(Transformation->TransformBounds(X, Y, X + W, Y + H), DeviceBounds, ClipBounds);
    IntersectRect(r, r, Surface(Canvas));
    if (IsRectEmpty(r))
        return;
    TTransformation t;
    t.Assign(*Transformation);
    t.Translate(X, Y);
    t.Scale(W / float(SrcW + 1), H / float(SrcH + 1));
    t.Translate(float(-SrcX), float(-SrcY));
    const int n = ReductionFactor(true);
    if (n > 1) {
        TTransformation pre;
        pre.Scale(1.0f / n, 1.0f / n);
        t.MultiplyLeft(pre);
    }
    t.UpdateCache();
    // The walked rectangle in reduced pixels, inside the clipped device rectangle.
    const TRect reduced{r.Left / n, r.Top / n, (r.Right + n - 1) / n, (r.Bottom + n - 1) / n};
    TRect walk;
    if (!IntersectRect(walk, t.TransformBounds(float(SrcX), float(SrcY), float(SrcX + SrcW + 1),
                                               float(SrcY + SrcH + 1)), reduced))
        return;
    std::vector<uint8_t> run;
    run.reserve(size_t(walk.Width()) * 3);
    int32_t runStart = 0;
    auto flushRun = [&](int32_t row) {
        if (run.empty())
            return;
        const int count = int(run.size() / 3);
        const QImage line(run.data(), count, 1, count * 3, QImage::Format_BGR888);
        Canvas->StretchDIBits(TRect{runStart * n, row * n, (runStart + count) * n, row * n + n}, line);
        run.clear();
    };
    for (int32_t y = walk.Top; y < walk.Bottom; ++y) {
        for (int32_t x = walk.Left; x < walk.Right; ++x) {
            int32_t sx, sy;
            t.InverseTransformFixed(x, y, sx, sy);
            if (sx >= SrcX && sx < SrcX + SrcW && sy >= SrcY && sy < SrcY + SrcH) {
                if (run.empty())
                    runStart = x;
                const uint32_t px = Data.Row(sy)[sx];
                run.push_back(uint8_t(px));
                run.push_back(uint8_t(px >> 8));
                run.push_back(uint8_t(px >> 16));
            } else {
                flushRun(y);
            }
        }
        flushRun(y);
    }
}

void TDrawContext::DrawImageAlpha(const BitmapData& Data, float X, float Y, float W, float H, int32_t SrcX,
                                  int32_t SrcY, int32_t SrcW, int32_t SrcH)
{
    // Here through the canvas, which blends by the alpha channel itself.
    if (!Data.Scan0 || Data.Stride < Data.Width * 4 ||
        !SourceInside(Data.Width, Data.Height, SrcX, SrcY, SrcW, SrcH))
        return;
    const QImage view(Data.Scan0, Data.Width, Data.Height, Data.Stride, QImage::Format_ARGB32);
    DrawImageOnCanvas(view, X, Y, W, H, QRectF(SrcX, SrcY, SrcW, SrcH));
}

void TDrawContext::DrawShadowRect(float, float, float, float, float, float)
{
    // Soft shadows need pixel access: only the bitmap draw context paints them.
}
