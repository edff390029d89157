// The print dialog, the page selection, the progress window and the seam
// dialog, each run through the modal seam without an event loop.
#include "FBPictureElement.h"
#include "PrintTestUtil.h"

#include "KvSpinEdit.h"
#include "MainFormStatusBar.h"
#include "WVLValidateEdit.h"
#include "uDlgDruckAbbrechen.h"
#include "uDruckpositionKnickDlg.h"
#include "uDruckvorschau.h"
#include "uFotobuchDocument.h"
#include "uKalibrierung.h"
#include "uPrinterSupport.h"
#include "uQwDruckDlg.h"
#include "uQwRegistry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace printtest;

namespace {

// Answers every modal run with Answer(dialog).
struct TModal {
    std::function<int(QDialog&)> Answer;
    explicit TModal(std::function<int(QDialog&)> A) : Answer(std::move(A))
    {
        ShowModalHook = [this](QDialog& D) { return Answer(D); };
    }
    ~TModal() { ShowModalHook = nullptr; }
};

void SaveScreenshot(QWidget& W, const QString& Name)
{
    const QImage shot = W.grab().toImage();
    EXPECT_EQ(shot.size(), W.size());
    if (!qEnvironmentVariableIsEmpty("LUMI_SCREENSHOT_DIR"))
        shot.save(qEnvironmentVariable("LUMI_SCREENSHOT_DIR") + QLatin1Char('/') + Name);
}

std::unique_ptr<TFBDocument> Booklet(int Pages)
{
    auto doc = std::make_unique<TFBDocument>();
    doc->DocType = 1;
    doc->PageWidth = 105;
    doc->PageHeight = 148;
    for (int i = 0; i < Pages; ++i) {
        auto page = std::make_unique<TFBPage>(doc.get());
        auto e = std::make_unique<TFBPictureElement>(page.get());
        e->CenterX = 52.5f;
        e->CenterY = 74;
        e->Width = 80;
        e->Height = 120;
        e->FillWithColor(i % 2 ? 0xFF0000 : 0x0000FF);
        page->Pictures.Add(std::move(e));
        doc->Pages.Add(std::move(page));
    }
    return doc;
}

struct TMainForm : TMainFormStatusBar {
    QWidget Widget;
    TMainForm() { RegisterMainForm(this); }
    ~TMainForm() override { UnregisterMainForm(this); }
    QWidget* MainFormWidget() override { return &Widget; }
    void SetStatusBarText(const QString&) override {}
};

} // namespace

TEST(DruckpositionKnickDlg, ShiftTexts)
{
    struct Case {
        int left, right;
        QString text;
    } cases[] = {{0, 0, QStringLiteral("0,0 mm")},
                 {6, 0, QStringLiteral("0,6 mm nach links")},
                 {0, 1, QStringLiteral("0,1 mm nach rechts")},
                 {12, 12, QStringLiteral("0,0 mm")},
                 {0, 25, QStringLiteral("2,5 mm nach rechts")}};
    for (const Case& c : cases) {
        std::unique_ptr<TDruckpositionKnickDlg> dlg(TLocalizerForm::create<TDruckpositionKnickDlg>(nullptr));
        dlg->SetVerschiebung(-1.2f);
        for (int i = 0; i < c.left; ++i)
            dlg->BtnNachLinks->click();
        for (int i = 0; i < c.right; ++i)
            dlg->BtnNachRechts->click();
        EXPECT_EQ(dlg->lblVerschiebung->text(), c.text) << c.left << "/" << c.right;
        EXPECT_NEAR(dlg->Verschiebung, -1.2 + 0.1 * (c.left - c.right), 1e-4);
    }
}

TEST(DruckpositionKnickDlg, AdjustmentSetsTheShiftAndKeepsThePrinterChoice)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    PrinterSupport().SetPaperCode(11);
    PrinterSupport().SetCopies(3);
    const TDeviceMode before = Printer().DevMode();
    struct Case {
        const char* number;
        int answer;
        float shift;
    } cases[] = {{"50", QDialog::Accepted, -4.9f}, {"13", QDialog::Accepted, -1.2f},
                 {"50", QDialog::Rejected, -2.0f}};
    for (const Case& c : cases) {
        std::unique_ptr<TDruckpositionKnickDlg> dlg(TLocalizerForm::create<TDruckpositionKnickDlg>(nullptr));
        dlg->SetVerschiebung(-2.0f);
        int runs = 0;
        TModal modal([&](QDialog& D) {
            auto* k = dynamic_cast<TKalibrierung*>(&D);
            EXPECT_NE(k, nullptr);
            ++runs;
            PrinterSupport().SetPaperCode(9);  // the adjustment works on A4
            PrinterSupport().SetCopies(1);
            k->ShowPanel(3);
            k->edKalibrierung->setText(QString::fromLatin1(c.number));
            return c.answer;
        });
        QStringList messages;
        PrintMessageHook = [&](QMessageBox::Icon, const QString& T) { messages << T; };
        dlg->BtnJustage->click();
        PrintMessageHook = nullptr;
        EXPECT_EQ(runs, 1);
        EXPECT_NEAR(dlg->Verschiebung, c.shift, 1e-5) << c.number;
        EXPECT_TRUE(messages.isEmpty());
        EXPECT_EQ(Printer().DevMode(), before) << "the printer choice is restored";
    }
}

