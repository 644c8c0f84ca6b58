#pragma once

#include <QString>
#include <QVector>

// One row of the link table.
struct Lien {
    QString dossier; // folder relative to the favourites root, "\"-joined, empty for the root
    QString nom;     // display name
    QString url;
    bool operator==(const Lien &o) const
    {
        return dossier == o.dossier && nom == o.nom && url == o.url;
    }
};

using TableLiens = QVector<Lien>;
