#include "favourites/chromium_reader.h"

#include "favourites/bookmark_rows.h"
#include "favourites/source_error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <vector>

namespace
{

// Chromium counts microseconds from 1601-01-01.
qint64 dateChromium(const QJsonValue &valeur)
{
    const qint64 microsecondes = valeur.toString().toLongLong();
    constexpr qint64 de1601a1970 = 11644473600;
    return microsecondes > 0 ? microsecondes / 1000000 - de1601a1970 : 0;
}

QString nomRacine(const QString &cle, const QJsonObject &racine)
{
    if (cle == QLatin1String("bookmark_bar"))
        return QStringLiteral("Barre de favoris");
    if (cle == QLatin1String("other"))
        return QStringLiteral("Autres favoris");
    if (cle == QLatin1String("synced"))
        return QStringLiteral("Favoris sur mobile");
    return racine.value(QLatin1String("name")).toString();
}

// Walks one top-level folder without recursion (the JSON parser bounds the depth anyway).
void parcourir(const QJsonObject &racine, const QString &dossierRacine, TableLiens &liens)
{
    struct Etape {
        QJsonObject dossier;
        QString chemin;
    };
    std::vector<Etape> pile{{racine, dossierRacine}};
    while (!pile.empty()) {
        const Etape etape = std::move(pile.back());
        pile.pop_back();
        const QJsonArray enfants = etape.dossier.value(QLatin1String("children")).toArray();
        for (const QJsonValue &valeur : enfants) {
            const QJsonObject noeud = valeur.toObject();
            const QString type = noeud.value(QLatin1String("type")).toString();
            const QString nom = noeud.value(QLatin1String("name")).toString();
            if (type == QLatin1String("folder"))
                pile.push_back({noeud, dossierEnfant(etape.chemin, nom)});
            else if (type == QLatin1String("url"))
                ajouterSignet(liens, etape.chemin, nom,
                              noeud.value(QLatin1String("url")).toString(),
                              dateChromium(noeud.value(QLatin1String("date_added"))));
        }
    }
}

} // namespace

TableLiens analyserChromium(QByteArray octets, const QString &fichier)
{
    QJsonParseError erreur;
    QJsonDocument document = QJsonDocument::fromJson(octets, &erreur);
    octets = QByteArray(); // the document holds all that is needed
    const QJsonValue racines = document.object().value(QLatin1String("roots"));
    document = QJsonDocument();
    if (erreur.error != QJsonParseError::NoError || !racines.isObject())
        throw ErreurSource::endommage(fichier);
    TableLiens liens;
    const QJsonObject objet = racines.toObject();
    for (auto it = objet.begin(); it != objet.end(); ++it) {
        const QJsonObject racine = it.value().toObject();
        if (racine.value(QLatin1String("type")).toString() == QLatin1String("folder"))
            parcourir(racine, titreDossier(nomRacine(it.key(), racine)), liens);
    }
    return liens;
}

TableLiens lireChromium(const QString &fichier)
{
    return analyserChromium(lireFichierEntier(fichier, tailleMaxSignets), fichier);
}
