#include "ParamStr.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace {

// The arguments as the kernel holds them, so that they are known before (and
// after) the application object exists.
QStringList ProcessArguments()
{
    if (QCoreApplication::instance())
        return QCoreApplication::arguments();
    QFile f(QStringLiteral("/proc/self/cmdline"));
    QStringList args;
    if (!f.open(QIODevice::ReadOnly))
        return args;
    const QByteArray all = f.readAll();
    for (const QByteArray& a : all.split('\0'))
        args << QString::fromLocal8Bit(a);
    if (!args.isEmpty() && all.endsWith('\0'))
        args.removeLast();
    return args;
}

}  // namespace

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
