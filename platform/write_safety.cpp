#include "write_safety.h"

#include "runtime_error.h"

#include <QByteArrayList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace platform
{

namespace
{

// The kernel's own bound on the links one path may go through.
constexpr int maxLinks = 40;

QByteArrayList components(const QByteArray &path)
{
    QByteArrayList parts = path.split('/');
    parts.removeAll(QByteArray());
    return parts;
}

QByteArray currentFolder()
{
    std::vector<char> buffer(PATH_MAX);
    return getcwd(buffer.data(), buffer.size()) ? QByteArray(buffer.data()) : QByteArray();
}

bool linkMayBeFollowed(const struct stat &link, const struct stat &folder)
{
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == geteuid() || link.st_uid == folder.st_uid;
}

} // namespace

QByteArray resolveLinksForWrite(const QByteArray &hostPath)
{
    QByteArray done = hostPath.startsWith('/') ? QByteArray() : currentFolder();
    QByteArrayList rest = components(hostPath);
    int links = 0;
    while (!rest.isEmpty()) {
        const QByteArray name = rest.takeFirst();
        if (name == ".")
            continue;
        if (name == "..") {
            done.truncate(qMax<qsizetype>(done.lastIndexOf('/'), 0));
            continue;
        }
        const QByteArray next = done + '/' + name;
        struct stat entry;
        if (lstat(next.constData(), &entry) != 0) {
            done = next;
            for (const QByteArray &left : rest)
                done += '/' + left;
            break;
        }
        if (!S_ISLNK(entry.st_mode)) {
            done = next;
            continue;
        }
        struct stat folder;
        if (++links > maxLinks || stat(done.isEmpty() ? "/" : done.constData(), &folder) != 0 ||
            !linkMayBeFollowed(entry, folder))
            throw RuntimeError(RuntimeError::PermissionDenied);
        std::vector<char> target(PATH_MAX);
        const ssize_t size = readlink(next.constData(), target.data(), target.size());
        if (size <= 0 || size_t(size) >= target.size())
            throw RuntimeError(RuntimeError::PathFileAccess);
        const QByteArray text(target.data(), size);
        if (text.startsWith('/'))
            done.clear();
        rest = components(text) + rest;
    }
    return done.isEmpty() ? QByteArray("/") : done;
}

bool folderOwner(const QByteArray &hostPath, uid_t &owner, gid_t &group)
{
    const qsizetype slash = hostPath.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : hostPath.left(slash + 1);
    struct stat st;
    if (stat(folder.constData(), &st) != 0)
        return false;
    owner = st.st_uid;
    group = st.st_gid;
    return true;
}

void giveToFolderOwner(int fd, const QByteArray &hostPath)
{
    uid_t owner;
    gid_t group;
    if (geteuid() == 0 && folderOwner(hostPath, owner, group)) {
        [[maybe_unused]] const int given = fchown(fd, owner, group);
    }
}

void giveToFolderOwner(const QByteArray &hostPath)
{
    uid_t owner;
    gid_t group;
    if (geteuid() == 0 && folderOwner(hostPath, owner, group)) {
        [[maybe_unused]] const int given = lchown(hostPath.constData(), owner, group);
    }
}

bool sameFile(const QByteArray &a, const QByteArray &b)
{
    struct stat first, second;
    return stat(a.constData(), &first) == 0 && stat(b.constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace platform
