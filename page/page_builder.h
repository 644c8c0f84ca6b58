#pragma once

#include "page/page_generator.h"
#include "page/page_options.h"

#include <QStringList>

// The whole pipeline short of writing: reads the favourites that Chemin_Favoris names (a host
// path: a shortcut tree or a bookmark file, see favourites/source.h), then generates the page with
// the given look into a sink, line by line. Throws ErreurSource for a bookmark file that cannot be
// read.
void Produire_Page(const QString &Chemin_Favoris, const PageOptions &options, SortiePage &sortie);

// The same, the page's lines gathered in a list.
QStringList Construire_Page(const QString &Chemin_Favoris, const PageOptions &options);
