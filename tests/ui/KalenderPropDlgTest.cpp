// The calendar property sheet and the calendar side panel: settings shown and
// written back, the three apply buttons with their undo items and notices,
// and the year buttons of the panel.
#include "Application.h"
#include "FBPictureElement.h"
#include "FDlgFeiertagGeburtstag.h"
#include "FMainform.h"
#include "FKalenderPropDlg.h"
#include "FSFormKalender.h"
#include "PageViewFixture.h"
#include "QwColorPopupButton.h"
#include "WVLTBComboBox.h"
#include "WVLValidateEdit.h"
#include "uFotobuchMainview.h"
#include "uModalDialog.h"
#include "uMulticaster.h"
#include "uUndo.h"
#include "uUndoItems.h"
#include "../common/ShownMessages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace pvtest;

namespace {

// A calendar product of three pages, a calendar on each of the first two.
struct CalendarDoc {
    TFBDocument Doc;
    TFBKalenderElement* Jan;
    TFBKalenderElement* Feb;
    std::vector<std::tuple<TObject*, TFBPage*, TFBElement*>> Notices;

    CalendarDoc()
    {
        MakeDocument(Doc, 0, 3);
        Jan = AddCalendar(Doc.Pages.GetPage(0), 100, 110, 160, 60);
        Feb = AddCalendar(Doc.Pages.GetPage(1), 100, 110, 160, 60);
        Jan->KalenderData->SetMonat(1);
        Jan->KalenderData->SetJahr(2026);
        Feb->KalenderData->SetMonat(2);
        Feb->KalenderData->SetJahr(2026);
        GetUndoManager().Clear();
        GetMulticaster().OnContentChanged = [this](TMulticaster*, TObject* S, TFBPage* P, TFBElement* E) {
            Notices.emplace_back(S, P, E);
        };
    }
    ~CalendarDoc()
    {
        GetMulticaster().OnContentChanged = nullptr;
        GetUndoManager().Clear();
        ShowModalHook = nullptr;
    }
};

std::vector<uint8_t> Saved(TFBKalenderElement* Element)
{
    TMemoryStream s;
    {
        TMemoryDataFile f(s);
        Element->KalenderData->SaveToDataFile(f, "K");
    }
    return {s.Bytes().begin(), s.Bytes().end()};
}

std::unique_ptr<TKalenderPropDlg> Sheet(TFBKalenderElement* Element)
{
    std::unique_ptr<TKalenderPropDlg> dlg(TLocalizerForm::create<TKalenderPropDlg>(nullptr));
    dlg->SetElement(Element);
    return dlg;
}

// Runs TKalenderPropDlg::Execute with a stand-in user.
int ExecuteSheet(TFBKalenderElement* Element, const std::function<void(TKalenderPropDlg&)>& User)
{
    ShowModalHook = [&](QDialog& D) {
        auto& dlg = dynamic_cast<TKalenderPropDlg&>(D);
        EXPECT_EQ(dlg.Element(), Element);
        User(dlg);
        return dlg.result();
    };
    const int result = TKalenderPropDlg::Execute(Element);
    ShowModalHook = nullptr;
    return result;
}

const QString RangeMessage = QString::fromUtf8("Wert muß zwischen 0,00 und 100,00 liegen.");

QString FirstFont()
{
    const QStringList fonts = TWVLTBFontComboBox::BuildFontList(TWVLTBFontComboBox::ScreenFontFamilies());
    return fonts.isEmpty() ? QString() : fonts.front();
}

}  // namespace

