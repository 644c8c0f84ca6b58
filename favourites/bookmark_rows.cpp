#include "favourites/bookmark_rows.h"

#include "favourites/source_error.h"
#include "platform/file_system.h"

#include <QFileInfo>

QString titreDossier(const QString &titre)
{
    if (titre.isEmpty())
        return QStringLiteral("(sans titre)");
    QString t = titre;
    t.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return t;
}

QString dossierEnfant(const QString &parent, const QString &titre)
{
    return parent.isEmpty() ? titreDossier(titre)
                            : parent + QLatin1Char('\\') + titreDossier(titre);
}

bool adresseAbsolue(const QString &url)
{
    qsizetype i = 0;
    const auto lettre = [](QChar c) {
        return (c.unicode() | 0x20) >= u'a' && (c.unicode() | 0x20) <= u'z';
    };
    while (i < url.size() &&
           (lettre(url[i]) || url[i].isDigit() || QStringView(u"+-.").contains(url[i])))
        ++i;
    return i > 0 && i < url.size() && url[i] == u':' && lettre(url[0]);
}

void ajouterSignet(TableLiens &liens, const QString &dossier, const QString &titre,
                   const QString &url, qint64 date)
{
    if (url.isEmpty() || url.startsWith(QLatin1String("place:"), Qt::CaseInsensitive))
        return;
    Lien lien{dossier, titre.isEmpty() ? url : titre, url};
    lien.date = date;
    liens.append(std::move(lien));
}

std::unique_ptr<platform::ByteReader> ouvrirFichierSignets(const QString &fichier, qint64 maxOctets)
{
    const QFileInfo info(fichier);
    if (fichier.isEmpty() || !info.isFile())
        throw ErreurSource::illisible(fichier);
    if (info.size() > maxOctets)
        throw ErreurSource::tropGrand(fichier, maxOctets);
    auto lecteur = std::make_unique<platform::ByteReader>(platform::HostPath(fichier));
    if (!lecteur->isOpen())
        throw ErreurSource::illisible(fichier);
    return lecteur;
}

QByteArray lireFichierEntier(const QString &fichier, qint64 maxOctets)
{
    const std::unique_ptr<platform::ByteReader> lecteur = ouvrirFichierSignets(fichier, maxOctets);
    // The size is checked again while reading: the file may grow meanwhile.
    QByteArray octets;
    octets.reserve(QFileInfo(fichier).size());
    char tampon[1 << 16];
    for (std::int64_t lu; (lu = lecteur->read(tampon, sizeof tampon)) > 0;) {
        if (octets.size() + lu > maxOctets)
            throw ErreurSource::tropGrand(fichier, maxOctets);
        octets.append(tampon, lu);
    }
    return octets;
}
