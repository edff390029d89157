#include "FBPictureElement.h"

#include "FBDocumentSupport.h"
#include "uDataFile.h"
#include "uDrawContext.h"
#include "uFotobuchBildManager.h"
#include "uHSLUtil.h"
#include "uTransformation.h"

#include <algorithm>
#include <cmath>

// ---- picture element --------------------------------------------------------------------

TFBPictureElement::TFBPictureElement(TFBPage* APage) : TFBElement(APage) {}

TFBPictureElement::~TFBPictureElement()
{
    // The link goes with any of its frames.
    if (Link) {
        if (Link->Document)
            Link->Document->RemovePictureLink(Link);
        else
            Link->Clear();
    }
    if (RefIndex != -1)
        BildManager().Release(RefIndex);
}

void TFBPictureElement::UpdateLink()
{
    if (Link)
        Link->UpdateLinkedElements(this);
}

void TFBPictureElement::SetRefIndex(int32_t Value)
{
    const int32_t old = RefIndex;
    RefIndex = Value;
    BildManager().IncRefCount(Value);
    BildManager().Release(old);
}

void TFBPictureElement::SetZoom(float Value)
{
    Zoom = ClampSingle(Value, 1.0f, 4.0f);
    UpdateLink();
}

void TFBPictureElement::SetOffsetX(float Value)
{
    OffsetX = ClampSingle(Value, 0.0f, 1.0f);
    UpdateLink();
}

void TFBPictureElement::SetOffsetY(float Value)
{
    OffsetY = ClampSingle(Value, 0.0f, 1.0f);
    UpdateLink();
}

void TFBPictureElement::SetBorderWidth(float Value)
{
    BorderWidth = Value;
    UpdateLink();
}

void TFBPictureElement::SetBorderColor(TColor Value)
{
    BorderColor = Value;
    UpdateLink();
}

void TFBPictureElement::LoadPictureFromFile(const QString& FileName)
{
    // Read first: a file that holds no picture leaves the frame as it was.
    const int32_t added = BildManager().AddFile(FileName);
    OffsetX = 0.5f;
    OffsetY = 0.5f;
    Zoom = 1.0f;
    SetRefIndex(-1);
    RefIndex = added;
    CanZoomAndTrack = true;
    UpdateLink();
}

void TFBPictureElement::FillWithColor(TColor Color)
{
    ClearPicture();
    auto bitmap = std::make_unique<QImage>(48, 48, QImage::Format_RGB32);
    QColor c = toQColor(ColorToRGB(Color));
    c.setAlpha(255);
    bitmap->fill(c);
    SetRefIndex(-1);
    RefIndex = BildManager().AddBitmap(std::move(bitmap));
    CanZoomAndTrack = false;
    UpdateLink();
}

void TFBPictureElement::ClearPicture()
{
    if (RefIndex == -1)
        return;
    BildManager().Release(RefIndex);
    RefIndex = -1;
    CanZoomAndTrack = true;
    UpdateLink();
}

void TFBPictureElement::AssignPicture(const TFBPictureElement& Source)
{
    SetRefIndex(Source.RefIndex);
    CanZoomAndTrack = Source.CanZoomAndTrack;
    SetOffsetX(Source.OffsetX);
    SetOffsetY(Source.OffsetY);
    SetZoom(Source.Zoom);
}

void TFBPictureElement::SwapPicture(TFBPictureElement& Other)
{
    std::swap(RefIndex, Other.RefIndex);
    std::swap(CanZoomAndTrack, Other.CanZoomAndTrack);
    std::swap(OffsetX, Other.OffsetX);
    std::swap(OffsetY, Other.OffsetY);
    std::swap(Zoom, Other.Zoom);
    UpdateLink();
    Other.UpdateLink();
}

void TFBPictureElement::RotatePicture(int Direction)
{
    if (!HasPicture())
        return;
    RefIndex = BildManager().MakePrivate(RefIndex);
    BildManager().RotatePicture(RefIndex, Direction);
    UpdateLink();
}

QImage* TFBPictureElement::GetBitmap() const
{
    return HasPicture() ? BildManager().GetFullBitmap(RefIndex) : nullptr;
}

namespace {

// The largest part of a bw x bh picture with the aspect AW : AH, divided by Zoom.
void VisiblePart(double bw, double bh, double AW, double AH, double Zoom, double& vw, double& vh)
{
    vw = bw;
    vh = AH * vw / AW;
    if (bh < vh) {
        vh = bh;
        vw = AW * vh / AH;
    }
    vw /= Zoom;
    vh /= Zoom;
}

} // namespace

