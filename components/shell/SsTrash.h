#pragma once
// The desktop's trash.
#include <QByteArray>

// Moves an entry to the desktop's trash (the home trash, or the trash at the
// top of its own volume, the volume that holds its folder when links on the
// way are followed), with the note that lets it be put back. 0 or the
// system's error number; SsTrashNotOwn when the volume's trash may not be
// used (a link, or a folder of another user's), SsTrashNoUsable when the
// drive has no trash the user may use (its top may not be written, it
// refuses to close a trash to others); the entry then stays where it is,
// and no trash folder made for it is left behind.
int SsMoveToTrash(const QByteArray& path);
constexpr int SsTrashNotOwn = -1;
constexpr int SsTrashNoUsable = -2;
