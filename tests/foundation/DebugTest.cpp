#include "uDebug.h"

#include "RegistryStore.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace {

// Keeps the lines the trace hands to its viewer.
class TRecordingDebug : public TDebug {
public:
    std::vector<AnsiString> Lines;
protected:
    void Send(const AnsiString& line) override { Lines.push_back(line); }
};

int Milliseconds(const AnsiString& line)
{
    return std::stoi(line.substr(0, line.find(' ')));
}

} // namespace

TEST(Debug, LinesCarryPaddedElapsedMilliseconds)
{
    QElapsedTimer outside;
    outside.start();
    TRecordingDebug debug;
    debug.Log("Erste Zeile");
    // Rounded as the trace rounds: it started later, so it cannot show more, however busy the machine is.
    const qint64 firstBound = (outside.nsecsElapsed() + 500000) / 1000000;
    QThread::msleep(30);
    debug.LogFmt("Seite %d von %s", {3, "vier"});

    ASSERT_EQ(debug.Lines.size(), 2u);
    const QRegularExpression line(QStringLiteral(R"(^\d{4,} \S.*$)"));
    EXPECT_TRUE(line.match(fromAnsi(debug.Lines[0])).hasMatch()) << debug.Lines[0];
    EXPECT_TRUE(line.match(fromAnsi(debug.Lines[1])).hasMatch()) << debug.Lines[1];
    EXPECT_EQ(debug.Lines[0].substr(4), " Erste Zeile");
    EXPECT_LE(Milliseconds(debug.Lines[0]), firstBound);
    EXPECT_EQ(debug.Lines[1].substr(debug.Lines[1].find(' ')), " Seite 3 von vier");
    EXPECT_GE(Milliseconds(debug.Lines[1]) - Milliseconds(debug.Lines[0]), 30);
}

namespace {

// Writes an executable script into Dir.
QString WriteScript(const QTemporaryDir& Dir, const QString& Name, const QByteArray& Body)
{
    const QString script = Dir.filePath(Name);
    QFile f(script);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/bash\n" + Body);
    f.close();
    QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return script;
}

QByteArray ProcessCommandLine(qint64 Pid)
{
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(Pid));
    return cmdline.open(QIODevice::ReadOnly) ? cmdline.readAll() : QByteArray();
}

// Ends the viewer and waits until no trace can find it any more.
void EndViewer(qint64 Pid)
{
    ::kill(pid_t(Pid), SIGKILL);
    QElapsedTimer ending;
    ending.start();
    while (!ProcessCommandLine(Pid).isEmpty() && ending.elapsed() < 10000)
        QThread::msleep(10);
}

} // namespace

// The trace starts the viewer the settings name, once: a trace made while it
// runs finds it by its title. A viewer that a launcher starts is found as
// well. Without a setting there is none, and the trace works all the same.
// (One test: the viewers of this user are found whichever test started them.)
TEST(Debug, StartsTheViewerNamedInTheSettingsAndFindsItRunning)
{
    QTemporaryDir dir;
    const QString starts = dir.filePath(QStringLiteral("starts"));
    const QByteArray count = "echo gestartet >> '" + starts.toLocal8Bit() + "'\n";
    const QString key = QString::fromLatin1(DebugViewerSettingsKey);
    const QByteArray title("Dunvale DebugWin\0", 17);
    const struct {
        const char* What;
        QString Program;
    } viewers[] = {
        {"the viewer itself",
         WriteScript(dir, QStringLiteral("viewer.sh"), count + "exec -a 'Dunvale DebugWin' sleep 120\n")},
        {"a launcher that ends",
         WriteScript(dir, QStringLiteral("launcher.sh"),
                     count + "setsid bash -c \"exec -a 'Dunvale DebugWin' sleep 120\" </dev/null >/dev/null 2>&1 &\n")},
    };
    for (const auto& v : viewers) {
        SCOPED_TRACE(v.What);
        QFile::remove(starts);
        TRegistryStore().WriteString(key, QStringLiteral("Pfad"), v.Program);
        qint64 viewer = 0;
        {
            TRecordingDebug debug;
            viewer = debug.ViewerProcess();
            ASSERT_GT(viewer, 0);
        }
        EXPECT_TRUE(ProcessCommandLine(viewer).startsWith(title));
        {
            TRecordingDebug again;
            EXPECT_EQ(again.ViewerProcess(), viewer);
        }
        QFile started(starts);
        ASSERT_TRUE(started.open(QIODevice::ReadOnly));
        EXPECT_EQ(started.readAll(), QByteArray("gestartet\n"));
        EndViewer(viewer);
    }

    TRegistryStore().DeleteValue(key, QStringLiteral("Pfad"));
    TRecordingDebug none;
    EXPECT_EQ(none.ViewerProcess(), 0);
    TRegistryStore().WriteString(key, QStringLiteral("Pfad"), dir.filePath(QStringLiteral("fehlt")));
    TRecordingDebug missing;
    EXPECT_EQ(missing.ViewerProcess(), 0);
    none.Log("ohne Betrachter");
    EXPECT_EQ(none.Lines.size(), 1u);
    TRegistryStore().DeleteValue(key, QStringLiteral("Pfad"));
}
