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
#include "platform/write_safety.h"

#include <QCoreApplication>
#include <QFile>

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
    ecrire(stderr, QStringLiteral("signetor-cli\u00a0: %1\n").arg(message) +
                       QString::fromUtf8("Pour l'aide\u00a0: signetor-cli --help\n"));
    return 2;
}

void avertir(const QString &message)
{
    ecrire(stderr, QStringLiteral("signetor-cli\u00a0: avertissement\u00a0: %1\n").arg(message));
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
    for (const ProfilNavigateur &profil :
         Ecrire_Page_Demarrage(platform::toProgramPath(demande.fichierPage)))
        ecrire(stderr,
               QStringLiteral("signetor-cli\u00a0: avertissement\u00a0: la page de démarrage "
                              "n'a pas pu être inscrite dans le profil «\u00a0%1\u00a0» de "
                              "%2.\n")
                   .arg(profil.nom, profil.navigateur));
    for (const QString &liste : listesProfilsIllisibles())
        ecrire(stderr, QStringLiteral("signetor-cli\u00a0: avertissement\u00a0: la liste de "
                                      "profils «\u00a0%1\u00a0» n'a pas pu être lue\u00a0: les "
                                      "profils qu'elle nomme n'ont pas reçu la page de "
                                      "démarrage.\n")
                           .arg(liste));
}

// True when the output file is the source file itself or its write-ahead log, whatever names
// lead to them: writing there would destroy the bookmarks the page is made from.
bool ecraseLaSource(const Demande &demande)
{
    const QByteArray page = QFile::encodeName(demande.fichierPage);
    const QByteArray source = QFile::encodeName(demande.cheminFavoris);
    return !page.isEmpty() && !source.isEmpty() &&
           (platform::sameFile(page, source) || platform::sameFile(page, source + "-wal"));
}

// "signetor-cli : FICHIER : Erreur d'exécution 'N' : description", FICHIER being the page's
// file as typed.
QString messageExecution(const Demande &demande, const platform::RuntimeError &erreur)
{
    const QString fichier =
        demande.fichierPage.isEmpty() ? QString::fromUtf8("sortie standard") : demande.saisiePage;
    return QString::fromUtf8("signetor-cli\u00a0: %1\u00a0: Erreur d'exécution '%2'\u00a0: %3\n")
        .arg(fichier)
        .arg(erreur.number())
        .arg(erreur.description());
}

int executer(const QStringList &arguments)
{
    definirAvertissementSource(avertir);
    Demande demande;
    try {
        demande = lireDemande(arguments);
    } catch (const ErreurSaisie &erreur) {
        return refuser(erreur.message());
    }
    if (demande.aide || demande.version) {
        ecrire(stdout, demande.aide ? texteAide() : texteVersion());
        return 0;
    }
    if (demande.profils) {
        const QString profils = texteProfils();
        ecrire(profils.isEmpty() ? stderr : stdout,
               profils.isEmpty() ? QString::fromUtf8("signetor-cli\u00a0: aucun profil de Firefox "
                                                     "ou de Chromium trouvé\n")
                                 : profils);
        return 0;
    }
    if (demande.retirerSuivi)
        return retirerSuivi();
    if (ecraseLaSource(demande))
        return refuser(
            QStringLiteral("le fichier «\u00a0%1\u00a0» est la source elle-même\u00a0: il "
                           "ne sera pas remplacé")
                .arg(demande.saisiePage));
    if (demande.installerSuivi)
        return installerSuivi(demande);
    if (demande.suivre)
        return suivre(demande);
    try {
        demande.signets ? produireSignets(demande) : produirePage(demande);
        // A file rewritten in place was finished before the signal that came during it.
        if (platform::SignalCatch::caught())
            platform::SignalCatch::endByCaughtSignal();
    } catch (const ErreurSource &erreur) {
        // The source as it was typed, not as made absolute.
        QString message = erreur.message();
        if (erreur.fichier() == demande.cheminFavoris)
            message.replace(QString::fromUtf8("«\u00a0%1\u00a0»").arg(erreur.fichier()),
                            QString::fromUtf8("«\u00a0%1\u00a0»").arg(demande.saisieFavoris));
        return refuser(message);
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
