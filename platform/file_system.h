#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// The run-time's file and folder services, over the host file system. Paths are program
// text (see paths.h); folder paths end with "\". Symbolic links are followed; an entry that
// is neither a regular file nor a folder (FIFO, socket, device, dangling link) is never
// listed, and a name starting with "." counts as hidden.
namespace platform
{

// Identity of a folder on the host, so that a walk never enters the same folder twice.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderId &o) const { return device == o.device && inode == o.inode; }
};

struct DirectoryEntry {
    QString name; // the entry's name, no folder part
    bool isFolder = false;
    bool isHidden = false;
    FolderId id; // set for folders only
};

// Every listable entry of a folder (mask 54: files and folders, hidden ones included), in the
// host's listing order, "." and ".." left out. A missing or unreadable folder gives none.
std::vector<DirectoryEntry> listEntries(const QString &folder);

// The names of the plain files of a folder (mask 0: not folders, not hidden).
QStringList listPlainFiles(const QString &folder);

// The identity of the folder at a path, nullopt when the path is not a folder.
std::optional<FolderId> folderId(const QString &path);

// Mask 0 search: true when an ordinary (non-hidden) file matches. Wildcards "*" and "?" in
// the last component are honoured; a text that is not a valid path matches nothing.
bool plainFileExists(const QString &pathOrPattern);

// Where the program's folder cannot be written, the files that the program writes directly
// in it (writeFileAtomically), their existence tests (plainFileExists) and their deletion
// (deleteFile) go to a per-user store instead (virtual_store.h). This gives the path at which
// such a file really lies, the one to hand to another program; any other path comes back as
// it is.
QString effectiveFilePath(const QString &path);

// Mask 54 search inside a folder: true when it yields any entry, in effect when the folder
// exists ("." always matches).
bool folderHasEntries(const QString &folder);

// Deletes a file; throws RuntimeError when it cannot.
void deleteFile(const QString &path);

// Replaces the file at path with these bytes, whole or not at all: on failure the former
// content stays and RuntimeError is thrown.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

// The folder that holds the running executable, in program form, without final "\".
QString programFolder();

// Reads a file as raw bytes, in bounded chunks. Opening never blocks (a FIFO or device is
// refused) and a file that cannot be opened reads as empty.
class ByteReader
{
public:
    explicit ByteReader(const QString &path);
    ~ByteReader();
    ByteReader(const ByteReader &) = delete;
    ByteReader &operator=(const ByteReader &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Reads up to max bytes; 0 at the end of the file or on a read error.
    std::int64_t read(char *buffer, std::int64_t max);

private:
    int m_fd = -1;
};

} // namespace platform
