#include "favourites/firefox_reader.h"

#include "favourites/bookmark_rows.h"
#include "favourites/source_error.h"
#include "platform/file_system.h"
#include "platform/termination_signals.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>

namespace
{

// Copies larger than this (database and log together) are refused.
constexpr qint64 tailleMaxBase = qint64(1) << 30;

// No value that Firefox writes comes near this length; a longer one, such as a generated column
// built to exhaust memory, makes the database damaged. SQLite's whole heap is capped as well.
constexpr int longueurMaxValeur = 16 << 20;
constexpr qint64 tasMaxSqlite = qint64(128) << 20;

// A folder without a title, named as the browsers show it.
const char16_t sansTitre[] = u"(sans titre)";

struct Dossier {
    qint64 parent = 0;
    QString titre;
    QString guid;
};

QString nomRacine(const QString &guid)
{
    if (guid == QLatin1String("menu________"))
        return QStringLiteral("Menu des marque-pages");
    if (guid == QLatin1String("toolbar_____"))
        return QStringLiteral("Barre personnelle");
    if (guid == QLatin1String("unfiled_____"))
        return QStringLiteral("Autres marque-pages");
    if (guid == QLatin1String("mobile______"))
        return QStringLiteral("Marque-pages des appareils mobiles");
    return QString();
}

// Copies one file (host form) byte for byte to cible (host form); false when it cannot be
// read or written. reste counts down the bytes still allowed.
bool copier(const QString &source, const QString &cible, std::int64_t &reste)
{
    platform::ByteReader lecteur{platform::HostPath(source)};
    return lecteur.copyTo(cible, reste);
}

struct Etat {
    qint64 taille;
    QDateTime modification;
    bool operator==(const Etat &o) const
    {
        return taille == o.taille && modification == o.modification;
    }
};

Etat etat(const QString &hote)
{
    const QFileInfo info(hote);
    return {info.exists() ? info.size() : -1, info.lastModified()};
}

// Copies the database and its log into dossier. Firefox may write the log meanwhile, and
// fold it into the database: then the two copies would not match, so the copy is made again.
void copierBase(const QString &fichier, const QString &dossier)
{
    const QString &hote = fichier;
    const QString log = hote + QStringLiteral("-wal");
    const QString copieBase = dossier + QStringLiteral("/places.sqlite");
    const QString copieLog = copieBase + QStringLiteral("-wal");
    for (int essai = 0; essai < 3; ++essai) {
        platform::SignalCatch::throwIfCaught();
        const Etat avant = etat(hote);
        std::int64_t reste = tailleMaxBase;
        if (!copier(fichier, copieBase, reste)) {
            platform::SignalCatch::throwIfCaught();
            throw reste < 0 ? ErreurSource::tropGrand(fichier, tailleMaxBase)
                            : ErreurSource::illisible(fichier);
        }
        QFile::remove(copieLog);
        if (QFileInfo::exists(log) && !copier(log, copieLog, reste)) {
            platform::SignalCatch::throwIfCaught();
            if (reste < 0)
                throw ErreurSource::tropGrand(fichier, tailleMaxBase);
            QFile::remove(copieLog); // the log went away: it was folded in
        }
        if (etat(hote) == avant)
            return;
    }
}

// The private copy, opened read-only through SQLite itself: rows come as UTF-8 text and
// integers, straight from the database, which halves the cost of reading a large one. The
// schema is not trusted: it may not run functions with side effects, and no value may grow
// past longueurMaxValeur. A termination signal stops the statement that runs.
class Base
{
public:
    Base(const QString &copie, const QString &fichier) : m_fichier(fichier)
    {
        sqlite3 *base = nullptr;
        const int ouverture = sqlite3_open_v2(QFile::encodeName(copie).constData(), &base,
                                              SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        m_base.reset(base); // closed on every way out, a failed opening included
        if (ouverture != SQLITE_OK)
            throw ErreurSource::endommage(m_fichier);
        sqlite3_limit(base, SQLITE_LIMIT_LENGTH, longueurMaxValeur);
        sqlite3_progress_handler(
            base, 10000, [](void *) { return int(platform::SignalCatch::caught() != 0); }, nullptr);
        if (sqlite3_exec(base, "PRAGMA trusted_schema = OFF", nullptr, nullptr, nullptr) !=
            SQLITE_OK)
            echec(sqlite3_errcode(base));
    }
    Base(const Base &) = delete;
    Base &operator=(const Base &) = delete;

    // Throws what an SQLite failure means: the signal that stopped it, a bound that the file
    // goes past, or damage.
    [[noreturn]] void echec(int code) const
    {
        platform::SignalCatch::throwIfCaught();
        if (code == SQLITE_NOMEM)
            throw ErreurSource::tropComplexe(m_fichier);
        throw ErreurSource::endommage(m_fichier);
    }

    const QString &fichier() const { return m_fichier; }

    // One statement, stepped row by row; any error on the way means a damaged database.
    class Requete
    {
    public:
        Requete(const Base &base, const char *sql) : m_base(base)
        {
            const int code = sqlite3_prepare_v2(base.m_base.get(), sql, -1, &m_requete, nullptr);
            if (code != SQLITE_OK)
                base.echec(code);
        }
        ~Requete() { sqlite3_finalize(m_requete); }
        Requete(const Requete &) = delete;
        Requete &operator=(const Requete &) = delete;

        bool suivante()
        {
            const int etat = sqlite3_step(m_requete);
            if (etat != SQLITE_ROW && etat != SQLITE_DONE)
                m_base.echec(etat);
            return etat == SQLITE_ROW;
        }
        qint64 entier(int colonne) const { return sqlite3_column_int64(m_requete, colonne); }
        QString texte(int colonne) const
        {
            const auto *octets =
                reinterpret_cast<const char *>(sqlite3_column_text(m_requete, colonne));
            return QString::fromUtf8(octets, sqlite3_column_bytes(m_requete, colonne));
        }

    private:
        const Base &m_base;
        sqlite3_stmt *m_requete = nullptr;
    };

private:
    struct Fermeture {
        void operator()(sqlite3 *base) const { sqlite3_close_v2(base); }
    };

    // The cap on SQLite's heap, which is the whole process's, while the copy is read.
    struct LimiteTas {
        const qint64 avant = sqlite3_hard_heap_limit64(tasMaxSqlite);
        ~LimiteTas() { sqlite3_hard_heap_limit64(avant); }
    };

    const QString &m_fichier;
    LimiteTas m_tas;
    std::unique_ptr<sqlite3, Fermeture> m_base;
};

class LecteurPlaces
{
public:
    explicit LecteurPlaces(const Base &base) : m_base(base) {}

