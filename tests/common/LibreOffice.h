#pragma once
// Runs LibreOffice for tests that check what it makes of our files.
//
// A test that starts LibreOffice belongs to a test suite whose name ends in
// "LibreOffice": CTest gives those tests one lock (tests/CMakeLists.txt), as
// a LibreOffice that starts while another one does can fail.
#include <QDir>
#include <QFileInfo>
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

// One soffice headless run in Dir, with a profile of its own there, on Arguments:
// false when it does not end or ends badly, with a test failure that gives its exit
// code and what it printed.
inline bool RunLibreOfficeOnce(const QString& Dir, const QStringList& Arguments, QByteArray& Output)
{
    QProcess p;
    p.setWorkingDirectory(Dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(SofficeProgram(), QStringList{"-env:UserInstallation=" + QUrl::fromLocalFile(Dir + "/profile").toString(),
                                          "--headless"} + Arguments);
    const bool finished = p.waitForFinished(600000);
    Output = p.readAll();
    if (!finished) {
        ADD_FAILURE() << "LibreOffice did not end (" << p.errorString().toStdString() << "); it printed:\n"
                      << Output.toStdString();
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "LibreOffice "
                      << (p.exitStatus() == QProcess::NormalExit ? "exited with code " : "crashed, code ")
                      << p.exitCode() << "; it printed:\n"
                      << Output.toStdString();
        return false;
    }
    return true;
}

// Runs soffice headless in Dir on Arguments. A conversion (--convert-to, its files
// written to --outdir or Dir) that ends well without writing the file of each input
// is run again for the inputs whose files are missing: a LibreOffice on a busy
// machine has been seen to end well without writing them. False when a run fails or
// a file is still missing after three runs, with a test failure that says why.
inline bool RunLibreOffice(const QString& Dir, const QStringList& Arguments)
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string suite = test ? test->test_suite_name() : "";
    const std::string marker = "LibreOffice";
    if (suite.size() < marker.size() || suite.compare(suite.size() - marker.size(), marker.size(), marker) != 0)
        ADD_FAILURE() << "test suite " << suite << " starts LibreOffice: its name must end in LibreOffice";
    // The options, the inputs and the file each input is converted to.
    QStringList options, inputs;
    QString format, outDir = Dir;
    for (qsizetype i = 0; i < Arguments.size(); ++i) {
        const QString& a = Arguments[i];
        if ((a == "--convert-to" || a == "--outdir") && i + 1 < Arguments.size()) {
            if (a == "--outdir")
                outDir = Arguments[i + 1];
            else
                format = Arguments[i + 1];
            options << a << Arguments[++i];
        } else if (a.startsWith('-')) {
            options << a;
        } else {
            inputs << a;
        }
    }
    auto outputOf = [&](const QString& Input) {
        return QDir(outDir).filePath(QFileInfo(Input).completeBaseName() + '.' + format.section(':', 0, 0));
    };
    QStringList pending = Arguments;
    QByteArray output;
    for (int run = 0; run < 3; ++run) {
        if (!RunLibreOfficeOnce(Dir, pending, output))
            return false;
        QStringList missing;
        for (const QString& input : std::as_const(inputs))
            if (!QFileInfo::exists(outputOf(input)))
                missing << input;
        if (format.isEmpty() || missing.isEmpty())
            return true;
        inputs = missing;
        pending = options + missing;
    }
    ADD_FAILURE() << "LibreOffice ended well three times without writing " << outputOf(inputs.first()).toStdString()
                  << "; it printed:\n"
                  << output.toStdString();
    return false;
}
