#pragma once

#include "page/page_options.h"

#include <QString>
#include <QStringList>

// What one run of signetor-cli is asked to do, once its command line has been checked.
struct Demande {
    bool aide = false;
    bool version = false;
    bool profils = false;  // list the browser profiles found and their bookmark files
    QString cheminFavoris; // host path, absolute: a folder, or a bookmark file
    QString fichierPage;   // host path, absolute; empty when the page goes to standard output
    QString saisieFavoris, saisiePage; // the same as typed, for the messages
    bool pageDemarrage = false;
    bool signets = false; // write the links as a bookmark file to fichierPage instead of the page
    PageOptions options;
    bool suivre = false;         // --suivre: keep the page in step with the source
    bool unique = false;         // --unique: as the user's one installed watcher
    bool installerSuivi = false; // --installer-suivi: the same, as the user's service
    bool retirerSuivi = false;   // --retirer-suivi: stop and remove that service
};

// A command line that cannot be run. The message says in French what is wrong.
class ErreurSaisie
{
public:
    explicit ErreurSaisie(QString message) : m_message(std::move(message)) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Reads the command line (program name first, as QCoreApplication::arguments() gives it).
// Touches no file; throws ErreurSaisie for bad input.
Demande lireDemande(const QStringList &arguments);

// The command line as program text. Bytes that are not valid in the file-name encoding
// become lone surrogates (U+DC80 to U+DCFF), so that a path holding them can be refused
// rather than read as another name.
QStringList argumentsLigne(int argc, const char *const *argv);

// The options of a page request that differ from the defaults, and its two paths, as host
// text and absolute: the arguments that ask for the same page from anywhere.
QStringList argumentsPage(const Demande &demande);

// The French help text printed by -h and --help.
QString texteAide();

// "signetor-cli 1.0.0", printed by --version.
QString texteVersion();

// One line per browser profile found: browser, profile name and bookmark file (or "(aucun)"
// while the profile has none yet), separated by tabs. Printed by --profils.
QString texteProfils();
