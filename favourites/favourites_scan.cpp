#include "favourites/favourites_scan.h"

#include "favourites/shortcut_reader.h"
#include "favourites/sort_order.h"
#include "platform/file_system.h"

#include <utility>
#include <vector>

namespace
{

std::pair<std::uint64_t, std::uint64_t> identity(const platform::FolderId &id)
{
    return {id.device, id.inode};
}

// The display name: the file name up to its first ".URL" in any mix of case, or the whole
// name when it holds none.
QString displayName(const QString &fileName)
{
    const qsizetype ending = fileName.indexOf(QLatin1String(".URL"), 0, Qt::CaseInsensitive);
    return ending < 0 ? fileName : fileName.left(ending);
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

void FavouritesScan::Lire_Favoris(const QString &Chemin_Favoris)
{
    m_dossiers.clear();
    m_liens.clear();
    m_dossiers.append(Chemin_Favoris);

    m_recordedFolders.clear();
    if (const auto rootId = platform::folderId(Chemin_Favoris))
        m_recordedFolders.insert(identity(*rootId));
    // Breadth-first, with the folder list as the queue. The path is copied: appending to the
    // list may move its items.
    for (qsizetype i = 0; i < m_dossiers.size() && i < folderSearchLimit; ++i) {
        const QString chemin = m_dossiers.at(i);
        Lister_Dossiers(chemin);
    }
    m_recordedFolders.clear();

    const qsizetype rootLength = Chemin_Favoris.size();
    for (qsizetype j = 0; j < m_dossiers.size(); ++j) {
        const QString &dossier = m_dossiers.at(j);
        // The folder relative to the root, without its final "\".
        const QString relatif =
            j == 0 ? QString() : dossier.mid(rootLength, dossier.size() - rootLength - 1);
        Lister_Liens(dossier, relatif);
    }
    trierLiens(m_liens);
}

void FavouritesScan::Lister_Dossiers(const QString &chemin)
{
    for (const platform::DirectoryEntry &entry : platform::listEntries(chemin)) {
        if (!entry.isFolder || m_recordedFolders.contains(identity(entry.id)))
            continue;
        m_recordedFolders.insert(identity(entry.id));
        m_dossiers.append(chemin + entry.name + QLatin1Char('\\'));
    }
}

// Every plain file of the folder is read; those that give a URL become rows.
void FavouritesScan::Lister_Liens(const QString &chemin, const QString &dossierRelatif)
{
    for (const QString &name : platform::listPlainFiles(chemin)) {
        QString url = Lire_Url(chemin + name);
        if (!url.isEmpty())
            m_liens.append(Lien{dossierRelatif, displayName(name), std::move(url)});
    }
}

// Rows are moved whole into the order of their keys; keys are never split apart again. Keys
// are made when compared and the rows are permuted in place, so the sort holds no copy of
// the table nor of its keys.
void FavouritesScan::trierLiens(TableLiens &liens)
{
    const std::vector<qsizetype> order = Cont_Sort(
        liens.size(), [&liens](qsizetype row, QString &key) { writeSortKey(liens.at(row), key); });

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
