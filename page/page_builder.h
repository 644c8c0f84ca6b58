#pragma once

#include "page/page_generator.h"
#include "page/page_options.h"

#include <QStringList>

// The whole pipeline short of writing: scans the favourites below Chemin_Favoris, then
// generates the page with the given look into a sink, line by line.
void Produire_Page(const QString &Chemin_Favoris, const PageOptions &options, SortiePage &sortie);

// The same, the page's lines gathered in a list.
QStringList Construire_Page(const QString &Chemin_Favoris, const PageOptions &options);
