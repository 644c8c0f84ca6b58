#include "file_system.h"

#include "fault_injection.h"
#include "paths.h"
#include "runtime_error.h"
#include "termination_signals.h"
#include "virtual_store.h"
#include "write_safety.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <iterator>
#include <memory>
#include <utility>

namespace platform
{

namespace
{

bool isHiddenName(const char *name)
{
    return name[0] == '.';
}
bool isHiddenName(const QString &name)
{
    return name.startsWith(QLatin1Char('.'));
}

bool writeAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

FolderId idOf(const struct stat &st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// File systems whose content the kernel makes up as it is read: reading or walking them can
// take without end (proc, sysfs) or act on the system. Recognised by type, wherever mounted.
bool isPseudoFileSystem(int fd)
{
    static constexpr unsigned long pseudoTypes[] = {
        0x9fa0,     // proc
        0x62656572, // sysfs
        0x1cd1,     // devpts
        0x27e0eb,   // cgroup
        0x63677270, // cgroup2
        0x64626720, // debugfs
        0x74726163, // tracefs
        0x73636673, // securityfs
        0x6165676c, // pstore
        0xcafe4a11, // bpf
        0x62656570, // configfs
        0x65735543, // fusectl
        0x19800202, // mqueue
        0x958458f6, // hugetlbfs
        0x0187,     // autofs
        0x42494e4d, // binfmt_misc
        0xde5e81e4, // efivarfs
        0xf97cff8c, // selinuxfs
        0x43415d53, // smackfs
        0x6e736673, // nsfs
        0x7655821,  // resctrl
        0x6c6f6f70, // binderfs
    };
    struct statfs fs;
    if (fstatfs(fd, &fs) != 0)
        return true;
    const auto type = static_cast<unsigned long>(fs.f_type) & 0xffffffffUL;
    return std::find(std::begin(pseudoTypes), std::end(pseudoTypes), type) != std::end(pseudoTypes);
}

int openFolderAt(int parentFd, const char *hostName)
{
    int fd;
    do {
        fd = openat(parentFd, hostName, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Calls visit(name) for every plain file of a folder that is not hidden, until it returns
// false.
template <typename Visit> void forEachPlainFile(const QString &folder, Visit visit)
{
    const Folder dir(folder);
    bool going = true;
    dir.forEachEntry(false, [&](const Folder::Entry &raw) {
        if (!going || raw.kind != Folder::Kind::File || isHiddenName(raw.hostName))
            return;
        if (const std::optional<QString> name = nameToProgramText(QByteArray(raw.hostName)))
            going = visit(*name);
    });
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
    forEachPlainFile(folder, [&](const QString &name) {
        found = pattern.isEmpty() || matchesPattern(wanted, name.toUcs4());
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
    const std::optional<QByteArray> host = toHostBytes(folder);
    if (!host)
        return false;
    const int fd = openFolderAt(AT_FDCWD, host->isEmpty() ? "." : host->constData());
    if (fd < 0)
        return false;
    close(fd);
    return true;
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

AtomicFileWriter::AtomicFileWriter(const HostPath &path) : m_signals({SIGTERM, SIGINT, SIGHUP})
{
    if (path.bytes.isEmpty() || path.bytes.contains('\0'))
        throw RuntimeError(RuntimeError::BadFileName);
    // QSaveFile would follow links itself, past the rule; it gets a path with none left.
    const QByteArray hostBytes = resolveLinksForWrite(path.bytes);
    refuseUnwritableTarget(hostBytes);
    struct stat former;
    const bool replacing = stat(hostBytes.constData(), &former) == 0;

    throwIfFault(FaultPoint::OpenForWrite);
    m_file = std::make_unique<QSaveFile>(QFile::decodeName(hostBytes));
    m_file->setDirectWriteFallback(true);
    errno = 0;
    // Unbuffered, so that a short write (disk full, file too large) shows at once: a failed
    // final flush inside commit() is not always reported, and would replace the page with a
    // truncated one.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw saveFailure(errno, *m_file);
    struct stat opened;
    m_inPlace = replacing && fstat(m_file->handle(), &opened) == 0 &&
                opened.st_dev == former.st_dev && opened.st_ino == former.st_ino;
    if (replacing)
        keepOwnership(m_file->handle(), former);
    else
        giveToFolderOwner(m_file->handle(), hostBytes);
}

AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::write(const QByteArray &bytes)
{
    // A file rewritten in place has no former content to fall back on: it is finished first.
    if (!m_inPlace)
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
    if (!m_inPlace)
        SignalCatch::throwIfCaught();
    throwIfFault(FaultPoint::Commit);
    errno = 0;
    if (!m_file->commit())
        throw saveFailure(errno, *m_file);
}

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const std::optional<QString> host = toHostPath(path);
    if (!host || host->isEmpty())
        throw unusablePath(path);
    AtomicFileWriter file{HostPath(*host)};
    file.write(bytes);
    file.commit();
}

std::size_t openFilesAllowed()
{
    const long allowed = sysconf(_SC_OPEN_MAX);
    return allowed > 0 ? std::size_t(allowed) : 256;
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

Folder::Folder(const QString &path)
{
    const std::optional<QByteArray> host = toHostBytes(path);
    if (host)
        adopt(openFolderAt(AT_FDCWD, host->isEmpty() ? "." : host->constData()));
}

Folder::Folder(const HostPath &path)
{
    if (!path.bytes.isEmpty() && !path.bytes.contains('\0'))
        adopt(openFolderAt(AT_FDCWD, path.bytes.constData()));
}

Folder::Folder(const Folder &parent, const char *hostName)
{
    if (parent.isOpen())
        adopt(openFolderAt(parent.descriptor(), hostName));
}

Folder::Folder(Folder &&other) noexcept
    : m_dir(std::exchange(other.m_dir, nullptr)), m_id(other.m_id)
{
}

Folder &Folder::operator=(Folder &&other) noexcept
{
    std::swap(m_dir, other.m_dir);
    std::swap(m_id, other.m_id);
    return *this;
}

Folder::~Folder()
{
    if (m_dir)
        closedir(m_dir);
}

void Folder::adopt(int fd)
{
    if (fd < 0)
        return;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || isPseudoFileSystem(fd) ||
        !(m_dir = fdopendir(fd))) {
        close(fd);
        return;
    }
    m_id = idOf(st);
}

int Folder::descriptor() const
{
    return m_dir ? dirfd(m_dir) : -1;
}

const dirent *Folder::next() const
{
    return m_dir ? readdir(m_dir) : nullptr;
}

// The listing's type saves a look-up for plain entries; links, untyped entries and folders
// whose identity is wanted are looked up, following links.
Folder::Entry Folder::typeEntry(const dirent *raw, bool withFolders) const
{
    const char *name = raw->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
        return {nullptr, Kind::Other, false, {}};
    Entry entry{name, Kind::Other, raw->d_type == DT_LNK || raw->d_type == DT_UNKNOWN, {}};
    if (raw->d_type == DT_REG) {
        entry.kind = Kind::File;
        return entry;
    }
    if (!entry.throughLink && !(raw->d_type == DT_DIR && withFolders))
        return entry;
    struct stat st;
    if (fstatat(descriptor(), name, &st, 0) != 0)
        return entry;
    if (S_ISREG(st.st_mode)) {
        entry.kind = Kind::File;
    } else if (S_ISDIR(st.st_mode) && withFolders) {
        entry.kind = Kind::Folder;
        entry.id = idOf(st);
    }
    return entry;
}

ByteReader::ByteReader(const QString &path)
{
    const std::optional<QByteArray> host = toHostBytes(path);
    if (!host || host->isEmpty())
        return;
    adopt(open(host->constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY), false);
}

ByteReader::ByteReader(const HostPath &path)
{
    if (!path.bytes.isEmpty() && !path.bytes.contains('\0'))
        adopt(open(path.bytes.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY), false);
}

// Without the look-up, a name replaced by a FIFO or a device since the listing still opens
// without blocking, and the reader's callers read no more than a bounded number of bytes.
ByteReader::ByteReader(const Folder &folder, const char *hostName, bool throughLink, bool withTime)
{
    if (!folder.isOpen())
        return;
    const int fd =
        openat(folder.descriptor(), hostName, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (throughLink || withTime)
        adopt(fd, throughLink);
    else
        m_fd = fd;
}

void ByteReader::adopt(int fd, bool checkFileSystem)
{
    if (fd < 0)
        return;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        (checkFileSystem && isPseudoFileSystem(fd))) {
        close(fd);
        return;
    }
    m_fd = fd;
    m_modified = st.st_mtim.tv_sec;
}

ByteReader::~ByteReader()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool ByteReader::copyTo(const QString &hostTarget, std::int64_t &budget)
{
    if (m_fd < 0)
        return false;
    const int out = open(QFile::encodeName(hostTarget).constData(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600);
    if (out < 0)
        return false;
    constexpr std::size_t chunk = 1 << 20;
    std::vector<char> buffer; // used once the kernel cannot copy between these two files
    bool copiedAll = false;
    while (budget >= 0) {
        ssize_t copied;
        if (buffer.empty()) {
            copied = copy_file_range(m_fd, nullptr, out, nullptr, chunk, 0);
            if (copied < 0 && errno != EINTR)
                buffer.resize(chunk);
            if (copied < 0)
                continue;
        } else {
            copied = static_cast<ssize_t>(read(buffer.data(), std::int64_t(chunk)));
            if (copied > 0 && !writeAll(out, buffer.data(), std::size_t(copied)))
                break;
        }
        if (copied == 0) {
            copiedAll = true;
            break;
        }
        budget -= copied;
        if (const int signalNumber = takeFault(FaultPoint::Signal))
            std::raise(signalNumber);
        if (SignalCatch::caught())
            break;
    }
    return close(out) == 0 && copiedAll;
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
