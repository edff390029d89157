#pragma once
// The slider dialogs of the picture filters: brightness, contrast, intensity
// and gamma; hue, saturation and lightness; black-and-white or tint. Each
// shows the unfiltered picture and a live preview side by side and, on OK,
// filters the picture handed in.
#include "uFilterSlider.h"
#include "uPictureFilter.h"
#include "ulocalize.h"

#include <QImage>
#include <vector>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class TFilterPic;

// Common layout and behaviour of the three slider dialogs.
class TDlgFilterBase : public TLocalizerForm {
public:
    // Keeps Bitmap (not owned); the left view shows it turned by Angle, the
    // right view its unfiltered preview.
    void SetPicture(QImage* Bitmap, int Angle);

    TFilterPic* PicAlt() const { return FPicAlt; }
    TFilterPic* PicNeu() const { return FPicNeu; }
    TFilterSlider* Slider(int Index) const { return FSliders.at(size_t(Index)); }
    QProgressBar* ProgressBar() const { return FProgressBar; }
    QPushButton* BtnOK() const { return FBtnOK; }
    QPushButton* BtnZuruecksetzen() const { return FBtnZuruecksetzen; }

    // Filters a scaled copy of the left view into the right view.
    void SliderChange();
    // Filters the picture handed in, with the progress bar, and closes with OK.
    void BtnOKClick();
    // Sets the sliders to their starting values and refreshes the preview.
    void BtnZuruecksetzenClick();

protected:
    TDlgFilterBase(TCreateKey Key, QWidget* Parent);
    // One slider with its label at the left; rows from y 250 in steps of 30.
    TFilterSlider* AddSlider(const char* Name, const QString& Caption, TSliderMode Mode);
    void SetViewColor(TColor Color);
    // Runs this dialog's filter with the sliders' values.
    virtual void ApplyFilter(QImage& Bitmap, const TFilterProgress& Progress) = 0;
    virtual void ResetSliders() = 0;
    // Whether OK shows the hourglass while it filters.
    virtual bool WaitCursorOnOK() const { return true; }

    QPushButton* FBtnAbbrechen;

private:
    QFrame* FPanAlt;
    QFrame* FPanNeu;
    TFilterPic* FPicAlt;
    TFilterPic* FPicNeu;
    std::vector<TFilterSlider*> FSliders;
    QPushButton* FBtnOK;
    QPushButton* FBtnZuruecksetzen;
    QProgressBar* FProgressBar;
    QImage* FBitmap = nullptr;
};

class TDlgFilterHKIG : public TDlgFilterBase {
public:
    LUMI_CLASSNAME(TDlgFilterHKIG)
    TDlgFilterHKIG(TCreateKey Key, QWidget* Parent = nullptr);

protected:
    void ApplyFilter(QImage& Bitmap, const TFilterProgress& Progress) override;
    void ResetSliders() override;
    bool WaitCursorOnOK() const override { return false; }
};

class TDlgFilterHSL : public TDlgFilterBase {
public:
    LUMI_CLASSNAME(TDlgFilterHSL)
    TDlgFilterHSL(TCreateKey Key, QWidget* Parent = nullptr);

protected:
    void ApplyFilter(QImage& Bitmap, const TFilterProgress& Progress) override;
    void ResetSliders() override;
};

class TDlgFilterSWCol : public TDlgFilterBase {
public:
    LUMI_CLASSNAME(TDlgFilterSWCol)
    TDlgFilterSWCol(TCreateKey Key, QWidget* Parent = nullptr);

    QPushButton* BtnSchwarzWeiss() const { return FBtnSchwarzWeiss; }
    // Saturation to -100 (plain grey), then the preview.
    void BtnSchwarzWeissClick();

protected:
    void ApplyFilter(QImage& Bitmap, const TFilterProgress& Progress) override;
    void ResetSliders() override;

private:
    QPushButton* FBtnSchwarzWeiss;
};
