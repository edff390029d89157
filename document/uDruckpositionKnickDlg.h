#pragma once
// The seam dialog: the borderless shift of folded sheets, moved in tenths of
// a millimetre or measured with the printer adjustment.
#include "ulocalize.h"

class QLabel;
class QPushButton;
class QToolButton;

class TDruckpositionKnickDlg : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TDruckpositionKnickDlg)
    TDruckpositionKnickDlg(TCreateKey Key, QWidget* Owner);

    void SetVerschiebung(float Value);
    void BtnNachLinksClick();
    void BtnNachRechtsClick();
    void BtnJustageClick();

    QLabel* lblVerschiebung;
    QToolButton* BtnNachLinks;
    QToolButton* BtnNachRechts;
    QPushButton* BtnOK;
    QPushButton* BtnAbbrechen;
    QPushButton* BtnJustage;
    float Verschiebung = -1.2f;

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;
};
