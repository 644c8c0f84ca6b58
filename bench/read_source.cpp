// Reads a bookmark file with Signetor's reader of its kind and nothing else (no sort, no
// page), and prints the number of rows: what the benchmark sets against the sqlite3 command
// running the equivalent join.
#include "favourites/chromium_reader.h"
#include "favourites/firefox_reader.h"
#include "favourites/netscape_reader.h"
#include "favourites/source.h"
#include "favourites/source_error.h"
#include "platform/memory.h"
#include "platform/paths.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    platform::growHeapInLargePages();
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_source FILE\n");
        return 2;
    }
    const QString fichier = QString::fromLocal8Bit(argv[1]);
    try {
        TableLiens liens;
        switch (typeFichierSignets(fichier).value_or(TypeSource::Dossier)) {
        case TypeSource::Firefox:
            liens = lireFirefox(fichier);
            break;
        case TypeSource::Chromium:
            liens = lireChromium(fichier);
            break;
        case TypeSource::Netscape:
            liens = lireNetscape(fichier);
            break;
        case TypeSource::Dossier:
            std::fprintf(stderr, "read_source: not a bookmark file\n");
            return 2;
        }
        std::printf("%lld\n", static_cast<long long>(liens.size()));
    } catch (const ErreurSource &erreur) {
        std::fprintf(stderr, "read_source: %s\n", erreur.what());
        return 1;
    }
    return 0;
}
