#pragma once

#include "favourites/lien.h"

#include <QByteArray>
#include <QString>

// The rows of a bookmark file in the Netscape format, unsorted: each H3 title opens a folder
// for the DL that follows it; links outside any folder lie at the root. Throws ErreurSource
// when the file cannot be read or parsed.
TableLiens lireNetscape(const QString &fichier);

// What the parser may take for one piece of the file, which is parsed in pieces of about a
// quarter of a megabyte: nesting thousands deep makes HTML tree building slow, and such a
// file is refused rather than waited for.
constexpr qint64 memoireMaxPiece = qint64(64) << 20;
constexpr int dureeMaxPiece = 5000; // milliseconds

// The same from the file's bytes (UTF-8, or Windows-1252 when they are not valid UTF-8), with
// the parser's limits for each piece. fichier only names the file in messages.
TableLiens analyserNetscape(const QByteArray &octets, const QString &fichier,
                            qint64 maxOctetsAnalyse = memoireMaxPiece,
                            int maxMillisecondes = dureeMaxPiece);
