#include "virtual_store.h"

#include "file_system.h"
#include "paths.h"
#include "runtime_error.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

#include <cerrno>

namespace platform
{

namespace
{

std::optional<bool> &writableOverride()
{
    static std::optional<bool> value;
    return value;
}

bool isWritableFolder(const QString &hostFolder)
{
    if (writableOverride())
        return *writableOverride();
    return access(QFile::encodeName(hostFolder).constData(), W_OK) == 0;
}

std::optional<QString> cleanHostFolder(const QString &programFolderPath)
{
    const std::optional<QString> host = toHostPath(programFolderPath);
    if (!host || host->isEmpty())
        return std::nullopt;
    return QDir::cleanPath(*host);
}

} // namespace

std::optional<QString> virtualStorePath(const QString &programPath)
{
    const qsizetype cut = programPath.lastIndexOf(QLatin1Char('\\'));
    if (cut < 0)
        return std::nullopt;
    const std::optional<QString> folder = cleanHostFolder(programPath.left(cut + 1));
    const std::optional<QString> home = cleanHostFolder(programFolder());
    if (!folder || !home || *folder != *home || isWritableFolder(*home))
        return std::nullopt;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return std::nullopt;
    const QString mirrored = *home == QLatin1String("/") ? QString() : *home;
    return toProgramPath(data + QStringLiteral("/signetor/VirtualStore") + mirrored) +
           programPath.mid(cut);
}

QString writablePath(const QString &programPath)
{
    const std::optional<QString> stored = virtualStorePath(programPath);
    if (!stored)
        return programPath;
    const std::optional<QString> host = toHostPath(*stored);
    errno = 0;
    if (!host || !QDir().mkpath(host->left(host->lastIndexOf(QLatin1Char('/')) + 1)))
        throw RuntimeError::fromErrno(errno);
    return *stored;
}

void setProgramFolderWritableForTesting(std::optional<bool> writable)
{
    writableOverride() = writable;
}

} // namespace platform
