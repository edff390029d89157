#include "ShellExec.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// An existing file is a file; otherwise an address names its scheme before
// a colon (a one-letter "scheme" would be a drive letter).
QUrl UrlOf(const QString& fileOrUrl)
{
    const QUrl url(fileOrUrl, QUrl::StrictMode);
    if (!QFileInfo::exists(fileOrUrl) && url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(QDir::cleanPath(QDir::current().absoluteFilePath(fileOrUrl)));
}

} // namespace

bool ShellOpen(const QString& fileOrUrl)
{
    if (fileOrUrl.isEmpty())
        return false;
    return QDesktopServices::openUrl(UrlOf(fileOrUrl));
}