TEST(QwDruckDlg, HintGroupAndPrintPosition)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    struct Case {
        QString hint;
        bool position;
    } cases[] = {{QString(), false}, {QStringLiteral("Bitte A4 einlegen"), true}};
    int heights[2] = {};
    int okTops[2] = {};
    for (int i = 0; i < 2; ++i) {
        const Case& c = cases[i];
        std::unique_ptr<TQwDruckDlg> dlg(TLocalizerForm::create<TQwDruckDlg>(nullptr));
        EXPECT_EQ(dlg->cbDrucker->currentText(), QStringLiteral("PDF-Datei"));
        EXPECT_EQ(dlg->lblTyp->text(), QStringLiteral("PDF"));
        EXPECT_EQ(dlg->lblOrt->text(), QStringLiteral("FILE:"));
        EXPECT_TRUE(dlg->meInfo->font().bold());
        dlg->SetInfoText(c.hint);
        dlg->BtnDruckposition->setVisible(c.position);
        TModal modal([&](QDialog& D) {
            EXPECT_EQ(&D, dlg.get());
            EXPECT_EQ(dlg->gbDruckbereich->height(), dlg->gbAnzahl->height());
            EXPECT_EQ(dlg->gbHinweis->isHidden(), c.hint.isEmpty());
            EXPECT_EQ(dlg->shDruckposition->isHidden(), !c.position);
            EXPECT_EQ(dlg->shDruckposition->geometry(), dlg->BtnDruckposition->geometry().adjusted(-2, -2, 2, 2));
            EXPECT_TRUE(dlg->rbSeitenauswahl->isHidden()) << "the chosen-pages row is not offered";
            SaveScreenshot(*dlg, c.hint.isEmpty() ? QStringLiteral("DruckDlgOhneHinweis.png")
                                                  : QStringLiteral("DruckDlg.png"));
            return int(QDialog::Rejected);
        });
        EXPECT_EQ(dlg->Execute(), QDialog::Rejected);
        heights[i] = dlg->height();
        okTops[i] = dlg->BtnOK->y();
    }
    EXPECT_EQ(heights[1] - heights[0], 100);
    EXPECT_EQ(okTops[1] - okTops[0], 100);
}

TEST(QwDruckDlg, PageRangeEdits)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    std::unique_ptr<TQwDruckDlg> dlg(TLocalizerForm::create<TQwDruckDlg>(nullptr));
    dlg->SetFromPage(1);
    dlg->SetToPage(8);
    EXPECT_EQ(dlg->RangeChoice(), 0);
    EXPECT_TRUE(dlg->rbAlle->isChecked()) << "set by code, the range stays";

    // Typing into an entered edit chooses the range.
    QFocusEvent focus(QEvent::FocusIn);
    QApplication::sendEvent(dlg->edBis, &focus);
    dlg->edBis->setText(QStringLiteral("5"));
    EXPECT_EQ(dlg->RangeChoice(), 1);
    EXPECT_EQ(dlg->ToPage(), 5);

    // An empty field takes the other one's value.
    dlg->SetFromPage(3);
    dlg->edBis->setText(QString());
    char key = 0;
    EXPECT_TRUE(dlg->edBis->DoValidate(key));
    EXPECT_EQ(dlg->ToPage(), 3);
    dlg->edVon->setText(QString());
    EXPECT_TRUE(dlg->edVon->DoValidate(key));
    EXPECT_EQ(dlg->FromPage(), 3);
}

