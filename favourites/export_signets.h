#pragma once

#include "favourites/lien.h"

#include <QByteArray>
#include <QString>

// The link table as a Netscape bookmark file, the format that every browser imports: UTF-8,
// one nested H3/DL folder per folder of the table, ADD_DATE where a link has a date. The
// top-level folders that stand for a browser's own roots go back to them on import: the
// bookmarks menu's content at the top level, the toolbar and the other bookmarks as marked
// folders. A table handed over with std::move is emptied of its texts as the file is written,
// which keeps the memory of a large export down.
QByteArray contenuSignets(TableLiens liens);

// Writes the bookmark file (program form), replacing it whole or not at all. Throws
// platform::RuntimeError when the file cannot be written.
void ecrireSignets(const QString &fichier, TableLiens liens);
