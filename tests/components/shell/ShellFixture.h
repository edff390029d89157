#pragma once
// A small folder tree for the shell tests.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

#include <ftw.h>
#include <stdio.h>
#include <utime.h>

class ShellFixture {
public:
    ShellFixture()
    {
        Mkdir("Bilder");
        Mkdir("Bilder/Urlaub");
        Mkdir("Bilder/Urlaub/Strand");
        Mkdir("alt");
        Mkdir("leer");
        Mkdir(".versteckt");
        Write("b.jpg", 3000, 2020);
        Write("A.png", 1, 2021);
        Write("c.txt", 0, 2019);
        Write(".hidden.jpg", 10, 2018);
        Write("Bilder/x.jpg", 5, 2022);
    }
    // The folder goes by the bytes of its names: QTemporaryDir leaves behind
    // what a test made with a name that is no UTF-8.
    ~ShellFixture()
    {
        ::nftw(QFile::encodeName(dir.path()).constData(),
               [](const char* Path, const struct stat*, int, FTW*) { return ::remove(Path); }, 16,
               FTW_DEPTH | FTW_PHYS);
    }
    ShellFixture(const ShellFixture&) = delete;
    ShellFixture& operator=(const ShellFixture&) = delete;
    QString Path(const QString& rel = QString()) const
    {
        return rel.isEmpty() ? dir.path() : dir.path() + '/' + rel;
    }
    void Mkdir(const QString& rel) const { QDir().mkpath(Path(rel)); }
    void Write(const QString& rel, int size, int year) const
    {
        QFile f(Path(rel));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(size, 'x'));
        f.close();
        SetYear(rel, year);
    }
    void SetYear(const QString& rel, int year) const
    {
        const QDateTime t(QDate(year, 6, 1), QTime(12, 0));
        utimbuf times{time_t(t.toSecsSinceEpoch()), time_t(t.toSecsSinceEpoch())};
        utime(QFile::encodeName(Path(rel)).constData(), &times);
    }
    QTemporaryDir dir;
};

// Runs the event loop until done() holds or the time is up; the limit is
// generous, so that a busy machine only makes a test slower.
inline bool WaitFor(const std::function<bool()>& done, int ms = 15000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}
