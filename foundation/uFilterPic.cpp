#include "uFilterPic.h"

#include "Canvas.h"
#include "uBitmapDrawContext.h"
#include "uVectorLib.h"

#include <QPainter>

void FitPicSize(int& Width, int& Height, int MaxWidth, int MaxHeight)
{
    if (Width <= 0 || Height <= 0) {
        Width = Height = 0;
        return;
    }
    FitSizeInt(Width, Height, MaxWidth, MaxHeight);
}

std::unique_ptr<QImage> RenderFitted(const QImage& Picture, int Angle, QSize MaxSize)
{
    Angle = ((Angle % 360) + 360) % 360;
    const bool sideways = Angle == 90 || Angle == 270;
    int w = sideways ? Picture.height() : Picture.width();
    int h = sideways ? Picture.width() : Picture.height();
    FitPicSize(w, h, MaxSize.width(), MaxSize.height());
    if (w <= 0 || h <= 0 || Picture.isNull())
        return std::make_unique<QImage>();
    TBitmap bmp;
    bmp.SetPixelFormat(pf32bit);
    bmp.SetSize(w, h);
    {
        TBitmapDrawContext dc(bmp);
        // The unturned picture spans the rectangle with the sides swapped back.
        const float rw = float(sideways ? h : w), rh = float(sideways ? w : h);
        dc.DrawImageGDIPlus(Picture, w / 2.0f, h / 2.0f, rw, rh, float(Angle), 0, 0,
                            Picture.width(), Picture.height());
    }
    return std::make_unique<QImage>(bmp.Image().copy());
}

TFilterPic::TFilterPic(QWidget* Parent) : QWidget(Parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TFilterPic::SetColor(TColor Value)
{
    FColor = Value;
    update();
}

void TFilterPic::SetBitmap(std::unique_ptr<QImage> Bitmap)
{
    FBitmap = std::move(Bitmap);
    update();
}

void TFilterPic::SetPicture(const QImage& Bitmap, int Angle)
{
    FBitmap = RenderFitted(Bitmap, Angle, size());
    update();
}

std::unique_ptr<QImage> TFilterPic::GetScaledBitmap() const
{
    if (!FBitmap)
        return nullptr;
    return RenderFitted(*FBitmap, 0, size());
}

void TFilterPic::paintEvent(QPaintEvent*)
{
    TCanvas canvas(this);
    TDrawContext dc(&canvas);
    canvas.Brush().SetColor(FColor);
    canvas.Brush().SetStyle(bsSolid);
    canvas.FillRect(TRect{0, 0, width(), height()});
    if (FBitmap && !FBitmap->isNull()) {
        int w = FBitmap->width(), h = FBitmap->height();
        FitPicSize(w, h, width(), height());
        const float left = float((width() - w) / 2), top = float((height() - h) / 2);
        dc.DrawImageGDIPlus(*FBitmap, left + w / 2.0f, top + h / 2.0f, float(w), float(h), 0, 0, 0,
                            FBitmap->width(), FBitmap->height());
    }
}
