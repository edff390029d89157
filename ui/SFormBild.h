#pragma once
// The side panel of a focused picture frame: turns the picture, zooms it,
// runs the picture filters and shows a traffic light for the print quality.
#include "FBPictureElement.h"
#include "uSubForm.h"

#include <QImage>

class QAction;
class QLabel;
class QMenu;
class QSlider;
class QToolButton;
class TPaintBox;

class TSFormBild : public TSubForm {
public:
    LUMI_CLASSNAME(TSFormBild)
    TSFormBild(TCreateKey Key, QWidget* Parent);

    void SetElement(TFBElement* Element) override;
    void ContentChanged(TFBPage* Page, TFBElement* Element) override;
    TFBPictureElement* Element() const { return FElement; }

    void BtnBildDrehenLinksClick();
    void BtnBildDrehenRechtsClick();
    void BtnBildFilterClick();
    void mnuHKIGClick();
    void mnuHSLClick();
    void mnuSWColClick();
    void mnuRedEyeClick();

    // The cell of the traffic-light strip for a resolution: 0 red, 1 yellow,
    // 2 green, 3 grey (no picture).
    static int AmpelIndex(int Dpi);

    QToolButton* BtnBildDrehenRechts;
    QToolButton* BtnBildDrehenLinks;
    QToolButton* BtnBildFilter;
    QSlider* ZoomTrackbar;
    QLabel* Label1;
    QLabel* Image1;
    QImage imgAmpel;  // four 16 x 32 lights side by side, magenta transparent
    TPaintBox* pbAmpel;
    QLabel* lbldpi;
    QMenu* pmBildFilter;
    QAction* mnuHKIG;
    QAction* mnuHSL;
    QAction* mnuSWCol;
    QAction* mnuRedEye;

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ArrangeControls();
    void ZoomTrackbarMouseDown();
    void ZoomTrackbarMouseUp();
    void ZoomTrackbarChange();
    void Rotate(int Direction);
    void RunFilter(bool (TFBPictureElement::*Dialog)());
    void Changed();
    void RefreshPanel();
    void UpdateControls();
    void SetTrackbarPosition(int Position);
    void pbAmpelPaint(QPainter& Canvas);

    TFBPictureElement* FElement = nullptr;
    int FZoomAtMouseDown = 0;
    bool FZoomItemRecorded = false;  // an undo item was recorded at this mouse-down
    bool FSettingPosition = false;   // the panel itself moves the track bar
};
