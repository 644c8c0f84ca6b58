#include "favourites/favourites_scan.h"

#include "favourites/shortcut_reader.h"
#include "favourites/sort_order.h"
#include "platform/paths.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

namespace
{

// How many folders may stay open for their sub-folders: half the open files allowed, and no
// more than can have sub-folders.
std::size_t maxParentsOuverts()
{
    return std::clamp<std::size_t>(platform::openFilesAllowed() / 2, 16,
                                   FavouritesScan::folderSearchLimit);
}

std::pair<std::uint64_t, std::uint64_t> identity(const platform::FolderId &id)
{
    return {id.device, id.inode};
}

// Names are shown composed, so that a letter stored as base and accent becomes the one
// character (and the one page byte) that it is.
QString composed(const QString &name)
{
    return name.normalized(QString::NormalizationForm_C);
}

// The display name: the file name up to its first ".URL" in any mix of case, or the whole
// name when it holds none.
QString displayName(QString fileName)
{
    const qsizetype ending = fileName.indexOf(QLatin1String(".URL"), 0, Qt::CaseInsensitive);
    if (ending >= 0)
        fileName.truncate(ending);
    return fileName;
}

// The part of the sort key after "folder*": the rows of one folder share the rest, and the
// collation of two texts with a common start is that of what follows it.
void writeNameKey(const Lien &lien, QString &key)
{
    key.resize(lien.nom.size() + 1 + lien.url.size()); // within the capacity of earlier keys
    QChar *fin = std::copy(lien.nom.cbegin(), lien.nom.cend(), key.data());
    *fin++ = QLatin1Char('*');
    std::copy(lien.url.cbegin(), lien.url.cend(), fin);
}

} // namespace

QString FavouritesScan::sortKey(const Lien &lien)
{
    QString key;
    writeSortKey(lien, key);
    return key;
}

void FavouritesScan::writeSortKey(const Lien &lien, QString &key)
{
    key.resize(0); // keeps the buffer's capacity for the next key
    key += lien.dossier;
    key += QLatin1Char('*');
    key += lien.nom;
    key += QLatin1Char('*');
    key += lien.url;
}

void FavouritesScan::lireDossierHote(const QString &dossier)
{
    QString programme = platform::toProgramPath(dossier);
    if (!programme.endsWith(QLatin1Char('\\')))
        programme += QLatin1Char('\\');
    m_racineHote = dossier;
    Lire_Favoris(programme);
    m_racineHote.clear();
}

platform::Folder FavouritesScan::ouvrirRacine() const
{
    return m_racineHote.isEmpty() ? platform::Folder(m_dossiers.constFirst())
                                  : platform::Folder(platform::HostPath(m_racineHote));
}

// Breadth-first, with the folder table as the queue. Each folder is listed once: its
// sub-folders are recorded (only in the first folderSearchLimit folders) and its plain files
// read, which gives the same rows as listing all folders first.
void FavouritesScan::Lire_Favoris(const QString &Chemin_Favoris)
{
    m_dossiers = {Chemin_Favoris};
    m_liens.clear();
    m_trouves.clear();
    m_recordedFolders.clear();
    m_parentsOuverts.clear();
    const std::size_t parentsGardes = maxParentsOuverts();
    m_trouves.push_back({-1, {}, {}, QString()});

    for (qsizetype i = 0; i < qsizetype(m_trouves.size()); ++i) {
        platform::Folder dossier = ouvrir(i);
        if (i == 0 && dossier.isOpen()) {
            m_trouves[0].id = dossier.id();
            m_recordedFolders.insert(identity(dossier.id()));
        }
        const std::size_t avant = m_trouves.size();
        if (dossier.isOpen() && dossier.id() == m_trouves[i].id)
            Lister_Dossier(i, dossier);
        if (m_trouves.size() > avant && m_parentsOuverts.size() < parentsGardes)
            m_parentsOuverts.push_back({i, std::move(dossier)});
    }
    m_parentsOuverts.clear();
    m_recordedFolders.clear();
    trierLiens(m_liens);
}

platform::Folder FavouritesScan::ouvrir(qsizetype i)
{
    const qsizetype parent = m_trouves[i].parent;
    if (parent < 0)
        return ouvrirRacine();
    while (!m_parentsOuverts.empty() && m_parentsOuverts.front().indice < parent)
        m_parentsOuverts.pop_front();
    // A parent that could not be kept open is opened again, once for all its sub-folders.
    if (m_parentsOuverts.empty() || m_parentsOuverts.front().indice != parent)
        m_parentsOuverts.push_front({parent, ouvrirDepuisRacine(parent)});
    return platform::Folder(m_parentsOuverts.front().dossier, m_trouves[i].nomHote.constData());
}

