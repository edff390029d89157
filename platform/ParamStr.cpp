#include "ParamStr.h"

#include "SysUtils.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <optional>

namespace {

std::optional<QStringList>& KeptArguments()
{
    static std::optional<QStringList> arguments;
    return arguments;
}

QStringList Decoded(const QList<QByteArray>& Arguments)
{
    QStringList args;
    for (const QByteArray& a : Arguments)
        args << DecodeFileName(a);
    return args;
}

// The arguments by their bytes: those the application object left, else as
// the kernel holds them, so that they are known before the application
// object exists.
QStringList ProcessArguments()
{
    if (KeptArguments())
        return *KeptArguments();
    QFile f(QStringLiteral("/proc/self/cmdline"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringList();
    QByteArray all = f.readAll();
    if (all.endsWith('\0'))
        all.chop(1);
    return Decoded(all.split('\0'));
}

}  // namespace

void SetProgramArguments(int argc, const char* const* argv)
{
    QList<QByteArray> args;
    for (int i = 0; i < argc; ++i)
        args << QByteArray(argv[i]);
    KeptArguments() = Decoded(args);
}

int ParamCount()
{
    return std::max<int>(0, int(ProcessArguments().size()) - 1);
}

QString ParamStr(int Index)
{
    if (Index == 0) {
        if (QCoreApplication::instance())
            return QCoreApplication::applicationFilePath();
        return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    }
    const QStringList args = ProcessArguments();
    if (Index < 0 || Index >= args.size())
        return QString();
    return args[Index];
}
