#include "window/lancement.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace
{

void ecrire(std::FILE *flux, const char *utf8)
{
    std::fputs(utf8, flux);
    std::fflush(flux);
}

const char *const sansAffichage =
    "signetor\u00a0: la fenêtre de Signetor a besoin d'un affichage graphique (X11 ou Wayland),\n"
    "et aucun n'est disponible. Sans fenêtre, signetor-cli construit la même page\u00a0:\n"
    "voir signetor-cli --help.\n";

const char *const aide =
    "Usage\u00a0: signetor [--help | --version]\n"
    "\n"
    "Ouvre la fenêtre de Signetor, qui fait des favoris Internet une page HTML.\n"
    "Elle a besoin d'un affichage graphique (X11 ou Wayland)\u00a0; sans affichage,\n"
    "signetor-cli construit la même page (voir signetor-cli --help).\n"
    "\n"
    "Options\u00a0:\n"
    "  --version   affiche la version\n"
    "  -h, --help  affiche cette aide\n";

// Whether Qt has a display to open: one named by the session, or a platform chosen by the
// environment or the command line (offscreen, vnc...), which is then Qt's to check.
bool affichagePossible(int argc, const char *const *argv)
{
    for (const char *variable : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    }
    for (int i = 1; i < argc; ++i) {
        if (QByteArrayView(argv[i]) == "-platform" || QByteArrayView(argv[i]) == "--platform")
            return true;
    }
    return false;
}

QtMessageHandler gestionnairePrecedent = nullptr;

struct MessageRetenu {
    QtMsgType type;
    const char *fichier, *fonction, *categorie; // Qt's static texts
    int ligne;
    QString texte;
};
QList<MessageRetenu> retenus;

// Qt's last word when no platform plugin could start is a fatal message, then abort.
void surMessage(QtMsgType type, const QMessageLogContext &contexte, const QString &message)
{
    if (type == QtFatalMsg) {
        ecrire(stderr, sansAffichage);
        std::_Exit(1);
    }
    retenus.append(
        {type, contexte.file, contexte.function, contexte.category, contexte.line, message});
}

} // namespace

std::optional<int> repondreSansFenetre(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView argument(argv[i]);
        if (argument == "-h" || argument == "--help") {
            ecrire(stdout, aide);
            return 0;
        }
        if (argument == "--version") {
            ecrire(stdout, "signetor " SIGNETOR_VERSION "\n");
            return 0;
        }
    }
    if (affichagePossible(argc, argv))
        return std::nullopt;
    ecrire(stderr, sansAffichage);
    return 1;
}

GardeAffichage::GardeAffichage()
{
    gestionnairePrecedent = qInstallMessageHandler(surMessage);
}

void GardeAffichage::lever()
{
    if (!m_active)
        return;
    m_active = false;
    qInstallMessageHandler(gestionnairePrecedent);
    for (const MessageRetenu &m : std::exchange(retenus, {})) {
        const QMessageLogContext contexte(m.fichier, m.ligne, m.fonction, m.categorie);
        if (gestionnairePrecedent)
            gestionnairePrecedent(m.type, contexte, m.texte);
    }
}