// Opens a folder again by the chain of names from the root, checking that each step is
// still the folder that was recorded there.
platform::Folder FavouritesScan::ouvrirDepuisRacine(qsizetype i)
{
    std::vector<qsizetype> chaine;
    for (qsizetype j = i; j > 0; j = m_trouves[j].parent)
        chaine.push_back(j);
    platform::Folder dossier = ouvrirRacine();
    for (auto j = chaine.rbegin(); j != chaine.rend() && dossier.isOpen(); ++j) {
        dossier = platform::Folder(dossier, m_trouves[*j].nomHote.constData());
        if (dossier.id() != m_trouves[*j].id)
            return {};
    }
    return dossier;
}

void FavouritesScan::Lister_Dossier(qsizetype i, const platform::Folder &dossier)
{
    const bool chercherDossiers = i < folderSearchLimit;
    dossier.forEachEntry(chercherDossiers, [&](const platform::Folder::Entry &entree) {
        if (entree.kind == platform::Folder::Kind::Folder) {
            ajouterDossier(i, entree.hostName, entree.id);
            return;
        }
        // Hidden files are never candidates.
        if (entree.kind != platform::Folder::Kind::File || entree.hostName[0] == '.')
            return;
        const std::optional<QString> nom = platform::nameToProgramText(entree.hostName);
        if (!nom)
            return;
        platform::ByteReader lecteur(dossier, entree.hostName, entree.throughLink,
                                     m_dates == DatesLiens::Lues);
        QString url = lireUrl(lecteur);
        if (!url.isEmpty())
            m_liens.append(Lien{m_trouves[i].relatif, composed(displayName(*nom)), std::move(url),
                                lecteur.modificationTime()});
    });
}

void FavouritesScan::ajouterDossier(qsizetype parent, const char *nomHote,
                                    const platform::FolderId &id)
{
    if (m_recordedFolders.contains(identity(id)))
        return;
    const std::optional<QString> nom = platform::nameToProgramText(nomHote);
    if (!nom)
        return;
    m_recordedFolders.insert(identity(id));
    const QString &relatifParent = m_trouves[parent].relatif;
    QString relatif =
        relatifParent.isEmpty() ? composed(*nom) : relatifParent + u'\\' + composed(*nom);
    m_dossiers.append(m_dossiers.at(parent) + *nom + u'\\');
    m_trouves.push_back({parent, QByteArray(nomHote), id, std::move(relatif)});
}

// Rows of one exact folder stay together. Folders come in the order of their text followed
// by "*" (the start of their rows' keys), ties broken by the exact text, so that folders
// differing only in case, or holding "*", never interleave; within a folder, rows follow
// their whole key. Where no two folders differ only in case and no name holds "*", this is
// the order of the whole keys. Rows are permuted in place: the sort holds no copy of the
// table, and makes each key only while comparing it.
void FavouritesScan::trierLiens(TableLiens &liens)
{
    const QCollator collator = sortCollator();
    QHash<QString, qsizetype> groupeDuDossier;
    std::vector<std::vector<qsizetype>> groupes;
    qsizetype groupe = -1;
    for (qsizetype r = 0; r < liens.size(); ++r) {
        // Readers give the rows of one folder one after the other, most often sharing one
        // text: those rows skip the look-up.
        const QString &dossier = liens.at(r).dossier;
        if (r == 0 || !(dossier.isSharedWith(liens.at(r - 1).dossier) ||
                        dossier == liens.at(r - 1).dossier)) {
            auto trouve = groupeDuDossier.constFind(dossier);
            if (trouve == groupeDuDossier.cend()) {
                trouve = groupeDuDossier.insert(dossier, qsizetype(groupes.size()));
                groupes.emplace_back();
            }
            groupe = *trouve;
        }
        groupes[std::size_t(groupe)].push_back(r);
    }
    groupeDuDossier.clear();

    std::vector<qsizetype> dossiers(groupes.size());
    std::iota(dossiers.begin(), dossiers.end(), 0);
    sortPositions(dossiers.begin(), dossiers.end(), collator, [&](qsizetype g, QString &t) {
        t = liens.at(groupes[std::size_t(g)].front()).dossier;
        t += u'*';
    });

    std::vector<qsizetype> order;
    order.reserve(std::size_t(liens.size()));
    std::vector<QString> cles;
    for (const qsizetype g : dossiers) {
        const std::size_t debutGroupe = order.size();
        order.insert(order.end(), groupes[std::size_t(g)].begin(), groupes[std::size_t(g)].end());
        std::vector<qsizetype>().swap(groupes[std::size_t(g)]);
        sortPositions(
            order.begin() + qsizetype(debutGroupe), order.end(), collator,
            [&liens](qsizetype row, QString &k) { writeNameKey(liens.at(row), k); }, cles);
    }

    std::vector<bool> placed(order.size(), false);
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (placed[start])
            continue;
        // Follow the cycle that starts here: position k receives the row order[k].
        Lien first = std::move(liens[qsizetype(start)]);
        std::size_t k = start;
        while (std::size_t(order[k]) != start) {
            liens[qsizetype(k)] = std::move(liens[order[k]]);
            placed[k] = true;
            k = std::size_t(order[k]);
        }
        liens[qsizetype(k)] = std::move(first);
        placed[k] = true;
    }
}
