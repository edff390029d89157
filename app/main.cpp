#include "Application.h"
#include "FMainform.h"
#include "ParamStr.h"
#include "uProgramStart.h"

#include <QThreadPool>

#include <memory>

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("lumiseite"));
    app.Title = QStringLiteral("Brenmoor Vantoria");
    QStringList arguments;
    for (int i = 1; i <= ParamCount(); ++i)
        arguments.append(ParamStr(i));
    std::unique_ptr<TMaster> master;
    HandleExceptions([&] { master.reset(StartProgram(arguments)); });
    if (!master)
        return 1;
    const int result = app.exec();
    master.reset();
    // The pool's threads end before the process does, not while it exits.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
