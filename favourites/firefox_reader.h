#pragma once

#include "favourites/lien.h"

#include <QString>

// The rows of a Firefox places.sqlite, unsorted. The live database is never opened: the file
// and its write-ahead log (places.sqlite-wal, where Firefox keeps its latest changes) are
// copied to a private folder and the copy is read, so a running Firefox is neither disturbed
// nor missed. The top-level folders take the names a French user sees: "Menu des
// marque-pages", "Barre personnelle", "Autres marque-pages", "Marque-pages des appareils
// mobiles"; tags are left out. Throws ErreurSource when the file cannot be read or is not
// such a database.
TableLiens lireFirefox(const QString &fichier);
