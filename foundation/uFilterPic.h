#pragma once
// Shows a picture fitted into the control and centred: the "before" and
// "after" views of the picture-filter dialogs.
#include "Graphics.h"

#include <QImage>
#include <QWidget>
#include <memory>

class TFilterPic : public QWidget {
    Q_OBJECT
public:
    explicit TFilterPic(QWidget* Parent = nullptr);

    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

    // Takes the bitmap (the previous one is freed) and repaints.
    void SetBitmap(std::unique_ptr<QImage> Bitmap);
    // The held bitmap becomes the picture turned by Angle (0, 90, 180 or 270)
    // at the size that fits the control.
    void SetPicture(const QImage& Bitmap, int Angle);
    // A new copy of the held bitmap fitted to the control; nullptr when none is held.
    std::unique_ptr<QImage> GetScaledBitmap() const;
    const QImage* Bitmap() const { return FBitmap.get(); }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    std::unique_ptr<QImage> FBitmap;
    TColor FColor = clWindow;
};

// Width and height scaled to fit MaxWidth x MaxHeight, keeping the aspect ratio.
void FitPicSize(int& Width, int& Height, int MaxWidth, int MaxHeight);
// Picture turned by Angle (0, 90, 180, 270) and fitted into MaxSize, drawn
// through a bitmap draw context.
std::unique_ptr<QImage> RenderFitted(const QImage& Picture, int Angle, QSize MaxSize);
