#pragma once

#include "favourites/lien.h"
#include "page/page_options.h"

#include <QStringList>

// "#" and red, green, blue as two capital hexadecimal digits each; only the low 24 bits count.
QString Couleur_Html(qint32 couleur);

// The size in points of a position in a size list; 9 for any position out of the list.
void Taille_Police(const int &position, int &points);

// A link's line: these pieces around its URL and its name.
inline constexpr char debutLien[] = "<span class=\"lien\"><a href=\"";
inline constexpr char milieuLien[] = "\">";
inline constexpr char finLien[] = "</a></span><br>";

// Receives the lines of a page, without line ends, one at a time and in order.
class SortiePage
{
public:
    virtual ~SortiePage() = default;
    virtual void ajouter(const QString &ligne) = 0;
    // The line of one link, from its URL and name already escaped for the page. A sink may
    // write the line's pieces where they go without making the line.
    virtual void ajouterLien(const QString &url, const QString &nom);
    SortiePage &operator<<(const QString &ligne)
    {
        ajouter(ligne);
        return *this;
    }
};

// Gathers the lines in a list, for callers that want the page whole.
class LignesPage : public SortiePage
{
public:
    void ajouter(const QString &ligne) override { page << ligne; }
    QStringList page;
};

// Generates the page line by line into a sink, so that it is never held whole. A table
// handed over with std::move is emptied of its names and URLs as the page is written.
void genererPage(TableLiens Liens, const PageOptions &options, SortiePage &sortie);

// The lines of the page, without line ends: the head at lines 0 to 19, then the two-column
// body; the last line, "</html>", is at index Nb_Lignes = size() - 1.
QStringList Generer_Page(TableLiens Liens, const PageOptions &options);
