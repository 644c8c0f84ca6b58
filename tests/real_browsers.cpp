#include "real_browsers.h"

#include "test_support.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QThread>

using namespace Qt::StringLiterals;

namespace navigateursReels
{

namespace
{

constexpr int attenteMs = 30000;

// Polls the condition until it holds, for at most attenteMs.
template <typename Condition> bool attendre(Condition condition)
{
    for (const QDeadlineTimer fin(attenteMs); !fin.hasExpired(); QThread::msleep(20))
        if (condition())
            return true;
    return false;
}

void tuer(QProcess &processus) // nothing to do when it is not running
{
    processus.kill();
    processus.waitForFinished(attenteMs);
}

} // namespace

Navigateur::Navigateur(const QString &nom)
    : nom_(nom), programme_(QStandardPaths::findExecutable(nom)),
      journal_(QDir::home().filePath(nom + QStringLiteral(".log")))
{
    QProcessEnvironment environnement = QProcessEnvironment::systemEnvironment();
    environnement.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    processus_.setProcessEnvironment(environnement);
    processus_.setProcessChannelMode(QProcess::MergedChannels);
    processus_.setStandardOutputFile(journal_, QIODevice::Append);
}

bool Navigateur::lancer(const QStringList &arguments, const QString &fichierPort)
{
    if (programme_.isEmpty())
        return echec(QStringLiteral("%1 introuvable : installer le paquet %1").arg(nom_));
    port_ = 0;
    QFile::remove(fichierPort);
    processus_.start(programme_, arguments);
    if (!fichierPort.isEmpty())
        attendre([&] {
            port_ = support::readFile(fichierPort).split('\n').first().trimmed().toInt();
            return port_ > 0 || processus_.state() == QProcess::NotRunning;
        });
    if (fichierPort.isEmpty() || port_ > 0)
        return true;
    tuer(processus_);
    return echec(QStringLiteral("%1 n'a pas ouvert son port (voir %2)").arg(nom_, journal_));
}

bool Navigateur::attendreFin()
{
    const bool propre =
        processus_.state() == QProcess::NotRunning || processus_.waitForFinished(attenteMs);
    tuer(processus_);
    return propre || echec(QStringLiteral("%1 ne s'est pas arrêté à temps").arg(nom_));
}

// --- Firefox ---------------------------------------------------------------------------------

QString Firefox::profilParDefaut() const
{
    const QDir profils(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/mozilla/firefox"_s);
    const QString chemin = QString::fromUtf8(support::readFile(profils.filePath(u"installs.ini"_s)))
                               .section(u"\nDefault="_s, 1)
                               .section(u'\n', 0, 0);
    return chemin.isEmpty() ? QString() : profils.absoluteFilePath(chemin);
}

bool Firefox::creerProfils()
{
    // A screenshot is a whole first start that ends by itself.
    const QString capture = QDir::home().filePath(QStringLiteral("premier-demarrage.png"));
    if (!lancer({u"--headless"_s, u"--screenshot"_s, capture, u"about:blank"_s}) || !attendreFin())
        return false;
    QFile::remove(capture);
    return !profilParDefaut().isEmpty() ||
           echec(u"le premier démarrage de Firefox n'a pas créé de profil (voir "_s + journal_ +
                 u')');
}

bool Firefox::demarrer(const QString &profilDemande)
{
    // Port 0: Marionette picks a free port and writes it into the profile. prefs.js and not
    // user.js, which belongs to the tests.
    const QString profil = profilDemande.isEmpty() ? profilParDefaut() : profilDemande;
    QFile prefs(profil + QStringLiteral("/prefs.js"));
    if (profil.isEmpty() || !prefs.open(QIODevice::Append) ||
        prefs.write("\nuser_pref(\"marionette.port\", 0);\n") < 0)
        return echec(QStringLiteral("pas de profil Firefox à démarrer (« %1 »)").arg(profil));
    prefs.close();
    if (!lancer({u"--headless"_s, u"--marionette"_s, u"-remote-allow-system-access"_s,
                 u"--no-remote"_s, u"--profile"_s, profil},
                profil + QStringLiteral("/MarionetteActivePort")))
        return false;
    connexion_.connectToHost(QStringLiteral("127.0.0.1"), quint16(port_));
    // Scripts run with the browser's privileges.
    if (connexion_.waitForConnected(attenteMs) && !lireMessage().isUndefined()) {
        commande(QStringLiteral("WebDriver:NewSession"));
        if (erreur_.isEmpty())
            commande(QStringLiteral("Marionette:SetContext"), {{u"value"_s, u"chrome"_s}});
        if (erreur_.isEmpty())
            return true;
    }
    connexion_.abort();
    tuer(processus_);
    return echec(u"Marionette ne répond pas sur le port %1 %2"_s.arg(port_).arg(erreur_));
}

// Marionette's messages are "length:JSON".
QJsonValue Firefox::lireMessage()
{
    qsizetype deuxPoints = 0, taille = 0;
    if (!attendre([&] {
            deuxPoints = tampon_.indexOf(':');
            taille = tampon_.left(deuxPoints).toLongLong();
            if (deuxPoints > 0 && tampon_.size() > deuxPoints + taille)
                return true;
            if (connexion_.waitForReadyRead(20))
                tampon_ += connexion_.readAll();
            return false;
        })) {
        echec(QStringLiteral("Marionette : pas de réponse complète à temps"));
        return QJsonValue::Undefined;
    }
    const QJsonDocument message = QJsonDocument::fromJson(tampon_.mid(deuxPoints + 1, taille));
    tampon_.remove(0, deuxPoints + 1 + taille);
    return message.isArray() ? QJsonValue(message.array()) : QJsonValue(message.object());
}

// The command's value, or an undefined value with erreur() set.
QJsonValue Firefox::commande(const QString &nom, const QJsonObject &parametres)
{
    erreur_.clear();
    const int numero = ++numero_;
    const QByteArray corps =
        QJsonDocument(QJsonArray{0, numero, nom, parametres}).toJson(QJsonDocument::Compact);
    connexion_.write(QByteArray::number(corps.size()) + ':' + corps);
    for (QJsonValue message; !(message = lireMessage()).isUndefined();) {
        const QJsonArray r = message.toArray();
        if (r.size() != 4 || r.at(0) != 1 || r.at(1) != numero)
            continue;
        if (r.at(2).isNull())
            return r.at(3)[QStringLiteral("value")];
        echec(u"Marionette : "_s + nom + u" : "_s +
              QString::fromUtf8(QJsonDocument(r.at(2).toObject()).toJson()));
        break;
    }
    return QJsonValue::Undefined;
}

QJsonValue Firefox::executerScript(const QString &script, const QJsonArray &arguments)
{
    return commande(QStringLiteral("WebDriver:ExecuteScript"),
                    {{u"script"_s, script}, {u"args"_s, arguments}});
}

bool Firefox::quitter()
{
    if (processus_.state() == QProcess::NotRunning)
        return true;
    commande(QStringLiteral("Marionette:Quit"));
    connexion_.abort();
    tampon_.clear();
    return attendreFin();
}

// --- Chromium --------------------------------------------------------------------------------

bool Chromium::demarrer()
{
    // The whole browser, its windows drawn without a display.
    return lancer(QStringLiteral("--ozone-platform=headless --no-sandbox --no-first-run "
                                 "--no-default-browser-check --disable-background-networking "
                                 "--disable-component-update --disable-sync --disable-gpu "
                                 "--password-store=basic --remote-debugging-port=0")
                      .split(u' '),
                  dossierDonnees() + QStringLiteral("/DevToolsActivePort"));
}

bool Chromium::attendreUrl(const QString &url)
{
    QStringList vues;
    return attendre([&] {
               // The list of pages from the debugging port, whole once its JSON parses.
               QTcpSocket connexion;
               connexion.connectToHost(u"127.0.0.1"_s, quint16(port_));
               connexion.write("GET /json/list HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
               QJsonDocument liste;
               for (QByteArray r; liste.isNull() && connexion.waitForReadyRead(attenteMs);) {
                   r += connexion.readAll();
                   liste = QJsonDocument::fromJson(r.mid(r.indexOf("\r\n\r\n")));
               }
               vues.clear();
               for (const QJsonValue &page : liste.array())
                   vues << page[QStringLiteral("url")].toString();
               return vues.contains(url);
           }) ||
           echec(u"Chromium n'a pas ouvert %1 ; pages : %2"_s.arg(url, vues.join(u", ")));
}

bool Chromium::quitter()
{
    processus_.terminate(); // Chromium then closes its windows and writes all its files
    return attendreFin();
}

} // namespace navigateursReels
