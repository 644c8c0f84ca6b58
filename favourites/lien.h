#pragma once

#include <QString>
#include <QVector>

// One row of the link table.
struct Lien {
    QString dossier; // folder relative to the favourites root, "\"-joined, empty for the root
    QString nom;     // display name
    QString url;
    // When the link was made, in seconds since 1970 (a shortcut's modification time, a
    // bookmark's date added); 0 when the source does not say. Not part of the row's identity.
    qint64 date = 0;
    bool operator==(const Lien &o) const
    {
        return dossier == o.dossier && nom == o.nom && url == o.url;
    }
};

// Rows move in memory as plain bytes when the table grows.
Q_DECLARE_TYPEINFO(Lien, Q_RELOCATABLE_TYPE);

using TableLiens = QVector<Lien>;

// Whether the rows of a shortcut tree carry their files' modification times: only a bookmark
// export writes them, and they cost the scan one more look-up per file.
enum class DatesLiens { Omises, Lues };
