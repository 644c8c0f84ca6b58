#pragma once

#include "favourites/lien.h"

#include <QByteArrayView>
#include <QString>

// The rows of a bookmark file in the Netscape format, unsorted, read in one pass that holds
// only the table: each H3 title opens a folder for the DL that follows it, links outside any
// folder lie at the root. The text is read in the character set that the file declares, or as
// UTF-8 when its bytes are UTF-8, Windows-1252 otherwise. A file cut short gives the rows it
// holds and sets *incomplet. Throws ErreurSource when the file cannot be read, holds nothing
// of a bookmark file, or nests folders deeper than profondeurMaxSignets.
TableLiens lireNetscape(const QString &fichier, bool *incomplet = nullptr);

// The same from the file's bytes, handed to the reader in pieces of taillePieces bytes (all at
// once when 0); fichier only names the file in messages.
TableLiens analyserNetscape(QByteArrayView octets, const QString &fichier,
                            bool *incomplet = nullptr, qsizetype taillePieces = 0);
