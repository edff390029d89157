#include "uDebug.h"

#include <QDateTime>
#include <memory>

namespace {

AnsiString RunMarker(const char* what)
{
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    return AnsiString("**** ") + what + " ****\t" + toAnsi(now) + " **** ";
}

} // namespace

TDebug::TDebug()
{
    start_.start();
    Log("Debug.Create");
}

TDebug::~TDebug()
{
    Log("Debug.Destroy");
}

void TDebug::Log(const AnsiString& text)
{
    const int64_t ms = Round(double(start_.nsecsElapsed()) / 1e6);
    Send(Format("%.4d %s", {ms, text}));
}

void TDebug::LogFmt(const AnsiString& fmt, std::initializer_list<TVarRec> args)
{
    Log(Format(fmt, args));
}

void TDebug::Send(const AnsiString&)
{
}

TDebug& Debug()
{
    // Begin and end of the run frame the trace.
    struct Holder {
        std::unique_ptr<TDebug> debug = std::make_unique<TDebug>();
        Holder() { debug->Log(RunMarker("BEGINN")); }
        ~Holder() { debug->Log(RunMarker("ENDE")); }
    };
    static Holder holder;
    return *holder.debug;
}
