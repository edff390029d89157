#pragma once
// The base of objects embedded in a text.
#include "AnsiString.h"
#include "Object.h"

#include <functional>

class TRtRTFText;

class TRtObjectBase : public TObject {
public:
    LUMI_CLASSNAME(TRtObjectBase)
    // The object's character was deleted from its text.
    virtual void RemovedFromText(TRtRTFText* Text) {}
    virtual AnsiString ObjName() const { return AnsiString(); }
    // Asked before the text frees the object: False keeps it alive.
    std::function<bool(TRtObjectBase* Obj)> OnDestroyQuery;
};
