// Feeds arbitrary bytes to the Netscape bookmark reader, whole and in pieces of a size that the
// first byte chooses, and checks that both give the same rows, or the same refusal.

#include "favourites/netscape_reader.h"
#include "favourites/source_error.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace
{

// The rows, or the refusal's message; whether the file seemed cut short.
struct Lecture {
    std::optional<TableLiens> liens;
    QString refus;
    bool incomplet = false;
};

Lecture lire(QByteArrayView octets, qsizetype taillePieces)
{
    Lecture l;
    try {
        l.liens = analyserNetscape(octets, QStringLiteral("f"), &l.incomplet, taillePieces);
    } catch (const ErreurSource &erreur) {
        l.refus = erreur.message();
    }
    return l;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView octets(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const Lecture entier = lire(octets, 0);
    const Lecture pieces = lire(octets, qsizetype(data[0]) + 1);
    if (entier.liens != pieces.liens || entier.refus != pieces.refus ||
        entier.incomplet != pieces.incomplet) {
        std::fprintf(stderr, "pieces of %d bytes read otherwise than the whole\n", data[0] + 1);
        std::abort();
    }
    return 0;
}
