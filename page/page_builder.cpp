#include "page/page_builder.h"

#include "favourites/source.h"

void Produire_Page(const QString &Chemin_Favoris, const PageOptions &options, SortiePage &sortie)
{
    Source source = lireSource(Chemin_Favoris);
    PageOptions look = options;
    look.echappement =
        source.type == TypeSource::Dossier ? Echappement::Raccourcis : Echappement::Signets;
    genererPage(std::move(source.liens), look, sortie);
}

QStringList Construire_Page(const QString &Chemin_Favoris, const PageOptions &options)
{
    LignesPage lignes;
    Produire_Page(Chemin_Favoris, options, lignes);
    return lignes.page;
}
