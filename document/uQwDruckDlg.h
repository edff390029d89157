#pragma once
// The print dialog: printer, copies, page range, the settings the product
// needs, and the print position of folded borderless sheets.
#include "AnsiString.h"
#include "Printers.h"
#include "uDruckvorschau.h"
#include "ulocalize.h"

#include <cstdint>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TFBDocument;
class TKvSpinEdit;
class TWVLIntegerEdit;

// Options: the from-to range and the chosen pages are offered.
constexpr uint8_t poPageNums = 1;
constexpr uint8_t poSelection = 2;

class TQwDruckDlg : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TQwDruckDlg)
    TQwDruckDlg(TCreateKey Key, QWidget* Owner);

    // The modal run: lays the form out for its options and hint, runs it, and
    // on OK hands the copy count to the printer; otherwise the printer and its
    // settings are as before.
    int Execute();

    void FormCreate();
    void cbDruckerChange();
    void BtnEigenschaftenClick();
    void edVonChange();
    void edBisChange();
    void BtnDruckpositionClick();
    void BtnSeitenauswahlClick();
    void rbSeitenauswahlClick();

    int Copies() const;
    int FromPage() const;
    int ToPage() const;
    void SetFromPage(int Value);
    void SetToPage(int Value);
    // 0 all pages, 1 from-to, 2 chosen pages.
    int RangeChoice() const;
    QString InfoText() const;
    void SetInfoText(const QString& Text);

    uint8_t Options = poPageNums;
    float RandlosverschiebungY = -1.2f;
    AnsiString SettingsKey;
    TPageSelection* PageSelection = nullptr;  // the driver's
    TFBDocument* Document = nullptr;

    QGroupBox* gbDrucker;
    QComboBox* cbDrucker;
    QLabel* lblTyp;
    QLabel* lblOrt;
    QLabel* lblKommentar;
    QPushButton* BtnEigenschaften;
    QGroupBox* gbAnzahl;
    TKvSpinEdit* edAnzahl;
    QGroupBox* gbDruckbereich;
    QRadioButton* rbAlle;
    QRadioButton* rbSeiten;
    QLabel* lblVon;
    TWVLIntegerEdit* edVon;
    QLabel* lblBis;
    TWVLIntegerEdit* edBis;
    QRadioButton* rbSeitenauswahl;
    QLabel* lblSeitenauswahl;
    QPushButton* BtnSeitenauswahl;
    QGroupBox* gbHinweis;
    QPlainTextEdit* meInfo;
    QPushButton* BtnDruckposition;
    QFrame* shDruckposition;
    QPushButton* BtnOK;
    QPushButton* BtnAbbrechen;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    // Makes room for translated labels that are longer than the German ones.
    void AfterLocalize() override;

private:
    void ShowPrinterInfo();
    QLabel* lblAnzahl;

    bool FVonEntered = false;
    bool FBisEntered = false;
    bool FSelectionGuard = false;
};
