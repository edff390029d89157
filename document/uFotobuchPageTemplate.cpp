#include "uFotobuchPageTemplate.h"

#include "Canvas.h"
#include "ColorDialog.h"
#include "FBPictureElement.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uQwUtils.h"
#include "uVectorLib.h"

#include <QApplication>

#include <algorithm>
#include <cmath>
#include <cstring>

// ---- stream routines -----------------------------------------------------------------

namespace {

// Reads up to Count bytes into Buffer; what does not arrive stays 0.
void ReadZeroFilled(TStream& Stream, void* Buffer, int32_t Count)
{
    std::memset(Buffer, 0, size_t(Count));
    Stream.Read(Buffer, Count);
}

constexpr int32_t kFrameBytes = 5 * 4;

} // namespace

void WriteByteToStream(TStream& Stream, uint8_t Value)
{
    Stream.WriteU8(Value);
}

uint8_t ReadByteFromStream(TStream& Stream)
{
    uint8_t b[1];
    ReadZeroFilled(Stream, b, 1);
    return b[0];
}

void WriteIntToStream(TStream& Stream, int32_t Value)
{
    Stream.WriteI32(Value);
}

int32_t ReadIntFromStream(TStream& Stream)
{
    uint8_t b[4];
    ReadZeroFilled(Stream, b, 4);
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                   uint32_t(b[3]) << 24);
}

void WriteSingleToStream(TStream& Stream, float Value)
{
    Stream.WriteSingle(Value);
}

