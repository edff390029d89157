#include "FDlgFeiertagGeburtstag.h"
#include "Application.h"

#include "MainFormStatusBar.h"
#include "SysUtils.h"
#include "uKalender.h"
#include "uModalDialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <memory>

namespace {

const char* const TextDatum = "Datum";
const char* const TextFeiertage = "Feiertage";
const char* const TextGeburtstage = "Geburtstage";
const char* const TextEingetragen = "Die deutschen Feiertage wurden eingetragen.";
const char* const TextHerausloeschen =
    "Sie können die Feiertage, die für Ihr Bundesland nicht zutreffen, herauslöschen.";
const AnsiString Separator = ", ";

int IsoWeekday(TDateTime Date)
{
    return (DayOfWeek(Date) + 5) % 7 + 1;  // DayOfWeek: 1 = Sunday
}

// The day as the program's language writes a short date, with the whole year.
QString DateText(TDateTime Date)
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return QLocale().toString(DateTimeToQDateTime(Date).date(), format);
}

}  // namespace

TDateTime EasterSunday(int Year)
{
    const int g = Year % 19 + 1;
    const int c = Year / 100 + 1;
    const int x = (3 * c) / 4 - 12;
    const int z = (8 * c + 5) / 25 - 5;
    const int d = (5 * Year) / 4 - x - 10;
    int e = (11 * g + 20 + z - x) % 30;
    if (e < 0)
        e += 30;
    if ((e == 25 && g > 11) || e == 24)
        ++e;
    int n = 44 - e;
    if (n < 21)
        n += 30;
    n = n + 7 - ((d + n) % 7);
    return n > 31 ? EncodeDate(Year, 4, n - 31) : EncodeDate(Year, 3, n);
}

void EnterGermanHolidays(int Year, TKalenderTageListe& Holidays)
{
    const TDateTime easter = EasterSunday(Year);
    // The Wednesday before 23 November: 16 to 22 November.
    TDateTime bussUndBettag = EncodeDate(Year, 11, 22);
    while (IsoWeekday(bussUndBettag) != 3)
        bussUndBettag -= 1;

    const struct {
        const char* Text;
        TDateTime Date;
    } days[] = {
        {"Neujahr", EncodeDate(Year, 1, 1)},
        {"Maifeiertag", EncodeDate(Year, 5, 1)},
        {"Tag der dt. Einheit", EncodeDate(Year, 10, 3)},
        {"Hl. Abend", EncodeDate(Year, 12, 24)},
        {"1. Weihnachtsfeiertag", EncodeDate(Year, 12, 25)},
        {"2. Weihnachtsfeiertag", EncodeDate(Year, 12, 26)},
        {"Silvester", EncodeDate(Year, 12, 31)},
        {"Karfreitag", easter - 2},
        {"Ostersonntag", easter},
        {"Ostermontag", easter + 1},
        {"Christi Himmelfahrt", easter + 39},
        {"Pfingstsonntag", easter + 49},
        {"Pfingstmontag", easter + 50},
        {"Rosenmontag", easter - 48},
        {"Fastnacht", easter - 47},
        {"Aschermittwoch", easter - 46},
        {"Hl. 3 Könige", EncodeDate(Year, 1, 6)},
        {"Fronleichnam", easter + 60},
        {"Mariä Aufnahme", EncodeDate(Year, 8, 15)},
        {"Reformationstag", EncodeDate(Year, 10, 31)},
        {"Allerheiligen", EncodeDate(Year, 11, 1)},
        {"Buß- und Bettag", bussUndBettag},
    };
    Holidays.Clear();
    for (const auto& day : days)
        Holidays.AddDay(toAnsi(QString::fromUtf8(day.Text)), Separator, day.Date);
}

// ---- dialog -------------------------------------------------------------------------------

