#include "RtObjectEnv.h"

#include "RtFrameObject.h"
#include "RtPlatform.h"
#include "RtRtfTxtInput.h"

#include <QBuffer>

#include <algorithm>

namespace {

// Screen pixels to twips; a side below one pixel becomes one inch.
int32_t PixelsToTwips(int32_t Pixels)
{
    return Pixels >= 1 ? MulDiv(Pixels, 1440, RtPlatform().ScreenPixelsPerInch()) : 1440;
}

// Value * Num / Den rounded, at least one: the other side of a size scaled with its aspect ratio kept.
int32_t ScaledSide(int32_t Value, int32_t Num, int32_t Den)
{
    return std::max(1, Round32(double(Value) * Num / Den));
}

bool IsField(const TRtObject* Obj) { return dynamic_cast<const TRtObjectField*>(Obj) != nullptr; }

} // namespace

TRtObjectEnv::TRtObjectEnv(TRtRTFTextInput* AEngine, QWidget* Parent) : Engine(AEngine)
{
    Engine->ObjectEnv = this;
    Frame = std::make_unique<TRtFrameObject>(Parent);
    Frame->Env = this;
    Frame->HandleSize = FrameBorder;
    Frame->hide();
    Frame->setGeometry(-1000, -1000, 100, 100);
    // The frame lets go of an object that goes, and of the paragraph a drop aims at.
    Engine->Positions().Add(Frame->DropPar);
    Engine->Positions().OnObjectGoes = [this](const TTextObj* Entry, const TRtObjectBase* Object) {
        if ((Entry && Frame->Entry == Entry) || (Object && Frame->Obj == Object))
            HideFrame();
    };
}

TRtObjectEnv::~TRtObjectEnv()
{
    Engine->Positions().OnObjectGoes = nullptr;
    Engine->Positions().Remove(Frame.get(), sizeof(TRtFrameObject));
    if (Engine->ObjectEnv == this)
        Engine->ObjectEnv = nullptr;
}

// ---- inserting ---------------------------------------------------------------------------------------

TTextObj* TRtObjectEnv::InsertObject(std::unique_ptr<TRtObject> Obj, const AnsiString& ObjName)
{
    return InsertObjectEx(std::move(Obj), ObjName, AnsiString(), 0);
}

TTextObj* TRtObjectEnv::InsertObjectSized(std::unique_ptr<TRtObject> Obj, const AnsiString& ObjName,
                                          const AnsiString& StreamName, int32_t ObjTag, int32_t Width,
                                          int32_t Height)
{
    SizeGiven = true;
    WantWidth = Width;
    WantHeight = Height;
    return InsertObjectEx(std::move(Obj), ObjName, StreamName, ObjTag);
}

TTextObj* TRtObjectEnv::InsertGraphic(const TRtGraphic& Graphic, const AnsiString& ObjName,
                                      const AnsiString& StreamName, int32_t ObjTag)
{
    return InsertObjectEx(WrapGraphicAsObject(Graphic), ObjName, StreamName, ObjTag);
}

std::unique_ptr<TRtObject> TRtObjectEnv::WrapGraphicAsObject(const TRtGraphic& Graphic)
{
    if (Graphic.Kind == TRtGraphic::gkNone)
        throw ERtEngineError(GetRtUIString(meObjNotSupported));
    const bool bitmap = Graphic.Kind == TRtGraphic::gkBitmap;
    std::unique_ptr<TRtObject> obj = CreateRtObjectForExt(bitmap ? ".BMP" : ".WMF");
    if (!obj)
        throw ERtEngineError(GetRtUIString(meObjGraphicNotLinked));
    int32_t w = 0, h = 0;
    if (bitmap) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        Graphic.Bitmap.save(&buffer, "BMP");
        if (auto* image = dynamic_cast<TRtOImageObject*>(obj.get()))
            image->SetPicture(bytes, "BMP");
        w = Graphic.Bitmap.width();
        h = Graphic.Bitmap.height();
    } else {
        if (auto* image = dynamic_cast<TRtOImageObject*>(obj.get()))
            image->SetPicture(Graphic.Metafile, "WMF");
        w = Graphic.MetaWidth;
        h = Graphic.MetaHeight;
        // A metafile without an inch value and larger than 1000 units is taken at 1000 units per inch.
        if (Graphic.MetaInch <= 0 && (w > 1000 || h > 1000)) {
            w = MulDiv(w, RtPlatform().ScreenPixelsPerInch(), 1000);
            h = MulDiv(h, RtPlatform().ScreenPixelsPerInch(), 1000);
        }
    }
    obj->SetWidthTW(PixelsToTwips(w));
    obj->SetHeightTW(PixelsToTwips(h));
    return obj;
}

