#include "file_system.h"

#include "fault_injection.h"
#include "paths.h"
#include "runtime_error.h"
#include "termination_signals.h"
#include "virtual_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <memory>

namespace platform
{

namespace
{

enum class Kind { File, Folder, Other };

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool isHiddenName(const char *name)
{
    return name[0] == '.';
}
bool isHiddenName(const QString &name)
{
    return name.startsWith(QLatin1Char('.'));
}

FolderId idOf(const struct stat &st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// What an entry is once symbolic links are followed. The listing's type saves a stat for
// plain entries; links, unknown types and folders whose identity is wanted are looked up.
Kind kindOf(int folderFd, const dirent *entry, bool wantFolderId, FolderId *id)
{
    switch (entry->d_type) {
    case DT_REG:
        return Kind::File;
    case DT_DIR:
        if (!wantFolderId)
            return Kind::Folder;
        break;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return Kind::Other;
    }
    struct stat st;
    if (fstatat(folderFd, entry->d_name, &st, 0) != 0)
        return Kind::Other;
    if (S_ISREG(st.st_mode))
        return Kind::File;
    if (!S_ISDIR(st.st_mode))
        return Kind::Other;
    *id = idOf(st);
    return Kind::Folder;
}

DirHandle openFolder(const QString &folder)
{
    const std::optional<QByteArray> host = toHostBytes(folder);
    if (!host)
        return nullptr;
    return DirHandle(opendir(host->isEmpty() ? "." : host->constData()));
}

// Calls visit(entry) for every listable entry of a folder until it returns false.
// With plainOnly, folders and hidden names are passed over before any stat.
template <typename Visit> void forEachEntry(const QString &folder, bool plainOnly, Visit visit)
{
    const DirHandle dir = openFolder(folder);
    if (!dir)
        return;
    const int fd = dirfd(dir.get());
    while (const dirent *raw = readdir(dir.get())) {
        if (plainOnly && isHiddenName(raw->d_name))
            continue;
        const QByteArray hostName(raw->d_name);
        if (hostName == "." || hostName == "..")
            continue;
        DirectoryEntry entry;
        const Kind kind = kindOf(fd, raw, !plainOnly, &entry.id);
        if (kind == Kind::Other || (plainOnly && kind != Kind::File))
            continue;
        const std::optional<QString> name = nameToProgramText(hostName);
        if (!name)
            continue;
        entry.name = *name;
        entry.isFolder = kind == Kind::Folder;
        entry.isHidden = isHiddenName(entry.name);
        if (!visit(entry))
            return;
    }
}

// "*" stands for any run of characters, "?" for exactly one; everything else, "[" included,
// stands for itself, compared with the host's case rules (exactly).
bool matchesPattern(const QList<uint> &pattern, const QList<uint> &name)
{
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool hasWildcard(const QString &name)
{
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

bool anyPlainFileMatching(const QString &folder, const QString &pattern)
{
    const QList<uint> wanted = pattern.toUcs4();
    bool found = false;
    forEachEntry(folder, true, [&](const DirectoryEntry &entry) {
        found = pattern.isEmpty() || matchesPattern(wanted, entry.name.toUcs4());
        return !found;
    });
    return found;
}

bool isRegularFile(const QString &path)
{
    const std::optional<QByteArray> host = toHostBytes(path);
    struct stat st;
    return host && !host->isEmpty() && stat(host->constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool hasDriveLetter(const QString &path)
{
    return path.size() >= 2 && path.at(1) == QLatin1Char(':');
}

// The error for a path that cannot be handed to the host at all.
RuntimeError unusablePath(const QString &path)
{
    return RuntimeError(hasDriveLetter(path) ? RuntimeError::PathNotFound
                                             : RuntimeError::BadFileName);
}

// The error of a failed QSaveFile step: errno when the failing call left one, else Qt's own.
RuntimeError saveFailure(int savedErrno, const QSaveFile &file)
{
    if (savedErrno != 0)
        return RuntimeError::fromErrno(savedErrno);
    switch (file.error()) {
    case QFileDevice::ResourceError:
        return RuntimeError(RuntimeError::DiskFull);
    case QFileDevice::PermissionsError:
        return RuntimeError(RuntimeError::PermissionDenied);
    default:
        return RuntimeError(RuntimeError::PathFileAccess);
    }
}

// Only a writable regular file is ever replaced: a folder, FIFO or device keeps its place,
// and so does a file marked read-only, even for a user whom the host would let replace it.
void refuseUnwritableTarget(const QByteArray &hostPath)
{
    struct stat st;
    if (stat(hostPath.constData(), &st) != 0)
        return;
    if (!S_ISREG(st.st_mode))
        throw RuntimeError(RuntimeError::PathFileAccess);
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
        access(hostPath.constData(), W_OK) != 0)
        throw RuntimeError(RuntimeError::PermissionDenied);
}

void throwIfFault(FaultPoint point)
{
    if (const int injected = takeFault(point))
        throw RuntimeError::fromErrno(injected);
}

bool parentFolderExists(const QByteArray &hostPath)
{
    const qsizetype slash = hostPath.lastIndexOf('/');
    const QByteArray parent = slash < 0 ? QByteArray(".") : hostPath.left(slash + 1);
    struct stat st;
    return stat(parent.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

RuntimeError deleteFailure(int savedErrno, const QByteArray &hostPath)
{
    if (savedErrno == ENOENT && parentFolderExists(hostPath))
        return RuntimeError(RuntimeError::FileNotFound);
    return RuntimeError::fromErrno(savedErrno);
}

bool plainFileExistsAt(const QString &pathOrPattern)
{
    if (pathOrPattern.isEmpty() || !toHostPath(pathOrPattern))
        return false;
    const qsizetype cut = pathOrPattern.lastIndexOf(QLatin1Char('\\')) + 1;
    const QString folder = pathOrPattern.left(cut);
    const QString last = pathOrPattern.mid(cut);
    if (last.isEmpty() || hasWildcard(last))
        return anyPlainFileMatching(folder, last);
    return !isHiddenName(last) && isRegularFile(pathOrPattern);
}

bool entryExists(const QString &path)
{
    const std::optional<QByteArray> host = toHostBytes(path);
    struct stat st;
    return host && !host->isEmpty() && lstat(host->constData(), &st) == 0;
}

void deleteOneFile(const QString &path)
{
    const std::optional<QByteArray> host = toHostBytes(path);
    if (!host)
        throw unusablePath(path);
    throwIfFault(FaultPoint::Delete);
    struct stat st;
    if (lstat(host->constData(), &st) == 0 && S_ISDIR(st.st_mode))
        throw RuntimeError(RuntimeError::FileNotFound);
    if (unlink(host->constData()) != 0)
        throw deleteFailure(errno, *host);
}

// Gives the new file the mode, group and, when allowed, owner of the one it replaces. A file
// rewritten in place keeps them anyway.
void keepOwnership(int fd, const struct stat &former)
{
    struct stat now;
    if (fstat(fd, &now) != 0 || (now.st_dev == former.st_dev && now.st_ino == former.st_ino))
        return;
    // The group alone may pass where the owner is refused; refused both, the file stays ours.
    [[maybe_unused]] const bool owned =
        fchown(fd, former.st_uid, former.st_gid) == 0 || fchown(fd, uid_t(-1), former.st_gid) == 0;
    // Set after the owner, which clears the set-user and set-group bits; should it fail, the
    // permission bits that QSaveFile copied stay.
    [[maybe_unused]] const bool modeKept = fchmod(fd, former.st_mode & 07777) == 0;
}

} // namespace

std::vector<DirectoryEntry> listEntries(const QString &folder)
{
    std::vector<DirectoryEntry> entries;
    forEachEntry(folder, false, [&](const DirectoryEntry &entry) {
        entries.push_back(entry);
        return true;
    });
    return entries;
}

QStringList listPlainFiles(const QString &folder)
{
    QStringList names;
    forEachEntry(folder, true, [&](const DirectoryEntry &entry) {
        names.append(entry.name);
        return true;
    });
    return names;
}

std::optional<FolderId> folderId(const QString &path)
{
    const std::optional<QByteArray> host = toHostBytes(path);
    struct stat st;
    if (!host || host->isEmpty() || stat(host->constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return idOf(st);
}

bool plainFileExists(const QString &pathOrPattern)
{
    const std::optional<QString> stored = virtualStorePath(pathOrPattern);
    return (stored && plainFileExistsAt(*stored)) || plainFileExistsAt(pathOrPattern);
}

QString effectiveFilePath(const QString &path)
{
    const std::optional<QString> stored = virtualStorePath(path);
    return stored && isRegularFile(*stored) ? *stored : path;
}

bool folderHasEntries(const QString &folder)
{
    return openFolder(folder) != nullptr;
}

void deleteFile(const QString &path)
{
    const std::optional<QString> stored = virtualStorePath(path);
    if (!stored || !entryExists(*stored)) {
        deleteOneFile(path);
        return;
    }
    deleteOneFile(*stored);
    // The store's copy is gone; a copy in the real folder goes too when the host allows it.
    if (entryExists(path)) {
        try {
            deleteOneFile(path);
        } catch (const RuntimeError &) {
        }
    }
}

AtomicFileWriter::AtomicFileWriter(const QString &path) : m_signals({SIGTERM, SIGINT, SIGHUP})
{
    const std::optional<QString> host = toHostPath(path);
    if (!host || host->isEmpty())
        throw unusablePath(path);
    const QByteArray hostBytes = QFile::encodeName(*host);
    refuseUnwritableTarget(hostBytes);
    struct stat former;
    const bool replacing = stat(hostBytes.constData(), &former) == 0;

    throwIfFault(FaultPoint::OpenForWrite);
    m_file = std::make_unique<QSaveFile>(*host);
    m_file->setDirectWriteFallback(true);
    errno = 0;
    // Unbuffered, so that a short write (disk full, file too large) shows at once: a failed
    // final flush inside commit() is not always reported, and would replace the page with a
    // truncated one.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw saveFailure(errno, *m_file);
    if (replacing)
        keepOwnership(m_file->handle(), former);
}

AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::write(const QByteArray &bytes)
{
    SignalCatch::throwIfCaught();
    throwIfFault(FaultPoint::Write);
    errno = 0;
    if (m_file->write(bytes) != bytes.size())
        throw saveFailure(errno, *m_file);
    if (const int signalNumber = takeFault(FaultPoint::Signal))
        std::raise(signalNumber);
}

void AtomicFileWriter::commit()
{
    SignalCatch::throwIfCaught();
    throwIfFault(FaultPoint::Commit);
    errno = 0;
    if (!m_file->commit())
        throw saveFailure(errno, *m_file);
}

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    AtomicFileWriter file(path);
    file.write(bytes);
    file.commit();
}

QString programFolder()
{
    QString host;
    if (QCoreApplication::instance())
        host = QCoreApplication::applicationDirPath();
    else
        host = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    QString program = toProgramPath(host);
    if (program.size() > 1 && program.endsWith(QLatin1Char('\\')))
        program.chop(1);
    return program;
}

ByteReader::ByteReader(const QString &path)
{
    const std::optional<QByteArray> host = toHostBytes(path);
    if (!host || host->isEmpty())
        return;
    m_fd = open(host->constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st;
    if (m_fd >= 0 && (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(m_fd);
        m_fd = -1;
    }
}

ByteReader::~ByteReader()
{
    if (m_fd >= 0)
        close(m_fd);
}

std::int64_t ByteReader::read(char *buffer, std::int64_t max)
{
    if (m_fd < 0 || max <= 0)
        return 0;
    const size_t wanted = static_cast<size_t>(std::min<std::int64_t>(max, SSIZE_MAX));
    ssize_t got;
    do {
        got = ::read(m_fd, buffer, wanted);
    } while (got < 0 && errno == EINTR);
    return got > 0 ? got : 0;
}

} // namespace platform
