#include "favourites/firefox_reader.h"

#include "favourites/bookmark_rows.h"
#include "favourites/source_error.h"
#include "platform/file_system.h"
#include "platform/paths.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

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

// Copies one file (program form) byte for byte to cible (host form); false when it cannot be
// read or written. reste counts down the bytes still allowed.
bool copier(const QString &source, const QString &cible, qint64 &reste)
{
    platform::ByteReader lecteur(source);
    QFile sortie(cible);
    if (!lecteur.isOpen() || !sortie.open(QIODevice::WriteOnly))
        return false;
    char tampon[1 << 16];
    for (std::int64_t lu; (lu = lecteur.read(tampon, sizeof tampon)) > 0;) {
        reste -= lu;
        if (reste < 0 || sortie.write(tampon, lu) != lu)
            return false;
    }
    return true;
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
    const QString hote = platform::toHostPath(fichier).value_or(QString());
    const QString log = hote + QStringLiteral("-wal");
    const QString copieBase = dossier + QStringLiteral("/places.sqlite");
    const QString copieLog = copieBase + QStringLiteral("-wal");
    for (int essai = 0; essai < 3; ++essai) {
        const Etat avant = etat(hote);
        qint64 reste = tailleMaxBase;
        if (!copier(fichier, copieBase, reste))
            throw reste < 0 ? ErreurSource::tropGrand(fichier, tailleMaxBase)
                            : ErreurSource::illisible(fichier);
        QFile::remove(copieLog);
        if (QFileInfo::exists(log) && !copier(platform::toProgramPath(log), copieLog, reste)) {
            if (reste < 0)
                throw ErreurSource::tropGrand(fichier, tailleMaxBase);
            QFile::remove(copieLog); // the log went away: it was folded in
        }
        if (etat(hote) == avant)
            return;
    }
}

class LecteurPlaces
{
public:
    LecteurPlaces(const QString &fichier, QSqlDatabase &base) : m_fichier(fichier), m_base(base) {}

    TableLiens lire()
    {
        lireDossiers();
        TableLiens liens;
        QSqlQuery requete = executer(
            QStringLiteral("SELECT b.parent, b.title, p.url, b.dateAdded FROM moz_bookmarks b "
                           "JOIN moz_places p ON p.id = b.fk WHERE b.type = 1"));
        while (requete.next()) {
            const std::optional<QString> dossier = cheminDe(requete.value(0).toLongLong());
            if (dossier)
                ajouterSignet(liens, *dossier, requete.value(1).toString(),
                              requete.value(2).toString(), requete.value(3).toLongLong() / 1000000);
        }
        if (requete.lastError().isValid())
            throw ErreurSource::endommage(m_fichier);
        return liens;
    }

private:
    QSqlQuery executer(const QString &sql)
    {
        QSqlQuery requete(m_base);
        requete.setForwardOnly(true);
        if (!requete.exec(sql))
            throw ErreurSource::endommage(m_fichier);
        return requete;
    }

    void lireDossiers()
    {
        QSqlQuery requete = executer(
            QStringLiteral("SELECT id, parent, title, guid FROM moz_bookmarks WHERE type = 2"));
        while (requete.next())
            m_dossiers.insert(requete.value(0).toLongLong(),
                              {requete.value(1).toLongLong(), requete.value(2).toString(),
                               requete.value(3).toString()});
        if (requete.lastError().isValid())
            throw ErreurSource::endommage(m_fichier);
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

    const QString &m_fichier;
    QSqlDatabase &m_base;
    QHash<qint64, Dossier> m_dossiers;
    QHash<qint64, std::optional<QString>> m_chemins;
};

// A connection to the private copy, removed when the reading ends, however it ends.
class Connexion
{
public:
    explicit Connexion(const QString &chemin)
    {
        static QAtomicInt compteur;
        m_nom = QStringLiteral("signetor-places-%1").arg(compteur.fetchAndAddRelaxed(1));
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_nom).setDatabaseName(chemin);
    }
    ~Connexion()
    {
        QSqlDatabase::database(m_nom, false).close();
        QSqlDatabase::removeDatabase(m_nom);
    }
    Connexion(const Connexion &) = delete;
    Connexion &operator=(const Connexion &) = delete;

    const QString &nom() const { return m_nom; }

private:
    QString m_nom;
};

TableLiens lireCopie(const QString &fichier, const QString &connexion)
{
    QSqlDatabase base = QSqlDatabase::database(connexion);
    if (!base.isOpen())
        throw ErreurSource::endommage(fichier);
    const QStringList tables = base.tables();
    if (tables.isEmpty())
        throw ErreurSource::endommage(fichier);
    if (!tables.contains(QStringLiteral("moz_bookmarks")) ||
        !tables.contains(QStringLiteral("moz_places")))
        throw ErreurSource::inconnu(fichier);
    return LecteurPlaces(fichier, base).lire();
}

} // namespace

TableLiens lireFirefox(const QString &fichier)
{
    const std::optional<QString> hote = platform::toHostPath(fichier);
    if (!hote || !QFileInfo(*hote).isFile())
        throw ErreurSource::illisible(fichier);
    QTemporaryDir dossier;
    if (!dossier.isValid())
        throw ErreurSource::illisible(fichier);
    copierBase(fichier, dossier.path());
    const Connexion connexion(dossier.path() + QStringLiteral("/places.sqlite"));
    return lireCopie(fichier, connexion.nom());
}
