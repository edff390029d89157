#pragma once
// A test's picture kept for a look after a failed comparison.
#include <QDir>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

// Saves Image as Name in a folder of this run's own in the temporary folder,
// which stays after the run; the path, or why it could not be saved. Called
// from an assertion's message, it runs only when the assertion fails.
inline std::string KeepPicture(const QImage& Image, const QString& Name)
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/lumiseite-test-XXXXXX"));
    dir.setAutoRemove(false);
    const QString path = dir.filePath(Name);
    return dir.isValid() && Image.save(path) ? path.toStdString() : "(not saved)";
}
