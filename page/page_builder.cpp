#include "page/page_builder.h"

#include "favourites/source.h"
#include "page/page_generator.h"

QStringList Construire_Page(const QString &Chemin_Favoris, const PageOptions &options)
{
    Source source = lireSource(Chemin_Favoris);
    PageOptions look = options;
    look.echappement =
        source.type == TypeSource::Dossier ? Echappement::Raccourcis : Echappement::Signets;
    return Generer_Page(std::move(source.liens), look);
}