    TableLiens lire()
    {
        verifierTables();
        lireDossiers();
        TableLiens liens;
        Base::Requete requete(m_base,
                              "SELECT b.parent, b.title, p.url, b.dateAdded FROM moz_bookmarks b "
                              "JOIN moz_places p ON p.id = b.fk WHERE b.type = 1");
        while (requete.suivante()) {
            const std::optional<QString> dossier = cheminDe(requete.entier(0));
            if (dossier)
                ajouterSignet(liens, *dossier, requete.texte(1), requete.texte(2),
                              requete.entier(3) / 1000000);
        }
        return liens;
    }

private:
    // A file that holds no table at all is damaged; one without Firefox's tables is another
    // database.
    void verifierTables()
    {
        Base::Requete requete(m_base, "SELECT name FROM sqlite_master WHERE type = 'table'");
        QStringList tables;
        while (requete.suivante())
            tables << requete.texte(0);
        if (tables.isEmpty())
            throw ErreurSource::endommage(m_base.fichier());
        if (!tables.contains(QStringLiteral("moz_bookmarks")) ||
            !tables.contains(QStringLiteral("moz_places")))
            throw ErreurSource::inconnu(m_base.fichier());
    }

    void lireDossiers()
    {
        Base::Requete requete(m_base,
                              "SELECT id, parent, title, guid FROM moz_bookmarks WHERE type = 2");
        while (requete.suivante())
            m_dossiers.insert(requete.entier(0),
                              {requete.entier(1), requete.texte(2), requete.texte(3)});
    }
    // The folder column of an item whose parent is this folder: nullopt for the tags, for the
    // root itself and for a folder that hangs nowhere (or in a loop, in a damaged database).
    // Folders nested deeper than profondeurMaxSignets make the file refused.
    std::optional<QString> cheminDe(qint64 id)
    {
        if (const auto connu = m_chemins.constFind(id); connu != m_chemins.cend())
            return connu->chemin;
        // Climb to the root, then name the folders on the way down.
        QList<qint64> montee;
        Chemin chemin;
        for (qint64 courant = id;; courant = m_dossiers.value(courant).parent) {
            if (const auto connu = m_chemins.constFind(courant); connu != m_chemins.cend()) {
                chemin = *connu;
                break;
            }
            const auto dossier = m_dossiers.constFind(courant);
            if (dossier == m_dossiers.cend())
                break;
            if (dossier->guid == QLatin1String("tags________"))
                break;
            if (dossier->guid == QLatin1String("root________") || dossier->parent == 0) {
                chemin.chemin = QString();
                break;
            }
            if (montee.size() == profondeurMaxSignets) {
                // Deeper than allowed, unless the climb goes round a loop.
                QList<qint64> vus = montee;
                std::sort(vus.begin(), vus.end());
                if (std::adjacent_find(vus.begin(), vus.end()) == vus.end())
                    throw ErreurSource::tropComplexe(m_base.fichier());
                break;
            }
            montee.append(courant);
        }
        if (chemin.chemin && chemin.profondeur + montee.size() > profondeurMaxSignets)
            throw ErreurSource::tropComplexe(m_base.fichier());
        for (qsizetype i = montee.size(); i-- > 0;) {
            if (chemin.chemin) {
                const Dossier &d = m_dossiers[montee[i]];
                const QString racine = chemin.chemin->isEmpty() ? nomRacine(d.guid) : QString();
                const QString titre = !racine.isEmpty()   ? racine
                                      : d.titre.isEmpty() ? QString::fromUtf16(sansTitre)
                                                          : d.titre;
                chemin.chemin = dossierEnfant(*chemin.chemin, titre);
                ++chemin.profondeur;
            }
            m_chemins.insert(montee[i], chemin);
        }
        if (montee.isEmpty() || montee.first() != id)
            m_chemins.insert(id, chemin);
        return chemin.chemin;
    }

    struct Chemin {
        std::optional<QString> chemin;
        int profondeur = 0; // folders in it
    };

    const Base &m_base;
    QHash<qint64, Dossier> m_dossiers;
    QHash<qint64, Chemin> m_chemins;
};

} // namespace

TableLiens lireFirefox(const QString &fichier)
{
    if (!QFileInfo(fichier).isFile())
        throw ErreurSource::illisible(fichier);
    // Nothing is copied of a database too large to be read.
    if (QFileInfo(fichier).size() + QFileInfo(fichier + QStringLiteral("-wal")).size() >
        tailleMaxBase)
        throw ErreurSource::tropGrand(fichier, tailleMaxBase);
    // A termination signal stops the copy or the reading, and the copy goes with the folder
    // before the program ends as the signal asks.
    const platform::SignalCatch signaux({SIGTERM, SIGINT, SIGHUP});
    QTemporaryDir dossier;
    if (!dossier.isValid())
        throw ErreurSource::illisible(fichier);
    copierBase(fichier, dossier.path());
    const Base base(dossier.path() + QStringLiteral("/places.sqlite"), fichier);
    return LecteurPlaces(base).lire();
}