void TFBPictureElement::GetSourceRect(uint8_t Mode, TRect& Rect) const
{
    Rect = TRect{};
    if (!HasPicture() || Width <= 0 || Height <= 0)
        return;
    const QImage* bmp = Mode == 0 ? BildManager().GetFullBitmap(RefIndex)
                                  : BildManager().GetPreviewBitmap(RefIndex);
    if (!bmp || bmp->isNull())
        return;
    const double bw = bmp->width(), bh = bmp->height();
    const double zoom = std::max(1.0f, Zoom);
    double vw, vh;
    TRectF linked{};
    if (Link)
        Link->GetLinkedRect(this, linked);
    const double lw = double(linked.Right) - linked.Left, lh = double(linked.Bottom) - linked.Top;
    if (!Link || lw <= 0 || lh <= 0) {
        VisiblePart(bw, bh, Width, Height, zoom, vw, vh);
        Rect.Left = Round32((bw - vw) * OffsetX);
        Rect.Top = Round32((bh - vh) * OffsetY);
        Rect.Right = Rect.Left + Round32(vw);
        Rect.Bottom = Rect.Top + Round32(vh);
    } else {
        VisiblePart(bw, bh, lw, lh, zoom, vw, vh);
        const double sl = (bw - vw) * OffsetX, st = (bh - vh) * OffsetY;
        const double sr = sl + vw, sb = st + vh;
        auto mapX = [&](float x) { return Round32((x - linked.Left) / lw * (sr - sl) + sl); };
        auto mapY = [&](float y) { return Round32((y - linked.Top) / lh * (sb - st) + st); };
        Rect.Left = mapX(GetLeft());
        Rect.Top = mapY(GetTop());
        Rect.Right = mapX(GetRight());
        Rect.Bottom = mapY(GetBottom());
    }
    Rect.Left = std::max(Rect.Left, 0);
    Rect.Top = std::max(Rect.Top, 0);
    Rect.Right = std::min(Rect.Right, int32_t(bw));
    Rect.Bottom = std::min(Rect.Bottom, int32_t(bh));
}

int TFBPictureElement::GetResolutionDpi() const
{
    if (!HasPicture() || Width <= 0 || Height <= 0)
        return 0;
    TRect r;
    GetSourceRect(0, r);
    if (Width > Height)
        return Round32(r.Width() / (Width / 25.4));
    return Round32(r.Height() / (Height / 25.4));
}

int TFBPictureElement::GetPictureAngle() const
{
    if (!Page || Page->Orientation == 0 || !Page->Document)
        return 0;
    return Round32(Page->Document->ScreenQuerformatWinkel);
}

TFBPictureElement* TFBPictureElement::GetNextPictureElement() const
{
    if (!Page)
        return nullptr;
    const int i = Page->Pictures.IndexOf(this);
    if (i >= 0 && i + 1 < Page->Pictures.Count())
        return static_cast<TFBPictureElement*>(Page->Pictures.GetItem(i + 1));
    const TFBDocument* doc = Page->Document;
    if (!doc)
        return nullptr;
    for (int p = doc->IndexOfPage(Page) + 1; p > 0 && p < doc->Pages.Count(); ++p) {
        const TFBElementList& pics = doc->Pages.GetPage(p)->Pictures;
        if (pics.Count() > 0)
            return static_cast<TFBPictureElement*>(pics.GetItem(0));
    }
    return nullptr;
}

bool TFBPictureElement::RunFilterDialog(bool (TBildmanager::*Dialog)(int32_t&, int))
{
    if (!HasPicture())
        return false;
    const bool ok = (BildManager().*Dialog)(RefIndex, GetPictureAngle());
    UpdateLink();
    return ok;
}

bool TFBPictureElement::ShowHKIGDlg()
{
    return RunFilterDialog(&TBildmanager::ShowHKIGDlg);
}

bool TFBPictureElement::ShowHSLDlg()
{
    return RunFilterDialog(&TBildmanager::ShowHSLDlg);
}

bool TFBPictureElement::ShowRedEyeDlg()
{
    return RunFilterDialog(&TBildmanager::ShowRedEyeDlg);
}

bool TFBPictureElement::ShowSWColDlg()
{
    return RunFilterDialog(&TBildmanager::ShowSWColDlg);
}

