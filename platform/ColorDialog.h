#pragma once
// The class library's colour dialog: the chosen colour and the sixteen custom
// colours, kept as lines "ColorA=BBGGRR" to "ColorP=BBGGRR" (the colour value
// in hexadecimal digits without a prefix).
#include "Classes.h"
#include "Graphics.h"

class QWidget;

class TColorDialog : public TObject {
public:
    LUMI_CLASSNAME(TColorDialog)
    static constexpr int MaxCustomColors = 16;

    explicit TColorDialog(QWidget* owner = nullptr) : owner_(owner) {}

    // Shows the dialog modally, starting at Color and the custom colours;
    // true and the chosen Color when the user confirms. The custom colours the
    // user defined come back in CustomColors either way.
    bool Execute();

    TColor Color = clBlack;
    TStringList CustomColors;

private:
    QWidget* owner_;
};