TEST(KalenderPropDlg, ShowsEverySettingOfTheElement)
{
    CalendarDoc c;
    TKalenderData& d = *c.Jan->KalenderData;
    d.WochentagFontHeight = 2.5f;
    d.WochentagSize = 12;
    d.WochentagRowPadding.SetValues(1, 2.25f, 3.5f, 0);
    d.WochentagTextAlign = kaRight | kaBottom;
    d.WochentagFont.SetStyle(fsBold | fsUnderline);
    d.WochentagFont.SetColor(0x123456);
    d.ColorZellen = KalenderNoColor;
    d.Color = 0x00FF00;
    d.TextColorSonntag = 0x0000FF;
    d.ShowMonatJahr = false;
    d.MonatJahrZweizeilig = true;
    d.MonatJahrTextAlign = kaCenterHorz | kaCenterVert;

    auto dlg = Sheet(c.Jan);
    ASSERT_EQ(dlg->Bereiche.size(), 4u);
    const auto& kal = dlg->Bereiche[0];
    const auto& woche = dlg->Bereiche[1];
    const auto& monat = dlg->Bereiche[2];
    EXPECT_EQ(kal.EdSize, nullptr);  // the day grid has no size of its own
    EXPECT_EQ(woche.EdFontHeight->text(), QStringLiteral("2,5"));
    EXPECT_EQ(woche.EdSize->text(), QStringLiteral("12"));
    const QStringList padding{"1", "2,25", "3,5", "0"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(woche.Insets[1].Edits[i]->text(), padding[i]);  // row padding
    EXPECT_TRUE(woche.Align[2]->isChecked());
    EXPECT_TRUE(woche.Align[5]->isChecked());
    EXPECT_FALSE(woche.Align[0]->isChecked());
    EXPECT_TRUE(woche.BtnBold->isChecked());
    EXPECT_FALSE(woche.BtnItalic->isChecked());
    EXPECT_TRUE(woche.BtnUnderline->isChecked());
    EXPECT_EQ(woche.FontColor->Color(), 0x123456);
    EXPECT_TRUE(monat.Align[1]->isChecked());
    EXPECT_TRUE(monat.Align[4]->isChecked());
    EXPECT_FALSE(monat.Switches[0].Box->isChecked());
    EXPECT_TRUE(monat.Switches[2].Box->isChecked());
    EXPECT_EQ(monat.Switches[2].Box->text(), QStringLiteral("Monat und Jahr zweizeilig"));

    // Background, row, cell, Saturday, Sunday; no colour shows as the button's no-colour value.
    ASSERT_EQ(kal.Colors.size(), 5u);
    EXPECT_EQ(kal.Colors[0].Button->Color(), 0x00FF00);
    EXPECT_EQ(kal.Colors[2].Button->Color(), clNoColor);
    EXPECT_EQ(kal.Colors[4].Button->Color(), 0x0000FF);
    EXPECT_TRUE(kal.Colors[2].Button->ColorPopupOptions() & cpNoColor);
    EXPECT_FALSE(kal.Colors[4].Button->ColorPopupOptions() & cpNoColor);  // a font colour
    EXPECT_FALSE(kal.FontColor->ColorPopupOptions() & cpNoColor);
    EXPECT_EQ(kal.Colors[2].Button->ColorButtonStyle(), cbsColor);

    // The special-day tab exists but is not shown.
    EXPECT_FALSE(dlg->pcKalender->isTabVisible(dlg->pcKalender->indexOf(dlg->tsFeiertage)));
    EXPECT_TRUE(dlg->pcKalender->isTabVisible(dlg->pcKalender->indexOf(dlg->tsMonatJahr)));
    EXPECT_EQ(woche.BtnUnderline->toolTip(), QStringLiteral("Unterstrichen"));
    EXPECT_FALSE(woche.BtnBold->icon().isNull());
}

TEST(KalenderPropDlg, ControlsWrittenBackGiveTheSameSettings)
{
    CalendarDoc c;
    TKalenderData& d = *c.Jan->KalenderData;
    const QString font = FirstFont();
    ASSERT_FALSE(font.isEmpty());
    d.Font.SetName(toAnsi(font));
    d.Font.SetStyle(fsItalic);
    d.SondertagSize = 7.75f;
    d.CellSpacing.SetValues(0.5f, 1, 1.5f, 2);
    d.TextColorFeiertag = 0x0102FF;
    d.ShowSondertage = true;
    d.WochentagColorZelle = KalenderNoColor;
    const int32_t aligns[] = {0, kaCenterHorz, kaRight, kaCenterVert, kaBottom, kaCenterHorz | kaBottom,
                              kaRight | kaCenterVert};
    for (int32_t align : aligns) {
        d.FTextAlign = align;
        d.SonderTagTextAlign = align;
        const auto before = Saved(c.Jan);
        auto dlg = Sheet(c.Jan);
        d.SetDefaults();
        d.SetMonat(1);
        d.SetJahr(2026);
        dlg->ControlsToProperties();
        EXPECT_EQ(Saved(c.Jan), before) << align;
    }
}

TEST(KalenderPropDlg, OkWritesTheControlsWithOneUndoItem)
{
    CalendarDoc c;
    c.Jan->KalenderData->WochentagSize = 10;
    const auto before = Saved(c.Jan);
    const auto feb = Saved(c.Feb);
    const int result = ExecuteSheet(c.Jan, [](TKalenderPropDlg& dlg) {
        auto& woche = dlg.Bereiche[1];
        woche.EdSize->setText(QStringLiteral("15,5"));
        woche.Align[1]->setChecked(true);
        woche.BtnItalic->setChecked(true);
        woche.Colors[1].Button->SetColor(clNoColor);  // cell colour: no colour
        dlg.Bereiche[0].Colors[1].Button->SetColor(0x00ABCDEF);
        dlg.Bereiche[2].Switches[1].Box->setChecked(true);
        dlg.BtnOK->click();
    });
    EXPECT_EQ(result, 1);
    const TKalenderData& d = *c.Jan->KalenderData;
    EXPECT_FLOAT_EQ(d.WochentagSize, 15.5f);
    EXPECT_EQ(d.WochentagTextAlign & (kaCenterHorz | kaRight), kaCenterHorz);
    EXPECT_TRUE(d.WochentagFont.Style() & fsItalic);
    EXPECT_EQ(d.WochentagColorZelle, KalenderNoColor);
    EXPECT_EQ(d.ColorZeilen, 0x00ABCDEF);
    EXPECT_TRUE(d.ShowMonatJahrOnBottom);
    EXPECT_EQ(Saved(c.Feb), feb);  // other calendars keep theirs
    EXPECT_TRUE(c.Doc.Modified);
    ASSERT_EQ(c.Notices.size(), 1u);
    EXPECT_NE(std::get<0>(c.Notices[0]), nullptr);
    EXPECT_EQ(std::get<2>(c.Notices[0]), c.Jan);

    ASSERT_EQ(GetUndoManager().Count(), 1);
    EXPECT_STREQ(GetUndoManager().Last()->ClassName(), "TUndoKalenderEigenschaften");
    GetUndoManager().Undo(c.Doc);
    EXPECT_EQ(Saved(c.Jan), before);
}

TEST(KalenderPropDlg, OkForAllGivesEveryCalendarTheSettingsAndUndoesInOneStep)
{
    CalendarDoc c;
    const auto jan = Saved(c.Jan);
    const auto feb = Saved(c.Feb);
    const int result = ExecuteSheet(c.Jan, [](TKalenderPropDlg& dlg) {
        dlg.Bereiche[0].EdFontHeight->setText(QStringLiteral("33"));
        dlg.Bereiche[1].Switches[0].Box->setChecked(false);
        dlg.Bereiche[0].Colors[2].Button->SetColor(clNoColor);
        dlg.BtnOKfuerAlle->click();
    });
    EXPECT_EQ(result, 1);
    for (TFBKalenderElement* e : {c.Jan, c.Feb}) {
        EXPECT_FLOAT_EQ(e->KalenderData->FontHeight, 33);
        EXPECT_FALSE(e->KalenderData->ShowWochentage);
        EXPECT_EQ(e->KalenderData->ColorZellen, KalenderNoColor);
        EXPECT_EQ(e->KalenderData->Jahr(), 2026);
    }
    EXPECT_EQ(c.Jan->KalenderData->Monat(), 1);
    EXPECT_EQ(c.Feb->KalenderData->Monat(), 2);  // keeps its own month
    EXPECT_TRUE(c.Doc.Modified);
    EXPECT_EQ(c.Notices.size(), 1u);

    ASSERT_EQ(GetUndoManager().Count(), 1);
    EXPECT_STREQ(GetUndoManager().Last()->ClassName(), "TUndoKalenderEigenschaftenFuerAlle");
    GetUndoManager().Undo(c.Doc);
    EXPECT_EQ(Saved(c.Jan), jan);
    EXPECT_EQ(Saved(c.Feb), feb);
}

TEST(KalenderPropDlg, CancelAfterApplyReturnsThreeAndKeepsTheChange)
{
    CalendarDoc c;
    const int result = ExecuteSheet(c.Jan, [](TKalenderPropDlg& dlg) {
        dlg.Bereiche[2].EdSize->setText(QStringLiteral("20"));
        dlg.BtnUebernehmen->click();
        EXPECT_EQ(dlg.result(), 0);  // still open
        dlg.Bereiche[2].EdSize->setText(QStringLiteral("40"));  // not applied
        dlg.BtnAbbrechen->click();
    });
    EXPECT_EQ(result, 3);
    EXPECT_FLOAT_EQ(c.Jan->KalenderData->MonatJahrSize, 20);
    EXPECT_EQ(GetUndoManager().Count(), 1);
    EXPECT_EQ(c.Notices.size(), 1u);

    const int plain = ExecuteSheet(c.Jan, [](TKalenderPropDlg& dlg) { dlg.BtnAbbrechen->click(); });
    EXPECT_EQ(plain, 2);
    EXPECT_EQ(GetUndoManager().Count(), 1);
}

TEST(KalenderPropDlg, BadNumberAppliesNothing)
{
    CalendarDoc c;
    const auto before = Saved(c.Jan);
    for (const char* text : {"150", "abc", "-1", "", "1,2,3"}) {
        ShownMessages shown;
        const int result = ExecuteSheet(c.Jan, [&](TKalenderPropDlg& dlg) {
            dlg.Bereiche[0].EdFontHeight->setText(QStringLiteral("40"));
            dlg.Bereiche[1].Insets[0].Edits[3]->setText(QString::fromLatin1(text));
            dlg.BtnOK->click();
            EXPECT_EQ(dlg.result(), 0) << text;  // stays open
            EXPECT_EQ(dlg.pcKalender->currentWidget(), dlg.tsWochentage);
            dlg.BtnAbbrechen->click();
        });
        EXPECT_EQ(result, 2);
        EXPECT_EQ(shown.Texts, QStringList{RangeMessage}) << text;
    }
    EXPECT_EQ(Saved(c.Jan), before);
    EXPECT_EQ(GetUndoManager().Count(), 0);
    EXPECT_TRUE(c.Notices.empty());
}

TEST(KalenderPropDlg, NumbersUseTheLanguagesDecimalSeparator)
{
    CalendarDoc c;
    c.Jan->KalenderData->FontHeight = 12.5f;
    {
        auto dlg = Sheet(c.Jan);
        TWVLFloatEdit* height = dlg->Bereiche[0].EdFontHeight;
        EXPECT_EQ(height->text(), QStringLiteral("12,5"));
        height->setText(QStringLiteral("33,25"));
        dlg->ControlsToProperties();
        EXPECT_FLOAT_EQ(c.Jan->KalenderData->FontHeight, 33.25f);
    }
    Localizer().SetLanguage(1);
    {
        auto dlg = Sheet(c.Jan);
        EXPECT_EQ(dlg->Bereiche[0].EdFontHeight->text(), QStringLiteral("33.25"));
        dlg->Bereiche[0].EdFontHeight->setText(QStringLiteral("7.5"));
        dlg->ControlsToProperties();
        EXPECT_FLOAT_EQ(c.Jan->KalenderData->FontHeight, 7.5f);
    }
    Localizer().SetLanguage(0);

    // Leaving a field out of range keeps the focus and says why.
    auto dlg = Sheet(c.Jan);
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    TWVLFloatEdit* height = dlg->Bereiche[0].EdFontHeight;
    height->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(height->hasFocus());
    height->setText(QStringLiteral("250"));
    ShownMessages shown;
    dlg->Bereiche[0].Insets[0].Edits[0]->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(height->hasFocus());
    EXPECT_EQ(shown.Texts, QStringList{RangeMessage});
}

TEST(KalenderPropDlg, FontThatIsNotInstalledIsKept)
{
    CalendarDoc c;
    c.Jan->KalenderData->MonatJahrFont.SetName("Nirgends Installiert");
    auto dlg = Sheet(c.Jan);
    EXPECT_EQ(dlg->Bereiche[2].FontName->currentIndex(), -1);
    dlg->ControlsToProperties();
    EXPECT_EQ(c.Jan->KalenderData->MonatJahrFont.Name(), "Nirgends Installiert");

    const QString font = FirstFont();
    dlg->Bereiche[2].FontName->setCurrentIndex(0);
    dlg->ControlsToProperties();
    EXPECT_EQ(fromAnsi(c.Jan->KalenderData->MonatJahrFont.Name()), font);
}

TEST(KalenderPropDlg, TextsFollowTheLanguage)
{
    CalendarDoc c;
    Localizer().SetLanguage(1);
    {
        auto dlg = Sheet(c.Jan);
        std::unique_ptr<TSFormKalender> panel(TLocalizerForm::create<TSFormKalender>(nullptr));
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Calendar properties"));
        EXPECT_EQ(dlg->pcKalender->tabText(1), QStringLiteral("Weekdays"));
        EXPECT_EQ(dlg->Bereiche[2].Switches[2].Box->text(), QStringLiteral("Month and year on two lines"));
        EXPECT_EQ(dlg->Bereiche[0].Colors[4].Button->objectName(), QStringLiteral("BtnFarbe4Kalender"));
        EXPECT_EQ(dlg->Bereiche[3].BtnItalic->toolTip(), QStringLiteral("Italic"));
        EXPECT_EQ(dlg->BtnUebernehmen->text(), QStringLiteral("Apply"));
        EXPECT_EQ(dlg->findChild<QLabel*>("lbledGroesseWochentage")->text(), QStringLiteral("Size of the area"));
        EXPECT_EQ(dlg->findChild<QLabel*>("lbled3Kalender")->text(), QStringLiteral("Padding"));
        EXPECT_EQ(dlg->findChild<QGroupBox*>("gb1Kalender")->title(), QStringLiteral("Cell spacing"));
        EXPECT_EQ(panel->BtnBearbeiten->text(), QStringLiteral("Edit calendar settings"));
    }
    Localizer().SetLanguage(0);
}

// ---- side panel ---------------------------------------------------------------------------------

TEST(SFormKalender, YearButtonsStopAtTheLimitsAndSetEveryCalendar)
{
    const struct {
        int Year;
        bool Plus;
        int Expected;
        bool PlusEnabled, MinusEnabled;
    } cases[] = {
        {2099, true, 2100, false, true},
        {1901, false, 1900, true, false},
        {2026, true, 2027, true, true},
        {2026, false, 2025, true, true},
    };
    for (const auto& t : cases) {
        CalendarDoc c;
        c.Doc.SetKalenderJahr(t.Year);
        const auto before = SavedBytes(c.Doc);
        std::unique_ptr<TSFormKalender> panel(TLocalizerForm::create<TSFormKalender>(nullptr));
        panel->SetElement(c.Feb);
        EXPECT_EQ(panel->lblJahr->text(), QString::number(t.Year));
        (t.Plus ? panel->BtnPlus : panel->BtnMinus)->click();
        EXPECT_EQ(panel->lblJahr->text(), QString::number(t.Expected));
        EXPECT_EQ(c.Jan->KalenderData->Jahr(), t.Expected);
        EXPECT_EQ(c.Feb->KalenderData->Jahr(), t.Expected);
        EXPECT_EQ(panel->BtnPlus->isEnabled(), t.PlusEnabled) << t.Year;
        EXPECT_EQ(panel->BtnMinus->isEnabled(), t.MinusEnabled) << t.Year;
        ASSERT_EQ(c.Notices.size(), 1u);
        EXPECT_EQ(std::get<0>(c.Notices[0]), panel.get());
        EXPECT_EQ(std::get<2>(c.Notices[0]), c.Feb);

        ASSERT_EQ(GetUndoManager().Count(), 1);
        EXPECT_STREQ(GetUndoManager().Last()->ClassName(), "TUndoKalenderJahrSetzen");
        GetUndoManager().Undo(c.Doc);
        EXPECT_EQ(SavedBytes(c.Doc), before);
    }
}

TEST(SFormKalender, PanelShowsItsTextsAndIgnoresOtherElements)
{
    CalendarDoc c;
    std::unique_ptr<TSFormKalender> panel(TLocalizerForm::create<TSFormKalender>(nullptr));
    EXPECT_EQ(panel->Label1->text(), QStringLiteral("Kalenderjahr:"));
    EXPECT_TRUE(panel->lblJahr->font().bold());
    TFBPictureElement* frame = AddFrame(c.Doc.Pages.GetPage(2), 50, 50, 40, 40);
    panel->SetElement(frame);
    EXPECT_EQ(panel->Element(), nullptr);
    panel->BtnPlusClick();  // nothing bound: nothing happens
    panel->BtnBearbeitenClick();
    panel->BtnFeiertageGeburtstageClick();
    EXPECT_EQ(GetUndoManager().Count(), 0);
    EXPECT_TRUE(c.Notices.empty());
    EXPECT_EQ(c.Jan->KalenderData->Jahr(), 2026);
}

TEST(SFormKalender, OpensTheSheetAndTheHolidaysDialogOfItsElement)
{
    CalendarDoc c;
    std::unique_ptr<TSFormKalender> panel(TLocalizerForm::create<TSFormKalender>(nullptr));
    panel->SetElement(c.Feb);

    QStringList shown;
    ShowModalHook = [&](QDialog& D) {
        if (auto* sheet = dynamic_cast<TKalenderPropDlg*>(&D)) {
            shown << QStringLiteral("sheet");
            EXPECT_EQ(sheet->Element(), c.Feb);
            sheet->BtnAbbrechen->click();
        } else if (auto* days = dynamic_cast<TDlgFeiertagGeburtstag*>(&D)) {
            shown << QStringLiteral("days");
            EXPECT_EQ(days->Month, 2);
            EXPECT_EQ(days->Year, 2026);
            EXPECT_EQ(days->Holidays, &c.Doc.Holidays);
            EXPECT_EQ(days->Birthdays, &c.Doc.Birthdays);
            EXPECT_EQ(days->sg->currentRow(), 31);  // 1 February
            days->BtnAbbrechen->click();
        }
        return D.result();
    };
    panel->BtnBearbeiten->click();
    EXPECT_TRUE(c.Notices.empty());  // the sheet was cancelled
    panel->BtnFeiertageGeburtstage->click();
    ShowModalHook = nullptr;
    EXPECT_EQ(shown, (QStringList{"sheet", "days"}));
    EXPECT_TRUE(c.Notices.empty());  // the holidays dialog was cancelled
}

// Only OK in the holidays dialog changes the document, from the panel and from
// the sheet alike: a content notice (which marks the project changed) follows
// OK, nothing follows cancel.
TEST(SFormKalender, OnlyOkInTheHolidaysDialogChangesTheDocument)
{
    CalendarDoc c;
    std::unique_ptr<TSFormKalender> panel(TLocalizerForm::create<TSFormKalender>(nullptr));
    panel->SetElement(c.Feb);
    std::unique_ptr<TKalenderPropDlg> sheet = Sheet(c.Feb);
    const std::function<void()> openers[] = {[&] { panel->BtnFeiertageGeburtstage->click(); },
                                             [&] { sheet->BtnFeiertageGeburtstage->click(); }};
    for (const auto& open : openers) {
        for (bool ok : {false, true}) {
            c.Notices.clear();
            ShowModalHook = [&](QDialog& D) {
                auto& days = dynamic_cast<TDlgFeiertagGeburtstag&>(D);
                days.sg->item(40, 2)->setText(QStringLiteral("Anna"));
                (ok ? days.BtnOK : days.BtnAbbrechen)->click();
                return D.result();
            };
            open();
            ShowModalHook = nullptr;
            EXPECT_EQ(c.Doc.Birthdays.GetCount(), ok ? 1 : 0);
            ASSERT_EQ(c.Notices.size(), ok ? 1u : 0u) << ok;
            if (ok) {
                EXPECT_EQ(std::get<2>(c.Notices[0]), c.Feb);
            }
            c.Doc.Birthdays.Clear();
        }
    }
}

// ---- in the main window ---------------------------------------------------------------------------

TEST(Master, CalendarPanelFollowsTheFocusedCalendar)
{
    ShowModalHook = [](QDialog& D) {
        D.setResult(QDialog::Rejected);
        return D.result();
    };
    std::unique_ptr<TMaster> m(TLocalizerForm::create<TMaster>(nullptr));
    m->resize(1000, 700);
    m->show();
    TFBKalenderElement* cal = AddCalendar(m->Document()->Pages.GetPage(0), 80, 60, 100, 40);
    cal->KalenderData->SetJahr(2026);

    m->MainView()->SetFocusedElement(cal);
    ASSERT_TRUE(m->SFormKalender);
    EXPECT_EQ(m->SFormKalender->Element(), cal);
    EXPECT_EQ(m->pagecontrolBottom->currentWidget(), m->tsKalender);
    EXPECT_EQ(m->SFormKalender->parentWidget(), m->tsKalender);
    EXPECT_EQ(m->SFormKalender->lblJahr->text(), QStringLiteral("2026"));

    m->Document()->Modified = false;
    m->SFormKalender->BtnPlus->click();
    EXPECT_EQ(cal->KalenderData->Jahr(), 2027);
    EXPECT_TRUE(m->Document()->Modified);

    m->MainView()->SetFocusedElement(nullptr);
    EXPECT_EQ(m->pagecontrolBottom->currentWidget(), m->tsSeiten);
    EXPECT_EQ(m->SFormKalender->Element(), nullptr);  // no calendar left bound
    EXPECT_FALSE(m->pagecontrolBottom->isTabVisible(m->pagecontrolBottom->indexOf(m->tsKalender)));
    m.reset();
    GetUndoManager().Clear();
    ShowModalHook = nullptr;
}

namespace {

// Shows the messages as a message box would: a window of its own takes the
// focus while the message is up, and gives it back afterwards.
struct MessageBoxes {
    QStringList Texts;
    QWidget Box;
    ShownMessages Shown{[this](const QString& Text) {
        Texts << Text;
        QWidget* before = QApplication::activeWindow();
        Box.show();
        QApplication::setActiveWindow(&Box);
        QApplication::processEvents();
        Box.hide();
        if (before)
            QApplication::setActiveWindow(before);
        QApplication::processEvents();
    }};
};

}  // namespace

// A value out of range gives one message, whether the field is left or the
// sheet confirmed; Cancel and Escape close the sheet without a message.
TEST(KalenderPropDlg, OneMessagePerWrongValueAndCancelWithout)
{
    CalendarDoc c;
    const auto before = Saved(c.Jan);
    struct Case {
        const char* What;
        int Messages;
        int Result;  // 0: stays open
    };
    const Case cases[] = {{"tab", 1, 0}, {"enter", 1, 0}, {"cancel", 0, 2}, {"escape", 0, 2}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.What);
        MessageBoxes boxes;
        const int result = ExecuteSheet(c.Jan, [&](TKalenderPropDlg& dlg) {
            dlg.setModal(true);
            dlg.show();
            QApplication::setActiveWindow(&dlg);
            TWVLFloatEdit* height = dlg.Bereiche[0].EdFontHeight;
            height->setFocus(Qt::TabFocusReason);
            QApplication::processEvents();
            ASSERT_TRUE(height->hasFocus());
            height->setText(QStringLiteral("150"));
            const std::string what = k.What;
            if (what == "tab") {
                dlg.Bereiche[0].Insets[0].Edits[0]->setFocus(Qt::TabFocusReason);
            } else if (what == "enter") {
                QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(height, &enter);
            } else if (what == "cancel") {
                dlg.BtnAbbrechen->setFocus(Qt::MouseFocusReason);  // the press
                dlg.BtnAbbrechen->click();
            } else {
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(height, &escape);
            }
            QApplication::processEvents();
            if (k.Result == 0) {
                EXPECT_TRUE(dlg.isVisible());
                EXPECT_TRUE(height->hasFocus());
            }
            dlg.hide();
            QApplication::processEvents();
        });
        EXPECT_EQ(result, k.Result);
        EXPECT_EQ(boxes.Texts.join(QLatin1Char('|')).toStdString(), k.Messages ? RangeMessage.toStdString() : "");
    }
    EXPECT_EQ(Saved(c.Jan), before);
}

// The range message speaks the program's language.
TEST(KalenderPropDlg, RangeMessageFollowsTheLanguage)
{
    CalendarDoc c;
    Localizer().SetLanguage(1);
    ShownMessages shown;
    ExecuteSheet(c.Jan, [](TKalenderPropDlg& dlg) {
        dlg.Bereiche[0].EdFontHeight->setText(QStringLiteral("150"));
        dlg.BtnOK->click();
        dlg.BtnAbbrechen->click();
    });
    Localizer().SetLanguage(0);
    EXPECT_EQ(shown.Texts, QStringList{QStringLiteral("Value must be between 0.00 and 100.00.")});
}
