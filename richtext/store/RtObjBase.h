#pragma once
// The base of objects embedded in a text: natural size, painting hooks and
// the owning text, which computes the object's rectangles.
#include "AnsiString.h"
#include "Object.h"
#include "Types.h"

#include <cstdint>
#include <functional>

class TCanvas;
class TRtRTFText;
struct TTextObj;

class TRtObjectBase : public TObject {
public:
    LUMI_CLASSNAME(TRtObjectBase)
    TRtObjectBase() = default;
    ~TRtObjectBase() override;
    TRtObjectBase(const TRtObjectBase&) = delete;
    TRtObjectBase& operator=(const TRtObjectBase&) = delete;

    // Asks the owner text to repaint the object; not re-entered.
    virtual void Changed();
    virtual void Paint(TCanvas* Canvas);
    virtual int32_t GetNaturalWidth() { return 1001; }
    virtual int32_t GetNaturalHeight() { return 721; }
    virtual void PaintLocked() {}
    virtual void Deactivate() {}
    // Selects the object's reference in the owner text (or nothing for False).
    virtual void Select(bool Value);
    // The object's character was deleted from its text.
    virtual void RemovedFromText(TRtRTFText* Text) {}
    virtual AnsiString ObjName() const { return AnsiString(); }

    bool UpdateScreenRect();
    bool UpdateRect();
    void SetSourceName(const AnsiString& Name) { SourceName = AnsiString(Name.data(), Name.size()); }

    // Asked before the text frees the object: False keeps it alive.
    std::function<bool(TRtObjectBase* Obj)> OnDestroyQuery;

    bool Locked = false;
    TRtRTFText* Owner = nullptr;
    int32_t Value = -1;
    TTextObj* SelectedRef = nullptr;
    int32_t PaintValue1 = 0;
    int32_t PaintValue2 = 0;
    TRect ObjRect;
    TCanvas* LockedCanvas = nullptr;
    // The reference field that holds this object; cleared when the object goes.
    TRtObjectBase** RefField = nullptr;
    AnsiString SourceName;
    // The object's data is loaded (or the owner's load handler took care of it).
    bool LoadedMark = false;

protected:
    bool painting_ = false;
};
