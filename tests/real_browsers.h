#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>

// The real Debian browsers, driven by tests. They run in the test process's HOME and XDG
// folders (already private and temporary, see test_support.cpp), like a browser on a fresh
// desktop. Every wait is bounded. A call that fails returns false (or an empty value) and
// leaves the reason in erreur(), so that a test can QVERIFY2(appel, qPrintable(b.erreur())):
// a missing browser fails the test, it never skips it. A test links it with
// signetor_add_test(... REAL_BROWSERS).
namespace navigateursReels
{

// What both browsers share: their process, its log, and their start.
class Navigateur
{
public:
    QString erreur() const { return erreur_; }

protected:
    explicit Navigateur(const QString &nom);
    // With a port file, waits for the browser to write there the port it listens on.
    bool lancer(const QStringList &arguments, const QString &fichierPort = QString());
    bool attendreFin(); // after a clean request; kills the process should it not end
    bool echec(const QString &message)
    {
        erreur_ = message;
        return false;
    }

    const QString nom_, programme_, journal_;
    QProcess processus_;
    int port_ = 0;
    QString erreur_;
};

// Firefox ESR, headless, driven through Marionette.
class Firefox : public Navigateur
{
public:
    Firefox() : Navigateur(QStringLiteral("firefox-esr")) {}
    ~Firefox() { quitter(); }

    // A first start, as a new user's: Firefox makes profiles.ini, installs.ini and its profiles.
    bool creerProfils();
    // The profile that installs.ini names (empty when none).
    QString profilParDefaut() const;
    // Starts Firefox on this profile folder (default: profilParDefaut()) and opens a session.
    bool demarrer(const QString &profil = QString());
    // Runs a script with the browser's own privileges; its result.
    QJsonValue executerScript(const QString &script, const QJsonArray &arguments = {});
    // Quits cleanly (Firefox then writes its files), killing it after a bounded wait.
    bool quitter();

private:
    QJsonValue commande(const QString &nom, const QJsonObject &parametres = {});
    QJsonValue lireMessage(); // undefined after a bounded wait

    QTcpSocket connexion_;
    QByteArray tampon_;
    int numero_ = 0;
};

// Chromium, its windows drawn without a display, watched through --remote-debugging-port.
class Chromium : public Navigateur
{
public:
    Chromium() : Navigateur(QStringLiteral("chromium")) {}
    ~Chromium() { quitter(); }

    QString dossierDonnees() const
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/chromium");
    }
    bool demarrer();
    // Waits until a page shows this URL; false (erreur() lists what was seen) when none does.
    bool attendreUrl(const QString &url);
    // Quits as on a session's end: Chromium then writes all its files.
    bool quitter();
};

} // namespace navigateursReels
