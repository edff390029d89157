#pragma once
// The editor's undo stack.
#include "Object.h"

class TRtUndoStack : public TObject {
public:
    LUMI_CLASSNAME(TRtUndoStack)
    virtual void Clear() {}
};
