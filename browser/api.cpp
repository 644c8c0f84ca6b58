#include "browser/api.h"

#include "browser/pages_demarrage_profils.h"
#include "platform/paths.h"
#include "platform/registry.h"

#include <QDir>
#include <QUrl>

namespace
{

const QString cleNavigateur = QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\Main\\");
const QString valeurDemarrage = QStringLiteral("Start Page");

QString lireMagasin()
{
    const auto cle = platform::RegistryKey::createKey(cleNavigateur);
    if (!cle)
        return QString();
    return cle->queryValue(valeurDemarrage).value_or(QString());
}

// A file:// URL as the program path of its file; any other URL as it is.
QString commeCheminProgramme(const QString &url)
{
    const QUrl lu(url);
    return lu.isLocalFile() ? platform::toProgramPath(lu.toLocalFile()) : url;
}

} // namespace

QString Lire_Page_Demarrage()
{
    // The store stands in only where no browser is found: an empty value is the browser's
    // own choice (its New Tab page, the restored session, a blank page).
    if (const auto profil = profilDeReference())
        return commeCheminProgramme(lirePageDemarrageProfil(*profil));
    return lireMagasin();
}

QList<ProfilNavigateur> Ecrire_Page_Demarrage(const QString &path)
{
    if (const auto cle = platform::RegistryKey::createKey(cleNavigateur))
        cle->setValue(valeurDemarrage, path);

    // Only a path that names a file of this host becomes a browser's start page.
    const std::optional<QString> fichier = platform::toHostPath(path);
    if (!fichier || !QDir::isAbsolutePath(*fichier))
        return {};
    const QString url = QUrl::fromLocalFile(*fichier).toString(QUrl::FullyEncoded);
    QList<ProfilNavigateur> nonEcrits;
    for (const ProfilNavigateur &profil : profilsFirefox() + profilsChromium())
        if (!ecrirePageDemarrageProfil(profil, url))
            nonEcrits.append(profil);
    return nonEcrits;
}
