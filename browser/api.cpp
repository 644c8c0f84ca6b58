#include "browser/api.h"

#include "platform/registry.h"

namespace
{

const QString cleNavigateur = QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\Main\\");
const QString valeurDemarrage = QStringLiteral("Start Page");

} // namespace

QString Lire_Page_Demarrage()
{
    const auto cle = platform::RegistryKey::createKey(cleNavigateur);
    if (!cle)
        return QString();
    return cle->queryValue(valeurDemarrage).value_or(QString());
}

void Ecrire_Page_Demarrage(const QString &path)
{
    const auto cle = platform::RegistryKey::createKey(cleNavigateur);
    if (cle)
        cle->setValue(valeurDemarrage, path);
}
