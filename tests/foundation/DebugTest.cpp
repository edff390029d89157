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

// The trace starts the viewer the settings name, once: a trace made while it
// runs finds it by its title. Without a setting there is none, and the trace
// works all the same.
TEST(Debug, StartsTheViewerNamedInTheSettingsAndFindsItRunning)
{
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("viewer.sh"));
    const QString starts = dir.filePath(QStringLiteral("starts"));
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/bash\necho gestartet >> '" + starts.toLocal8Bit() + "'\n"
                "exec -a 'Dunvale DebugWin' sleep 120\n");
    }
    QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString key = QString::fromLatin1(DebugViewerSettingsKey);
    TRegistryStore().WriteString(key, QStringLiteral("Pfad"), script);

    qint64 viewer = 0;
    {
        TRecordingDebug debug;
        viewer = debug.ViewerProcess();
        ASSERT_GT(viewer, 0);
    }
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(viewer));
    ASSERT_TRUE(cmdline.open(QIODevice::ReadOnly));
    EXPECT_TRUE(cmdline.readAll().startsWith(QByteArray("Dunvale DebugWin\0", 17)));
    {
        TRecordingDebug again;
        EXPECT_EQ(again.ViewerProcess(), viewer);
    }
    QFile started(starts);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll(), QByteArray("gestartet\n"));
    ::kill(pid_t(viewer), SIGKILL);
    QElapsedTimer ending;
    ending.start();
    for (;;) {
        QFile gone(cmdline.fileName());
        if (!gone.open(QIODevice::ReadOnly) || gone.readAll().isEmpty() || ending.elapsed() > 10000)
            break;
        QThread::msleep(10);
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
