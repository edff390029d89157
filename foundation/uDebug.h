#pragma once
// The debug trace: numbered lines with the milliseconds since the trace began.
// The lines are handed to a trace viewer that discards them, so tracing has
// no visible effect.
//
// The viewer is a program of its own. Where the trace looks for it by its
// window's title, here a running viewer is a process of the same user whose
// command name (argv[0], as `exec -a` sets it) is that title.
#include "AnsiString.h"
#include "Object.h"
#include "SysUtils.h"

#include <QElapsedTimer>
#include <QString>
#include <initializer_list>

// The viewer's title and where the program to start for it is named.
extern const char* const DebugViewerTitle;        // "Dunvale DebugWin"
extern const char* const DebugViewerSettingsKey;  // "Software\Dunvale\DebugWin32", value "Pfad"

class TDebug : public TObject {
public:
    LUMI_CLASSNAME(TDebug)
    // Finds the running trace viewer, or starts the one the settings name and
    // looks for it again; without one the trace works all the same.
    TDebug();
    ~TDebug() override;

    // Writes the line "%.4d %s": elapsed milliseconds and text.
    void Log(const AnsiString& text);
    void LogFmt(const AnsiString& fmt, std::initializer_list<TVarRec> args);

    // The viewer's process, 0 when there is none.
    qint64 ViewerProcess() const { return viewer_; }

protected:
    // Hands one line to the trace viewer; the viewer shows nothing.
    virtual void Send(const AnsiString& line);

private:
    QElapsedTimer start_;
    qint64 viewer_ = 0;
};

// The global trace, created on first use; it logs the begin and end of the run.
TDebug& Debug();