void TFBPictureElement::Draw(TDrawContext& DC, uint8_t Mode)
{
    if (!HasPicture())
        return;
    const TFBDocument* doc = GetDocument();
    if (doc && doc->PicturesHaveShadows) {
        const bool coversPage = CenterX == doc->PageWidth / 2 && CenterY == doc->PageHeight / 2 &&
                                Width == doc->PageWidth && Height == doc->PageHeight;
        if (!coversPage) {
            DC.ClipRotatedRect(CenterX, CenterY, Width, Height, Angle, 4);
            DC.DrawShadowRect(CenterX + 1.5f, CenterY + 1.5f, Width, Height, Angle, 1.5f);
            DC.RestoreClip();
        }
    }
    const QImage* bmp = Mode == 0 ? BildManager().GetFullBitmap(RefIndex)
                                  : BildManager().GetPreviewBitmap(RefIndex);
    if (bmp && !bmp->isNull()) {
        if (bmp->hasAlphaChannel()) {
            DC.SetPenStyle(psClear);
            DC.GetBrush().SetStyle(bsSolid);
            DC.GetBrush().SetColor(clWhite);
            DC.RotatedRectangle(CenterX, CenterY, Width, Height, Angle);
            DC.SetPenStyle(psSolid);
        }
        TRect src;
        GetSourceRect(Mode, src);
        DC.DrawImageGDIPlus(*bmp, CenterX, CenterY, Width, Height, Angle, src.Left, src.Top,
                            src.Width(), src.Height());
    }
    if (BorderWidth > 0)
        DrawBorder(DC);
}

void TFBPictureElement::DrawBorder(TDrawContext& DC)
{
    // The frame must not depend on the pen style a caller left behind (the
    // page view outlines spread pages with a clear pen).
    DC.SetPenStyle(psSolid);
    DC.SetPenWidth(BorderWidth);
    DC.SetPenColor(BorderColor);
    DC.GetBrush().SetStyle(bsClear);
    bool openLeft = false, openRight = false;
    const TFBDocument* doc = GetDocument();
    if (Link && doc && ((Angle > -45 && Angle < 45) || Angle >= 315)) {
        const TRectF b = GetBoundingRect();
        if (Page->IsLeftPage())
            openRight = b.Right >= doc->PageWidth - 1.0f;
        else
            openLeft = b.Left <= 1.0f;
    }
    const float w = Width / 2, h = Height / 2;
    {
        TTransformationScope scope(*DC.Transformation);
        DC.Transformation->Translate(CenterX, CenterY);
        DC.Transformation->Rotate(Angle);
        DC.BeginPath();
        if (openLeft) {
            DC.MoveTo(-w, -h);
            DC.LineTo(w, -h);
            DC.LineTo(w, h);
            DC.LineTo(-w, h);
        } else if (openRight) {
            DC.MoveTo(w, h);
            DC.LineTo(-w, h);
            DC.LineTo(-w, -h);
            DC.LineTo(w, -h);
        } else {
            DC.MoveTo(-w, -h);
            DC.LineTo(-w, h);
            DC.LineTo(w, h);
            DC.LineTo(w, -h);
            DC.CloseFigure();
        }
        DC.EndPath();
        DC.StrokePath();
    }
    DC.GetBrush().SetStyle(bsSolid);
    DC.SetPenWidth(0);
}

void TFBPictureElement::SavePictureKeys(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    DataFile.WriteBool(Section, "CanZoomAndTrack", CanZoomAndTrack);
    WriteSingle(DataFile, Section, "Zoom", Zoom);
    WriteSingle(DataFile, Section, "OffsetX", OffsetX);
    WriteSingle(DataFile, Section, "OffsetY", OffsetY);
    DataFile.WriteInteger(Section, "RefIndex", RefIndex);
    WriteSingle(DataFile, Section, "BorderWidth", BorderWidth);
    DataFile.WriteInteger(Section, "BorderColor", BorderColor);
}

// Read without passing the values on to linked frames.
void TFBPictureElement::LoadPictureKeys(TCustomDataFile& DataFile, const AnsiString& Section)
{
    CanZoomAndTrack = DataFile.ReadBool(Section, "CanZoomAndTrack", true);
    Zoom = ReadCheckedSingle(DataFile, Section, "Zoom", 1.0f, 1.0f, 4.0f);
    OffsetX = ReadCheckedSingle(DataFile, Section, "OffsetX", 0.5f, 0.0f, 1.0f);
    OffsetY = ReadCheckedSingle(DataFile, Section, "OffsetY", 0.5f, 0.0f, 1.0f);
    BorderWidth = ReadMM(DataFile, Section, "BorderWidth", 0, 0);
    BorderColor = DataFile.ReadInteger(Section, "BorderColor", 0);
}

void TFBPictureElement::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBElement::SaveToDataFile(DataFile, Section);
    SavePictureKeys(DataFile, Section);
}

