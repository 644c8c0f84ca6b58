#include "cli/cli_arguments.h"
#include "cli/service_suivi.h"
#include "cli/suivi.h"

#include "browser/api.h"
#include "favourites/export_signets.h"
#include "favourites/source.h"
#include "favourites/source_error.h"
#include "page/page_builder.h"
#include "page/page_file.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/runtime_error.h"
#include "platform/termination_signals.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <new>

namespace
{

void ecrire(std::FILE *flux, const QString &texte)
{
    const QByteArray octets = texte.toLocal8Bit();
    std::fwrite(octets.constData(), 1, size_t(octets.size()), flux);
    std::fflush(flux);
}

void ecrireSortieStandard(const QByteArray &octets)
{
    errno = 0;
    const size_t ecrits = std::fwrite(octets.constData(), 1, size_t(octets.size()), stdout);
    if (ecrits != size_t(octets.size()) || std::fflush(stdout) != 0)
        throw platform::RuntimeError::fromErrno(errno);
}

// Bad input, a favourites file that cannot be read included: a French message, exit status 2,
// nothing written.
int refuser(const QString &message)
{
    ecrire(stderr, QStringLiteral("signetor-cli : %1\n").arg(message) +
                       QString::fromUtf8("Pour l'aide : signetor-cli --help\n"));
    return 2;
}

// The links of the favourites, written as a bookmark file.
void produireSignets(const Demande &demande)
{
    Source source = lireSource(demande.cheminFavoris, DatesLiens::Lues);
    if (demande.fichierPage.isEmpty())
        genererSignets(std::move(source.liens), ecrireSortieStandard);
    else
        ecrireSignets(demande.fichierPage, std::move(source.liens));
}

// Reads the favourites, builds and writes the page exactly as the window's save command does,
// as it is generated. A termination signal during the write ends the run with the former page
// whole and no temporary file left.
void produirePage(const Demande &demande)
{
    if (demande.fichierPage.isEmpty()) {
        EcrivainPage page(ecrireSortieStandard);
        Produire_Page(demande.cheminFavoris, demande.options, page);
        page.terminer();
        return;
    }
    Enregistrer_Page(demande.fichierPage, demande.cheminFavoris, demande.options);
    if (platform::SignalCatch::caught())
        platform::SignalCatch::endByCaughtSignal();
    if (!demande.pageDemarrage)
        return;
    for (const ProfilNavigateur &profil : Ecrire_Page_Demarrage(demande.fichierPage))
        ecrire(stderr, QStringLiteral("signetor-cli : avertissement : la page de démarrage n'a pas "
                                      "pu être inscrite dans le profil « %1 » de %2.\n")
                           .arg(profil.nom, profil.navigateur));
}

// "signetor-cli : FICHIER : Erreur d'exécution 'N' : description", FICHIER being the page's
// file as the host names it.
QString messageExecution(const Demande &demande, const platform::RuntimeError &erreur)
{
    const QString fichier = demande.fichierPage.isEmpty()
                                ? QString::fromUtf8("sortie standard")
                                : platform::toHostPath(demande.fichierPage).value_or(QString());
    return QString::fromUtf8("signetor-cli : %1 : Erreur d'exécution '%2' : %3\n")
        .arg(fichier)
        .arg(erreur.number())
        .arg(erreur.description());
}

int executer(const QStringList &arguments)
{
    Demande demande;
    try {
        demande = lireDemande(arguments);
    } catch (const ErreurSaisie &erreur) {
        return refuser(erreur.message());
    }
    if (demande.aide) {
        ecrire(stdout, texteAide());
        return 0;
    }
    if (demande.retirerSuivi)
        return retirerSuivi();
    if (demande.installerSuivi)
        return installerSuivi(demande);
    if (demande.suivre)
        return suivre(demande);
    try {
        demande.signets ? produireSignets(demande) : produirePage(demande);
    } catch (const ErreurSource &erreur) {
        return refuser(erreur.message());
    } catch (const platform::RuntimeError &erreur) {
        ecrire(stderr, messageExecution(demande, erreur));
        return 1;
    } catch (const std::bad_alloc &) {
        ecrire(stderr, messageExecution(
                           demande, platform::RuntimeError(platform::RuntimeError::OutOfMemory)));
        return 1;
    } catch (const platform::Interrupted &) {
        platform::SignalCatch::endByCaughtSignal();
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    platform::growHeapInLargePages();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("signetor-cli"));
    return executer(argumentsLigne(argc, argv));
}
