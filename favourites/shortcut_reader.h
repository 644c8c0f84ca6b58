#pragma once

#include <QString>

namespace platform
{
class ByteReader;
}

// The URL of an Internet shortcut: the rest of the first line that starts with "URL" right
// after a CR LF, from its fifth character up to the CR LF that ends it. Empty text when the
// file holds no such line, cannot be read, or the line does not start within the first
// urlSearchBytes, or the URL is longer than maxUrlBytes: no browser keeps such a URL. So no
// file costs more than about urlSearchBytes + maxUrlBytes of reading, whatever its size.
QString Lire_Url(const QString &chemin);

constexpr qsizetype urlSearchBytes = 1 << 20;
constexpr qsizetype maxUrlBytes = 64 << 10;

// How many bytes Lire_Url asks the file for at a time.
constexpr qsizetype urlReadChunkBytes = 1 << 16;

// Lire_Url with another chunk size (at least 1), so that chunk edges can be tested anywhere.
QString readUrlInChunks(const QString &chemin, qsizetype chunkBytes);

// Lire_Url on a file already opened.
QString lireUrl(platform::ByteReader &lecteur, qsizetype chunkBytes = urlReadChunkBytes);