TEST(QwDruckDlg, CancelRestoresAndOkHandsOverCopies)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    PrinterSupport().SetPaperCode(11);
    const TDeviceMode before = Printer().DevMode();
    {
        std::unique_ptr<TQwDruckDlg> dlg(TLocalizerForm::create<TQwDruckDlg>(nullptr));
        TModal modal([&](QDialog&) {
            // properties changed, then cancelled
            TModal setup([](QDialog& D) {
                EXPECT_NE(dynamic_cast<QPageSetupDialog*>(&D), nullptr);
                return int(QDialog::Accepted);
            });
            EXPECT_TRUE(PrinterSupport().ShowPrinterProperties(nullptr));
            PrinterSupport().SetPaperCode(8);
            return int(QDialog::Rejected);
        });
        EXPECT_EQ(dlg->Execute(), QDialog::Rejected);
        EXPECT_EQ(Printer().DevMode(), before);
    }
    {
        std::unique_ptr<TQwDruckDlg> dlg(TLocalizerForm::create<TQwDruckDlg>(nullptr));
        TModal modal([&](QDialog&) {
            dlg->edAnzahl->SetValue(4);
            return int(QDialog::Accepted);
        });
        EXPECT_EQ(dlg->Execute(), QDialog::Accepted);
        EXPECT_EQ(dlg->Copies(), 4);
        EXPECT_EQ(Printer().DevMode().Copies, 4);
        EXPECT_EQ(Printer().DevMode().PageSizeId, QPageSize::A5);
    }
}

TEST(QwDruckDlg, ChosenPrinterBringsItsStoredShift)
{
    QTemporaryDir dir;
    UsePdfPrinter(dir);
    TQwRegIniFile& reg = TQwRegIniFile::Instance();
    struct Case {
        const char* key;
        bool stored;
        float shift;
    } cases[] = {{"Druckeinstellung\\PocketBooklet", true, -0.7f},
                 {"Druckeinstellung\\PhotoBook86", false, -1.6f}};
    reg.WriteFloat("Druckeinstellung\\PocketBooklet\\PDF-Datei", "RandlosverschiebungY", -0.7);
    for (const Case& c : cases) {
        std::unique_ptr<TQwDruckDlg> dlg(TLocalizerForm::create<TQwDruckDlg>(nullptr));
        dlg->SettingsKey = c.key;
        dlg->RandlosverschiebungY = -1.6f;
        dlg->cbDrucker->setCurrentIndex(dlg->cbDrucker->findText(QStringLiteral("PDF-Datei")));
        dlg->cbDruckerChange();
        EXPECT_NEAR(dlg->RandlosverschiebungY, c.shift, 1e-6) << c.key;
        EXPECT_EQ(dlg->lblTyp->text(), QStringLiteral("PDF"));
    }
}

TEST(QwDruckDlg, ChosenSheetsOfAFoldedDocument)
{
    auto doc = Booklet(6);
    TPageSelection pages{true, false, false, false, false, true};
    std::unique_ptr<TQwDruckDlg> dlg(TLocalizerForm::create<TQwDruckDlg>(nullptr));
    dlg->Options = poPageNums | poSelection;
    dlg->Document = doc.get();
    dlg->PageSelection = &pages;
    {
        TModal modal([&](QDialog& D) {
            auto* view = dynamic_cast<TDruckvorschau*>(&D);
            EXPECT_NE(view, nullptr);
            EXPECT_EQ(view->ItemCount(), 3) << "one item per sheet";
            EXPECT_TRUE(view->CheckBox(0)->isChecked());
            EXPECT_FALSE(view->CheckBox(1)->isChecked());
            EXPECT_TRUE(view->CheckBox(2)->isChecked());
            view->CheckBox(1)->setChecked(true);
            view->CheckBox(2)->setChecked(false);
            view->BtnOK->click();
            return D.result();
        });
        dlg->BtnSeitenauswahl->click();
    }
    EXPECT_EQ(pages, TPageSelection({true, true, true, true, false, false}));
    EXPECT_EQ(dlg->lblSeitenauswahl->text(), QStringLiteral("1,2"));
    EXPECT_EQ(dlg->RangeChoice(), 2);

    {
        TModal modal([&](QDialog& D) {
            auto* view = dynamic_cast<TDruckvorschau*>(&D);
            for (int i = 0; i < view->ItemCount(); ++i)
                view->CheckBox(i)->setChecked(false);
            view->BtnOK->click();
            return D.result();
        });
        dlg->rbSeitenauswahl->click();
    }
    EXPECT_EQ(pages, TPageSelection(6, false));
    EXPECT_EQ(dlg->RangeChoice(), 0);
    EXPECT_TRUE(dlg->rbAlle->isChecked());

    // Cancelled: the selection stays.
    pages = {true, false, false, false, false, false};
    TModal cancel([](QDialog&) { return int(QDialog::Rejected); });
    dlg->BtnSeitenauswahl->click();
    EXPECT_EQ(pages, TPageSelection({true, false, false, false, false, false}));
}

