#include "real_browsers.h"

#include "test_support.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

namespace navigateursReels
{

namespace
{

constexpr int attenteDemarrageMs = 30000;
constexpr int attenteArretMs = 15000;
constexpr int attenteReponseMs = 15000;

QString executable(const QString &nom)
{
    return QStandardPaths::findExecutable(nom);
}

// Polls until the file that gives the port exists, the process ends, or time runs out.
int attendrePort(const QString &fichier, const QProcess &processus, int attenteMs)
{
    const QDeadlineTimer fin(attenteMs);
    while (!fin.hasExpired() && processus.state() != QProcess::NotRunning) {
        // The browser writes the port as the file's first line once it listens.
        const int port =
            QString::fromUtf8(support::readFile(fichier)).section(u'\n', 0, 0).trimmed().toInt();
        if (port > 0)
            return port;
        QThread::msleep(50);
    }
    return 0;
}

void arreter(QProcess &processus, bool doucement)
{
    if (processus.state() == QProcess::NotRunning)
        return;
    if (doucement)
        processus.terminate();
    if (!doucement || !processus.waitForFinished(attenteArretMs)) {
        processus.kill();
        processus.waitForFinished(attenteArretMs);
    }
}

QString journal(const Maison &maison, const QString &nom)
{
    return maison.home + QLatin1Char('/') + nom + QStringLiteral(".log");
}

} // namespace

Maison Maison::courante()
{
    Maison m;
    m.home = QDir::homePath();
    m.configuration = qEnvironmentVariable("XDG_CONFIG_HOME", m.home + QStringLiteral("/.config"));
    return m;
}

Maison Maison::dans(const QString &home)
{
    return Maison{home, home + QStringLiteral("/.config")};
}

QProcessEnvironment Maison::environnement() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configuration);
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return env;
}

// --- Firefox ---------------------------------------------------------------------------------

Firefox::Firefox(const Maison &maison) : maison_(maison)
{
    processus_.setProcessEnvironment(maison_.environnement());
    processus_.setProcessChannelMode(QProcess::MergedChannels);
    processus_.setStandardOutputFile(journal(maison_, QStringLiteral("firefox")),
                                     QIODevice::Append);
}

Firefox::~Firefox()
{
    if (processus_.state() != QProcess::NotRunning)
        quitter();
}

bool Firefox::echec(const QString &message)
{
    erreur_ = message;
    return false;
}

QString Firefox::dossierProfils() const
{
    return maison_.configuration + QStringLiteral("/mozilla/firefox");
}

QString Firefox::profilParDefaut() const
{
    QSettings installs(dossierProfils() + QStringLiteral("/installs.ini"), QSettings::IniFormat);
    for (const QString &groupe : installs.childGroups()) {
        const QString chemin = installs.value(groupe + QStringLiteral("/Default")).toString();
        if (!chemin.isEmpty())
            return QDir(dossierProfils()).absoluteFilePath(chemin);
    }
    return QString();
}

bool Firefox::creerProfils()
{
    const QString programme = executable(QStringLiteral("firefox-esr"));
    if (programme.isEmpty())
        return echec(QStringLiteral("Firefox ESR introuvable : installer le paquet firefox-esr"));
    const QString capture = maison_.home + QStringLiteral("/premier-demarrage.png");
    processus_.start(programme, {QStringLiteral("--headless"), QStringLiteral("--screenshot"),
                                 capture, QStringLiteral("about:blank")});
    const bool fini = processus_.waitForFinished(attenteDemarrageMs);
    arreter(processus_, false);
    QFile::remove(capture);
    if (!fini || !QFile::exists(dossierProfils() + QStringLiteral("/profiles.ini")))
        return echec(QStringLiteral("le premier démarrage de Firefox n'a pas créé %1 (voir %2)")
                         .arg(dossierProfils(), journal(maison_, QStringLiteral("firefox"))));
    return true;
}

