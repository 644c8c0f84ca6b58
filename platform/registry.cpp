#include "platform/registry.h"

#include "platform/windows1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace platform
{

namespace
{

// The INI file that holds the keys, or empty text when the user has no configuration folder.
QString cheminMagasin()
{
    const QString dossier = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (dossier.isEmpty())
        return QString();
    return dossier + QStringLiteral("/Signetor/registre.ini");
}

// "\Software\Microsoft\Internet Explorer\Main\" as the settings group
// "Software/Microsoft/Internet Explorer/Main".
QString groupeDeCle(const QString &subKey)
{
    return subKey.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

// Makes sure that the store's file exists as a plain file that can be read and written.
// A FIFO or a folder in its place is refused rather than opened, so nothing can block.
bool magasinUtilisable(const QString &chemin)
{
    const QFileInfo info(chemin);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    if (info.exists() && !info.isFile())
        return false;
    if (!info.exists()) {
        QFile fichier(chemin);
        if (!fichier.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
    }
    const QFileInfo cree(chemin);
    return cree.isFile() && cree.isReadable() && cree.isWritable();
}

// A value that is not a single string (a list, raw bytes, a number written by hand) is read
// as the nearest text.
QString commeTexte(const QVariant &valeur)
{
    switch (valeur.typeId()) {
    case QMetaType::QStringList:
        return valeur.toStringList().join(QStringLiteral(", "));
    case QMetaType::QByteArray:
        return decodeWindows1252(valeur.toByteArray());
    default:
        return valeur.toString();
    }
}

} // namespace

std::optional<RegistryKey> RegistryKey::createKey(const QString &subKey)
{
    const QString chemin = cheminMagasin();
    if (chemin.isEmpty() || !magasinUtilisable(chemin))
        return std::nullopt;
    const QSettings magasin(chemin, QSettings::IniFormat);
    if (magasin.status() != QSettings::NoError)
        return std::nullopt;
    return RegistryKey(groupeDeCle(subKey));
}

std::optional<QString> RegistryKey::queryValue(const QString &name) const
{
    const QSettings magasin(cheminMagasin(), QSettings::IniFormat);
    const QString cle = m_group + QLatin1Char('/') + name;
    if (magasin.status() != QSettings::NoError || !magasin.contains(cle))
        return std::nullopt;
    return commeTexte(magasin.value(cle));
}

bool RegistryKey::setValue(const QString &name, const QString &data) const
{
    QSettings magasin(cheminMagasin(), QSettings::IniFormat);
    if (magasin.status() != QSettings::NoError)
        return false;
    magasin.setValue(m_group + QLatin1Char('/') + name, data);
    magasin.sync();
    return magasin.status() == QSettings::NoError;
}

} // namespace platform
