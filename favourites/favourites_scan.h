#pragma once

#include "favourites/lien.h"

#include <QString>
#include <QStringList>

// The favourites scan: walks the tree below a root folder breadth-first, keeps as links the
// files from which a URL can be read, and sorts them by folder, name and URL.
class FavouritesScan
{
public:
    // Only the first this many folders, in breadth-first order, are searched for sub-folders.
    static constexpr int folderSearchLimit = 1000;

    // One complete scan of the tree below Chemin_Favoris (program form, ending with "\").
    void Lire_Favoris(const QString &Chemin_Favoris);

    // The root and every folder found, in order of discovery, each ending with "\".
    const QStringList &Dossiers() const { return m_dossiers; }
    int Nb_Dossiers() const { return int(m_dossiers.size()); }

    // The links in ascending order of their sort key; Nb_Liens is the last row, -1 when none.
    const TableLiens &Liens() const { return m_liens; }
    qsizetype Nb_Liens() const { return m_liens.size() - 1; }

private:
    void Lister_Dossiers(const QString &chemin);
    void Lister_Liens(const QString &chemin);

    QStringList m_dossiers;
    TableLiens m_liens;
};
