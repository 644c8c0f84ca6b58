#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// What a write must check so that it never harms a file the user did not name: links planted
// by others, the owner of what it creates, and a target that is one of its own sources.
// Paths here are host bytes.
namespace platform
{

// The path with every symbolic link followed, one component at a time, under the rule that a
// link in a sticky folder that everyone may write is followed only when it belongs to the user
// running the program or to the folder's owner (the kernel's protected_symlinks rule, applied
// whatever the host's setting). A missing component ends the walk, the rest kept as it is.
// Throws RuntimeError (permission denied) for a link the rule refuses, and for a loop.
QByteArray resolveLinksForWrite(const QByteArray &hostPath);

// The owner and group of the folder that holds a path; false when it cannot be looked up.
bool folderOwner(const QByteArray &hostPath, uid_t &owner, gid_t &group);

// A file or folder that this process has just made at a path becomes its folder's owner's,
// so that root writing into a user's folder leaves nothing the user cannot change. Only
// root may do so; for anyone else this does nothing.
void giveToFolderOwner(int fd, const QByteArray &hostPath);
void giveToFolderOwner(const QByteArray &hostPath);

// True when both paths name the same existing file (device and inode, links followed).
bool sameFile(const QByteArray &a, const QByteArray &b);

} // namespace platform