TTextObj* TRtObjectEnv::InsertObjectEx(std::unique_ptr<TRtObject> Obj, const AnsiString& ObjName,
                                       const AnsiString& StreamName, int32_t ObjTag)
{
    struct TSizeReset {
        TRtObjectEnv& E;
        ~TSizeReset()
        {
            // A given size serves one insertion only, and so do the engine's size fields.
            E.SizeGiven = false;
            E.Engine->CurrentAttr.Width = 0;
            E.Engine->CurrentAttr.Height = 0;
        }
    } reset{*this};
    if (BeforeInsert && !BeforeInsert())
        return nullptr;
    if (!Obj)
        return nullptr;
    const AnsiString name = ObjName.empty() ? Obj->ObjNameValue : ObjName;
    const AnsiString stream = StreamName.empty() ? Obj->StreamName : StreamName;

    if (!name.empty())
        if (TTextObj* found = ReplacePictureOfName(name, Obj.get()))
            return found;
    TakeSizeFromEngine(Obj.get());
    if (!ObjName.empty())
        Obj->ObjNameValue = ObjName;
    if (!StreamName.empty())
        Obj->StreamName = stream;
    if (ObjTag != 0)
        Obj->ObjTag = ObjTag;
    if (Engine->OnInsertObject) {
        Engine->OnInsertObject(Obj.release());
        return nullptr;
    }
    if (SizeGiven) {
        ApplyGivenSize(Obj.get());
        SizeGiven = false;
    }

    // The engine inserts the reference character at the cursor.
    TRtObject* obj = Obj.release();
    obj->Owner = Engine;
    TTextObj* ref = Engine->ObjRefList()->AddObject(obj);
    Engine->Objects().push_back(obj);
    ref->Kind = IsField(obj) ? 0 : DefaultKind;
    ref->PlaceMode = DefaultPlaceMode;
    ref->WrapMode = DefaultWrapMode;
    int32_t w = std::max(1, obj->GetWidthTW());
    int32_t h = std::max(1, obj->GetHeightTW());
    Engine->BeginUndoGroup();
    if (ref->Kind < 3) {
        FitIntoPrintableArea(w, h);
        obj->SetWidthTW(w);
        obj->SetHeightTW(h);
    }
    ref->Width = w;
    ref->Height = h;
    InsertReferenceChar(ref);
    Engine->EndUndoGroup();
    Engine->NewUndoLevel();
    ref->Tag = uint32_t(!name.empty() && !ObjName.empty() ? ObjTag : obj->ObjTag);
    Engine->ReformatText(nullptr);
    Engine->Refresh();
    return ref;
}

TTextObj* TRtObjectEnv::ReplacePictureOfName(const AnsiString& Name, TRtObject* Obj)
{
    TTextObj* found = Engine->ObjRefList()->FindByObjectName(Name);
    if (!found)
        return nullptr;
    auto* old = dynamic_cast<TRtOImageObject*>(found->Object);
    auto* fresh = dynamic_cast<TRtOImageObject*>(Obj);
    if (!old || !fresh || old->Locked)
        return nullptr;
    TMemoryStream data;
    fresh->WriteData(&data);
    AnsiString type;
    fresh->GetDataType(type);
    QByteArray bytes(qsizetype(data.Size()), '\0');
    data.SetPosition(0);
    if (data.Size() > 0)
        data.ReadBuffer(bytes.data(), int32_t(data.Size()));
    old->SetPicture(bytes, type);
    RefreshObjects(old);
    Engine->ReformatText(nullptr);
    Engine->Refresh();
    return found;
}

void TRtObjectEnv::TakeSizeFromEngine(const TRtObject* Obj)
{
    if (!dynamic_cast<const TRtOImageObject*>(Obj) || SizeGiven)
        return;
    const TAttr& a = Engine->CurrentAttr;
    if (a.Width > 0 && a.Height > 0) {
        SizeGiven = true;
        WantWidth = MulDiv(a.Width, 1440, RtPlatform().ScreenPixelsPerInch());
        WantHeight = MulDiv(a.Height, 1440, RtPlatform().ScreenPixelsPerInch());
    }
}

