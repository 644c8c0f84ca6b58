#include "browser/pages_demarrage_profils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace
{

// Real profiles keep these files well under these sizes; anything larger is refused unread.
constexpr qint64 tailleMaxPrefsFirefox = 16 * 1024 * 1024;
constexpr qint64 tailleMaxPreferences = 16 * 1024 * 1024;

bool existe(const QString &chemin)
{
    const QFileInfo info(chemin);
    return info.exists() || info.isSymLink();
}

// The file's bytes; an absent file reads as empty, one that cannot be read as nullopt.
std::optional<QByteArray> lireSiPresent(const QString &chemin, qint64 maximum)
{
    return existe(chemin) ? lireFichierBorne(chemin, maximum) : std::optional(QByteArray());
}

bool remplacer(const QString &chemin, const QByteArray &octets)
{
    QSaveFile fichier(chemin);
    return fichier.open(QIODevice::WriteOnly) && fichier.write(octets) == octets.size() &&
           fichier.commit();
}

QByteArray litteralJs(const QString &texte)
{
    QByteArray octets = texte.toUtf8();
    octets.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + octets + '"';
}

// --- Firefox ---------------------------------------------------------------------------------

bool ecrireFirefox(const QString &dossier, const QString &url)
{
    const QString chemin = dossier + QStringLiteral("/user.js");
    const std::optional<QByteArray> ancien = lireSiPresent(chemin, tailleMaxPrefsFirefox);
    if (!ancien)
        return false;
    // Lines are kept as bytes, so that whatever else the file holds comes back untouched.
    static const QRegularExpression notreLigne(
        QStringLiteral(R"(^\s*user_pref\s*\(\s*["']browser\.startup\.(homepage|page)["'])"));
    QByteArray nouveau;
    if (!ancien->isEmpty()) {
        for (const QByteArray &ligne : ancien->split('\n'))
            if (!notreLigne.match(QString::fromLatin1(ligne)).hasMatch())
                nouveau += ligne + '\n';
        nouveau.chop(1); // the split gave one line more than the file has line ends
        if (!nouveau.isEmpty() && !nouveau.endsWith('\n'))
            nouveau += '\n';
    }
    nouveau += "user_pref(\"browser.startup.homepage\", " + litteralJs(url) + ");\n" +
               "user_pref(\"browser.startup.page\", 1);\n";
    return remplacer(chemin, nouveau);
}

// The last value that a prefs file gives the home page, JavaScript escapes undone.
std::optional<QString> accueilDans(const QString &chemin)
{
    const std::optional<QByteArray> octets = lireFichierBorne(chemin, tailleMaxPrefsFirefox);
    if (!octets)
        return std::nullopt;
    static const QRegularExpression pref(QStringLiteral(
        R"(user_pref\s*\(\s*["']browser\.startup\.homepage["']\s*,\s*"((?:[^"\\]|\\.)*)\"\s*\))"));
    std::optional<QString> valeur;
    for (auto m = pref.globalMatch(QString::fromUtf8(*octets)); m.hasNext();) {
        const QString brut = m.next().captured(1);
        QString texte;
        for (qsizetype i = 0; i < brut.size(); ++i) {
            if (brut.at(i) == QLatin1Char('\\') && i + 1 < brut.size()) {
                const QChar c = brut.at(++i);
                if (c == QLatin1Char('u') && i + 4 < brut.size()) {
                    texte += QChar(char16_t(brut.mid(i + 1, 4).toUShort(nullptr, 16)));
                    i += 4;
                } else {
                    texte += c == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : c;
                }
            } else {
                texte += brut.at(i);
            }
        }
        valeur = texte;
    }
    return valeur;
}

QString lireFirefox(const QString &dossier)
{
    std::optional<QString> valeur = accueilDans(dossier + QStringLiteral("/user.js"));
    if (!valeur)
        valeur = accueilDans(dossier + QStringLiteral("/prefs.js"));
    return valeur ? valeur->section(QLatin1Char('|'), 0, 0) : QString();
}

// --- Chromium --------------------------------------------------------------------------------

// A running Chromium rewrites Preferences when it quits. Its SingletonLock is a link to
// "host-pid"; a lock of another host or of a dead process is stale.
bool chromiumEnMarche(const QString &dossierDonnees)
{
    const QByteArray lien = QFile::encodeName(dossierDonnees + QStringLiteral("/SingletonLock"));
    char cible[512];
    const ssize_t n = readlink(lien.constData(), cible, sizeof cible - 1);
    if (n <= 0)
        return false;
    const QString texte = QString::fromUtf8(cible, n);
    const qsizetype tiret = texte.lastIndexOf(QLatin1Char('-'));
    bool nombre = false;
    const qint64 pid = texte.mid(tiret + 1).toLongLong(&nombre);
    if (tiret <= 0 || !nombre || pid <= 0 || texte.left(tiret) != QSysInfo::machineHostName())
        return false;
    return kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

bool ecrireChromium(const QString &dossier, const QString &url)
{
    if (chromiumEnMarche(QFileInfo(dossier).absolutePath()))
        return false;
    const QString chemin = dossier + QStringLiteral("/Preferences");
    const std::optional<QByteArray> ancien = lireSiPresent(chemin, tailleMaxPreferences);
    if (!ancien)
        return false;
    QJsonObject preferences;
    if (!ancien->isEmpty()) {
        const QJsonDocument doc = QJsonDocument::fromJson(*ancien);
        if (!doc.isObject())
            return false;
        preferences = doc.object();
    }
    const QJsonValue session = preferences.value(QStringLiteral("session"));
    if (!session.isUndefined() && !session.isObject())
        return false;
    QJsonObject nouvelleSession = session.toObject();
    nouvelleSession.insert(QStringLiteral("restore_on_startup"), 4);
    nouvelleSession.insert(QStringLiteral("startup_urls"), QJsonArray{url});
    preferences.insert(QStringLiteral("session"), nouvelleSession);
    preferences.insert(QStringLiteral("homepage"), url);
    preferences.insert(QStringLiteral("homepage_is_newtabpage"), false);
    return remplacer(chemin, QJsonDocument(preferences).toJson(QJsonDocument::Compact));
}

QString lireChromium(const QString &dossier)
{
    const std::optional<QByteArray> octets =
        lireFichierBorne(dossier + QStringLiteral("/Preferences"), tailleMaxPreferences);
    if (!octets)
        return QString();
    const QJsonObject session =
        QJsonDocument::fromJson(*octets).object().value(QStringLiteral("session")).toObject();
    if (session.value(QStringLiteral("restore_on_startup")).toInt() != 4)
        return QString();
    return session.value(QStringLiteral("startup_urls")).toArray().at(0).toString();
}

} // namespace

bool ecrirePageDemarrageProfil(const ProfilNavigateur &profil, const QString &url)
{
    return profil.famille == FamilleNavigateur::Firefox ? ecrireFirefox(profil.dossier, url)
                                                        : ecrireChromium(profil.dossier, url);
}

QString lirePageDemarrageProfil(const ProfilNavigateur &profil)
{
    return profil.famille == FamilleNavigateur::Firefox ? lireFirefox(profil.dossier)
                                                        : lireChromium(profil.dossier);
}
