#include "browser/profils_navigateurs.h"

#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr qint64 tailleMaxIni = 1024 * 1024;
constexpr qint64 tailleMaxEtatLocal = 16 * 1024 * 1024;
constexpr int attenteXdgSettingsMs = 3000;

// An INI file as the browsers write it, sections in file order. QSettings is not used: it
// reads commas as lists and backslashes as escapes, which Path= values may hold.
struct SectionIni {
    QString nom;
    QMap<QString, QString> valeurs;
};

QList<SectionIni> lireIni(const QString &chemin)
{
    QList<SectionIni> sections;
    const std::optional<QByteArray> octets = lireFichierBorne(chemin, tailleMaxIni);
    if (!octets)
        return sections;
    for (const QByteArray &brute : octets->split('\n')) {
        const QString ligne = QString::fromUtf8(brute).trimmed();
        if (ligne.startsWith(QLatin1Char('[')) && ligne.endsWith(QLatin1Char(']'))) {
            sections.append({ligne.mid(1, ligne.size() - 2), {}});
        } else if (const qsizetype egal = ligne.indexOf(QLatin1Char('='));
                   egal > 0 && !sections.isEmpty()) {
            sections.last().valeurs.insert(ligne.left(egal).trimmed(),
                                           ligne.mid(egal + 1).trimmed());
        }
    }
    return sections;
}

QString dossierDuProfil(const QString &racine, const QString &chemin, bool relatif)
{
    if (chemin.isEmpty())
        return QString();
    return QDir::cleanPath(relatif ? racine + QLatin1Char('/') + chemin : chemin);
}

// The profiles of one profiles.ini, the one that installs.ini (or an Install section of
// profiles.ini) names first, then the one marked Default=1, then the others in file order.
QList<ProfilNavigateur> profilsDeRacineFirefox(const QString &racine)
{
    const QList<SectionIni> profils = lireIni(racine + QStringLiteral("/profiles.ini"));
    QStringList parInstallation;
    for (const SectionIni &s : lireIni(racine + QStringLiteral("/installs.ini")) + profils) {
        const QString defaut = s.valeurs.value(QStringLiteral("Default"));
        if (!s.nom.startsWith(QLatin1String("Profile")) && !defaut.isEmpty())
            parInstallation << dossierDuProfil(racine, defaut, !QDir::isAbsolutePath(defaut));
    }
    QList<ProfilNavigateur> trouves;
    QList<int> rangs;
    for (const SectionIni &s : profils) {
        if (!s.nom.startsWith(QLatin1String("Profile")))
            continue;
        const bool relatif = s.valeurs.value(QStringLiteral("IsRelative")) == QLatin1String("1");
        const QString dossier =
            dossierDuProfil(racine, s.valeurs.value(QStringLiteral("Path")), relatif);
        if (dossier.isEmpty() || !QFileInfo(dossier).isDir())
            continue;
        int rang = 2;
        if (!parInstallation.isEmpty() && parInstallation.first() == dossier)
            rang = 0;
        else if (s.valeurs.value(QStringLiteral("Default")) == QLatin1String("1"))
            rang = 1;
        const QString nom = s.valeurs.value(QStringLiteral("Name"), QFileInfo(dossier).fileName());
        trouves.append({FamilleNavigateur::Firefox, QStringLiteral("Firefox"), nom, dossier});
        rangs.append(rang);
    }
    QList<ProfilNavigateur> ranges;
    for (int rang = 0; rang <= 2; ++rang)
        for (qsizetype i = 0; i < trouves.size(); ++i)
            if (rangs.at(i) == rang)
                ranges.append(trouves.at(i));
    return ranges;
}

QStringList racinesFirefox()
{
    const QString home = platform::userHomeFolder();
    const QString config = platform::userConfigFolder();
    QStringList racines;
    if (!home.isEmpty())
        racines << home + QStringLiteral("/.mozilla/firefox");
    if (!config.isEmpty())
        racines << config + QStringLiteral("/mozilla/firefox");
    if (!home.isEmpty())
        racines << home + QStringLiteral("/snap/firefox/common/.mozilla/firefox")
                << home + QStringLiteral("/.var/app/org.mozilla.firefox/.mozilla/firefox")
                << home + QStringLiteral("/.var/app/org.mozilla.firefox/config/mozilla/firefox");
    racines.removeDuplicates();
    return racines;
}