TEST(Druckvorschau, ItemsCheckBoxesAndMiniatures)
{
    auto doc = Booklet(6);
    TPageSelection sheets{true, false, true};
    std::unique_ptr<TDruckvorschau> view(TLocalizerForm::create<TDruckvorschau>(nullptr));
    view->resize(500, 330);
    view->Setup(*doc, sheets);
    EXPECT_EQ(view->pb->width(), 3 * TDruckvorschau::ItemWidth);
    for (int i = 0; i < 3; ++i) {
        const QRect box = view->CheckBox(i)->geometry();
        EXPECT_GE(box.left(), i * 200 + 10);
        EXPECT_LE(box.right(), i * 200 + 190);
        EXPECT_EQ(box.top(), view->pb->height() - 10 - 18);
        EXPECT_EQ(view->CheckBox(i)->text(), QStringLiteral("Drucken"));
    }
    view->show();
    view->CheckBox(0)->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(view->CurrentItem(), 0);
    // Arrow keys walk the boxes and stop at the ends.
    auto press = [&](int index, Qt::Key key) {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(view->CheckBox(index), &e);
        QApplication::processEvents();
    };
    press(0, Qt::Key_Left);
    EXPECT_EQ(view->CurrentItem(), 0);
    press(0, Qt::Key_Right);
    EXPECT_EQ(view->CurrentItem(), 1);
    press(1, Qt::Key_Right);
    press(2, Qt::Key_Right);
    EXPECT_EQ(view->CurrentItem(), 2);

    // The miniature: the sheet as on paper, page 2k below page 2k+1.
    TBitmap other;
    view->PaintItem(0, other);
    EXPECT_EQ(QColor(other.Image().pixel(2, 2)), QColor(Qt::white));
    TBitmap bmp;
    view->PaintItem(2, bmp);
    EXPECT_EQ(bmp.Width(), 200);
    const QImage& img = bmp.Image();
    EXPECT_EQ(QColor(img.pixel(2, 2)), QColor(0xF0, 0xF0, 0xF0)) << "the current item is shaded";
    // the square of the miniature lies in (10, 10)..(190, h - 36)
    const int side = std::min(180, img.height() - 46) - 3;
    const int cx = 10 + side / 2;
    EXPECT_TRUE(Near(QColor(img.pixel(cx, 10 + side * 3 / 4)), Qt::red)) << "page 5 in the lower half";
    EXPECT_TRUE(Near(QColor(img.pixel(cx, 10 + side / 4)), Qt::blue)) << "page 6 in the upper half";
    SaveScreenshot(*view, QStringLiteral("Seitenauswahl.png"));

    view->CheckBox(1)->setChecked(true);
    view->BtnOK->click();
    EXPECT_EQ(sheets, TPageSelection({true, true, true}));
}

TEST(DlgDruckAbbrechen, ProgressWindowOverTheMainForm)
{
    TMainForm main;
    EXPECT_FALSE(IsPrintCancelled()) << "no window, no cancel";
    ShowPrintProgress(QStringLiteral("Drucke Seite 1 von 3"));
    ASSERT_NE(PrintProgressWindow(), nullptr);
    EXPECT_EQ(PrintProgressWindow()->lText->text(), QStringLiteral("Drucke Seite 1 von 3"));
    EXPECT_EQ(PrintProgressWindow()->windowTitle(), QStringLiteral("Drucken"));
    EXPECT_FALSE(main.Widget.isEnabled());
    EXPECT_TRUE(PrintProgressWindow()->cmdAbbrechen->isEnabled());
    EXPECT_FALSE(IsPrintCancelled());
    PrintProgressWindow()->cmdAbbrechen->click();
    EXPECT_TRUE(IsPrintCancelled());
    ClosePrintProgress();
    EXPECT_EQ(PrintProgressWindow(), nullptr);
    EXPECT_TRUE(main.Widget.isEnabled());
    EXPECT_FALSE(IsPrintCancelled());
}

TEST(Kalibrierung, Screenshot)
{
    std::unique_ptr<TKalibrierung> dlg(TLocalizerForm::create<TKalibrierung>(nullptr));
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Kalibrierung"));
    SaveScreenshot(*dlg, QStringLiteral("Kalibrierung.png"));
    std::unique_ptr<TDruckpositionKnickDlg> seam(TLocalizerForm::create<TDruckpositionKnickDlg>(nullptr));
    seam->SetVerschiebung(-0.6f);
    SaveScreenshot(*seam, QStringLiteral("Stosskante.png"));
}
