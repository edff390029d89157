#include "DateTime.h"
#include "SysUtils.h"

#include <cmath>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMSecsPerDay = 86400000.0;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0) && ((year % 100 != 0) || (year % 400 == 0));
}

int DaysInAMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return days[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1
        || day > DaysInAMonth(year, month))
        return false;
    date = double(kEpoch.daysTo(QDate(year, month, day)));
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime d;
    if (!TryEncodeDate(year, month, day, d))
        throw EConvertError("Invalid argument to date encode");
    return d;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time)
{
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0
        || msec > 999)
        return false;
    time = (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / kMSecsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    TDateTime t;
    if (!TryEncodeTime(hour, min, sec, msec, t))
        throw EConvertError("Invalid argument to time encode");
    return t;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day)
{
    const QDate d = kEpoch.addDays(qint64(Trunc(date)));
    year = d.year();
    month = d.month();
    day = d.day();
}

void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec)
{
    double frac = std::fabs(time - double(Trunc(time)));
    int64_t ms = Round(frac * kMSecsPerDay);
    if (ms >= int64_t(kMSecsPerDay))
        ms = int64_t(kMSecsPerDay) - 1;
    hour = int(ms / 3600000);
    min = int(ms / 60000 % 60);
    sec = int(ms / 1000 % 60);
    msec = int(ms % 1000);
}

int DayOfWeek(TDateTime date)
{
    // Day 0 (30 Dec 1899) was a Saturday.
    int64_t d = (Trunc(date) + 6) % 7;
    if (d < 0)
        d += 7;
    return int(d) + 1;
}

TDateTime QDateTimeToDateTime(const QDateTime& dt)
{
    // Before the epoch the day part is negative and the time still counts forward.
    const double days = double(kEpoch.daysTo(dt.date()));
    const double time = dt.time().msecsSinceStartOfDay() / kMSecsPerDay;
    return days >= 0 ? days + time : days - time;
}

QDateTime DateTimeToQDateTime(TDateTime dt)
{
    int h, m, s, ms;
    DecodeTime(dt, h, m, s, ms);
    return QDateTime(kEpoch.addDays(qint64(Trunc(dt))), QTime(h, m, s, ms));
}

TDateTime Now()
{
    return QDateTimeToDateTime(QDateTime::currentDateTime());
}

TDateTime Date()
{
    return double(kEpoch.daysTo(QDate::currentDate()));
}
