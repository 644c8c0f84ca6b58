#include "real_browsers.h"

#include "test_support.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

namespace navigateursReels
{

namespace
{

constexpr int attenteMs = 30000;

void tuer(QProcess &processus)
{
    if (processus.state() != QProcess::NotRunning) {
        processus.kill();
        processus.waitForFinished(attenteMs);
    }
}

} // namespace

// --- What both browsers share ----------------------------------------------------------------

Navigateur::Navigateur(const QString &nom)
    : nom_(nom), programme_(QStandardPaths::findExecutable(nom)),
      journal_(QDir::home().filePath(nom + QStringLiteral(".log"))),
      environnement_(QProcessEnvironment::systemEnvironment())
{
    environnement_.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    processus_.setProcessChannelMode(QProcess::MergedChannels);
    processus_.setStandardOutputFile(journal_, QIODevice::Append);
}

// Starts the browser; with a port file, waits for the browser to write there, as the first
// line, the port it listens on.
bool Navigateur::lancer(const QStringList &arguments, const QString &fichierPort)
{
    if (programme_.isEmpty())
        return echec(QStringLiteral("%1 introuvable : installer le paquet %1").arg(nom_));
    port_ = 0;
    if (!fichierPort.isEmpty())
        QFile::remove(fichierPort);
    processus_.setProcessEnvironment(environnement_);
    processus_.start(programme_, arguments);
    if (fichierPort.isEmpty())
        return true;
    for (const QDeadlineTimer fin(attenteMs);
         port_ <= 0 && !fin.hasExpired() && processus_.state() != QProcess::NotRunning;
         QThread::msleep(50))
        port_ = support::readFile(fichierPort).split('\n').first().trimmed().toInt();
    if (port_ > 0)
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
    const QDir profils(qEnvironmentVariable("XDG_CONFIG_HOME") +
                       QStringLiteral("/mozilla/firefox"));
    QSettings installs(profils.filePath(QStringLiteral("installs.ini")), QSettings::IniFormat);
    for (const QString &groupe : installs.childGroups()) {
        const QString chemin = installs.value(groupe + QStringLiteral("/Default")).toString();
        if (!chemin.isEmpty())
            return profils.absoluteFilePath(chemin);
    }
    return QString();
}

bool Firefox::creerProfils()
{
    // A screenshot is a whole first start that ends by itself.
    const QString capture = QDir::home().filePath(QStringLiteral("premier-demarrage.png"));
    if (!lancer({QStringLiteral("--headless"), QStringLiteral("--screenshot"), capture,
                 QStringLiteral("about:blank")}) ||
        !attendreFin())
        return false;
    QFile::remove(capture);
    return !profilParDefaut().isEmpty() ||
           echec(QStringLiteral("le premier démarrage de Firefox n'a pas créé de profil (voir %1)")
                     .arg(journal_));
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
    if (!lancer({QStringLiteral("--headless"), QStringLiteral("--marionette"),
                 QStringLiteral("-remote-allow-system-access"), QStringLiteral("--no-remote"),
                 QStringLiteral("--profile"), profil},
                profil + QStringLiteral("/MarionetteActivePort")))
        return false;
    connexion_.connectToHost(QStringLiteral("127.0.0.1"), quint16(port_));
    QJsonDocument bonjour;
    if (connexion_.waitForConnected(attenteMs) && lireMessage(bonjour)) {
        // Scripts run with the browser's privileges.
        commande(QStringLiteral("WebDriver:NewSession"));
        if (erreur_.isEmpty())
            commande(QStringLiteral("Marionette:SetContext"),
                     {{QStringLiteral("value"), QStringLiteral("chrome")}});
        if (erreur_.isEmpty())
            return true;
    }
    const QString erreur = erreur_;
    connexion_.abort();
    tuer(processus_);
    return echec(
        QStringLiteral("Marionette ne répond pas sur le port %1 %2").arg(port_).arg(erreur));
}

// Marionette's messages are "length:JSON".
bool Firefox::lireMessage(QJsonDocument &message)
{
    const QDeadlineTimer fin(attenteMs);
    for (;;) {
        const qsizetype deuxPoints = tampon_.indexOf(':');
        const qsizetype taille = tampon_.left(deuxPoints).toLongLong();
        if (deuxPoints > 0 && tampon_.size() > deuxPoints + taille) {
            message = QJsonDocument::fromJson(tampon_.mid(deuxPoints + 1, taille));
            tampon_.remove(0, deuxPoints + 1 + taille);
            return true;
        }
        if (fin.hasExpired() ||
            !connexion_.waitForReadyRead(int(qMax<qint64>(1, fin.remainingTime()))))
            return echec(QStringLiteral("Marionette : pas de réponse complète à temps"));
        tampon_ += connexion_.readAll();
    }
}

// The command's value, or an undefined value with erreur() set.
QJsonValue Firefox::commande(const QString &nom, const QJsonObject &parametres)
{
    erreur_.clear();
    const int numero = ++numero_;
    const QByteArray corps =
        QJsonDocument(QJsonArray{0, numero, nom, parametres}).toJson(QJsonDocument::Compact);
    connexion_.write(QByteArray::number(corps.size()) + ':' + corps);
    QJsonDocument reponse;
    while (lireMessage(reponse)) {
        const QJsonArray r = reponse.array();
        if (r.size() != 4 || r.at(0) != 1 || r.at(1) != numero)
            continue;
        if (!r.at(2).isNull()) {
            echec(QStringLiteral("Marionette : %1 : %2")
                      .arg(nom, QString::fromUtf8(QJsonDocument(r.at(2).toObject()).toJson())));
            return QJsonValue::Undefined;
        }
        return r.at(3).toObject().value(QStringLiteral("value"));
    }
    return QJsonValue::Undefined;
}

QJsonValue Firefox::executerScript(const QString &script, const QJsonArray &arguments)
{
    return commande(QStringLiteral("WebDriver:ExecuteScript"),
                    {{QStringLiteral("script"), script}, {QStringLiteral("args"), arguments}});
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

Chromium::~Chromium()
{
    tuer(processus_);
    tuer(xvfb_);
}

bool Chromium::demarrer()
{
    if (xvfb_.state() == QProcess::NotRunning) {
        // -displayfd 1: Xvfb picks a free display and prints its number once it accepts clients.
        xvfb_.start(QStringLiteral("Xvfb"),
                    QStringLiteral("-displayfd 1 -nolisten tcp").split(u' '));
        QByteArray affichage;
        for (const QDeadlineTimer fin(attenteMs); !affichage.contains('\n') && !fin.hasExpired() &&
                                                  xvfb_.state() != QProcess::NotRunning;
             xvfb_.waitForReadyRead(100))
            affichage += xvfb_.readAllStandardOutput();
        if (!affichage.contains('\n')) {
            tuer(xvfb_);
            return echec(QStringLiteral("Xvfb n'a pas démarré : installer le paquet xvfb"));
        }
        environnement_.insert(QStringLiteral("DISPLAY"),
                              QLatin1Char(':') + QString::fromLatin1(affichage.trimmed()));
    }
    return lancer(QStringLiteral("--no-sandbox --no-first-run --no-default-browser-check "
                                 "--disable-background-networking --disable-component-update "
                                 "--disable-sync --disable-gpu --password-store=basic "
                                 "--remote-debugging-port=0")
                      .split(u' '),
                  dossierDonnees() + QStringLiteral("/DevToolsActivePort"));
}

QByteArray Chromium::demander(const QByteArray &chemin)
{
    QNetworkAccessManager acces;
    acces.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest requete(
        QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port_) + QString::fromLatin1(chemin)));
    requete.setTransferTimeout(attenteMs);
    QNetworkReply *reponse = acces.get(requete);
    QEventLoop boucle;
    QObject::connect(reponse, &QNetworkReply::finished, &boucle, &QEventLoop::quit);
    boucle.exec();
    if (reponse->error() != QNetworkReply::NoError)
        echec(QStringLiteral("Chromium : %1 : %2")
                  .arg(QString::fromLatin1(chemin), reponse->errorString()));
    return reponse->readAll();
}

bool Chromium::attendreUrl(const QString &url)
{
    QStringList vues;
    for (const QDeadlineTimer fin(attenteMs); !fin.hasExpired(); QThread::msleep(100)) {
        vues.clear();
        for (const QJsonValue &page : QJsonDocument::fromJson(demander("/json/list")).array())
            vues << page[QStringLiteral("url")].toString();
        if (vues.contains(url))
            return true;
    }
    return echec(QStringLiteral("Chromium n'a pas ouvert %1 ; pages : %2")
                     .arg(url, vues.join(QStringLiteral(", "))));
}

bool Chromium::quitter()
{
    if (processus_.state() == QProcess::NotRunning)
        return true;
    for (const QJsonValue &page : QJsonDocument::fromJson(demander("/json/list")).array()) {
        if (page[QStringLiteral("type")] == QStringLiteral("page"))
            demander("/json/close/" + page[QStringLiteral("id")].toString().toLatin1());
    }
    if (!processus_.waitForFinished(attenteMs))
        processus_.terminate(); // a page that would not close
    return attendreFin();
}

} // namespace navigateursReels
