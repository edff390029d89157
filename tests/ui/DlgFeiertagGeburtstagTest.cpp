// The holidays and birthdays dialog: Easter and the German public holidays,
// the grid of one year and what OK, cancel and the computation do to the
// document's two lists.
#include "FDlgFeiertagGeburtstag.h"
#include "uKalender.h"
#include "uModalDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

QString Ymd(TDateTime Date)
{
    int y, m, d;
    DecodeDate(Date, y, m, d);
    return QString::asprintf("%04d-%02d-%02d", y, m, d);
}

// Date -> text of every entry.
std::map<QString, QString> Entries(const TKalenderTageListe& List)
{
    std::map<QString, QString> result;
    for (int i = 0; i < List.GetCount(); ++i)
        result[Ymd(List.GetItem(i)->Datum)] = fromAnsi(List.GetItem(i)->Text);
    return result;
}

void Add(TKalenderTageListe& List, const char* Text, int Y, int M, int D)
{
    List.AddDay(toAnsi(QString::fromUtf8(Text)), ", ", EncodeDate(Y, M, D));
}

// Runs the dialog with a stand-in user; messages shown are collected.
struct DialogRun {
    TKalenderTageListe Holidays, Birthdays;
    QStringList Messages;
    int Result = 0;

    void Execute(int Month, int Year, const std::function<void(TDlgFeiertagGeburtstag&)>& User)
    {
        ShowModalHook = [&](QDialog& D) {
            if (auto* box = qobject_cast<QMessageBox*>(&D)) {
                EXPECT_EQ(box->icon(), QMessageBox::Information);
                Messages << box->text();
                return int(QMessageBox::Ok);
            }
            auto& dlg = dynamic_cast<TDlgFeiertagGeburtstag&>(D);
            User(dlg);
            return dlg.result();
        };
        Result = TDlgFeiertagGeburtstag::Execute(Month, Year, &Holidays, &Birthdays);
        ShowModalHook = nullptr;
    }
};

}  // namespace

