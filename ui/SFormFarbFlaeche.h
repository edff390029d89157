#pragma once
// The side panel of a focused colour area (a frame filled with one colour):
// shows the colour with its red, green and blue values and changes it.
#include "Graphics.h"
#include "uSubForm.h"

class QFrame;
class QLabel;
class QPushButton;
class TFBPictureElement;
class TPaintBox;

class TSFormFarbFlaeche : public TSubForm {
public:
    LUMI_CLASSNAME(TSFormFarbFlaeche)
    TSFormFarbFlaeche(TCreateKey Key, QWidget* Parent);

    void SetElement(TFBElement* Element) override;
    void ContentChanged(TFBPage* Page, TFBElement* Element) override;
    TFBPictureElement* Element() const { return FElement; }
    TColor Color() const { return FColor; }

    void BtnFarbeAendernClick();

    QFrame* panFarbe;
    TPaintBox* pbFarbe;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* lblR;
    QLabel* lblG;
    QLabel* lblB;
    QPushButton* BtnFarbeAendern;

private:
    void UpdateLabels();
    void pbFarbePaint(QPainter& Canvas);

    TFBPictureElement* FElement = nullptr;
    TColor FColor = clBlack;
};
