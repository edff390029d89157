#pragma once

#include "SsNamespace.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

// A folder named in Latin-1 ("Große" as an old memory card writes it), in a
// temporary folder of its own. It goes with all it holds, which a temporary
// folder cannot remove by itself: its names are no UTF-8.
struct TLatin1Folder {
    QTemporaryDir Dir;
    QByteArray Path = QFile::encodeName(Dir.path()) + "/Gr\xfc\xdf" "e";
    bool Made = Dir.isValid() && ::mkdir(Path.constData(), 0755) == 0;
    ~TLatin1Folder() { SsRemoveEntry(Path); }
};
