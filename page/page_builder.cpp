#include "page/page_builder.h"

#include "favourites/favourites_scan.h"
#include "page/page_generator.h"

TableLiens lireLiens(const QString &Chemin_Favoris)
{
    FavouritesScan scan;
    scan.Lire_Favoris(Chemin_Favoris);
    return scan.takeLiens();
}

QStringList Construire_Page(const QString &Chemin_Favoris, const PageOptions &options)
{
    return Generer_Page(lireLiens(Chemin_Favoris), options);
}
