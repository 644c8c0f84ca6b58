#pragma once

#include "favourites/lien.h"

#include <QByteArray>
#include <QString>

// The rows of a bookmark file in the Netscape format, unsorted: each H3 title opens a folder
// for the DL that follows it; links outside any folder lie at the root. Throws ErreurSource
// when the file cannot be read or parsed.
TableLiens lireNetscape(const QString &fichier);

// The same from the file's bytes (UTF-8, or Windows-1252 when they are not valid UTF-8).
// fichier only names the file in messages. The file is parsed in pieces of about a megabyte;
// for each the parser gets at most maxOctetsAnalyse bytes of memory and maxMillisecondes of
// time: nesting thousands deep makes HTML tree building slow, and such a file is refused
// rather than waited for.
TableLiens analyserNetscape(const QByteArray &octets, const QString &fichier,
                            qint64 maxOctetsAnalyse = qint64(64) << 20,
                            int maxMillisecondes = 5000);
