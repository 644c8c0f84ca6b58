#pragma once

#include "favourites/lien.h"

#include <QString>

// The rows of a Chromium-family Bookmarks file (JSON), unsorted. The top-level folders take
// the names a French user sees: "Barre de favoris", "Autres favoris", "Favoris sur mobile";
// other members of "roots" are not read, as in the browser.
// Throws ErreurSource when the file cannot be read or is not such a file.
TableLiens lireChromium(const QString &fichier);