TDlgFeiertagGeburtstag::TDlgFeiertagGeburtstag(TCreateKey Key, QWidget* Parent)
    : TLocalizerForm(Key, Parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("DlgFeiertagGeburtstag"));
    setWindowTitle(QStringLiteral("Feiertage und Geburtstage"));
    setFixedSize(503, 489);

    sg = new QTableWidget(this);
    sg->setObjectName(QStringLiteral("sg"));
    sg->setGeometry(17, 16, 469, 417);
    sg->setColumnCount(3);
    sg->verticalHeader()->hide();
    sg->verticalHeader()->setDefaultSectionSize(18);
    sg->verticalHeader()->setMinimumSectionSize(10);
    sg->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sg->horizontalHeader()->setDefaultSectionSize(100);
    sg->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sg->setSelectionMode(QAbstractItemView::SingleSelection);
    sg->setEditTriggers(QAbstractItemView::AllEditTriggers);

    BtnFeiertageBerechnen = new QPushButton(QStringLiteral("Feiertage berechnen"), this);
    BtnFeiertageBerechnen->setObjectName(QStringLiteral("BtnFeiertageBerechnen"));
    BtnFeiertageBerechnen->setGeometry(17, 449, 160, 25);
    BtnOK = new QPushButton(QStringLiteral("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setGeometry(306, 449, 85, 25);
    BtnOK->setDefault(true);
    BtnAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    BtnAbbrechen->setObjectName(QStringLiteral("BtnAbbrechen"));
    BtnAbbrechen->setGeometry(401, 449, 85, 25);

    connect(BtnOK, &QPushButton::clicked, this, Guarded([this] { BtnOKClick(); }));
    connect(BtnAbbrechen, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    connect(BtnFeiertageBerechnen, &QPushButton::clicked, this, Guarded([this] { BtnFeiertageBerechnenClick(); }));
    FormCreate();
}

void TDlgFeiertagGeburtstag::BeforeLocalize()
{
    for (const char* text : {TextDatum, TextFeiertage, TextGeburtstage, TextEingetragen, TextHerausloeschen})
        RegisterLocalizedString(this, QString::fromUtf8(text));
}

void TDlgFeiertagGeburtstag::AfterLocalize()
{
    sg->setHorizontalHeaderLabels({LocalizedString(this, QString::fromUtf8(TextDatum)),
                                   LocalizedString(this, QString::fromUtf8(TextFeiertage)),
                                   LocalizedString(this, QString::fromUtf8(TextGeburtstage))});
}

void TDlgFeiertagGeburtstag::FormCreate()
{
    BtnFeiertageBerechnen->setVisible(Localizer().LanguageIndex() == 0);
}

void TDlgFeiertagGeburtstag::reject()
{
    done(2);
}

int TDlgFeiertagGeburtstag::DaysInYear() const
{
    return IsLeapYear(Year) ? 366 : 365;
}

void TDlgFeiertagGeburtstag::FormShow()
{
    const int days = DaysInYear();
    sg->setColumnCount(3);
    sg->setRowCount(days);
    AfterLocalize();
    const TDateTime first = EncodeDate(Year, 1, 1);
    const QFontMetrics metrics(sg->font());
    int dateWidth = 0;
    for (int d = 1; d <= days; ++d) {
        auto* item = new QTableWidgetItem(DateText(first + d - 1));
        item->setFlags(Qt::ItemIsEnabled);  // the dates can be neither selected nor edited
        sg->setItem(RowOfDay(d), 0, item);
        dateWidth = std::max(dateWidth, metrics.horizontalAdvance(item->text()) + 10);
    }
    if (Holidays)
        FillColumn(1, *Holidays);
    if (Birthdays)
        FillColumn(2, *Birthdays);

    const int clientWidth = sg->width() - 2 * sg->frameWidth() - sg->verticalScrollBar()->sizeHint().width();
    const int textWidth = (clientWidth - dateWidth) / 2 - 1;
    sg->setColumnWidth(0, dateWidth);
    sg->setColumnWidth(1, textWidth);
    sg->setColumnWidth(2, textWidth);

    FMonthRow = RowOfDay(int(EncodeDate(Year, std::clamp(Month, 1, 12), 1) - first) + 1);
    sg->setCurrentCell(FMonthRow, 1);
    ScrollToMonth();
}

void TDlgFeiertagGeburtstag::ScrollToMonth()
{
    if (QTableWidgetItem* item = sg->item(FMonthRow, 1))
        sg->scrollToItem(item, QAbstractItemView::PositionAtTop);
}

void TDlgFeiertagGeburtstag::showEvent(QShowEvent* Event)
{
    TLocalizerForm::showEvent(Event);
    // The grid knows its visible rows only once it is laid out.
    ScrollToMonth();
}

void TDlgFeiertagGeburtstag::FillColumn(int Column, const TKalenderTageListe& List)
{
    for (int r = 0; r < sg->rowCount(); ++r)
        sg->setItem(r, Column, new QTableWidgetItem());
    const TDateTime first = EncodeDate(Year, 1, 1);
    for (int i = 0; i < List.GetCount(); ++i) {
        const TKalendertagSpezial* entry = List.GetItem(i);
        int y, m, d;
        DecodeDate(entry->Datum, y, m, d);
        if (y == Year)
            sg->item(RowOfDay(int(entry->Datum - first) + 1), Column)->setText(fromAnsi(entry->Text));
    }
}

void TDlgFeiertagGeburtstag::StoreColumn(int Column, TKalenderTageListe& List)
{
    List.DeleteYear(Year);
    const TDateTime first = EncodeDate(Year, 1, 1);
    for (int d = 1; d <= DaysInYear(); ++d) {
        const QTableWidgetItem* item = sg->item(RowOfDay(d), Column);
        if (item && !item->text().isEmpty())
            List.AddDay(toAnsi(item->text()), Separator, first + d - 1);
    }
}

void TDlgFeiertagGeburtstag::BtnOKClick()
{
    // An open cell editor hands its text to the grid first.
    sg->setCurrentIndex(QModelIndex());
    if (Holidays)
        StoreColumn(1, *Holidays);
    if (Birthdays)
        StoreColumn(2, *Birthdays);
    done(1);
}

void TDlgFeiertagGeburtstag::BtnFeiertageBerechnenClick()
{
    // Into the grid only: OK stores the shown year, cancel leaves the document as it was.
    TKalenderTageListe computed;
    EnterGermanHolidays(Year, computed);
    FillColumn(1, computed);
    QMessageBox box(QMessageBox::Information, QCoreApplication::translate("MsgDlg", "Information"),
                    LocalizedString(this, QString::fromUtf8(TextEingetragen)) + QStringLiteral("\r\n\r\n")
                        + LocalizedString(this, QString::fromUtf8(TextHerausloeschen)),
                    QMessageBox::Ok, this);
    ShowModalDialog(box);
}

int TDlgFeiertagGeburtstag::Execute(int Month, int Year, TKalenderTageListe* Holidays,
                                     TKalenderTageListe* Birthdays)
{
    std::unique_ptr<TDlgFeiertagGeburtstag> dlg(TLocalizerForm::create<TDlgFeiertagGeburtstag>(ApplicationMainWidget()));
    dlg->Month = Month;
    dlg->Year = Year;
    dlg->Holidays = Holidays;
    dlg->Birthdays = Birthdays;
    dlg->FormShow();
    return ShowModalDialog(*dlg);
}
