#include "page/page_builder.h"

#include "favourites/favourites_scan.h"

void Produire_Page(const QString &Chemin_Favoris, const PageOptions &options, SortiePage &sortie)
{
    FavouritesScan scan;
    scan.Lire_Favoris(Chemin_Favoris);
    genererPage(scan.takeLiens(), options, sortie);
}

QStringList Construire_Page(const QString &Chemin_Favoris, const PageOptions &options)
{
    struct Lignes : SortiePage {
        QStringList page;
        void ajouter(const QString &ligne) override { page << ligne; }
    } lignes;
    Produire_Page(Chemin_Favoris, options, lignes);
    return lignes.page;
}
