#pragma once

#include "termination_signals.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <dirent.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QSaveFile;

// The run-time's file and folder services, over the host file system. Paths are program
// text (see paths.h), unless given as a HostPath; folder paths end with "\". Symbolic links are
// followed; an entry that is neither a regular file nor a folder (FIFO, socket, device, dangling
// link) is never listed, and a name starting with "." counts as hidden.
namespace platform
{

// A path as the host names it ("/" between folders, a "\" part of a name), for the callers
// that speak host paths. An empty path names nothing.
struct HostPath {
    explicit HostPath(const QString &path) : text(path), bytes(QFile::encodeName(path)) {}
    QString text;
    QByteArray bytes;
};

// Identity of a folder on the host, so that a walk never enters the same folder twice.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderId &o) const { return device == o.device && inode == o.inode; }
    bool operator!=(const FolderId &o) const { return !(*this == o); }
};

// The identity of the folder at a path, nullopt when the path is not a folder.
std::optional<FolderId> folderId(const QString &path);

// Mask 0 search: true when an ordinary (non-hidden) file matches. Wildcards "*" and "?" in
// the last component are honoured; a text that is not a valid path matches nothing.
bool plainFileExists(const QString &pathOrPattern);

// Where the program's folder cannot be written, the existence tests (plainFileExists) and the
// deletion (deleteFile) of the files directly in it look in a per-user store first
// (virtual_store.h), where the program writes them (writablePath). This gives the path at which
// such a file really lies, the one to hand to another program; any other path comes back as
// it is.
QString effectiveFilePath(const QString &path);

// Mask 54 search inside a folder: true when it yields any entry, in effect when the folder
// exists ("." always matches).
bool folderHasEntries(const QString &folder);

// Deletes a file; throws RuntimeError when it cannot.
void deleteFile(const QString &path);

// Replaces the file at a path, written piece by piece, whole or not at all: the bytes go to a
// temporary file beside it, which takes its place at commit(). The replaced file's mode, group
// and, when the host allows, owner carry over; a new file belongs to its folder's owner. A
// symbolic link is written through only where the kernel's protected_symlinks rule would follow
// it (write_safety.h). Where the folder cannot be written but the file can, the file is
// rewritten in place instead, its former content then lost on failure. Every failure throws
// RuntimeError. SIGTERM, SIGINT and SIGHUP are held while it lives: once one has come, the
// next step throws Interrupted, and the caller ends as the signal asks once the temporary file
// is gone; a file rewritten in place is finished first, the caller ending after commit().
// Destroyed before commit(), it removes its temporary file.
class AtomicFileWriter
{
public:
    explicit AtomicFileWriter(const HostPath &path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    void write(const QByteArray &bytes);
    void commit();

private:
    SignalCatch m_signals;
    std::unique_ptr<QSaveFile> m_file;
    bool m_inPlace = false;
};

// The same in one call: the file at path (program form) gets these bytes.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

// How many files this process may hold open at once.
std::size_t openFilesAllowed();

// The folder that holds the running executable, in program form, without final "\".
QString programFolder();

// A folder held open, so that a walk reaches each level from the one above it by name and a
// path never has to hold the whole depth. Folders on pseudo file systems (proc, sysfs, devpts,
// cgroup...) are never opened: what they hold is made by the kernel, not by the user.
class Folder
{
public:
    Folder() = default;
    // The folder at a program path.
    explicit Folder(const QString &path);
    explicit Folder(const HostPath &path);
    // The sub-folder (or link to a folder) of this name, given as host bytes.
    Folder(const Folder &parent, const char *hostName);
    Folder(Folder &&other) noexcept;
    Folder &operator=(Folder &&other) noexcept;
    ~Folder();

    bool isOpen() const { return m_dir != nullptr; }
    FolderId id() const { return m_id; }

    enum class Kind { File, Folder, Other };
    struct Entry {
        const char *hostName; // valid during the visit only
        Kind kind;
        bool throughLink; // a symbolic link, or an entry the listing did not type
        FolderId id;      // set for folders only
    };
    // Calls visit(entry) for every entry but "." and "..", in the host's listing order.
    // Folders are typed only withFolders; otherwise they come as Other, without a look-up.
    template <typename Visit> void forEachEntry(bool withFolders, Visit visit) const;

    int descriptor() const;

private:
    void adopt(int fd);
    // The entry with its kind once links are followed; a null name for "." and "..".
    Entry typeEntry(const struct dirent *raw, bool withFolders) const;
    const struct dirent *next() const;

    DIR *m_dir = nullptr;
    FolderId m_id;
};

template <typename Visit> void Folder::forEachEntry(bool withFolders, Visit visit) const
{
    while (const dirent *raw = next()) {
        const Entry entry = typeEntry(raw, withFolders);
        if (entry.hostName)
            visit(entry);
    }
}

// Reads a file as raw bytes, in bounded chunks. Opening never blocks (a FIFO or device is
// refused) and a file that cannot be opened reads as empty.
class ByteReader
{
public:
    explicit ByteReader(const QString &path);
    explicit ByteReader(const HostPath &path);
    // The file of this name in an open folder. throughLink: the name may lead anywhere, so a
    // file on a pseudo file system is refused too. A name that the listing gave as a plain file
    // is looked up only when withTime asks for its modification time: that look-up is a fifth
    // of what a large scan costs.
    ByteReader(const Folder &folder, const char *hostName, bool throughLink, bool withTime);
    ~ByteReader();
    ByteReader(const ByteReader &) = delete;
    ByteReader &operator=(const ByteReader &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Reads up to max bytes; 0 at the end of the file or on a read error.
    std::int64_t read(char *buffer, std::int64_t max);
    // The file's modification time, in seconds since 1970; 0 when it was not looked up.
    std::int64_t modificationTime() const { return m_modified; }
    // Copies the rest of the file into a new file at a host path (replacing any there), in the
    // kernel where it can. False when it cannot be read or written, or when more than budget
    // bytes would be copied; budget counts down the bytes copied. A termination signal that a
    // SignalCatch holds stops the copy too.
    bool copyTo(const QString &hostTarget, std::int64_t &budget);

private:
    void adopt(int fd, bool checkFileSystem);

    int m_fd = -1;
    std::int64_t m_modified = 0;
};

} // namespace platform