void TFBPictureElement::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TFBElement::LoadFromDataFile(DataFile, Section);
    LoadPictureKeys(DataFile, Section);
    RefIndex = DataFile.ReadInteger(Section, "RefIndex", -1);
}

void TFBPictureElement::SaveClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    DataFile.WriteString(Section, "Classname", ClassName());
    SavePictureKeys(DataFile, Section);
    if (HasPicture())
        BildManager().SaveItemCopy(DataFile, Section, RefIndex);
}

void TFBPictureElement::LoadClipboardData(TCustomDataFile& DataFile, const AnsiString& Section)
{
    SetRefIndex(-1);
    LoadPictureKeys(DataFile, Section);
    // A copied empty frame carries no picture entry and stays empty.
    if (HasPictureCopy(DataFile, Section))
        RefIndex = BildManager().AddCopyFromDataFile(DataFile, Section);
    UpdateLink();
}

// ---- picture link -----------------------------------------------------------------------

TFBPictureLink::TFBPictureLink(TFBDocument* ADocument) : Document(ADocument) {}

TFBPictureLink::~TFBPictureLink()
{
    Clear();
}

void TFBPictureLink::AddElement(TFBPictureElement* Element)
{
    if (!Element || Element->Link == this)
        return;
    // An element belongs to one link at most.
    if (Element->Link && Element->Link != this)
        Element->Link->RemoveElement(Element);
    Elements.push_back(Element);
    Element->Link = this;
}

void TFBPictureLink::RemoveElement(TFBPictureElement* Element)
{
    std::erase(Elements, Element);
    if (Element->Link == this)
        Element->Link = nullptr;
}

TFBPictureElement* TFBPictureLink::GetItem(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return Elements[size_t(Index)];
}

void TFBPictureLink::Clear()
{
    for (TFBPictureElement* e : Elements)
        if (e->Link == this)
            e->Link = nullptr;
    Elements.clear();
}

void TFBPictureLink::GetLinkedRect(const TFBPictureElement* Element, TRectF& Rect) const
{
    auto rectOf = [](const TFBElement* E) {
        return TRectF{E->GetLeft(), E->GetTop(), E->GetRight(), E->GetBottom()};
    };
    Rect = rectOf(Element);
    const TFBDocument* doc = Document ? Document : Element->GetDocument();
    const float shift = doc ? doc->PageWidth + doc->Stegbreite : 0;
    const bool leftPage = Element->Page && Element->Page->IsLeftPage();
    for (const TFBPictureElement* m : Elements) {
        TRectF r = rectOf(m);
        if (m->Page != Element->Page)
            r = OffsetRectF(r, leftPage ? shift : -shift, 0);
        Rect = UnionRectF(Rect, r);
    }
}

void TFBPictureLink::UpdateLinkedElements(const TFBPictureElement* Source)
{
    for (TFBPictureElement* m : Elements) {
        if (m == Source)
            continue;
        m->SetRefIndex(Source->RefIndex);
        m->OffsetX = Source->OffsetX;
        m->OffsetY = Source->OffsetY;
        m->Zoom = Source->Zoom;
        m->CanZoomAndTrack = Source->CanZoomAndTrack;
        m->BorderWidth = Source->BorderWidth;
        m->BorderColor = Source->BorderColor;
    }
}

void TFBPictureLink::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    DataFile.WriteInteger(Section + "/List", "Anzahl", Count());
    for (int i = 0; i < Count(); ++i) {
        const TFBPictureElement* e = Elements[size_t(i)];
        const AnsiString s = Section + "/List/Pic" + Num(i);
        DataFile.WriteInteger(s, "PageIndex", Document ? Document->IndexOfPage(e->Page) : -1);
        DataFile.WriteInteger(s, "PicIndex", e->IndexInPage());
    }
}

void TFBPictureLink::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section,
                                     int64_t* CountBudget)
{
    const int n = ReadStoredCount(DataFile, Section + "/List", 0, CountBudget);
    for (int i = 0; i < n; ++i) {
        const AnsiString s = Section + "/List/Pic" + Num(i);
        const int pageIndex = DataFile.ReadInteger(s, "PageIndex", -1);
        const int picIndex = DataFile.ReadInteger(s, "PicIndex", -1);
        if (!Document || pageIndex < 0 || picIndex < 0 || pageIndex >= Document->Pages.Count())
            continue;
        const TFBElementList& pics = Document->Pages.GetPage(pageIndex)->Pictures;
        if (picIndex < pics.Count())
            AddElement(static_cast<TFBPictureElement*>(pics.GetItem(picIndex)));
    }
}
