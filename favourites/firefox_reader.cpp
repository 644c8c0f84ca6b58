#include "favourites/firefox_reader.h"

#include "favourites/bookmark_rows.h"
#include "favourites/source_error.h"
#include "platform/file_system.h"
#include "platform/paths.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <optional>

namespace
{

// Copies larger than this (database and log together) are refused.
constexpr qint64 tailleMaxBase = qint64(1) << 30;

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
        const Etat avant = etat(hote);
        std::int64_t reste = tailleMaxBase;
        if (!copier(fichier, copieBase, reste))
            throw reste < 0 ? ErreurSource::tropGrand(fichier, tailleMaxBase)
                            : ErreurSource::illisible(fichier);
        QFile::remove(copieLog);
        if (QFileInfo::exists(log) && !copier(log, copieLog, reste)) {
            if (reste < 0)
                throw ErreurSource::tropGrand(fichier, tailleMaxBase);
            QFile::remove(copieLog); // the log went away: it was folded in
        }
        if (etat(hote) == avant)
            return;
    }
}

// The private copy, opened through SQLite itself: rows come as UTF-8 text and integers,
// straight from the database, which halves the cost of reading a large one.
class Base
{
public:
    Base(const QString &copie, const QString &fichier) : m_fichier(fichier)
    {
        if (sqlite3_open_v2(QFile::encodeName(copie).constData(), &m_base,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(m_base);
            throw ErreurSource::endommage(m_fichier);
        }
    }
    ~Base() { sqlite3_close_v2(m_base); }
    Base(const Base &) = delete;
    Base &operator=(const Base &) = delete;

    const QString &fichier() const { return m_fichier; }

    // One statement, stepped row by row; any error on the way means a damaged database.
    class Requete
    {
    public:
        Requete(const Base &base, const char *sql) : m_fichier(base.m_fichier)
        {
            if (sqlite3_prepare_v2(base.m_base, sql, -1, &m_requete, nullptr) != SQLITE_OK)
                throw ErreurSource::endommage(m_fichier);
        }
        ~Requete() { sqlite3_finalize(m_requete); }
        Requete(const Requete &) = delete;
        Requete &operator=(const Requete &) = delete;

        bool suivante()
        {
            const int etat = sqlite3_step(m_requete);
            if (etat != SQLITE_ROW && etat != SQLITE_DONE)
                throw ErreurSource::endommage(m_fichier);
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
        const QString &m_fichier;
        sqlite3_stmt *m_requete = nullptr;
    };

private:
    const QString &m_fichier;
    sqlite3 *m_base = nullptr;
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
    std::optional<QString> cheminDe(qint64 id)
    {
        if (const auto connu = m_chemins.constFind(id); connu != m_chemins.cend())
            return *connu;
        // Climb to the root, then name the folders on the way down.
        QList<qint64> montee;
        std::optional<QString> chemin;
        for (qint64 courant = id; montee.size() <= m_dossiers.size();
             courant = m_dossiers.value(courant).parent) {
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
                chemin = QString();
                break;
            }
            montee.append(courant);
        }
        for (qsizetype i = montee.size(); i-- > 0;) {
            if (chemin) {
                const Dossier &d = m_dossiers[montee[i]];
                const QString racine = chemin->isEmpty() ? nomRacine(d.guid) : QString();
                chemin = dossierEnfant(*chemin, racine.isEmpty() ? d.titre : racine);
            }
            m_chemins.insert(montee[i], chemin);
        }
        if (montee.isEmpty() || montee.first() != id)
            m_chemins.insert(id, chemin);
        return chemin;
    }

    const Base &m_base;
    QHash<qint64, Dossier> m_dossiers;
    QHash<qint64, std::optional<QString>> m_chemins;
};

} // namespace

TableLiens lireFirefox(const QString &fichier)
{
    if (!QFileInfo(fichier).isFile())
        throw ErreurSource::illisible(fichier);
    QTemporaryDir dossier;
    if (!dossier.isValid())
        throw ErreurSource::illisible(fichier);
    copierBase(fichier, dossier.path());
    const Base base(dossier.path() + QStringLiteral("/places.sqlite"), fichier);
    return LecteurPlaces(base).lire();
}
