#pragma once
// Header and footer texts of a text.
#include "Object.h"

class TRtRTFText;

class TRtHeaderFooterCollection : public TObject {
public:
    LUMI_CLASSNAME(TRtHeaderFooterCollection)
    explicit TRtHeaderFooterCollection(TRtRTFText* Owner) : Owner(Owner) {}
    virtual void Clear() {}
    TRtRTFText* Owner;
};