struct RacineChromium {
    QString navigateur;
    QString dossier;
};

QList<RacineChromium> racinesChromium()
{
    const QString home = platform::userHomeFolder();
    const QString config = platform::userConfigFolder();
    QList<RacineChromium> racines;
    const QString chromium = QStringLiteral("Chromium");
    const QString chrome = QStringLiteral("Google Chrome");
    if (!config.isEmpty()) {
        racines.append({chromium, config + QStringLiteral("/chromium")});
        racines.append({chrome, config + QStringLiteral("/google-chrome")});
    }
    if (!home.isEmpty()) {
        racines.append({chromium, home + QStringLiteral("/snap/chromium/common/chromium")});
        racines.append(
            {chromium, home + QStringLiteral("/.var/app/org.chromium.Chromium/config/chromium")});
        racines.append(
            {chrome, home + QStringLiteral("/.var/app/com.google.Chrome/config/google-chrome")});
    }
    return racines;
}

// "Default", then "Profile N" in number order, then the other folders that "Local State"
// names; each with the name that "Local State" gives it.
QList<ProfilNavigateur> profilsDeRacineChromium(const RacineChromium &racine)
{
    const QDir dossier(racine.dossier);
    if (!dossier.exists())
        return {};
    QJsonObject infos;
    if (const auto etat =
            lireFichierBorne(dossier.filePath(QStringLiteral("Local State")), tailleMaxEtatLocal))
        infos = QJsonDocument::fromJson(*etat)
                    .object()
                    .value(QStringLiteral("profile"))
                    .toObject()
                    .value(QStringLiteral("info_cache"))
                    .toObject();

    static const QRegularExpression profilN(QStringLiteral("^Profile ([0-9]+)$"));
    QStringList numerotes = dossier.entryList({QStringLiteral("Profile *")}, QDir::Dirs);
    numerotes.removeIf([](const QString &n) { return !profilN.match(n).hasMatch(); });
    std::sort(numerotes.begin(), numerotes.end(), [](const QString &a, const QString &b) {
        return profilN.match(a).captured(1).toLongLong() <
               profilN.match(b).captured(1).toLongLong();
    });
    QStringList noms = QStringList{QStringLiteral("Default")} + numerotes + infos.keys();
    noms.removeDuplicates();

    QList<ProfilNavigateur> profils;
    for (const QString &nom : noms) {
        if (nom.isEmpty() || nom.contains(QLatin1Char('/')) || nom == QLatin1String(".") ||
            nom == QLatin1String("..") || !QFileInfo(dossier.filePath(nom)).isDir())
            continue;
        const QString affiche =
            infos.value(nom).toObject().value(QStringLiteral("name")).toString(nom);
        profils.append({FamilleNavigateur::Chromium, racine.navigateur, affiche,
                        QDir::cleanPath(dossier.absoluteFilePath(nom))});
    }
    return profils;
}

// The desktop file of the default http handler ("firefox-esr.desktop"), empty when unknown.
QString applicationParDefautMimeapps()
{
    const QString home = platform::userHomeFolder();
    const QString config = platform::userConfigFolder();
    QStringList fichiers;
    if (!config.isEmpty())
        fichiers << config + QStringLiteral("/mimeapps.list");
    if (!home.isEmpty())
        fichiers << home + QStringLiteral("/.local/share/applications/mimeapps.list");
    for (const QString &fichier : fichiers) {
        for (const SectionIni &s : lireIni(fichier)) {
            if (s.nom != QLatin1String("Default Applications"))
                continue;
            const QString valeur = s.valeurs.value(QStringLiteral("x-scheme-handler/http"));
            const QString premiere = valeur.section(QLatin1Char(';'), 0, 0).trimmed();
            if (!premiere.isEmpty())
                return premiere;
        }
    }
    return QString();
}

