#pragma once
// Copying, moving and removing entries of the file system, walking folders
// by their handles.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <functional>

// What a paste, drop, copy or move did not do in full: the system's bytes of
// the paths concerned. Failed: entries not placed, with the error. Skipped:
// pipes, sockets and devices, which a copy cannot carry. Left: what a move
// left at its old place, with the reason (EACCES, EPERM, EROFS: the folder
// named is write-protected; ENOTEMPTY: the folder holds entries added during
// the move; ESTALE: the entry changed during the move; else the error).
// Repeated: folders not copied as each is one of the folders it lies in (a
// bind mount of a folder above), which a copy would repeat without end.
// Renamed: entries whose names are no UTF-8, written under the names the
// lists show them by, as the target takes only Unicode names.
// Mounted: what stays of the program's own leftovers as another mount lies
// there (a removal never leaves the mount it started on).
struct TSsOperationReport {
    QList<QPair<QByteArray, int>> Failed;
    QList<QByteArray> Skipped;
    QList<QPair<QByteArray, int>> Left;
    QList<QByteArray> Repeated;
    QList<QByteArray> Renamed;
    QList<QByteArray> Mounted;
    // Whether all was placed, under whatever names.
    bool AllPlaced() const
    {
        return Failed.isEmpty() && Skipped.isEmpty() && Left.isEmpty() && Repeated.isEmpty() && Mounted.isEmpty();
    }
    bool IsEmpty() const { return AllPlaced() && Renamed.isEmpty(); }
};

// A name in Folder that does not exist yet, made from Name (all as the
// system's bytes).
QByteArray SsFreeFileName(const QByteArray& folder, const QByteArray& name);
// Renames From to To unless To exists, also on file systems that cannot
// refuse to replace in one step, with or without hard links; 0 or the
// system's error number.
int SsRenameNoReplace(const QByteArray& from, const QByteArray& to);
// Copies the entry From to To, which must not exist: a folder with all it
// holds, a symbolic link as a link; pipes, sockets and devices are skipped
// and noted in the report. Folders are walked by their handles and links are
// never followed. The copy is made under a temporary name and takes its
// name only once whole, folders their modes once in place; on failure
// nothing is left, and an entry inside a folder that stopped the copy is
// noted in the report's Failed. A folder is never copied into itself or a
// folder inside it (EINVAL). A name that is no UTF-8, which the target
// refuses as it takes only Unicode names, is written as DisplayFileName
// shows it and noted in the report's Renamed. 0 or the system's error number.
int SsCopyEntry(const QByteArray& from, const QByteArray& to, TSsOperationReport* report = nullptr);
// Moves the entry From to To, which must not exist. Across file systems it is
// copied as SsCopyEntry does, the copy is synced to its disk, and then only
// what was copied and has not changed since is removed, never leaving the
// mount it is on; the report notes what stays at the old place (a mount
// inside it: EBUSY). 0 when all of it moved, else the system's error number.
int SsMoveEntry(const QByteArray& from, const QByteArray& to, TSsOperationReport* report = nullptr);
// Removes an entry, a folder with all it holds, walking folders by their
// handles and never leaving the mount of the folder it is in (a mount inside
// stays: EBUSY); links are removed, never followed. 0 or the system's error
// number.
int SsRemoveEntry(const QByteArray& path);
// Called by copies and removals for each entry inside a folder, after the
// entry was looked at and before it is opened or removed, with the folder's
// handle and the entry's name (tests stand in for other programs with it).
extern std::function<void(int dirFd, const QByteArray& name)> SsEntryHook;
// The system calls that give an entry a name only while it is free:
// ::renameat2 and ::linkat, unless a test puts others in (a file system that
// has neither no-replace renames nor hard links).
extern int (*SsRenameAt2)(int fromDir, const char* from, int toDir, const char* to, unsigned flags);
extern int (*SsLinkAt)(int fromDir, const char* from, int toDir, const char* to, int flags);
// The system call that writes an open file or folder through to its disk:
// ::fsync, unless a test puts another in.
extern int (*SsFsync)(int fd);

