#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpSocket>

#include <memory>

// The real Debian browsers, driven by tests. They run in the test process's HOME (already a
// private temporary folder, see test_support.cpp) unless another one is given, with their
// settings under $XDG_CONFIG_HOME like a browser on a fresh desktop. Every wait is bounded.
// A call that fails returns false (or an empty value) and leaves the reason in erreur(), so
// that a test can QVERIFY2(appel, qPrintable(navigateur.erreur())): a missing browser fails
// the test, it never skips it. A test links it with signetor_add_test(... REAL_BROWSERS).
namespace navigateursReels
{

// The environment of a browser run: HOME and XDG_CONFIG_HOME. By default those of this process.
struct Maison {
    QString home;
    QString configuration;
    static Maison courante();
    static Maison dans(const QString &home); // with configuration = home/.config
    QProcessEnvironment environnement() const;
};

// Firefox ESR, headless, driven through Marionette.
class Firefox
{
public:
    enum class Contexte { Contenu, Chrome };

    explicit Firefox(const Maison &maison = Maison::courante());
    ~Firefox();

    // A first start, as a new user's: Firefox makes profiles.ini, installs.ini and its profiles.
    bool creerProfils();
    // The folder of profiles.ini, and the profile that installs.ini names (empty when none).
    QString dossierProfils() const;
    QString profilParDefaut() const;

    // Starts Firefox on this profile folder (default: profilParDefaut()) and opens a session.
    bool demarrer(const QString &profil = QString(), const QStringList &autresArguments = {});
    QString urlCourante();
    // Runs a script in the page or, with Contexte::Chrome, with the browser's own privileges.
    QJsonValue executerScript(const QString &script, const QJsonArray &arguments = {},
                              Contexte contexte = Contexte::Contenu);
    // Any Marionette command; its result object, or an empty object with erreur() set.
    QJsonObject commande(const QString &nom, const QJsonObject &parametres = {});
    // Quits cleanly (Firefox then writes its files), killing it after a bounded wait.
    bool quitter();

    QString erreur() const { return erreur_; }

private:
    bool echec(const QString &message);
    bool lireMessage(QJsonValue &message, int attenteMs);

    Maison maison_;
    QProcess processus_;
    QTcpSocket connexion_;
    QByteArray tampon_;
    int numero_ = 0;
    QString erreur_;
};

// Chromium under a private Xvfb, asked through --remote-debugging-port.
class Chromium
{
public:
    explicit Chromium(const Maison &maison = Maison::courante());
    ~Chromium();

    // A first start and a clean quit: Chromium makes "Local State" and Default/Preferences.
    bool creerProfils();
    QString dossierDonnees() const; // $XDG_CONFIG_HOME/chromium

    bool demarrer(const QStringList &autresArguments = {});
    // The pages that /json/list gives (each with "url", "title", "type"...).
    QJsonArray pages();
    // Waits until a page of type "page" shows this URL; false (erreur() lists what was seen)
    // when none does in time.
    bool attendreUrl(const QString &url, int attenteMs = 10000);
    // A DevTools protocol command ("Target.createTarget", "Runtime.evaluate"...) sent to the
    // page with this id (from pages()), or to the browser itself when none is given; the
    // command's result, or an empty object with erreur() set.
    QJsonObject commande(const QString &methode, const QJsonObject &parametres = {},
                         const QString &page = QString());
    // Quits cleanly (Browser.close, else SIGTERM), so that Chromium writes its files.
    bool quitter();

    QString erreur() const { return erreur_; }

private:
    bool echec(const QString &message);
    bool demarrerXvfb();

    Maison maison_;
    QProcess xvfb_;
    QString affichage_;
    QProcess processus_;
    int port_ = 0;
    QString cheminNavigateur_; // the browser's own DevTools endpoint
    int numero_ = 0;
    QString erreur_;
};

} // namespace navigateursReels
