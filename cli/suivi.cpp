#include "cli/suivi.h"

#include "browser/api.h"
#include "cli/cli_arguments.h"
#include "cli/service_suivi.h"
#include "favourites/favourites_scan.h"
#include "favourites/source_error.h"
#include "page/page_builder.h"
#include "page/page_file.h"
#include "platform/file_system.h"
#include "platform/folder_watcher.h"
#include "platform/instance_lock.h"
#include "platform/paths.h"
#include "platform/runtime_error.h"
#include "platform/termination_signals.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSet>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>

namespace
{

// Events come in bursts (a database log written page by page, a tree copied in): the page is
// rebuilt once they have stopped for this long, or at the latest this long after the first.
constexpr int calmeMs = 25;
constexpr int attenteMaxMs = 800;
// Without enough inotify watches, the source is read again this often.
constexpr int relectureMs = 30000;

void direErreur(const QString &texte)
{
    const QByteArray octets =
        (QStringLiteral("signetor-cli\u00a0: ") + texte + u'\n').toLocal8Bit();
    std::fwrite(octets.constData(), 1, size_t(octets.size()), stderr);
    std::fflush(stderr);
}

class Suivi : public QObject
{
public:
    explicit Suivi(const Demande &demande);
    void demarrer();

private:
    void surChangement(const QByteArray &nom);
    void reconstruire();
    // The page's bytes, with the folders the scan went through for a shortcut tree; nullopt
    // (and a message, once) when the source cannot be read now.
    std::optional<QByteArray> construire(QStringList &dossiers);
    QStringList dossiersSource();
    void surveiller(const QStringList &dossiers);
    void signaler(const QString &probleme);

