#pragma once
// The printer adjustment: one A4 sheet printed twice, normally with a scale
// of numbered bars and then borderless with a red line where the fold is; the
// number of the bar the line touches gives the borderless shift of the seam.
#include "AnsiString.h"
#include "Classes.h"
#include "ulocalize.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TDrawContext;

class TKalibrierung : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TKalibrierung)
    TKalibrierung(TCreateKey Key, QWidget* Owner);

    void FormCreate();
    void ShowPanel(int Number);  // 1..3
    void BtnDruckerEinstellungNormalClick();
    void BtnDruckenNormalClick();
    void BtnDruckerEinstellungRandlosClick();
    void Timer1Timer();
    void BtnDruckenRandlosClick();
    void edKalibrierungChange();
    void BtnFertigClick();
    // Millimetres: (n - 1) x 0.1 for the number n entered; 0 when it is none.
    float GetResult() const;

    // The two test sheets, each one print job on the current printer.
    void PrintNormalSheet();
    void PrintBorderlessSheet();

    QFrame* Panel1;
    QFrame* Panel2;
    QFrame* Panel3;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QGroupBox* GroupBox3;
    QGroupBox* GroupBox4;
    QGroupBox* GroupBox5;
    QGroupBox* GroupBox6;
    QPushButton* BtnDruckerEinstellungNormal;
    QPushButton* BtnDruckenNormal;
    QPushButton* BtnDruckerEinstellungRandlos;
    QPushButton* BtnDruckenRandlos;
    QLineEdit* edKalibrierung;
    QPushButton* BtnFertig;
    QTimer* Timer1;

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;

private:
    QGroupBox* AddStep(QFrame* Panel, const QString& Name, const QString& Title, int Top,
                       int Height, const QString& Caption, const QStringList& Lines,
                       QPushButton** Button, const QString& ButtonName,
                       const QString& ButtonCaption);
    void PrepareSheet(TDrawContext& DC);
    void ArrowMark(TDrawContext& DC, float X, float Y);
    void WrappedText(TDrawContext& DC, const QString& Key, float X, float Y);
    void SetStepBold(QGroupBox* Group, bool Bold);
};

// The class library's word wrap: breaks after a blank, hyphen or tab so that
// lines keep within MaxCol characters where they can; CR LF break as well.
void WrapTextToLines(const AnsiString& Text, int MaxCol, TStringList& Lines);
