#pragma once

#include "favourites/lien.h"
#include "page/page_options.h"

#include <QStringList>

// "#" and red, green, blue as two capital hexadecimal digits each; only the low 24 bits count.
QString Couleur_Html(qint32 couleur);

// The size in points of a position in a size list; 9 for any position out of the list.
void Taille_Police(const int &position, int &points);

// The lines of the page, without line ends: the head at lines 0 to 19, then the two-column
// body; the last line, "</html>", is at index Nb_Lignes = size() - 1. A table handed over with
// std::move is emptied of its names and URLs as the page is written, which keeps the memory
// of a large page down.
QStringList Generer_Page(TableLiens Liens, const PageOptions &options);
