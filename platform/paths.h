#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The program speaks of paths in Windows form ("\home\ana\Favoris\"); the host uses POSIX
// paths ("/home/ana/Favoris/"). These functions are the only bridge between the two.
namespace platform
{

// "\" becomes "/". A path with a drive letter ("C:\...") or one that cannot be encoded in
// the host's file-name encoding names nothing on this host: nullopt.
std::optional<QString> toHostPath(const QString &programPath);
// The same, as the bytes handed to the host's system calls.
std::optional<QByteArray> toHostBytes(const QString &programPath);

// "/" becomes "\". A host path is taken as given (made absolute by the caller when needed).
QString toProgramPath(const QString &hostPath);

// A host file name (one component, raw bytes) as program text; nullopt when it holds "\"
// or is not valid in the file-name encoding, in which case the entry is not listed at all.
std::optional<QString> nameToProgramText(QByteArrayView hostName);

} // namespace platform