void TRtObjectEnv::ApplyGivenSize(TRtObject* Obj) const
{
    const int32_t nw = Obj->GetNaturalWidth();
    const int32_t nh = Obj->GetNaturalHeight();
    if (WantWidth > 0) {
        Obj->SetWidthTW(WantWidth);
        if (WantHeight == -1 && nw > 0)
            Obj->SetHeightTW(ScaledSide(WantWidth, nh, nw));
    }
    if (WantHeight > 0) {
        Obj->SetHeightTW(WantHeight);
        if (WantWidth == -1 && nh > 0)
            Obj->SetWidthTW(ScaledSide(WantHeight, nw, nh));
    }
}

void TRtObjectEnv::FitIntoPrintableArea(int32_t& Width, int32_t& Height) const
{
    // Margins beyond the page leave the size alone.
    const TTextHeader* hd = Engine->Header();
    const int32_t maxW = hd->PageWidth() - hd->LeftMargin() - hd->RightMargin();
    const int32_t maxH = hd->PageHeight() - hd->TopMargin() - hd->BottomMargin();
    if (maxW >= 1 && Width > maxW) {
        Height = ScaledSide(Height, maxW, Width);
        Width = maxW;
    }
    if (maxH >= 1 && Height > maxH) {
        Width = ScaledSide(Width, maxH, Height);
        Height = maxH;
    }
}

void TRtObjectEnv::InsertReferenceChar(const TTextObj* Ref)
{
    TAttr& a = Engine->CurrentAttr;
    const TAttr saved = a;
    a.Tag = uint32_t(Engine->ObjRefList()->IndexOfObject(Ref));
    a.Width = uint16_t(std::clamp(MulDiv(Ref->Width, Engine->Header()->ScreenXRes, 1440), 0, 65535));
    a.Height = uint16_t(std::clamp(MulDiv(Ref->Height, Engine->Header()->ScreenYRes, 1440), 0, 65535));
    a.Style.Include(afsIsObject);
    a.Style.Exclude(afsIsInsertpoint);
    a.Style.Exclude(afsAutomatic);
    a.Style.Exclude(afsBookmark);
    Engine->InsertText(AnsiString(1, '\x01'));
    a.Tag = saved.Tag;
    a.Style = saved.Style;
}

// ---- reference characters -----------------------------------------------------------------------------

int32_t TRtObjectEnv::FindObjectChar(int32_t Id, TParagraph* Par)
{
    int32_t index = 0;
    for (const TLine* l = Par ? Par->Lines : nullptr; l; l = l->Next)
        for (int32_t i = 0; i < l->Length; ++i, ++index)
            if (l->Attrs && l->Attrs[i].Style.Has(afsIsObject) && int32_t(l->Attrs[i].Tag) == Id)
                return index;
    return -1;
}

int32_t TRtObjectEnv::RemoveObjectChar(int32_t Id, TParagraph* Par)
{
    const int32_t index = FindObjectChar(Id, Par);
    if (index < 0)
        return -1;
    Engine->SaveUndo(Par, ukLines, ulGraphic);
    int32_t pos = index;
    TLine* l = TRtRTFText::LineAtParPos(Par, pos);
    if (!l)
        return -1;
    l->Attrs[pos].Style.Exclude(afsIsObject);
    l->Attrs[pos].Tag = 0;
    Engine->DeleteChar(Par, l, pos);
    Engine->MarkChanged(Par);
    return index;
}

void TRtObjectEnv::InsertObjectChar(TParagraph* Par, int32_t Id, int32_t Pos, bool First, bool Second)
{
    if (!Par)
        return;
    TAttr& a = Engine->CurrentAttr;
    a.Style.Include(afsIsObject);
    a.Tag = uint32_t(Id);
    Engine->SaveUndo(Par, ukLines, ulGraphic);
    const uint8_t ch = !First ? 1 : !Second ? 2 : 3;
    Engine->InsertChar(Par, nullptr, &a, ch, Pos);
    a.Style.Exclude(afsIsObject);
    a.Tag = 0;
}

TTextObj* TRtObjectEnv::ObjectByIndex(int32_t Index) { return Engine->ObjRefList()->GetTextObj(Index); }

