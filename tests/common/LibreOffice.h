#pragma once
// Runs LibreOffice for tests that check what it makes of our files.
//
// A test that starts LibreOffice belongs to a test suite whose name ends in
// "LibreOffice": CTest gives those tests one lock (tests/CMakeLists.txt), as
// a LibreOffice that starts while another one does can fail.
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <gtest/gtest.h>

// The LibreOffice program, empty when it is not installed.
inline QString SofficeProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

// Runs soffice headless in Dir, with a profile of its own there, on
// Arguments. False when it fails, with a test failure that gives its exit
// code and what it printed.
inline bool RunLibreOffice(const QString& Dir, const QStringList& Arguments)
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string suite = test ? test->test_suite_name() : "";
    const std::string marker = "LibreOffice";
    if (suite.size() < marker.size() || suite.compare(suite.size() - marker.size(), marker.size(), marker) != 0)
        ADD_FAILURE() << "test suite " << suite << " starts LibreOffice: its name must end in LibreOffice";
    QProcess p;
    p.setWorkingDirectory(Dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(SofficeProgram(), QStringList{"-env:UserInstallation=" + QUrl::fromLocalFile(Dir + "/profile").toString(),
                                          "--headless"} + Arguments);
    const bool finished = p.waitForFinished(600000);
    const QByteArray output = p.readAll();
    if (!finished) {
        ADD_FAILURE() << "LibreOffice did not end (" << p.errorString().toStdString() << "); it printed:\n"
                      << output.toStdString();
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "LibreOffice "
                      << (p.exitStatus() == QProcess::NormalExit ? "exited with code " : "crashed, code ")
                      << p.exitCode() << "; it printed:\n"
                      << output.toStdString();
        return false;
    }
    return true;
}
