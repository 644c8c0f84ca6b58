#include "browser/pages_demarrage_profils.h"

#include "platform/file_system.h"
#include "platform/runtime_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
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

// Replaced whole or not at all, keeping its owner, group and mode; a read-only file or a link
// planted by someone else is left alone (platform::AtomicFileWriter).
bool remplacer(const QString &chemin, const QByteArray &octets)
{
    try {
        platform::AtomicFileWriter fichier{platform::HostPath(chemin)};
        fichier.write(octets);
        fichier.commit();
        return true;
    } catch (const platform::RuntimeError &) {
        return false;
    }
}

QByteArray litteralJs(const QString &texte)
{
    QByteArray octets = texte.toUtf8();
    octets.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + octets + '"';
}

// --- Firefox ---------------------------------------------------------------------------------

// Our two preferences live in one marked block at the end of user.js, where the last value
// wins; every other byte of the file is the user's and stays as it is.
const QByteArray debutBloc = "// Signetor : page de démarrage (bloc réécrit par Signetor)\n";
const QByteArray finBloc = "// Signetor : fin du bloc\n";

// The file without our blocks. A block whose end marker is gone is kept: what follows its
// start may be the user's.
QByteArray sansNotreBloc(QByteArray octets)
{
    for (qsizetype debut = 0; (debut = octets.indexOf(debutBloc, debut)) >= 0;) {
        const qsizetype fin = octets.indexOf(finBloc, debut);
        if ((debut > 0 && octets.at(debut - 1) != '\n') || fin < 0) {
            debut += debutBloc.size();
            continue;
        }
        octets.remove(debut, fin + finBloc.size() - debut);
    }
    return octets;
}

bool ecrireFirefox(const QString &dossier, const QString &url)
{
    const QString chemin = dossier + QStringLiteral("/user.js");
    const std::optional<QByteArray> ancien = lireSiPresent(chemin, tailleMaxPrefsFirefox);
    if (!ancien)
        return false;
    QByteArray nouveau = sansNotreBloc(*ancien);
    if (!nouveau.isEmpty() && !nouveau.endsWith('\n'))
        nouveau += '\n';
    nouveau += debutBloc + "user_pref(\"browser.startup.homepage\", " + litteralJs(url) +
               ");\nuser_pref(\"browser.startup.page\", 1);\n" + finBloc;
    return remplacer(chemin, nouveau);
}

// The prefs file's text with each comment ("//", "#", "/* */") turned into one blank, strings
// kept. Built in one pass, so that a file of many comments costs no more than its size.
QString sansCommentaires(const QString &texte)
{
    QString reste;
    reste.reserve(texte.size());
    QChar guillemet; // the quote of the string being read; null outside strings
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const QChar c = texte.at(i);
        if (!guillemet.isNull()) {
            reste += c;
            if (c == QLatin1Char('\\') && i + 1 < texte.size())
                reste += texte.at(++i);
            else if (c == guillemet)
                guillemet = QChar();
            continue;
        }
        const QStringView deux = QStringView(texte).mid(i, 2);
        qsizetype fin; // the comment's last character; a line comment leaves its line end
        if (c == QLatin1Char('#') || deux == u"//") {
            const qsizetype ligne = texte.indexOf(QLatin1Char('\n'), i);
            fin = ligne < 0 ? texte.size() - 1 : ligne - 1;
        } else if (deux == u"/*") {
            const qsizetype etoile = texte.indexOf(QLatin1String("*/"), i + 2);
            fin = etoile < 0 ? texte.size() - 1 : etoile + 1;
        } else {
            if (c == QLatin1Char('"') || c == QLatin1Char('\''))
                guillemet = c;
            reste += c;
            continue;
        }
        reste += QLatin1Char(' ');
        i = fin;
    }
    return reste;
}

QString sansEchappements(const QString &brut)
{
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
    return texte;
}

// The start-up preferences that a prefs file sets, later values over earlier ones: "page" as
// its number, "homepage" as its text.
void prefsDemarrage(const QString &chemin, QMap<QString, QString> &prefs)
{
    const std::optional<QByteArray> octets = lireFichierBorne(chemin, tailleMaxPrefsFirefox);
    if (!octets)
        return;
    static const QRegularExpression pref(
        QStringLiteral(R"re(user_pref\s*\(\s*(["'])browser\.startup\.(homepage|page)\1\s*,\s*)re"
                       R"re((?:"((?:[^"\\]|\\.)*)"|(-?[0-9]+))\s*\))re"));
    for (auto m = pref.globalMatch(sansCommentaires(QString::fromUtf8(*octets))); m.hasNext();) {
        const QRegularExpressionMatch trouve = m.next();
        const QString nombre = trouve.captured(4);
        prefs.insert(trouve.captured(2),
                     nombre.isEmpty() ? sansEchappements(trouve.captured(3)) : nombre);
    }
}

// What Firefox opens: the first home page when browser.startup.page is 1 (its default) and a
// home page is set; nothing for a blank page (0) or the restored session (3). user.js is read
// after prefs.js, so its values win.
QString lireFirefox(const QString &dossier)
{
    QMap<QString, QString> prefs;
    prefsDemarrage(dossier + QStringLiteral("/prefs.js"), prefs);
    prefsDemarrage(dossier + QStringLiteral("/user.js"), prefs);
    if (prefs.value(QStringLiteral("page"), QStringLiteral("1")) != QLatin1String("1"))
        return QString();
    return prefs.value(QStringLiteral("homepage")).section(QLatin1Char('|'), 0, 0);
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
