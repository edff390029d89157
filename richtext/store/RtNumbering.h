#pragma once
// Numbering styles of a text.
#include "Object.h"

class TRtRTFText;

class TRtRTFNumberingStyleCollection : public TObject {
public:
    LUMI_CLASSNAME(TRtRTFNumberingStyleCollection)
    explicit TRtRTFNumberingStyleCollection(TRtRTFText* Owner) : Owner(Owner) {}
    // Rebuilds the default styles; Keep leaves the locked ones.
    virtual void InitDefaults(bool Keep) {}
    TRtRTFText* Owner;
};