    const Demande &m_demande;
    const bool m_arbre;
    QString m_sourceHote;
    QSet<QString> m_nomsSource; // the names that count in the folders of a bookmark file
    platform::TerminationSignals m_signaux{SIGTERM, SIGINT, SIGHUP};
    platform::FolderWatcher m_veilleur;
    QTimer m_calme, m_attenteMax, m_relecture;
    std::optional<QByteArray> m_ecrite; // the last page written, compared with each new one
    QSet<QString> m_surveilles;
    QString m_probleme; // the last problem said, so that each is said once
    bool m_manqueSignale = false;
};

Suivi::Suivi(const Demande &demande)
    : m_demande(demande), m_arbre(QFileInfo(demande.cheminFavoris).isDir()),
      m_sourceHote(demande.cheminFavoris)
{
    for (QTimer *minuterie : {&m_calme, &m_attenteMax})
        minuterie->setSingleShot(true);
    m_calme.setInterval(calmeMs);
    m_attenteMax.setInterval(attenteMaxMs);
    m_relecture.setInterval(relectureMs);
    for (QTimer *minuterie : {&m_calme, &m_attenteMax, &m_relecture})
        connect(minuterie, &QTimer::timeout, this, &Suivi::reconstruire);
    connect(&m_veilleur, &platform::FolderWatcher::changed, this, &Suivi::surChangement);
    connect(&m_signaux, &platform::TerminationSignals::received, this,
            [] { QCoreApplication::exit(0); });
}

void Suivi::demarrer()
{
    // Watched before the first read, so that no change made during it goes unseen.
    surveiller(dossiersSource());
    reconstruire();
    if (m_demande.pageDemarrage) {
        for (const ProfilNavigateur &profil :
             Ecrire_Page_Demarrage(platform::toProgramPath(m_demande.fichierPage)))
            direErreur(QStringLiteral("avertissement\u00a0: la page de démarrage n'a pas pu être "
                                      "inscrite dans le profil «\u00a0%1\u00a0» de %2.")
                           .arg(profil.nom, profil.navigateur));
    }
}

// A bookmark file's folder holds other files too (a browser profile): only the file, the files
// its links lead to, and the logs that SQLite writes beside them, count.
void Suivi::surChangement(const QByteArray &nom)
{
    if (!m_arbre && !nom.isEmpty() && !m_nomsSource.contains(QFile::decodeName(nom)))
        return;
    m_calme.start();
    if (!m_attenteMax.isActive())
        m_attenteMax.start();
}

void Suivi::reconstruire()
{
    m_calme.stop();
    m_attenteMax.stop();
    QStringList dossiers;
    std::optional<QByteArray> page;
    try {
        page = construire(dossiers);
        if (page) {
            // Only a page whose bytes changed is written: its file keeps its date otherwise.
            if (!m_ecrite || *page != *m_ecrite) {
                platform::AtomicFileWriter fichier{platform::HostPath(m_demande.fichierPage)};
                fichier.write(*page);
                fichier.commit();
                m_ecrite = page;
            }
            m_probleme.clear();
        }
    } catch (const platform::RuntimeError &erreur) {
        signaler(
            QStringLiteral("%1\u00a0: Erreur d'exécution '%2'\u00a0: %3\u00a0; nouvel essai au "
                           "prochain changement des favoris")
                .arg(m_demande.saisiePage)
                .arg(erreur.number())
                .arg(erreur.description()));
    } catch (const platform::Interrupted &) {
        QCoreApplication::exit(0);
        return;
    }
    surveiller(m_arbre && page ? dossiers : dossiersSource());
}

std::optional<QByteArray> Suivi::construire(QStringList &dossiers)
{
    const QFileInfo source(m_sourceHote);
    if (m_arbre ? !source.isDir() : !source.isFile()) {
        signaler(QStringLiteral("«\u00a0%1\u00a0» est introuvable\u00a0: la page est gardée telle "
                                "quelle jusqu'à son retour")
                     .arg(m_demande.saisieFavoris));
        return std::nullopt;
    }
    QByteArray octets;
    EcrivainPage page([&octets](const QByteArray &piece) {
        platform::SignalCatch::throwIfCaught();
        octets += piece;
    });
    try {
        if (m_arbre) {
            // The scan that gives the links also gives the folders to watch.
            FavouritesScan scan;
            scan.lireDossierHote(m_sourceHote);
            for (const QString &dossier : scan.Dossiers())
                dossiers << platform::toHostPath(dossier).value_or(QString());
            PageOptions look = m_demande.options;
            look.echappement = Echappement::Raccourcis;
            genererPage(scan.takeLiens(), look, page);
        } else {
            Produire_Page(m_demande.cheminFavoris, m_demande.options, page);
        }
        page.terminer();
    } catch (const ErreurSource &erreur) {
        QString message = erreur.message();
        if (message.endsWith(u'.'))
            message.chop(1);
        signaler(message +
                 QStringLiteral("\u00a0: la page est gardée telle quelle jusqu'au prochain "
                                "changement"));
        return std::nullopt;
    } catch (const std::bad_alloc &) {
        signaler(QStringLiteral("mémoire insuffisante pour lire les favoris\u00a0: la page est "
                                "gardée telle quelle"));
        return std::nullopt;
    }
    return octets;
}

// The tree; for a bookmark file, its folder and the folder of each file its links lead to,
// found again at each rebuild so that a link pointed elsewhere is followed.
QStringList Suivi::dossiersSource()
{
    if (m_arbre)
        return {m_sourceHote};
    QStringList dossiers;
    m_nomsSource.clear();
    QFileInfo fichier(m_sourceHote);
    for (int liens = 0; liens <= 40; ++liens) { // as many links as the kernel follows
        dossiers << fichier.absolutePath();
        for (const QString &suffixe :
             {QString(), QStringLiteral("-wal"), QStringLiteral("-journal")})
            m_nomsSource << fichier.fileName() + suffixe;
        if (!fichier.isSymLink())
            break;
        fichier.setFile(fichier.symLinkTarget());
    }
    dossiers.removeDuplicates();
    return dossiers;
}

// Watches the folders; where inotify cannot, the source is read again on a clock instead.
void Suivi::surveiller(const QStringList &dossiers)
{
    // A folder that appeared since the last scan may have been filled before its watch began:
    // one more scan, which settles once no new folder turns up.
    if (m_arbre) {
        for (const QString &dossier : dossiers) {
            if (!m_surveilles.contains(dossier)) {
                m_calme.start();
                break;
            }
        }
    }
    m_surveilles = QSet<QString>(dossiers.cbegin(), dossiers.cend());
    if (m_veilleur.watchFolders(dossiers)) {
        m_relecture.stop();
        m_manqueSignale = false;
        return;
    }
    if (!m_manqueSignale) {
        direErreur(m_veilleur.error() == ENOSPC || m_veilleur.error() == ENOMEM
                       ? QStringLiteral("plus de surveillance inotify disponible "
                                        "(fs.inotify.max_user_watches) : les favoris seront relus "
                                        "toutes les 30 secondes")
                       : QStringLiteral("les favoris ne peuvent pas tous être surveillés (%1) : "
                                        "ils seront relus toutes les 30 secondes")
                             .arg(QString::fromLocal8Bit(std::strerror(m_veilleur.error()))));
        m_manqueSignale = true;
    }
    if (!m_relecture.isActive())
        m_relecture.start();
}

void Suivi::signaler(const QString &probleme)
{
    if (probleme == m_probleme)
        return;
    m_probleme = probleme;
    direErreur(probleme);
}

} // namespace

int suivre(const Demande &demande)
{
    std::optional<platform::InstanceLock> verrou;
    if (demande.unique) {
        verrou.emplace(fichierVerrouSuivi());
        if (!verrou->acquire(argumentsSuiviUnique())) {
            const pid_t tenant = verrou->holder();
            direErreur(tenant != 0 ? QStringLiteral("«\u00a0%1\u00a0» est tenu par le processus "
                                                    "%2, qui n'a pas pu être arrêté")
                                         .arg(fichierVerrouSuivi())
                                         .arg(tenant)
                                   : QStringLiteral("«\u00a0%1\u00a0» n'a pas pu être créé")
                                         .arg(fichierVerrouSuivi()));
            return 1;
        }
    }
    Suivi suivi(demande);
    suivi.demarrer();
    return QCoreApplication::exec();
}
