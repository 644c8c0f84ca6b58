#include "favourites/shortcut_reader.h"

#include "platform/file_system.h"
#include "platform/windows1252.h"

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{

// A URL line follows a line end and starts with these capitals.
constexpr QByteArrayView urlLineStart("\r\nURL");
constexpr QByteArrayView lineEnd("\r\n");

// The URL in the bytes that follow "URL" on its line (the line's fourth character first),
// given where the line's CR LF starts in them. "URL" alone or with one character is empty.
QString urlBefore(QByteArrayView afterUrl, qsizetype crLf)
{
    const qsizetype length = crLf - 1;
    if (length <= 0 || length > maxUrlBytes)
        return {};
    return platform::decodeWindows1252(afterUrl.sliced(1, length));
}

// Reads on until the CR LF that ends the URL line, keeping at most maxUrlBytes and a chunk.
QString finishUrlLine(platform::ByteReader &reader, QByteArrayView afterUrl, qsizetype chunkBytes)
{
    const qsizetype crLf = afterUrl.indexOf(lineEnd);
    if (crLf >= 0)
        return urlBefore(afterUrl, crLf);

    QByteArray line(afterUrl.data(), afterUrl.size());
    // Once this many bytes hold no CR LF, any later one would end a URL that is too long.
    const qsizetype giveUpAt = maxUrlBytes + 3;
    while (line.size() < giveUpAt) {
        const qsizetype old = line.size();
        line.resize(old + chunkBytes);
        const std::int64_t n = reader.read(line.data() + old, chunkBytes);
        if (n <= 0)
            return {};
        line.resize(old + qsizetype(n));
        const qsizetype found =
            QByteArrayView(line).indexOf(lineEnd, std::max<qsizetype>(0, old - 1));
        if (found >= 0)
            return urlBefore(line, found);
    }
    return {};
}

// Where "\r\nURL" starts in the bytes, -1 when nowhere. A CR is looked for first: it is rare
// in any file, and memchr skips the rest far faster than a general search.
qsizetype findUrlLineStart(QByteArrayView bytes)
{
    const char *const begin = bytes.data();
    const char *const end = begin + bytes.size();
    for (const char *p = begin; end - p >= urlLineStart.size(); ++p) {
        p = static_cast<const char *>(
            std::memchr(p, '\r', std::size_t(end - p - (urlLineStart.size() - 1))));
        if (!p)
            return -1;
        if (std::memcmp(p + 1, urlLineStart.data() + 1, std::size_t(urlLineStart.size() - 1)) == 0)
            return p - begin;
    }
    return -1;
}

// One buffer per thread, reused from file to file.
char *chunkBuffer(qsizetype size)
{
    thread_local std::vector<char> buffer;
    if (buffer.size() < std::size_t(size))
        buffer.resize(std::size_t(size));
    return buffer.data();
}

} // namespace

QString lireUrl(platform::ByteReader &lecteur, qsizetype chunkBytes)
{
    chunkBytes = std::max<qsizetype>(chunkBytes, 1);
    if (!lecteur.isOpen())
        return {};

    // The last bytes of a chunk are kept in front of the next one, so that a "\r\nURL"
    // straddling two chunks is still found.
    const qsizetype carryMax = urlLineStart.size() - 1;
    char *buffer = chunkBuffer(carryMax + chunkBytes);
    qsizetype carried = 0;
    qsizetype searched = 0; // bytes of the file read so far
    while (searched < urlSearchBytes) {
        const std::int64_t n =
            lecteur.read(buffer + carried, std::min(chunkBytes, urlSearchBytes - searched));
        if (n <= 0)
            return {};
        searched += qsizetype(n);
        const QByteArrayView window(buffer, carried + qsizetype(n));
        const qsizetype d = findUrlLineStart(window);
        if (d >= 0)
            return finishUrlLine(lecteur, window.sliced(d + urlLineStart.size()), chunkBytes);
        carried = std::min(carryMax, window.size());
        std::memmove(buffer, buffer + window.size() - carried, std::size_t(carried));
    }
    return {};
}

QString readUrlInChunks(const QString &chemin, qsizetype chunkBytes)
{
    platform::ByteReader lecteur(chemin);
    return lireUrl(lecteur, chunkBytes);
}

QString Lire_Url(const QString &chemin)
{
    return readUrlInChunks(chemin, urlReadChunkBytes);
}
