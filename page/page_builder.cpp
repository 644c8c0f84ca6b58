#include "page/page_builder.h"

#include "favourites/favourites_scan.h"
#include "page/page_generator.h"

QStringList Construire_Page(const QString &Chemin_Favoris, const PageOptions &options)
{
    FavouritesScan scan;
    scan.Lire_Favoris(Chemin_Favoris);
    return Generer_Page(scan.takeLiens(), options);
}
