#pragma once
// The red-eye dialog: the picture zoomable and scrollable, and a round brush
// that turns red pixels under it into the mean of their green and blue.
#include "uHSLUtil.h"
#include "uPixPinsel.h"
#include "ulocalize.h"

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <memory>

class QProgressBar;
class QPushButton;
class QScrollArea;
class QTimer;
class QToolButton;
class TDlgRoteAugen;

// The paint box that shows the picture at the dialog's zoom.
class TRoteAugenPaintBox : public QWidget {
public:
    explicit TRoteAugenPaintBox(TDlgRoteAugen* Dialog, QWidget* Parent);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    TDlgRoteAugen* FDialog;
};

class TDlgRoteAugen : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TDlgRoteAugen)
    TDlgRoteAugen(TCreateKey Key, QWidget* Parent = nullptr);

    // The dialog works on its own copy of Bitmap (already turned by the caller).
    void SetPicture(const QImage& Bitmap, int Angle);
    // The corrected picture; read it after OK, before the dialog is freed.
    const QImage* Picture() const { return FPicture.get(); }

    float Zoom() const { return FZoom; }
    int Mode() const { return FMode; }  // 0 drag, 1 red-eye brush
    int BrushSize() const { return FBrushSize; }
    // The brush outline in paint-box pixels (empty while hidden).
    QRect OutlineRect() const;
    QScrollArea* ScrollBox() const { return FScrollBox; }
    QWidget* PaintBox() const { return FPaintBox; }
    QToolButton* BtnDrag() const { return FBtnDrag; }
    QToolButton* BtnRedEye() const { return FBtnRedEye; }
    QToolButton* BtnPinsel(int Index) const { return FBtnPinsel[Index]; }

    // Removes red at a paint-box point under the brush.
    void CorrectAt(int X, int Y);
    // Zooms in (or out) keeping the picture point under (X, Y) in the middle.
    void ZoomAt(int X, int Y, bool In);
    void BtnOKClick();

private:
    friend class TRoteAugenPaintBox;
    void SetMode(int Mode);
    void SetBrushSize(int Size);
    void SizePaintBox();
    void MoveOutline(QPoint P);
    void Timer1Timer();
    void PaintPicture(QPaintEvent* e);
    void MouseDown(QMouseEvent* e);
    void MouseMove(QMouseEvent* e);
    void MouseUp(QMouseEvent* e);

    std::unique_ptr<QImage> FPicture;
    float FZoom = 1.0f;
    uint8_t FMode = 0;
    QPoint FOutline{-1000, -1000};
    int FBrushSize = 5;
    TRGBHSL FHSL{0};
    TPixPinsel FPinsel{5, 5};
    QPoint FDownPos, FDownScroll, FLastPos;

    QToolButton* FBtnDrag;
    QToolButton* FBtnRedEye;
    QToolButton* FBtnPinsel[3];
    QScrollArea* FScrollBox;
    TRoteAugenPaintBox* FPaintBox;
    QPushButton* FBtnOK;
    QPushButton* FBtnAbbrechen;
    QProgressBar* FProgressBar;
    QTimer* FTimer1;
};
