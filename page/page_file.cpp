#include "page/page_file.h"

#include "platform/file_system.h"
#include "platform/windows1252.h"

QByteArray contenuPage(const QStringList &Page)
{
    qsizetype taille = 0;
    for (const QString &ligne : Page)
        taille += ligne.size() + 2;
    QByteArray octets;
    octets.reserve(taille);
    for (const QString &ligne : Page) {
        octets += platform::encodeWindows1252(ligne);
        octets += "\r\n";
    }
    return octets;
}

void Ecrire_Page(const QString &fichier, const QStringList &Page)
{
    platform::writeFileAtomically(fichier, contenuPage(Page));
}