TEST(DlgFeiertagGeburtstag, EasterSundayOfYears)
{
    const struct {
        int Year;
        const char* Easter;
    } cases[] = {
        {2024, "2024-03-31"}, {2025, "2025-04-20"}, {2026, "2026-04-05"}, {2008, "2008-03-23"},
        {1981, "1981-04-19"},  // E = 24 is moved on
        {1954, "1954-04-18"},  // E = 25 with a golden number above 11
        {2285, "2285-03-22"},  // the earliest date
        {1943, "1943-04-25"}, {2038, "2038-04-25"},  // the latest date
        {1900, "1900-04-15"}, {2000, "2000-04-23"}, {2100, "2100-03-28"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ymd(EasterSunday(c.Year)), QString::fromLatin1(c.Easter)) << c.Year;
}

TEST(DlgFeiertagGeburtstag, GermanHolidaysOfYears)
{
    const struct {
        int Year;
        const char* Date;
        const char* Text;
    } cases[] = {
        {2026, "2026-01-01", "Neujahr"},
        {2026, "2026-01-06", "Hl. 3 Könige"},
        {2026, "2026-02-16", "Rosenmontag"},
        {2026, "2026-02-17", "Fastnacht"},
        {2026, "2026-02-18", "Aschermittwoch"},
        {2026, "2026-04-03", "Karfreitag"},
        {2026, "2026-04-05", "Ostersonntag"},
        {2026, "2026-04-06", "Ostermontag"},
        {2026, "2026-05-14", "Christi Himmelfahrt"},
        {2026, "2026-05-24", "Pfingstsonntag"},
        {2026, "2026-05-25", "Pfingstmontag"},
        {2026, "2026-06-04", "Fronleichnam"},
        {2026, "2026-08-15", "Mariä Aufnahme"},
        {2026, "2026-10-03", "Tag der dt. Einheit"},
        {2026, "2026-10-31", "Reformationstag"},
        {2026, "2026-11-01", "Allerheiligen"},
        {2026, "2026-11-18", "Buß- und Bettag"},
        {2026, "2026-12-24", "Hl. Abend"},
        {2026, "2026-12-31", "Silvester"},
        // The Wednesday before 23 November: 16 to 22 November.
        {2022, "2022-11-16", "Buß- und Bettag"},  // 23 November is a Wednesday itself
        {2005, "2005-11-16", "Buß- und Bettag"},
        {2033, "2033-11-16", "Buß- und Bettag"},
        {2039, "2039-11-16", "Buß- und Bettag"},
        {2027, "2027-11-17", "Buß- und Bettag"},
        {2023, "2023-11-22", "Buß- und Bettag"},  // on the last day of the range
        {2008, "2008-05-01", "Maifeiertag, Christi Himmelfahrt"},
        {2008, "2008-03-21", "Karfreitag"},
        {2024, "2024-02-12", "Rosenmontag"},  // leap day before Easter
        {2024, "2024-05-30", "Fronleichnam"},
    };
    for (const auto& c : cases) {
        TKalenderTageListe list;
        EnterGermanHolidays(c.Year, list);
        const auto entries = Entries(list);
        const auto it = entries.find(QString::fromLatin1(c.Date));
        ASSERT_NE(it, entries.end()) << c.Date;
        EXPECT_EQ(it->second, QString::fromUtf8(c.Text)) << c.Date;
    }
    TKalenderTageListe list;
    EnterGermanHolidays(2026, list);
    EXPECT_EQ(list.GetCount(), 22);
    EnterGermanHolidays(2008, list);  // the list is emptied first
    EXPECT_EQ(list.GetCount(), 21);   // 1 May is shared
}

TEST(DlgFeiertagGeburtstag, GridShowsTheYearAndItsEntries)
{
    DialogRun run;
    Add(run.Holidays, "Neujahr", 2024, 1, 1);
    Add(run.Holidays, "Neujahr", 2025, 1, 1);  // another year: not shown
    Add(run.Birthdays, "Anna", 2024, 2, 29);
    Add(run.Birthdays, "Ben", 2024, 12, 31);
    run.Execute(3, 2024, [](TDlgFeiertagGeburtstag& dlg) {
        QTableWidget* sg = dlg.sg;
        EXPECT_EQ(sg->rowCount(), 366);
        EXPECT_EQ(sg->columnCount(), 3);
        EXPECT_EQ(sg->horizontalHeaderItem(0)->text(), QStringLiteral("Datum"));
        EXPECT_EQ(sg->horizontalHeaderItem(1)->text(), QStringLiteral("Feiertage"));
        EXPECT_EQ(sg->horizontalHeaderItem(2)->text(), QStringLiteral("Geburtstage"));
        EXPECT_EQ(sg->item(0, 0)->text(), QStringLiteral("01.01.2024"));
        EXPECT_EQ(sg->item(59, 0)->text(), QStringLiteral("29.02.2024"));  // day 60
        EXPECT_EQ(sg->item(365, 0)->text(), QStringLiteral("31.12.2024"));
        EXPECT_EQ(sg->item(0, 1)->text(), QStringLiteral("Neujahr"));
        EXPECT_EQ(sg->item(59, 2)->text(), QStringLiteral("Anna"));
        EXPECT_EQ(sg->item(365, 2)->text(), QStringLiteral("Ben"));
        EXPECT_EQ(sg->currentRow(), 60);  // 1 March
        EXPECT_EQ(sg->currentColumn(), 1);
        dlg.show();
        EXPECT_EQ(sg->rowAt(0), 60);  // and the top row
        // The dates can be neither selected nor edited.
        const Qt::ItemFlags flags = sg->item(10, 0)->flags();
        EXPECT_FALSE(flags & Qt::ItemIsSelectable);
        EXPECT_FALSE(flags & Qt::ItemIsEditable);
        EXPECT_TRUE(sg->item(10, 1)->flags() & Qt::ItemIsEditable);
        EXPECT_GT(sg->columnWidth(1), sg->columnWidth(0));
        EXPECT_EQ(sg->columnWidth(1), sg->columnWidth(2));
        dlg.BtnAbbrechen->click();
    });
    EXPECT_EQ(run.Result, 2);

    DialogRun common;
    common.Execute(12, 2023, [](TDlgFeiertagGeburtstag& dlg) {
        EXPECT_EQ(dlg.sg->rowCount(), 365);
        EXPECT_EQ(dlg.sg->item(59, 0)->text(), QStringLiteral("01.03.2023"));
        EXPECT_EQ(dlg.sg->currentRow(), 334);  // 1 December
        dlg.BtnAbbrechen->click();
    });
}

// Each language writes the dates in its own short form, with the whole year,
// in a column that shows them whole.
TEST(DlgFeiertagGeburtstag, DatesInTheLanguagesOwnForm)
{
    const struct {
        int Language;
        const char *First, *Last;
    } cases[] = {{0, "01.01.2026", "31.12.2026"}, {1, "1/1/2026", "12/31/2026"}, {2, "01/01/2026", "31/12/2026"},
                 {3, "01/01/2026", "31/12/2026"}, {4, "1/1/2026", "31/12/2026"}, {9, "01-01-2026", "31-12-2026"}};
    for (const auto& c : cases) {
        Localizer().SetLanguage(c.Language);
        DialogRun run;
        run.Execute(1, 2026, [&](TDlgFeiertagGeburtstag& dlg) {
            EXPECT_EQ(dlg.sg->item(0, 0)->text(), QLatin1String(c.First)) << c.Language;
            EXPECT_EQ(dlg.sg->item(364, 0)->text(), QLatin1String(c.Last)) << c.Language;
            const QFontMetrics metrics(dlg.sg->font());
            EXPECT_GT(dlg.sg->columnWidth(0), metrics.horizontalAdvance(dlg.sg->item(364, 0)->text())) << c.Language;
            dlg.BtnAbbrechen->click();
        });
    }
    Localizer().SetLanguage(0);
}

TEST(DlgFeiertagGeburtstag, OkReplacesOnlyTheEntriesOfTheYear)
{
    DialogRun run;
    Add(run.Holidays, "Neujahr", 2024, 1, 1);
    Add(run.Holidays, "Alt", 2024, 7, 1);
    Add(run.Holidays, "Neujahr", 2025, 1, 1);
    Add(run.Birthdays, "Anna", 2024, 2, 29);
    Add(run.Birthdays, "Carl", 2023, 5, 5);
    run.Execute(1, 2024, [](TDlgFeiertagGeburtstag& dlg) {
        dlg.sg->item(182, 1)->setText(QString());                    // 1 July cleared
        dlg.sg->item(2, 1)->setText(QStringLiteral("Feiertag"));    // 3 January
        dlg.sg->item(59, 2)->setText(QStringLiteral("Anna, Bea"));  // edited
        dlg.sg->item(100, 2)->setText(QString::fromUtf8("Jörg"));
        dlg.BtnOK->click();
    });
    EXPECT_EQ(run.Result, 1);
    const std::map<QString, QString> holidays{
        {"2024-01-01", "Neujahr"}, {"2024-01-03", "Feiertag"}, {"2025-01-01", "Neujahr"}};
    const std::map<QString, QString> birthdays{
        {"2023-05-05", "Carl"}, {"2024-02-29", "Anna, Bea"}, {"2024-04-10", QString::fromUtf8("Jörg")}};
    EXPECT_EQ(Entries(run.Holidays), holidays);
    EXPECT_EQ(Entries(run.Birthdays), birthdays);

    // Cancel leaves both lists as they were.
    run.Execute(1, 2024, [](TDlgFeiertagGeburtstag& dlg) {
        dlg.sg->item(5, 1)->setText(QStringLiteral("verworfen"));
        dlg.BtnAbbrechen->click();
    });
    EXPECT_EQ(run.Result, 2);
    EXPECT_EQ(Entries(run.Holidays), holidays);
    EXPECT_EQ(Entries(run.Birthdays), birthdays);
}

TEST(DlgFeiertagGeburtstag, TextInAnOpenCellEditorIsTakenOnOk)
{
    DialogRun run;
    run.Execute(1, 2026, [](TDlgFeiertagGeburtstag& dlg) {
        dlg.show();
        dlg.sg->setCurrentCell(4, 2);
        dlg.sg->editItem(dlg.sg->item(4, 2));
        auto* editor = dlg.sg->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(QStringLiteral("Dora"));
        dlg.BtnOKClick();
    });
    EXPECT_EQ(Entries(run.Birthdays), (std::map<QString, QString>{{"2026-01-05", "Dora"}}));
}

TEST(DlgFeiertagGeburtstag, ComputationFillsTheGridAndOnlyOkStoresIt)
{
    DialogRun run;
    Add(run.Holidays, "Eigener Tag", 2026, 3, 3);
    Add(run.Holidays, "Neujahr", 2027, 1, 1);
    Add(run.Birthdays, "Anna", 2026, 2, 2);
    Add(run.Birthdays, "Ben", 2027, 2, 2);
    const auto holidaysBefore = Entries(run.Holidays);
    const auto birthdaysBefore = Entries(run.Birthdays);
    const auto compute = [](TDlgFeiertagGeburtstag& dlg) {
        ASSERT_FALSE(dlg.BtnFeiertageBerechnen->isHidden());
        dlg.BtnFeiertageBerechnen->click();
        EXPECT_EQ(dlg.sg->item(61, 1)->text(), QString());  // 3 March: own entry replaced
        EXPECT_EQ(dlg.sg->item(321, 1)->text(), QString::fromUtf8("Buß- und Bettag"));
        EXPECT_EQ(dlg.sg->item(32, 2)->text(), QStringLiteral("Anna"));  // birthdays untouched
    };

    // Cancel takes the computation back with everything else.
    run.Execute(5, 2026, [&](TDlgFeiertagGeburtstag& dlg) {
        compute(dlg);
        EXPECT_EQ(Entries(run.Holidays), holidaysBefore);  // nothing stored before OK
        dlg.BtnAbbrechen->click();
    });
    EXPECT_EQ(run.Result, 2);
    ASSERT_EQ(run.Messages.size(), 1);
    EXPECT_EQ(run.Messages[0],
              QString::fromUtf8("Die deutschen Feiertage wurden eingetragen.\r\n\r\nSie können die Feiertage, "
                                "die für Ihr Bundesland nicht zutreffen, herauslöschen."));
    EXPECT_EQ(Entries(run.Holidays), holidaysBefore);
    EXPECT_EQ(Entries(run.Birthdays), birthdaysBefore);

    // OK replaces the shown year and keeps every other one.
    run.Execute(5, 2026, [&](TDlgFeiertagGeburtstag& dlg) {
        compute(dlg);
        dlg.BtnOK->click();
    });
    EXPECT_EQ(run.Result, 1);
    const auto holidays = Entries(run.Holidays);
    EXPECT_EQ(holidays.size(), 23u);
    EXPECT_EQ(holidays.count(QStringLiteral("2026-03-03")), 0u);
    EXPECT_EQ(holidays.at(QStringLiteral("2026-11-18")), QString::fromUtf8("Buß- und Bettag"));
    EXPECT_EQ(holidays.at(QStringLiteral("2027-01-01")), QStringLiteral("Neujahr"));
    EXPECT_EQ(Entries(run.Birthdays), birthdaysBefore);
}

TEST(DlgFeiertagGeburtstag, ComputeButtonOnlyInGerman)
{
    Localizer().SetLanguage(1);
    DialogRun run;
    run.Execute(1, 2026, [](TDlgFeiertagGeburtstag& dlg) {
        EXPECT_TRUE(dlg.BtnFeiertageBerechnen->isHidden());
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Holidays and birthdays"));
        EXPECT_EQ(dlg.sg->horizontalHeaderItem(2)->text(), QStringLiteral("Birthdays"));
        EXPECT_EQ(dlg.BtnAbbrechen->text(), QStringLiteral("Cancel"));
        dlg.BtnAbbrechen->click();
    });
    Localizer().SetLanguage(0);
    run.Execute(1, 2026, [](TDlgFeiertagGeburtstag& dlg) {
        EXPECT_FALSE(dlg.BtnFeiertageBerechnen->isHidden());
        dlg.BtnAbbrechen->click();
    });
}
