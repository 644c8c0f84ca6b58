#pragma once

#include "favourites/lien.h"
#include "platform/file_system.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

// The favourites scan: walks the tree below a root folder breadth-first, keeps as links the
// files from which a URL can be read, and sorts them by folder, name and URL.
class FavouritesScan
{
public:
    // Only the first this many folders, in breadth-first order, are searched for sub-folders.
    static constexpr int folderSearchLimit = 1000;

    explicit FavouritesScan(DatesLiens dates = DatesLiens::Omises) : m_dates(dates) {}

    // One complete scan of the tree below Chemin_Favoris (program form, ending with "\").
    // Nothing is written anywhere; a missing or empty root gives no link.
    void Lire_Favoris(const QString &Chemin_Favoris);
    // The same scan of a folder named by its host path, in which a "\" is part of a name;
    // Dossiers() then starts with its program form.
    void lireDossierHote(const QString &dossier);

    // The root and every folder found, in order of discovery, each ending with "\".
    const QStringList &Dossiers() const { return m_dossiers; }
    int Nb_Dossiers() const { return int(m_dossiers.size()); }

    // The links in ascending order of their sort key; Nb_Liens is the last row, -1 when none.
    const TableLiens &Liens() const { return m_liens; }
    qsizetype Nb_Liens() const { return m_liens.size() - 1; }
    // Hands the link table over, leaving the scan empty.
    TableLiens takeLiens() { return std::exchange(m_liens, {}); }

    // Puts rows of any source in the order a scan leaves its links: rows of one exact folder
    // together, folders and then rows in the order of their sort keys.
    static void trierLiens(TableLiens &liens);

    // The text by which the rows of one folder are ordered: folder, "*", name, "*", URL.
    static QString sortKey(const Lien &lien);
    // The same, written into a buffer that the caller reuses.
    static void writeSortKey(const Lien &lien, QString &key);

private:
    // A folder of the walk: reached from its parent by its host name, so that no path ever
    // has to hold the whole depth.
    struct DossierTrouve {
        qsizetype parent;
        QByteArray nomHote;
        platform::FolderId id;
        QString relatif; // the link rows' folder text
    };

    platform::Folder ouvrirRacine() const;
    platform::Folder ouvrir(qsizetype i);
    platform::Folder ouvrirDepuisRacine(qsizetype i);
    void Lister_Dossier(qsizetype i, const platform::Folder &dossier);
    void ajouterDossier(qsizetype parent, const char *nomHote, const platform::FolderId &id);

    DatesLiens m_dates;
    QString m_racineHote; // the root as the host names it, when given so
    QStringList m_dossiers;
    TableLiens m_liens;
    std::vector<DossierTrouve> m_trouves;
    // Device and inode of every folder recorded during the walk, so that a folder reached
    // again through a symbolic link (a cycle, or a second way in) is not recorded twice.
    QSet<std::pair<std::uint64_t, std::uint64_t>> m_recordedFolders;
    // Folders listed whose sub-folders are still to be listed, in table order, kept open (a
    // bounded number of them) so that each folder opens from the one above it.
    struct DossierOuvert {
        qsizetype indice = -1;
        platform::Folder dossier;
    };
    std::deque<DossierOuvert> m_parentsOuverts;
};
