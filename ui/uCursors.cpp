#include "uCursors.h"
#include "Application.h"

#include <QPixmap>
#include <map>

namespace {

struct TCursorTable {
    std::map<int, QCursor> cursors;
    bool trackerLoaded = false;
};

TCursorTable& Table()
{
    static TCursorTable table;
    static const TStaticCleanup cleanup([] { table = TCursorTable(); });
    return table;
}

// A cursor of the program's resources with its hot spot.
void LoadResource(int Resource, int Number, int HotX, int HotY)
{
    QPixmap pixmap(QStringLiteral(":/cursors/%1").arg(Resource));
    if (!pixmap.isNull())
        RegisterScreenCursor(Number, QCursor(pixmap, HotX, HotY));
}

void LoadTrackerCursors()
{
    TCursorTable& t = Table();
    if (t.trackerLoaded)
        return;
    t.trackerLoaded = true;
    for (int n : {crRotate, crSizeNS, crSizeNWSE, crSizeWE, crSizeNESW})
        LoadResource(n, n, 15, 15);
    for (int n : {crRotate15, crRotate10, crRotate5, crRotate1})
        LoadResource(n, n, 15, 12);
}

}  // namespace

void RegisterScreenCursor(int Number, const QCursor& Cursor)
{
    Table().cursors[Number] = Cursor;
}

QCursor ScreenCursor(int Number)
{
    LoadTrackerCursors();
    const auto& cursors = Table().cursors;
    const auto it = cursors.find(Number);
    return it != cursors.end() ? it->second : QCursor(Qt::ArrowCursor);
}

void LoadViewCursors()
{
    LoadResource(101, crPicturePan, 15, 15);
    LoadResource(102, crDrag, 15, 15);
    LoadResource(126, crViewPan, 15, 15);
}
