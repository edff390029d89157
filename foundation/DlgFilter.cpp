#include "DlgFilter.h"
#include "Application.h"

#include "WaitCursor.h"
#include "uFilterPic.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

const int cClientWidth = 610;
const int cClientHeight = 432;
const int cSliderTop = 250;
const int cSliderStep = 30;

QFrame* MakePanel(QWidget* Parent, const char* Name, int Left, TFilterPic*& Pic)
{
    auto* pan = new QFrame(Parent);
    pan->setObjectName(Name);
    pan->setGeometry(Left, 10, 300, 225);
    Pic = new TFilterPic(pan);
    Pic->setGeometry(0, 0, 300, 225);  // the whole panel
    return pan;
}

QPushButton* MakeButton(QWidget* Parent, const char* Name, const QString& Caption, QRect Bounds)
{
    auto* b = new QPushButton(Caption, Parent);
    b->setObjectName(Name);
    b->setGeometry(Bounds);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

// ---- TDlgFilterBase ------------------------------------------------------------------------

TDlgFilterBase::TDlgFilterBase(TCreateKey Key, QWidget* Parent) : TLocalizerForm(Key, Parent)
{
    setWindowTitle(QString::fromUtf8("Bildnachbearbeitung"));
    setFixedSize(cClientWidth, cClientHeight);
    FPanAlt = MakePanel(this, "panAlt", 5, FPicAlt);
    FPanNeu = MakePanel(this, "panNeu", 305, FPicNeu);

    FBtnOK = MakeButton(this, "BtnOK", "OK", QRect(300, 385, 95, 25));
    FBtnOK->setDefault(true);
    FBtnAbbrechen = MakeButton(this, "BtnAbbrechen", "Abbrechen", QRect(405, 385, 95, 25));
    FBtnZuruecksetzen = MakeButton(this, "BtnZuruecksetzen", QString::fromUtf8("Zurücksetzen"),
                                   QRect(505, 385, 95, 25));
    connect(FBtnOK, &QPushButton::clicked, this, Guarded([this] { BtnOKClick(); }));
    connect(FBtnAbbrechen, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    connect(FBtnZuruecksetzen, &QPushButton::clicked, this, Guarded([this] { BtnZuruecksetzenClick(); }));

    FProgressBar = new QProgressBar(this);
    FProgressBar->setObjectName("ProgressBar1");
    FProgressBar->setGeometry(0, cClientHeight - 16, cClientWidth, 16);
    FProgressBar->setRange(0, 100);
    FProgressBar->setValue(0);
    FProgressBar->setTextVisible(false);
}

TFilterSlider* TDlgFilterBase::AddSlider(const char* Name, const QString& Caption, TSliderMode Mode)
{
    const int top = cSliderTop + cSliderStep * int(FSliders.size());
    auto* label = new QLabel(Caption, this);
    label->setObjectName(QString("lbl") + Name);
    label->setGeometry(8, top + 6, 80, 18);
    auto* slider = new TFilterSlider(this);
    slider->setObjectName(QString("sl") + Name);
    slider->SetSliderMode(Mode);
    slider->setGeometry(90, top, 510, 30);
    slider->SetChangeDelay(40);
    slider->OnChange = [this] { SliderChange(); };
    FSliders.push_back(slider);
    return slider;
}

void TDlgFilterBase::SetViewColor(TColor Color)
{
    FPicAlt->SetColor(Color);
    FPicNeu->SetColor(Color);
}

void TDlgFilterBase::SetPicture(QImage* Bitmap, int Angle)
{
    FBitmap = Bitmap;
    if (Bitmap)
        FPicAlt->SetPicture(*Bitmap, Angle);
    FPicNeu->SetBitmap(FPicAlt->GetScaledBitmap());
}

void TDlgFilterBase::SliderChange()
{
    std::unique_ptr<QImage> p = FPicAlt->GetScaledBitmap();
    if (!p)
        return;
    ApplyFilter(*p, nullptr);
    FPicNeu->SetBitmap(std::move(p));
    FPicNeu->repaint();
}

void TDlgFilterBase::BtnOKClick()
{
    if (FBitmap) {
        std::unique_ptr<TWaitCursor> wait;
        if (WaitCursorOnOK())
            wait = std::make_unique<TWaitCursor>();
        ApplyFilter(*FBitmap, [this](int Percent) { FProgressBar->setValue(Percent); });
    }
    accept();
}

void TDlgFilterBase::BtnZuruecksetzenClick()
{
    ResetSliders();
    SliderChange();
}

// ---- TDlgFilterHKIG ------------------------------------------------------------------------

TDlgFilterHKIG::TDlgFilterHKIG(TCreateKey Key, QWidget* Parent) : TDlgFilterBase(Key, Parent)
{
    setObjectName("DlgFilterHKIG");
    AddSlider("Helligkeit", "Helligkeit", smLinear);
    AddSlider("Kontrast", "Kontrast", smLinear);
    AddSlider("Intensitaet", QString::fromUtf8("Intensität"), smLinear);
    AddSlider("Gamma", "Gamma", smExpo)->SetPosition(1.0f);
    SetViewColor(clWindow);
}

void TDlgFilterHKIG::ApplyFilter(QImage& Bitmap, const TFilterProgress& Progress)
{
    HKIGFilter(Bitmap, Progress, Slider(0)->Position() / 100, Slider(1)->Position() / 100,
               Slider(2)->Position() / 100, Slider(3)->Position());
}

void TDlgFilterHKIG::ResetSliders()
{
    Slider(0)->SetPosition(0);
    Slider(1)->SetPosition(0);
    Slider(2)->SetPosition(0);
    Slider(3)->SetPosition(1.0f);
}

// ---- TDlgFilterHSL -------------------------------------------------------------------------

TDlgFilterHSL::TDlgFilterHSL(TCreateKey Key, QWidget* Parent) : TDlgFilterBase(Key, Parent)
{
    setObjectName("DlgFilterHSL");
    AddSlider("Farbton", "Farbton", smLinear);
    AddSlider("Saettigung", QString::fromUtf8("Sättigung"), smLinear);
    AddSlider("Helligkeit", "Helligkeit", smLinear);
    SetViewColor(clBlack);
}

void TDlgFilterHSL::ApplyFilter(QImage& Bitmap, const TFilterProgress& Progress)
{
    HSLFilter(Bitmap, Progress, Slider(0)->Position() / 200, Slider(1)->Position() / 100,
              Slider(2)->Position() / 100);
}

void TDlgFilterHSL::ResetSliders()
{
    for (int i = 0; i < 3; ++i)
        Slider(i)->SetPosition(0);
}

// ---- TDlgFilterSWCol -----------------------------------------------------------------------

TDlgFilterSWCol::TDlgFilterSWCol(TCreateKey Key, QWidget* Parent) : TDlgFilterBase(Key, Parent)
{
    setObjectName("DlgFilterSWCol");
    AddSlider("Farbton", "Farbton", smLinear)->SetPosition(-80);
    AddSlider("Saettigung", QString::fromUtf8("Sättigung"), smLinear)->SetPosition(-40);
    FBtnSchwarzWeiss = MakeButton(this, "BtnSchwarzWeiss", QString::fromUtf8("Schwarz/Weiß"),
                                  QRect(90, 320, 110, 25));
    connect(FBtnSchwarzWeiss, &QPushButton::clicked, this, Guarded([this] { BtnSchwarzWeissClick(); }));
}

void TDlgFilterSWCol::ApplyFilter(QImage& Bitmap, const TFilterProgress& Progress)
{
    SWColFilter(Bitmap, Progress, (Slider(0)->Position() + 100) / 200,
                (Slider(1)->Position() + 100) / 200);
}

void TDlgFilterSWCol::ResetSliders()
{
    Slider(0)->SetPosition(-80);
    Slider(1)->SetPosition(-40);
}

void TDlgFilterSWCol::BtnSchwarzWeissClick()
{
    Slider(1)->SetPosition(-100);
    SliderChange();
}
