// Test main of every test executable: an offscreen QApplication, a German
// locale, a private home so no test touches the user's own files, and metafile
// plays given twenty times their time limit, so that a loaded machine does not
// cut ordinary drawings.
#include "Application.h"
#include "Metafile.h"

#include <QLocale>
#include <QThreadPool>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
// A sanitizer build (LUMI_SANITIZE): the caches fontconfig keeps for the
// process are no leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif
#endif

int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QByteArray root = home.path().toLocal8Bit();
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TMetafile::SetTimeLimitFactor(20);

    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    // A message box would block the run: exceptions that reach the event loop
    // are reported on stderr unless a test installs its own handler.
    app.OnShowException = [](const QString& msg) { fprintf(stderr, "exception: %s\n", qPrintable(msg)); };
    const int result = RUN_ALL_TESTS();
    // The pool's threads end before the process does, not while it exits.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