bool Firefox::demarrer(const QString &profilDemande, const QStringList &autresArguments)
{
    const QString programme = executable(QStringLiteral("firefox-esr"));
    if (programme.isEmpty())
        return echec(QStringLiteral("Firefox ESR introuvable : installer le paquet firefox-esr"));
    const QString profil = profilDemande.isEmpty() ? profilParDefaut() : profilDemande;
    if (profil.isEmpty() || !QFileInfo(profil).isDir())
        return echec(QStringLiteral("aucun profil Firefox à démarrer (%1)").arg(profil));

    // Port 0: Marionette picks a free port and writes it into the profile. prefs.js and not
    // user.js, which belongs to the tests.
    const QString fichierPort = profil + QStringLiteral("/MarionetteActivePort");
    QFile::remove(fichierPort);
    QFile prefs(profil + QStringLiteral("/prefs.js"));
    if (!prefs.open(QIODevice::Append) || prefs.write("\nuser_pref(\"marionette.port\", 0);\n") < 0)
        return echec(QStringLiteral("impossible d'écrire %1").arg(prefs.fileName()));
    prefs.close();

    processus_.start(
        programme, QStringList{QStringLiteral("--headless"), QStringLiteral("--marionette"),
                               QStringLiteral("-remote-allow-system-access"),
                               QStringLiteral("--no-remote"), QStringLiteral("--profile"), profil} +
                       autresArguments);
    const int port = attendrePort(fichierPort, processus_, attenteDemarrageMs);
    if (port == 0) {
        arreter(processus_, false);
        return echec(QStringLiteral("Firefox n'a pas ouvert Marionette (voir %1)")
                         .arg(journal(maison_, QStringLiteral("firefox"))));
    }
    connexion_.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    QJsonValue bonjour;
    if (!connexion_.waitForConnected(attenteReponseMs) || !lireMessage(bonjour, attenteReponseMs)) {
        arreter(processus_, false);
        return echec(QStringLiteral("Marionette ne répond pas sur le port %1").arg(port));
    }
    if (commande(QStringLiteral("WebDriver:NewSession")).isEmpty() && !erreur_.isEmpty()) {
        arreter(processus_, false);
        return false;
    }
    return true;
}

bool Firefox::lireMessage(QJsonValue &message, int attenteMs)
{
    const QDeadlineTimer fin(attenteMs);
    for (;;) {
        const qsizetype deuxPoints = tampon_.indexOf(':');
        if (deuxPoints > 0) {
            const qsizetype taille = tampon_.left(deuxPoints).toLongLong();
            if (tampon_.size() >= deuxPoints + 1 + taille) {
                const QByteArray corps = tampon_.mid(deuxPoints + 1, taille);
                tampon_.remove(0, deuxPoints + 1 + taille);
                QJsonParseError e;
                const QJsonDocument doc = QJsonDocument::fromJson(corps, &e);
                message = doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
                return e.error == QJsonParseError::NoError;
            }
        }
        if (fin.hasExpired() || connexion_.state() != QAbstractSocket::ConnectedState)
            return echec(QStringLiteral("Marionette : pas de réponse complète à temps"));
        if (connexion_.waitForReadyRead(int(qMax<qint64>(1, fin.remainingTime()))))
            tampon_ += connexion_.readAll();
    }
}

QJsonObject Firefox::commande(const QString &nom, const QJsonObject &parametres)
{
    erreur_.clear();
    const int numero = ++numero_;
    const QByteArray corps =
        QJsonDocument(QJsonArray{0, numero, nom, parametres}).toJson(QJsonDocument::Compact);
    connexion_.write(QByteArray::number(corps.size()) + ':' + corps);
    if (!connexion_.waitForBytesWritten(attenteReponseMs)) {
        echec(QStringLiteral("Marionette : %1 non envoyé").arg(nom));
        return {};
    }
    QJsonValue reponse;
    while (lireMessage(reponse, attenteReponseMs)) {
        const QJsonArray r = reponse.toArray();
        if (r.size() != 4 || r.at(0).toInt() != 1 || r.at(1).toInt() != numero)
            continue;
        if (!r.at(2).isNull()) {
            echec(QStringLiteral("Marionette : %1 : %2")
                      .arg(nom, QString::fromUtf8(QJsonDocument(r.at(2).toObject()).toJson())));
            return {};
        }
        return r.at(3).toObject();
    }
    return {};
}

