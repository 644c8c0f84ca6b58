#pragma once

#include "favourites/lien.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The link table as a Netscape bookmark file, the format that every browser imports: UTF-8,
// one nested H3/DL folder per folder of the table, ADD_DATE where a link has a date. The
// top-level folders that stand for a browser's own roots go back to them on import: the
// bookmarks menu's content at the top level, the toolbar and the other bookmarks as marked
// folders. The text goes to ecrire in pieces of about 64 KiB, so that a large file is never
// held whole; a table handed over with std::move is emptied of its texts as it is written.
using EcrireOctets = std::function<void(const QByteArray &)>;
void genererSignets(TableLiens liens, const EcrireOctets &ecrire);

// The whole file at once.
QByteArray contenuSignets(TableLiens liens);

// Writes the bookmark file (host path), replacing it whole or not at all. Throws
// platform::RuntimeError when the file cannot be written.
void ecrireSignets(const QString &fichier, TableLiens liens);
