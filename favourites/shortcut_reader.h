#pragma once

#include <QString>

// The URL of an Internet shortcut: the rest of the first line that starts with "URL" right
// after a CR LF, from its fifth character up to the CR LF that ends it. Empty text when the
// file holds no such line, cannot be read, or the URL is longer than maxUrlBytes (the file
// is read in bounded memory whatever its size).
QString Lire_Url(const QString &chemin);

constexpr qsizetype maxUrlBytes = 1 << 20;

// How many bytes Lire_Url asks the file for at a time.
constexpr qsizetype urlReadChunkBytes = 1 << 16;

// Lire_Url with another chunk size (at least 1), so that chunk edges can be tested anywhere.
QString readUrlInChunks(const QString &chemin, qsizetype chunkBytes);
