#pragma once
// Named extra data items of a text.
#include "Object.h"

class TRtRTFText;

class TRtRTFExtraDataCollection : public TObject {
public:
    LUMI_CLASSNAME(TRtRTFExtraDataCollection)
    explicit TRtRTFExtraDataCollection(TRtRTFText* Owner) : Owner(Owner) {}
    // Clears the items as the text's clearing does (keeping those marked so).
    virtual void ClearForText() {}
    TRtRTFText* Owner;
};
