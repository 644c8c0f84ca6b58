#pragma once

#include <QString>

#include <optional>

// A per-user store for the files that the program writes directly in its own folder, used
// where that folder cannot be written (a system-wide install), in the manner of Windows' file
// virtualisation: $XDG_DATA_HOME/signetor/VirtualStore/ followed by the folder's host path.
namespace platform
{

// Where a path that lies directly in the program's folder goes when that folder cannot be
// written (program form); nullopt for any other path, or when the folder can be written.
std::optional<QString> virtualStorePath(const QString &programPath);

// The path at which the program writes a file of its own folder: the store's, its folders made,
// when the folder cannot be written; the path itself otherwise. Only the window's preview file
// goes through here: a page that the user names is written where it is named, or not at all.
// Throws RuntimeError when the store's folder cannot be made.
QString writablePath(const QString &programPath);

// Tests run as root, for whom every folder is writable: this overrides the check
// (nullopt restores it).
void setProgramFolderWritableForTesting(std::optional<bool> writable);

} // namespace platform