bool TRtObjectEnv::MoveObjectToCursor(TTextObj* Entry)
{
    TRtObjReferenceList* refs = Engine->ObjRefList();
    const int32_t id = refs->IndexOfObject(Entry);
    if (id < 1 || !Engine->CursorPar)
        return false;
    for (TParagraph* p = Engine->FirstPar; p; p = p->Next) {
        const int32_t index = FindObjectChar(id, p);
        if (index < 0)
            continue;
        const int32_t cursor = Engine->CharPosOf(Engine->CursorPar, Engine->CursorLine, Engine->CursorPos);
        const int32_t at = Engine->CharPosOf(p, p->Lines, 0) + index;
        if (cursor == at || cursor == at + 1)
            return false;
        Engine->BeginUndoGroup();
        RemoveObjectChar(id, p);
        // The cursor keeps its place in the text after the removal.
        Engine->SetCursorCharPos(cursor > at ? cursor - 1 : cursor);
        int32_t pos = Engine->CharPosOf(Engine->CursorPar, Engine->CursorLine, Engine->CursorPos) -
                      Engine->CharPosOf(Engine->CursorPar, Engine->CursorPar->Lines, 0);
        InsertObjectChar(Engine->CursorPar, id, pos, false, false);
        Engine->EndUndoGroup();
        Engine->NewUndoLevel();
        Engine->UpdateAfterChange(true);
        return true;
    }
    return false;
}

// ---- finding, removing, refreshing ---------------------------------------------------------------------

void TRtObjectEnv::RefreshObjects(TRtObject* Obj)
{
    if (Refreshing)
        return;
    Refreshing = true;
    TRtObjReferenceList* refs = Engine->ObjRefList();
    for (TRtListItem* it = refs->First(); it; it = refs->Next()) {
        TTextObj* ref = refs->GetTextObj(it->Id);
        auto* image = ref ? dynamic_cast<TRtOImageObject*>(ref->Object) : nullptr;
        if (!image || (Obj && image != Obj))
            continue;
        ref->Width = image->GetWidthTW();
        ref->Height = image->GetHeightTW();
        Engine->RepaintObject(image);
    }
    Refreshing = false;
}

TTextObj* TRtObjectEnv::FindObjectAt(int32_t X, int32_t Y)
{
    const int32_t index = Engine->ObjRefList()->FindObjectAt(X, Y);
    return index < 1 ? nullptr : Engine->ObjRefList()->GetTextObj(index);
}

TRtObject* TRtObjectEnv::GetSelectedObject() { return dynamic_cast<TRtObject*>(Engine->SelectedObject); }

void TRtObjectEnv::DeleteSelectedObject()
{
    TTextObj* entry = Engine->SelectedObj;
    HideFrame();
    Engine->SelectedObj = nullptr;
    Engine->SelectedObjId = 0;
    Engine->SelectedObject = nullptr;
    if (entry)
        RemoveObject(entry);
    Engine->InvalidateVisibleParagraphs();
}

void TRtObjectEnv::DeleteObject(TTextObj* Entry)
{
    if (Entry)
        RemoveObject(Entry);
}

void TRtObjectEnv::RemoveObject(TTextObj* Entry)
{
    if (!Entry)
        return;
    Engine->BeginUndoGroup();
    HideFrame();
    if (Entry == Engine->SelectedObj) {
        Engine->SelectedObj = nullptr;
        Engine->SelectedObjId = 0;
        Engine->SelectedObject = nullptr;
    }
    const int32_t id = Engine->ObjRefList()->IndexOfObject(Entry);
    bool removed = false;
    for (TParagraph* p = Engine->FirstPar; p && id > 0; p = p->Next) {
        bool here = false;
        for (TLine* l = p->Lines; l; l = l->Next)
            for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
                if (l->Chars[i] == 1 && l->Attrs[i].Style.Has(afsIsObject) && int32_t(l->Attrs[i].Tag) == id) {
                    if (!here)
                        Engine->SaveUndo(p, ukLines, ulGraphic);
                    l->Attrs[i].Style.Include(afsDelete);
                    here = true;
                }
        if (here) {
            // The cursor keeps its place in front of the removed characters.
            const int32_t cursor = Engine->GetCursorAbsPos();
            const int32_t start = Engine->CharPosOf(p, p->Lines, 0);
            int32_t before = 0;
            int32_t offset = 0;
            for (TLine* l = p->Lines; l; l = l->Next)
                for (int32_t i = 0; i < l->Length; ++i, ++offset)
                    if (start + offset < cursor && l->Attrs && l->Attrs[i].Style.Has(afsDelete))
                        ++before;
            Engine->PurgeDeletedChars(p);
            Engine->SetCursorCharPos(cursor - before);
            removed = true;
        }
    }
    if (removed)
        Engine->UpdateAfterChange(false);
    Engine->EndUndoGroup();
    Engine->NewUndoLevel();
}