QString Firefox::urlCourante()
{
    return commande(QStringLiteral("WebDriver:GetCurrentURL"))
        .value(QStringLiteral("value"))
        .toString();
}

QJsonValue Firefox::executerScript(const QString &script, const QJsonArray &arguments,
                                   Contexte contexte)
{
    const auto choisir = [this](const char *nom) {
        commande(QStringLiteral("Marionette:SetContext"),
                 {{QStringLiteral("value"), QLatin1String(nom)}});
        return erreur_.isEmpty();
    };
    if (contexte == Contexte::Chrome && !choisir("chrome"))
        return QJsonValue();
    const QJsonObject r =
        commande(QStringLiteral("WebDriver:ExecuteScript"),
                 {{QStringLiteral("script"), script}, {QStringLiteral("args"), arguments}});
    const QString erreur = erreur_;
    if (contexte == Contexte::Chrome)
        choisir("content");
    erreur_ = erreur;
    return r.value(QStringLiteral("value"));
}

bool Firefox::quitter()
{
    if (processus_.state() == QProcess::NotRunning)
        return true;
    if (connexion_.state() == QAbstractSocket::ConnectedState)
        commande(QStringLiteral("Marionette:Quit"));
    connexion_.abort();
    tampon_.clear();
    const bool propre = processus_.waitForFinished(attenteArretMs);
    arreter(processus_, false);
    return propre || echec(QStringLiteral("Firefox ne s'est pas arrêté à temps"));
}

// --- Chromium --------------------------------------------------------------------------------

Chromium::Chromium(const Maison &maison) : maison_(maison)
{
    processus_.setProcessChannelMode(QProcess::MergedChannels);
    processus_.setStandardOutputFile(journal(maison_, QStringLiteral("chromium")),
                                     QIODevice::Append);
}

Chromium::~Chromium()
{
    arreter(processus_, true);
    arreter(xvfb_, true);
}

bool Chromium::echec(const QString &message)
{
    erreur_ = message;
    return false;
}

QString Chromium::dossierDonnees() const
{
    return maison_.configuration + QStringLiteral("/chromium");
}

bool Chromium::demarrerXvfb()
{
    if (xvfb_.state() == QProcess::Running)
        return true;
    const QString programme = executable(QStringLiteral("Xvfb"));
    if (programme.isEmpty())
        return echec(QStringLiteral("Xvfb introuvable : installer le paquet xvfb"));
    // -displayfd 1: Xvfb picks a free display and prints its number once it accepts clients.
    xvfb_.start(programme,
                {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                 QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                 QStringLiteral("1280x1024x24")});
    const QDeadlineTimer fin(attenteDemarrageMs);
    QByteArray sortie;
    while (!sortie.contains('\n') && !fin.hasExpired() && xvfb_.state() != QProcess::NotRunning) {
        xvfb_.waitForReadyRead(100);
        sortie += xvfb_.readAllStandardOutput();
    }
    if (!sortie.contains('\n')) {
        arreter(xvfb_, false);
        return echec(QStringLiteral("Xvfb n'a pas démarré"));
    }
    affichage_ = QLatin1Char(':') + QString::fromLatin1(sortie.trimmed());
    return true;
}

bool Chromium::demarrer(const QStringList &autresArguments)
{
    const QString programme = executable(QStringLiteral("chromium"));
    if (programme.isEmpty())
        return echec(QStringLiteral("Chromium introuvable : installer le paquet chromium"));
    if (!demarrerXvfb())
        return false;
    QProcessEnvironment env = maison_.environnement();
    env.insert(QStringLiteral("DISPLAY"), affichage_);
    processus_.setProcessEnvironment(env);

    const QString fichierPort = dossierDonnees() + QStringLiteral("/DevToolsActivePort");
    QFile::remove(fichierPort);
    processus_.start(programme,
                     QStringList{QStringLiteral("--no-sandbox"), QStringLiteral("--no-first-run"),
                                 QStringLiteral("--no-default-browser-check"),
                                 QStringLiteral("--disable-background-networking"),
                                 QStringLiteral("--disable-component-update"),
                                 QStringLiteral("--disable-sync"), QStringLiteral("--disable-gpu"),
                                 QStringLiteral("--password-store=basic"),
                                 QStringLiteral("--remote-debugging-port=0")} +
                         autresArguments);
    port_ = attendrePort(fichierPort, processus_, attenteDemarrageMs);
    cheminNavigateur_ = QString::fromUtf8(support::readFile(fichierPort)).section(u'\n', 1, 1);
    if (port_ == 0) {
        arreter(processus_, false);
        return echec(QStringLiteral("Chromium n'a pas ouvert son port de débogage (voir %1)")
                         .arg(journal(maison_, QStringLiteral("chromium"))));
    }
    return true;
}

