#include "uDebug.h"

#include "RegistryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <memory>

#include <unistd.h>

const char* const DebugViewerTitle = "Dunvale DebugWin";
const char* const DebugViewerSettingsKey = "Software\\Dunvale\\DebugWin32";

namespace {

// How often the trace looks again for a viewer it started, and for how long
// at most: a lookup reads the process table.
constexpr int ViewerLookups = 10000;
constexpr qint64 ViewerWaitMs = 5000;

// True when the process runs for this user under the viewer's title.
bool IsViewer(const QString& Pid)
{
    const QString dir = QStringLiteral("/proc/") + Pid;
    if (QFileInfo(dir).ownerId() != ::getuid())
        return false;
    QFile cmdline(dir + QStringLiteral("/cmdline"));
    if (!cmdline.open(QIODevice::ReadOnly))
        return false;
    const QByteArray title(DebugViewerTitle);
    const QByteArray head = cmdline.read(title.size() + 1);
    return head == title + '\0' || head == title;
}

// The viewer's process, 0 when none runs.
qint64 FindViewer()
{
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool number = false;
        const qint64 id = pid.toLongLong(&number);
        if (number && IsViewer(pid))
            return id;
    }
    return 0;
}

// Starts the viewer the settings name and looks for it again as at creation:
// a launcher may start it as a process of its own and end. At most
// ViewerLookups lookups with a pause of 0.1 ms, within ViewerWaitMs; 0 when
// it did not show.
qint64 StartViewer()
{
    const QString path =
        TRegistryStore().ReadString(QString::fromLatin1(DebugViewerSettingsKey), QStringLiteral("Pfad")).value_or(QString());
    if (path.isEmpty() || !QProcess::startDetached(path, {}))
        return 0;
    QElapsedTimer waited;
    waited.start();
    for (int i = 0; i < ViewerLookups && !waited.hasExpired(ViewerWaitMs); ++i) {
        if (const qint64 viewer = FindViewer())
            return viewer;
        ::usleep(100);
    }
    return 0;
}

AnsiString RunMarker(const char* what)
{
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    return AnsiString("**** ") + what + " ****\t" + toAnsi(now) + " **** ";
}

} // namespace

TDebug::TDebug()
{
    viewer_ = FindViewer();
    if (viewer_ == 0)
        viewer_ = StartViewer();
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
