#pragma once
// The picture frame dialog: colour and width of a picture frame's border.
#include "Graphics.h"
#include "ulocalize.h"

#include <array>

class QComboBox;
class QLabel;
class QPushButton;
class TQwColorPopupButton;

// The border widths offered, in millimetres, in list order.
extern const std::array<double, 9> BildRahmenWidths;

class TBildRahmen : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TBildRahmen)
    TBildRahmen(TCreateKey Key, QWidget* Parent);

    TColor GetColor() const;
    void SetColor(TColor Color);
    // The selected width in mm; 0 when nothing is selected.
    double GetWidth() const;
    // Selects the entry showing that width; none for a width not offered.
    void SetWidth(double Width);
    // The entry text of a width: "-ohne-" for 0, else "0,18 mm" and so on.
    QString WidthText(double Width) const;

    QLabel* lblFarbe;
    QWidget* shRahmenColor;  // placeholder of the colour button
    TQwColorPopupButton* ColorButton;
    QLabel* lblDicke;
    QComboBox* cbDicke;
    QPushButton* BtnOK;
    QPushButton* BtnAbbrechen;

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;

private:
    void ColorButtonMenuClick(int Code);
};
