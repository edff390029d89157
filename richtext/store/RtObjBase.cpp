#include "RtObjBase.h"

#include "Canvas.h"
#include "RtRtfTxt.h"

TRtObjectBase::~TRtObjectBase()
{
    if (RefField && *RefField == this)
        *RefField = nullptr;
}

void TRtObjectBase::Changed()
{
    if (painting_ || !Owner)
        return;
    painting_ = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{painting_};
    Owner->RepaintObject(this);
}

void TRtObjectBase::Paint(TCanvas* Canvas)
{
    if (!Owner || !Canvas)
        return;
    const TRect r{0, 0, ObjRect.Width(), ObjRect.Height()};
    if (Owner->OnPaintObject) {
        Owner->PaintObject(Canvas, r, PaintValue1, PaintValue2);
        return;
    }
    Canvas->Brush().SetStyle(bsSolid);
    Canvas->Brush().SetColor(Owner->PaperColor);
    Canvas->FillRect(r);
}

void TRtObjectBase::Select(bool Value)
{
    if (Owner)
        Owner->SelectObject(Value ? this : nullptr);
}

bool TRtObjectBase::UpdateScreenRect()
{
    return Owner && Owner->CalcObjectScreenRect(this);
}

bool TRtObjectBase::UpdateRect()
{
    return Owner && !Locked && Owner->CalcObjectRect(this);
}