// ---- the frame -------------------------------------------------------------------------------------------------

void TRtObjectEnv::SelectObject(TTextObj* Entry)
{
    if (Frame->Entry && Frame->Entry != Entry)
        HideFrame();
    if (!Entry) {
        Engine->SelectedObj = nullptr;
        Engine->SelectedObjId = 0;
        Engine->SelectedObject = nullptr;
        FrameShown = false;
        return;
    }
    Engine->SelectedObj = Entry;
    Engine->SelectedObjId = Engine->ObjRefList()->IndexOfObject(Entry);
    Engine->SelectedObject = Entry->Object;
    PlaceFrame();
}

void TRtObjectEnv::HideFrame()
{
    Frame->hide();
    Frame->Obj = nullptr;
    Frame->Entry = nullptr;
    Engine->FrameEntry = nullptr;
    Engine->FrameObject = nullptr;
    FrameShown = false;
}

void TRtObjectEnv::ReselectObject()
{
    if (TTextObj* entry = Frame->Entry) {
        HideFrame();
        SelectObject(entry);
    }
}

void TRtObjectEnv::PlaceFrame()
{
    if (!FrameShown)
        NoRecalc = false;
    auto* obj = dynamic_cast<TRtObject*>(Engine->SelectedObject);
    if (NoRecalc || (Engine->EngineOptions & eoNoDisplay) || !obj || Engine->ViewOptions.Has(rtHideObjectFrame))
        return;
    TTextObj* entry = Engine->SelectedObj;
    Engine->FrameObject = obj;
    Engine->FrameEntry = entry;
    Frame->Obj = obj;
    Frame->Entry = entry;
    Engine->CalcObjectScreenRect(obj);
    const TRect r = obj->ObjRect;
    if (!FrameShown && !Frame->Moving) {
        const TRtEditOptions eo = Engine->EditOptions;
        const bool resizable = !IsField(obj) && !obj->Locked;
        for (TRtFrameObjectIcon* h : Frame->Handles) {
            const bool corner = h->XFactor < 0;
            const bool width = h->XFactor > 0;
            const bool show = resizable && (corner   ? eo.Has(rtObjectResizingKeepRatio)
                                            : width ? eo.Has(rtObjectResizingWidth)
                                                    : eo.Has(rtObjectResizingHeight));
            h->setVisible(show);
        }
    }
    if (!Frame->Moving)
        Frame->setGeometry(r.Left - FrameBorder, r.Top - FrameBorder, r.Right - r.Left + 2 * FrameBorder,
                           r.Bottom - r.Top + 2 * FrameBorder);
    Frame->show();
    FrameShown = true;
}

void TRtObjectEnv::ScrollFrame(int32_t Dy, int32_t Dx)
{
    if (!FrameShown || !Frame->Entry)
        return;
    // Upwards the frame moves at most by the text above the window top.
    if (Dy < 0)
        Dy = std::max(Dy, -Engine->DocToScreen(Engine->TopY));
    Frame->move(Frame->x() + Dx, Frame->y() - Dy);
}

void TRtObjectEnv::ApplySize(TTextObj* Entry, int32_t WidthTW, int32_t HeightTW)
{
    if (!Entry)
        return;
    if (auto* obj = dynamic_cast<TRtObject*>(Entry->Object)) {
        obj->SetWidthTW(WidthTW);
        obj->SetHeightTW(HeightTW);
    }
    // The paragraphs that hold the object measure it at its new size.
    Entry->Width = WidthTW;
    Entry->Height = HeightTW;
    const int32_t id = Engine->ObjRefList()->IndexOfObject(Entry);
    for (TParagraph* p = Engine->FirstPar; p && id > 0; p = p->Next)
        if (FindObjectChar(id, p) >= 0) {
            Engine->MeasureParagraph(p);
            p->Flags |= parfReformat;
        }
    Engine->ResizeObject(Entry, WidthTW, HeightTW);
}
