// Feeds arbitrary bytes to the shortcut reader as the content of a file and checks its
// result against the reading rule worked out here on the bytes in memory.

#include "favourites/shortcut_reader.h"
#include "platform/paths.h"
#include "platform/windows1252.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{

// One scratch file, made anew for every input: rewriting a file in place can make the file
// system flush it to disk on close, which would slow the fuzzer down to a crawl.
struct Scratch {
    QTemporaryDir dir;
    QString hostPath = dir.filePath(QStringLiteral("Lien.url"));
    QString programPath = platform::toProgramPath(hostPath);

    void write(const QByteArray &bytes) const
    {
        QFile::remove(hostPath);
        QFile file(hostPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write the scratch file %s\n", qPrintable(hostPath));
            std::abort();
        }
    }
};

// The URL line is the first one that starts with "URL" right after a CR LF, within the
// first urlSearchBytes; its value runs from its fifth character up to the next CR LF, which
// must exist.
QByteArray expectedUrlBytes(const QByteArray &content)
{
    const qsizetype lineBreak = content.indexOf("\r\nURL");
    if (lineBreak < 0 || lineBreak + 5 > urlSearchBytes)
        return {};
    const qsizetype end = content.indexOf("\r\n", lineBreak + 4);
    if (end < 0)
        return {};
    const qsizetype length = end - lineBreak - 6;
    if (length <= 0 || length > maxUrlBytes)
        return {};
    return content.mid(lineBreak + 6, length);
}

[[noreturn]] void fail(const char *what, const QString &got, const QString &expected)
{
    std::fprintf(stderr, "%s\n  got:      [%s]\n  expected: [%s]\n", what, got.toUtf8().constData(),
                 expected.toUtf8().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const Scratch scratch;
    if (!scratch.dir.isValid())
        std::abort();

    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    scratch.write(content);

    const QString url = Lire_Url(scratch.programPath);
    const QString expected = platform::decodeWindows1252(expectedUrlBytes(content));
    if (url.contains(QStringLiteral("\r\n")))
        fail("the URL holds CR LF", url, expected);
    if (url != expected)
        fail("the URL is not the value of the file's URL line", url, expected);

    // Small reads put chunk edges inside "\r\nURL" and the line end; the result must not move.
    const qsizetype chunkBytes = 1 + qsizetype(size % 7);
    const QString chunked = readUrlInChunks(scratch.programPath, chunkBytes);
    if (chunked != expected)
        fail("reading in small chunks changes the URL", chunked, expected);
    return 0;
}
