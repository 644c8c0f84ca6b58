#pragma once

#include "page/page_options.h"

#include <QStringList>

// The whole pipeline short of writing: reads the favourites that Chemin_Favoris names (a
// shortcut tree or a bookmark file, see favourites/source.h) and builds the page's lines with
// the given look. Throws ErreurSource for a bookmark file that cannot be read.
QStringList Construire_Page(const QString &Chemin_Favoris, const PageOptions &options);
