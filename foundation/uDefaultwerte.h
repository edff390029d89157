#pragma once
// Default format and shadow flag of new text; the text panel reads and updates them.
#include "Graphics.h"
#include "Object.h"

#include <memory>

class TDefaultWerte : public TObject {
public:
    LUMI_CLASSNAME(TDefaultWerte)
    TDefaultWerte();

    std::unique_ptr<TFont> Font;  // "Arial", 12 points
    bool HasShadow = true;
};

// The one instance, created on first use and freed when the program ends.
TDefaultWerte& DefaultWerte();