float ReadSingleFromStream(TStream& Stream)
{
    const uint32_t bits = uint32_t(ReadIntFromStream(Stream));
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

void WriteStringToStream(TStream& Stream, const AnsiString& Value)
{
    Stream.WriteI32(int32_t(Value.size()));
    if (!Value.empty())
        Stream.WriteBuffer(Value.data(), int32_t(Value.size()));
}

AnsiString ReadStringFromStream(TStream& Stream)
{
    const int32_t len = ReadIntFromStream(Stream);
    // A damaged length must not make a huge or negative allocation.
    const int64_t n = std::clamp<int64_t>(len, 0, Stream.Remaining());
    AnsiString s(size_t(n), '\0');
    if (n > 0)
        Stream.Read(s.data(), int32_t(n));
    return s;
}

// ---- colour dialog and colour presets --------------------------------------------------

bool ExecuteColorDialog(TColor& Color)
{
    static const AnsiString kSection = "CustomColors";
    TColorDialog dialog(QApplication::activeWindow());
    dialog.Color = Color;
    LoadCustomColors(dialog, kSection);
    if (!dialog.Execute())
        return false;
    SaveCustomColors(dialog, kSection);
    Color = dialog.Color;
    return true;
}

bool TFBColor::GetColor(TColor& Value) const
{
    if (Color >= 0) {
        Value = Color;
        return true;
    }
    TColor picked = 0xFFFFFF;
    if (!ExecuteColorDialog(picked))
        return false;
    Value = picked;
    return true;
}

void TFBColor::LoadFromStream(TStream& Stream)
{
    Name = ReadStringFromStream(Stream);
    Color = ReadIntFromStream(Stream);
}

void TFBColor::SaveToStream(TStream& Stream) const
{
    WriteStringToStream(Stream, Name);
    WriteIntToStream(Stream, Color);
}

// ---- page template -----------------------------------------------------------------

namespace {

std::unique_ptr<TFBPictureElement> NewFrame(float CX, float CY, float W, float H, float Angle)
{
    auto frame = std::make_unique<TFBPictureElement>(nullptr);
    frame->CenterX = CX;
    frame->CenterY = CY;
    frame->Width = W;
    frame->Height = H;
    frame->Angle = Angle;
    return frame;
}

void SaveFrames(TStream& Stream, const TFBElementList& List)
{
    WriteIntToStream(Stream, List.Count());
    for (int i = 0; i < List.Count(); ++i) {
        const TFBElement* e = List.GetItem(i);
        WriteSingleToStream(Stream, e->CenterX);
        WriteSingleToStream(Stream, e->CenterY);
        WriteSingleToStream(Stream, e->Width);
        WriteSingleToStream(Stream, e->Height);
        WriteSingleToStream(Stream, e->Angle);
    }
}

void LoadFrames(TStream& Stream, TFBElementList& List)
{
    List.Clear();
    const int32_t count = ReadIntFromStream(Stream);
    // No more frames than the bytes left begin; a cut-off last frame reads zeros.
    const int64_t n =
        std::clamp<int64_t>(count, 0, (Stream.Remaining() + kFrameBytes - 1) / kFrameBytes);
    for (int64_t i = 0; i < n; ++i) {
        const float cx = CheckedSingle(ReadSingleFromStream(Stream), 0, -MaxStoredMM, MaxStoredMM);
        const float cy = CheckedSingle(ReadSingleFromStream(Stream), 0, -MaxStoredMM, MaxStoredMM);
        const float w = CheckedSingle(ReadSingleFromStream(Stream), 0, 0, MaxStoredMM);
        const float h = CheckedSingle(ReadSingleFromStream(Stream), 0, 0, MaxStoredMM);
        const float a = CheckedAngle(ReadSingleFromStream(Stream), 0);
        List.Add(NewFrame(cx, cy, w, h, a));
    }
}

TFBPictureElement* FirstPicture(TFBPage* Page)
{
    return Page->Pictures.Count() > 0 ? static_cast<TFBPictureElement*>(Page->Pictures.GetItem(0))
                                      : nullptr;
}

constexpr TColor kStyleColors[10] = {0xFFFFFF, 0xE0FFFF, 0xFFE0FF, 0xFFFFE0, 0xE0E0FF,
                                     0xE0FFE0, 0xFFE0E0, 0xC0E0E0, 0xE0E0C0, 0x80FF80};

} // namespace

void TFBPageTemplate::AddFrame(float Left, float Top, float Width, float Height)
{
    Frames.Add(NewFrame(Left + Width / 2, Top + Height / 2, Width, Height, 0));
}

void TFBPageTemplate::ApplyToPage(TFBPage* Page)
{
    if (!Page)
        return;
    if (IsDoublePage) {
        TFBDocument* doc = Page->Document;
        const int screen = Page->GetScreenIndex();
        TFBPage* left = doc->GetLeftPage(screen);
        TFBPage* right = doc->GetRightPage(screen);
        if (left && right && left != right) {
            ApplyFrames(left, LeftFrames.Count() > 0 ? LeftFrames : Frames);
            ApplyFrames(right, Frames);
            TFBPictureElement* l = FirstPicture(left);
            TFBPictureElement* r = FirstPicture(right);
            // A page of the spread without frames has nothing to link.
            if (l && r) {
                TFBPictureLink* link = doc->AddPictureLink();
                link->AddElement(l);
                link->AddElement(r);
                link->UpdateLinkedElements(l);
            }
            return;
        }
    }
    ApplyFrames(Page, Frames);
}

void TFBPageTemplate::ApplyFrames(TFBPage* Page, const TFBElementList& FrameList)
{
    TFBDocument* doc = Page->Document;
    TFBElementList& pics = Page->Pictures;

    for (int i = 0; i < pics.Count(); ++i) {
        auto* pic = static_cast<TFBPictureElement*>(pics.GetItem(i));
        if (pic->Link)
            doc->RemovePictureLink(pic->Link);
    }
    for (int i = pics.Count() - 1; i >= 0; --i)
        if (!static_cast<TFBPictureElement*>(pics.GetItem(i))->HasPicture())
            pics.Delete(i);
    while (pics.Count() > FrameList.Count())
        pics.Delete(pics.Count() - 1);
    while (pics.Count() < FrameList.Count())
        pics.Add(std::make_unique<TFBPictureElement>(Page));

    // A template without a size (a damaged stream) is taken as it is.
    const float sx = TemplateWidth > 0 ? doc->PageWidth / TemplateWidth : 1.0f;
    const float sy = TemplateHeight > 0 ? doc->PageHeight / TemplateHeight : 1.0f;
    for (int i = 0; i < pics.Count(); ++i) {
        const TFBElement* t = FrameList.GetItem(i);
        TFBElement* e = pics.GetItem(i);
        e->CenterX = t->CenterX * sx;
        e->CenterY = t->CenterY * sy;
        e->Angle = t->Angle;
        e->Width = t->Width * sx;
        e->Height = t->Height * sy;
    }

    // A right-page layout on a left page: shifted so its margins swap sides.
    if (Page->IsLeftPage() && &FrameList == &Frames) {
        float m1 = doc->PageWidth;
        float m2 = doc->PageWidth;
        for (int i = 0; i < pics.Count(); ++i) {
            const TFBElement* e = pics.GetItem(i);
            m1 = std::min(m1, e->CenterX - e->Width / 2);
            m2 = std::min(m2, doc->PageWidth - (e->CenterX + e->Width / 2));
        }
        for (int i = 0; i < pics.Count(); ++i)
            pics.GetItem(i)->CenterX -= m1 - m2;
    }
}

void TFBPageTemplate::DrawPreview(TBitmap& Bitmap, const TRect& Rect) const
{
    const int pages = IsDoublePage ? 2 : 1;
    int32_t w = Round32(double(pages) * TemplateWidth * 1000);
    int32_t h = Round32(double(TemplateHeight) * 1000);
    FitSizeInt(w, h, Rect.Width(), Rect.Height());
    if (w <= 0 || h <= 0 || TemplateWidth <= 0 || TemplateHeight <= 0)
        return;

    TBitmapDrawContext dc(Bitmap);
    TTransformation& t = *dc.Transformation;
    t.Translate(Rect.Left + (Rect.Width() - w) / 2.0f, Rect.Top + (Rect.Height() - h) / 2.0f);
    t.ScaleUniform(std::min(h / TemplateHeight, w / (pages * TemplateWidth)));
    dc.GetBrush().SetColor(clWhite);
    dc.GetBrush().SetStyle(bsSolid);
    dc.SetPenColor(0x808080);

    const auto drawPage = [&](const TFBElementList& List, bool Mirrored) {
        dc.Rectangle(0, 0, TemplateWidth, TemplateHeight);
        for (int i = 0; i < List.Count(); ++i) {
            const TFBElement* e = List.GetItem(i);
            dc.RotatedRectangle(Mirrored ? TemplateWidth - e->CenterX : e->CenterX, e->CenterY,
                                e->Width, e->Height, e->Angle);
        }
    };
    if (IsDoublePage) {
        if (LeftFrames.Count() > 0)
            drawPage(LeftFrames, false);
        else
            drawPage(Frames, true);
        t.Translate(TemplateWidth, 0);
    }
    drawPage(Frames, false);
}

TColor TFBPageTemplate::GetStyleColor() const
{
    return Stil < 10 ? kStyleColors[Stil] : kStyleColors[0];
}

void TFBPageTemplate::LoadFromStream(TStream& Stream)
{
    // A size that is not a page's (not finite, under 1 mm or beyond any page)
    // reads as none: the frames are then taken as they are.
    auto pageSize = [&Stream] {
        const float v = ReadSingleFromStream(Stream);
        return std::isfinite(v) && v >= 1.0f && v <= MaxStoredMM ? v : 0.0f;
    };
    TemplateWidth = pageSize();
    TemplateHeight = pageSize();
    Name = ReadStringFromStream(Stream);
    IsDoublePage = ReadByteFromStream(Stream) != 0;
    LayoutTypes = 0;
    const AnsiString types = ReadStringFromStream(Stream);
    if (!types.empty())
        LayoutTypes = StringToLayoutTypen(types);
    Stil = uint8_t(ReadIntFromStream(Stream));
    LoadFrames(Stream, Frames);
    LoadFrames(Stream, LeftFrames);
}

void TFBPageTemplate::SaveToStream(TStream& Stream) const
{
    WriteSingleToStream(Stream, TemplateWidth);
    WriteSingleToStream(Stream, TemplateHeight);
    WriteStringToStream(Stream, Name);
    WriteByteToStream(Stream, IsDoublePage ? 1 : 0);
    WriteStringToStream(Stream, LayoutTypenToString(LayoutTypes));
    WriteIntToStream(Stream, Stil);
    SaveFrames(Stream, Frames);
    SaveFrames(Stream, LeftFrames);
}
