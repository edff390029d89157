#pragma once
// The debug trace: numbered lines with the milliseconds since the trace began.
// The lines are handed to a trace viewer that discards them, so tracing has
// no visible effect.
#include "AnsiString.h"
#include "Object.h"
#include "SysUtils.h"

#include <QElapsedTimer>
#include <initializer_list>

class TDebug : public TObject {
public:
    LUMI_CLASSNAME(TDebug)
    TDebug();
    ~TDebug() override;

    // Writes the line "%.4d %s": elapsed milliseconds and text.
    void Log(const AnsiString& text);
    void LogFmt(const AnsiString& fmt, std::initializer_list<TVarRec> args);

protected:
    // Hands one line to the trace viewer; the viewer shows nothing.
    virtual void Send(const AnsiString& line);

private:
    QElapsedTimer start_;
};

// The global trace, created on first use; it logs the begin and end of the run.
TDebug& Debug();
