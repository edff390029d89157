#pragma once
// The calendar side panel: the calendar year with plus and minus buttons,
// and the way to the property sheet and the holidays and birthdays dialog.
#include "uSubForm.h"

class QLabel;
class QPushButton;
class TFBKalenderElement;

class TSFormKalender : public TSubForm {
public:
    LUMI_CLASSNAME(TSFormKalender)
    TSFormKalender(TCreateKey Key, QWidget* Parent);

    // Binds the focused calendar element (null or another kind: none).
    void SetElement(TFBElement* Element) override;
    void ContentChanged(TFBPage* Page, TFBElement* Element) override;
    TFBKalenderElement* Element() const { return FElement; }

    void BtnPlusClick();
    void BtnMinusClick();
    void BtnBearbeitenClick();
    void BtnFeiertageGeburtstageClick();

    QLabel* Label1;
    QLabel* lblJahr;
    QPushButton* BtnPlus;
    QPushButton* BtnMinus;
    QPushButton* BtnBearbeiten;
    QPushButton* BtnFeiertageGeburtstage;

private:
    void ShowYear();
    void SetYear(int Year);

    TFBKalenderElement* FElement = nullptr;  // not owned
};