QString applicationParDefautXdgSettings()
{
    const QString programme = QStandardPaths::findExecutable(QStringLiteral("xdg-settings"));
    if (programme.isEmpty())
        return QString();
    QProcess xdg;
    xdg.setStandardInputFile(QProcess::nullDevice());
    xdg.setStandardErrorFile(QProcess::nullDevice());
    xdg.start(programme, {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    if (!xdg.waitForFinished(attenteXdgSettingsMs)) {
        xdg.kill();
        xdg.waitForFinished(attenteXdgSettingsMs);
        return QString();
    }
    return QString::fromUtf8(xdg.readAllStandardOutput().left(4096)).trimmed();
}

QString navigateurDeApplication(const QString &application)
{
    const QString nom = application.toLower();
    if (nom.contains(QLatin1String("firefox")))
        return QStringLiteral("Firefox");
    if (nom.contains(QLatin1String("chromium")))
        return QStringLiteral("Chromium");
    if (nom.contains(QLatin1String("chrome")))
        return QStringLiteral("Google Chrome");
    return QString();
}

} // namespace

std::optional<QByteArray> lireFichierBorne(const QString &chemin, qint64 maximum)
{
    const int fd =
        open(QFile::encodeName(chemin).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    std::optional<QByteArray> contenu;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= maximum) {
        QByteArray octets(qsizetype(st.st_size), Qt::Uninitialized);
        qsizetype lus = 0;
        // A file that grows while read is cut at the size it had: the cap holds.
        while (lus < octets.size()) {
            const ssize_t n = read(fd, octets.data() + lus, size_t(octets.size() - lus));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            lus += n;
        }
        if (lus == octets.size())
            contenu = octets;
    }
    close(fd);
    return contenu;
}

QList<ProfilNavigateur> profilsFirefox()
{
    QList<ProfilNavigateur> profils;
    QStringList vus;
    for (const QString &racine : racinesFirefox()) {
        for (const ProfilNavigateur &p : profilsDeRacineFirefox(racine)) {
            if (!vus.contains(p.dossier)) {
                vus << p.dossier;
                profils.append(p);
            }
        }
    }
    return profils;
}

QList<ProfilNavigateur> profilsChromium()
{
    QList<ProfilNavigateur> profils;
    for (const RacineChromium &racine : racinesChromium())
        profils += profilsDeRacineChromium(racine);
    return profils;
}

QStringList listesProfilsIllisibles()
{
    QStringList listes;
    for (const QString &racine : racinesFirefox())
        listes << racine + QStringLiteral("/profiles.ini")
               << racine + QStringLiteral("/installs.ini");
    for (const RacineChromium &racine : racinesChromium())
        listes << racine.dossier + QStringLiteral("/Local State");
    listes.removeIf([](const QString &liste) {
        const QFileInfo info(liste);
        return (!info.exists() && !info.isSymLink()) ||
               lireFichierBorne(liste, liste.endsWith(QLatin1String(".ini")) ? tailleMaxIni
                                                                             : tailleMaxEtatLocal);
    });
    return listes;
}

QString navigateurParDefaut()
{
    QString navigateur = navigateurDeApplication(applicationParDefautMimeapps());
    if (navigateur.isEmpty())
        navigateur = navigateurDeApplication(applicationParDefautXdgSettings());
    return navigateur;
}

std::optional<ProfilNavigateur> profilDeReference()
{
    const QList<ProfilNavigateur> firefox = profilsFirefox();
    const QList<ProfilNavigateur> chromium = profilsChromium();
    if (firefox.isEmpty() && chromium.isEmpty())
        return std::nullopt; // no browser to ask the desktop about
    const QString prefere = navigateurParDefaut();
    for (const ProfilNavigateur &p : firefox + chromium)
        if (p.navigateur == prefere)
            return p;
    return firefox.isEmpty() ? chromium.first() : firefox.first();
}

QString favorisDuNavigateurParDefaut()
{
    const std::optional<ProfilNavigateur> profil = profilDeReference();
    if (!profil)
        return QString();
    const QString fichier =
        profil->famille == FamilleNavigateur::Firefox
            ? profil->dossier + QStringLiteral("/places.sqlite")
            : QFileInfo(profil->dossier).absolutePath() + QStringLiteral("/Default/Bookmarks");
    return QFileInfo(fichier).isFile() ? fichier : QString();
}
