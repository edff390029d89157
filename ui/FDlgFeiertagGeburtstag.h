#pragma once
// The holidays and birthdays dialog: one year as a grid of days, where the
// holiday and birthday texts of each day are typed; in German it can also
// enter the German public holidays of the year.
#include "DateTime.h"
#include "ulocalize.h"

class QPushButton;
class QTableWidget;
class TKalenderTageListe;

// Easter Sunday of the Gregorian year.
TDateTime EasterSunday(int Year);
// Empties the whole list (every year) and enters the German public holidays
// of the year, days falling together joined with ", ".
void EnterGermanHolidays(int Year, TKalenderTageListe& Holidays);

class TDlgFeiertagGeburtstag : public TLocalizerForm {
public:
    LUMI_CLASSNAME(TDlgFeiertagGeburtstag)
    TDlgFeiertagGeburtstag(TCreateKey Key, QWidget* Parent);

    // Shows the dialog for the year, scrolled to the month; the lists are the
    // document's and only OK changes them (the entries of the year alone).
    // Returns 1 after OK, 2 after cancel.
    static int Execute(int Month, int Year, TKalenderTageListe* Holidays, TKalenderTageListe* Birthdays);

    // Fills the grid from the fields; runs before the modal loop.
    void FormShow();
    void BtnOKClick();
    void BtnFeiertageBerechnenClick();
    // The grid row of a day of the year (1-based).
    static int RowOfDay(int DayOfYear) { return DayOfYear - 1; }

    int Month = 1;
    int Year = 2000;
    TKalenderTageListe* Holidays = nullptr;   // not owned
    TKalenderTageListe* Birthdays = nullptr;  // not owned

    QTableWidget* sg;
    QPushButton* BtnOK;
    QPushButton* BtnAbbrechen;
    QPushButton* BtnFeiertageBerechnen;

protected:
    void BeforeLocalize() override;
    void AfterLocalize() override;
    void reject() override;
    void showEvent(QShowEvent* Event) override;

private:
    void FormCreate();
    int DaysInYear() const;
    void FillColumn(int Column, const TKalenderTageListe& List);
    void StoreColumn(int Column, TKalenderTageListe& List);
    void ScrollToMonth();

    int FMonthRow = 0;
};
