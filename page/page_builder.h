#pragma once

#include "favourites/lien.h"
#include "page/page_options.h"

#include <QStringList>

// The sorted link table of the favourites below Chemin_Favoris.
TableLiens lireLiens(const QString &Chemin_Favoris);

// The whole pipeline short of writing: scans the favourites below Chemin_Favoris and builds
// the page's lines with the given look.
QStringList Construire_Page(const QString &Chemin_Favoris, const PageOptions &options);
