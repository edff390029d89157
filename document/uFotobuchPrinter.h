#pragma once
// The print driver: prints a document on single pages or on folded sheets
// that carry two consecutive pages side by side, after the print dialog.
#include "AnsiString.h"
#include "Object.h"
#include "Types.h"
#include "uDruckvorschau.h"
#include "uVectorLib.h"

#include <QString>
#include <functional>
#include <memory>

class TBitmapDrawContext;
class TFBDocument;
class TFBElement;
class TFBPage;
class TPrinterDrawContext;

// "Druckeinstellung\" + the format name of a print setting; "" for none.
AnsiString PrintSettingsKey(int PrintSetting);

class TFotobuchPrinter : public TObject {
public:
    LUMI_CLASSNAME(TFotobuchPrinter)
    explicit TFotobuchPrinter(TFBDocument* ADocument);
    ~TFotobuchPrinter() override;

    void Print();

    // The steps of Print.
    int GetPrintablePageCount() const;
    void PreparePaper();
    void PromoteBorderless();
    void LoadPrintSettings();
    void SavePrintSettings();
    QString GetRequiredSettingsText() const;
    void RunJob();
    static QString MakeJobTitle(const QString& Title);
    // Smallest d >= 1 with LogPixelsY / d at most 365.
    static int ResolutionDivisor(int LogPixelsY);

    TFBDocument* Document;  // not owned
    float RandlosverschiebungY = -1.2f;
    int FirstPage = 0;
    int LastPage = 0;
    int Copies = 1;
    TPageSelection PageSelection;

private:
    bool Cancelled();
    // Begins the job with the first page (so that a job without pages
    // starts none), later ones begin a new printer page.
    TPrinterDrawContext& StartPage();
    void PrintNormal();
    void PrintFolded();
    void SetupPageTransform(TPrinterDrawContext& DC);
    void PrintPage(TPrinterDrawContext& DC, TFBPage& Page);
    void PrintPictureElement(TPrinterDrawContext& DC, TFBPage& Page, int Index);
    void PrintOtherElement(TPrinterDrawContext& DC, TFBPage& Page, int Index);
    // Renders the page's elements that Draw draws into a bitmap at the reduced
    // resolution covering Bounds (rotated by Angle about its centre) and sends
    // it to the printer.
    void PrintAsBitmap(TPrinterDrawContext& DC, TFBPage& Page, const TRectF& Bounds, float Angle,
                       const std::function<void(TBitmapDrawContext&)>& Draw);

    bool FCancelled = false;
    int FDivisor = 1;
    std::unique_ptr<TPrinterDrawContext> FDC;
};
