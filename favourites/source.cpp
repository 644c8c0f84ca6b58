#include "favourites/source.h"

#include "favourites/chromium_reader.h"
#include "favourites/favourites_scan.h"
#include "favourites/firefox_reader.h"
#include "favourites/netscape_reader.h"
#include "favourites/source_error.h"
#include "platform/file_system.h"

#include <QFileInfo>

namespace
{

// How much of a file is looked at to tell its kind.
constexpr qsizetype debutLu = 1 << 16;

QByteArray debutDe(platform::ByteReader &lecteur)
{
    QByteArray debut(debutLu, Qt::Uninitialized);
    qsizetype total = 0;
    for (std::int64_t lu;
         total < debutLu && (lu = lecteur.read(debut.data() + total, debutLu - total)) > 0;)
        total += qsizetype(lu);
    debut.truncate(total);
    return debut;
}

std::optional<TypeSource> typeDuContenu(const QByteArray &debut)
{
    if (debut.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return TypeSource::Firefox;
    QByteArray texte = debut;
    if (texte.startsWith("\xEF\xBB\xBF"))
        texte.remove(0, 3);
    texte = texte.trimmed();
    if (texte.startsWith('{'))
        return TypeSource::Chromium;
    const QByteArray minuscules = texte.toLower();
    if (minuscules.contains("<!doctype netscape-bookmark-file") ||
        (minuscules.startsWith('<') && (minuscules.contains("<dl") || minuscules.contains("<dt"))))
        return TypeSource::Netscape;
    return std::nullopt;
}

void (*avertissement)(const QString &message) = nullptr;

} // namespace

void definirAvertissementSource(void (*avertir)(const QString &message))
{
    avertissement = avertir;
}

std::optional<TypeSource> typeFichierSignets(const QString &fichier)
{
    platform::ByteReader lecteur{platform::HostPath(fichier)};
    if (!lecteur.isOpen())
        return std::nullopt;
    return typeDuContenu(debutDe(lecteur));
}

Source lireSource(const QString &chemin, DatesLiens dates)
{
    if (chemin.isEmpty())
        return {TypeSource::Dossier, {}};
    const QFileInfo info(chemin);
    // Only a path written as a folder's may name nothing: a file that went away is no
    // empty folder.
    if (info.isDir() ||
        (!info.exists() && !info.isSymLink() && chemin.endsWith(QLatin1Char('/')))) {
        FavouritesScan scan(dates);
        scan.lireDossierHote(chemin);
        return {TypeSource::Dossier, scan.takeLiens()};
    }
    platform::ByteReader lecteur{platform::HostPath(chemin)};
    if (!lecteur.isOpen())
        throw ErreurSource::illisible(chemin);
    const std::optional<TypeSource> type = typeDuContenu(debutDe(lecteur));
    if (!type)
        throw ErreurSource::inconnu(chemin);
    Source source{*type, {}};
    switch (*type) {
    case TypeSource::Netscape:
        source.liens = lireNetscape(chemin, &source.incomplet);
        if (source.incomplet && avertissement)
            avertissement(
                QStringLiteral("le fichier de favoris «\u00a0%1\u00a0» semble incomplet\u00a0: "
                               "seuls les marque-pages qu'il contient ont été lus.")
                    .arg(chemin));
        break;
    case TypeSource::Firefox:
        source.liens = lireFirefox(chemin);
        break;
    case TypeSource::Chromium:
        source.liens = lireChromium(chemin);
        break;
    case TypeSource::Dossier:
        break;
    }
    FavouritesScan::trierLiens(source.liens);
    return source;
}
