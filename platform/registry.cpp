#include "platform/registry.h"

#include "platform/windows1252.h"
#include "platform/write_safety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace platform
{

namespace
{

QString dossierAbsolu(const char *variable)
{
    const QString valeur = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(valeur) ? QDir::cleanPath(valeur) : QString();
}

} // namespace

QString userHomeFolder()
{
    return dossierAbsolu("HOME");
}

QString userConfigFolder()
{
    const QString xdg = dossierAbsolu("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return xdg;
    const QString home = userHomeFolder();
    return home.isEmpty() ? QString() : home + QStringLiteral("/.config");
}

namespace
{

// A store this large was not written by us; reading it would cost memory for nothing.
constexpr qint64 tailleMaxMagasin = 1024 * 1024;
// QSettings waits for its lock without end; a lock not free by then makes the store unusable.
constexpr int attenteVerrouMs = 1000;

// The INI file that holds the keys, or empty text when the user has no configuration folder.
QString cheminMagasin()
{
    const QString dossier = userConfigFolder();
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
    // Root writing into a user's configuration leaves what it makes there the user's.
    QStringList crees;
    for (QString dossier = info.absolutePath(); !QFileInfo::exists(dossier);
         dossier = QFileInfo(dossier).absolutePath())
        crees.prepend(dossier);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    for (const QString &dossier : crees)
        giveToFolderOwner(QFile::encodeName(dossier));
    if (info.exists() && !info.isFile())
        return false;
    if (!info.exists()) {
        QFile fichier(chemin);
        if (!fichier.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
    }
    const QFileInfo cree(chemin);
    return cree.isFile() && cree.isReadable() && cree.isWritable() &&
           cree.size() <= tailleMaxMagasin;
}

// True when the lock that QSettings takes to write could be taken now; a lock folder or a
// stale lock that cannot be removed never frees.
bool verrouLibre(const QString &chemin)
{
    QLockFile verrou(chemin + QStringLiteral(".lock"));
    return verrou.tryLock(attenteVerrouMs);
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
    if (chemin.isEmpty() || !magasinUtilisable(chemin) || !verrouLibre(chemin))
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
    giveToFolderOwner(QFile::encodeName(cheminMagasin()));
    return magasin.status() == QSettings::NoError;
}

} // namespace platform