bool Chromium::creerProfils()
{
    // Chromium writes Default/Preferences on its way out.
    if (!demarrer() || !quitter())
        return false;
    if (!QFile::exists(dossierDonnees() + QStringLiteral("/Default/Preferences")))
        return echec(
            QStringLiteral("Chromium n'a pas créé %1/Default/Preferences").arg(dossierDonnees()));
    return true;
}

QJsonArray Chromium::pages()
{
    QTcpSocket connexion;
    connexion.connectToHost(QStringLiteral("127.0.0.1"), quint16(port_));
    if (!connexion.waitForConnected(attenteReponseMs)) {
        echec(QStringLiteral("Chromium ne répond pas sur le port %1").arg(port_));
        return {};
    }
    connexion.write("GET /json/list HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    // Chromium keeps the connection open in spite of "Connection: close": Content-Length
    // tells when the answer is whole.
    const QDeadlineTimer fin(attenteReponseMs);
    QByteArray reponse;
    qsizetype attendu = -1;
    while (!fin.hasExpired() && connexion.state() == QAbstractSocket::ConnectedState) {
        connexion.waitForReadyRead(100);
        reponse += connexion.readAll();
        const qsizetype corps = reponse.indexOf("\r\n\r\n");
        if (corps >= 0 && attendu < 0) {
            const QByteArray entete = reponse.left(corps).toLower();
            const qsizetype cle = entete.indexOf("content-length:");
            if (cle >= 0)
                attendu =
                    corps + 4 + entete.mid(cle + 15).split('\r').first().trimmed().toLongLong();
        }
        if (attendu >= 0 && reponse.size() >= attendu)
            break;
    }
    reponse += connexion.readAll();
    const QJsonDocument doc = QJsonDocument::fromJson(reponse.mid(reponse.indexOf("\r\n\r\n") + 4));
    if (!doc.isArray())
        echec(QStringLiteral("/json/list illisible : %1").arg(QString::fromUtf8(reponse)));
    return doc.array();
}

bool Chromium::attendreUrl(const QString &url, int attenteMs)
{
    const QDeadlineTimer fin(attenteMs);
    QStringList vues;
    do {
        vues.clear();
        for (const QJsonValue &page : pages()) {
            if (page[QStringLiteral("type")].toString() != QLatin1String("page"))
                continue;
            vues << page[QStringLiteral("url")].toString();
            if (vues.last() == url)
                return true;
        }
        QThread::msleep(100);
    } while (!fin.hasExpired());
    return echec(QStringLiteral("Chromium n'a pas ouvert %1 ; pages : %2")
                     .arg(url, vues.join(QStringLiteral(", "))));
}

// The DevTools protocol speaks over a WebSocket: one text frame out (masked, as a client's
// must be), frames in until the answer with our id.
QJsonObject Chromium::commande(const QString &methode, const QJsonObject &parametres,
                               const QString &page)
{
    erreur_.clear();
    const QByteArray chemin =
        (page.isEmpty() ? cheminNavigateur_ : QStringLiteral("/devtools/page/") + page).toUtf8();
    QTcpSocket connexion;
    connexion.connectToHost(QStringLiteral("127.0.0.1"), quint16(port_));
    if (!connexion.waitForConnected(attenteReponseMs)) {
        echec(QStringLiteral("Chromium ne répond pas sur le port %1").arg(port_));
        return {};
    }
    connexion.write("GET " + chemin +
                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                    "Connection: Upgrade\r\nSec-WebSocket-Key: c2lnbmV0b3Itbm9uY2UxMg==\r\n"
                    "Sec-WebSocket-Version: 13\r\n\r\n");
    connexion.waitForBytesWritten(attenteReponseMs);
    const QDeadlineTimer fin(attenteReponseMs);
    QByteArray recu;
    const auto lire = [&](qsizetype taille) {
        while (recu.size() < taille && !fin.hasExpired()) {
            if (connexion.bytesAvailable() > 0 || connexion.waitForReadyRead(100))
                recu += connexion.readAll();
            else if (connexion.state() != QAbstractSocket::ConnectedState)
                break;
        }
        return recu.size() >= taille;
    };
    qsizetype finEntete = -1;
    while ((finEntete = recu.indexOf("\r\n\r\n")) < 0 && lire(recu.size() + 1)) {
    }
    if (finEntete < 0 || !recu.startsWith("HTTP/1.1 101")) {
        echec(QStringLiteral("DevTools refuse la connexion à %1 : %2")
                  .arg(QString::fromUtf8(chemin), QString::fromUtf8(recu.left(300))));
        return {};
    }
    recu.remove(0, finEntete + 4);

    const int numero = ++numero_;
    const QByteArray message = QJsonDocument(QJsonObject{{QStringLiteral("id"), numero},
                                                         {QStringLiteral("method"), methode},
                                                         {QStringLiteral("params"), parametres}})
                                   .toJson(QJsonDocument::Compact);
    QByteArray trame(1, char(0x81));
    if (message.size() < 126) {
        trame += char(0x80 | message.size());
    } else {
        trame += char(0x80 | 127);
        for (int decalage = 56; decalage >= 0; decalage -= 8)
            trame += char((quint64(message.size()) >> decalage) & 0xff);
    }
    const char masque[4] = {0x12, 0x34, 0x56, 0x78};
    trame.append(masque, 4);
    for (qsizetype i = 0; i < message.size(); ++i)
        trame += char(message.at(i) ^ masque[i % 4]);
    connexion.write(trame);
    connexion.waitForBytesWritten(attenteReponseMs);

    QByteArray texte;
    while (lire(2)) {
        const bool derniere = quint8(recu.at(0)) & 0x80;
        qsizetype taille = quint8(recu.at(1)) & 0x7f, entete = 2;
        if (taille >= 126) {
            const int octets = taille == 126 ? 2 : 8;
            if (!lire(2 + octets))
                break;
            taille = 0;
            for (int i = 0; i < octets; ++i)
                taille = (taille << 8) | quint8(recu.at(2 + i));
            entete += octets;
        }
        if (!lire(entete + taille))
            break;
        texte += recu.mid(entete, taille);
        recu.remove(0, entete + taille);
        if (!derniere)
            continue;
        const QJsonObject reponse = QJsonDocument::fromJson(texte).object();
        texte.clear();
        if (reponse.value(QStringLiteral("id")).toInt() != numero)
            continue; // an event
        if (reponse.contains(QStringLiteral("error"))) {
            echec(QStringLiteral("DevTools : %1 : %2")
                      .arg(methode,
                           QString::fromUtf8(
                               QJsonDocument(reponse.value(QStringLiteral("error")).toObject())
                                   .toJson())));
            return {};
        }
        return reponse.value(QStringLiteral("result")).toObject();
    }
    echec(QStringLiteral("DevTools : pas de réponse à %1 à temps").arg(methode));
    return {};
}

bool Chromium::quitter()
{
    if (processus_.state() == QProcess::NotRunning)
        return true;
    // Browser.close closes as the user would, and Chromium then writes all its files (SIGTERM
    // skips some, Bookmarks among them); SIGTERM is the fallback.
    commande(QStringLiteral("Browser.close"));
    bool propre = processus_.waitForFinished(attenteArretMs);
    if (!propre) {
        processus_.terminate();
        propre = processus_.waitForFinished(attenteArretMs);
    }
    arreter(processus_, false);
    return propre || echec(QStringLiteral("Chromium ne s'est pas arrêté à temps"));
}

} // namespace navigateursReels
