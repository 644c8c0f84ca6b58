#pragma once

#include <QString>
#include <QtGlobal>

// Packs a colour as the Windows colour dialog does: red in the low byte.
constexpr qint32 RGB(int r, int g, int b)
{
    return qint32(r + 256 * g + 65536 * b);
}

// How the names and folder titles of the rows go into the page. A shortcut tree keeps its
// names byte for byte but for what no Windows file name holds ("<", ">", '"', control
// characters); a bookmark file's titles come from web pages and are escaped whole. The first
// column's header, written for a tree's root, names no folder of a bookmark file.
enum class Echappement { Raccourcis, Signets };

// The look of the page, as the main window holds it when a command starts.
struct PageOptions {
    qint32 Couleur_Fond = RGB(255, 255, 159);
    qint32 Couleur_Titre = RGB(0, 0, 128);
    qint32 Couleur_Dossier = RGB(212, 0, 0);
    qint32 Couleur_Link = RGB(0, 0, 128);
    qint32 Couleur_vLink = RGB(128, 0, 128);
    qint32 Couleur_aLink = RGB(255, 0, 0);
    int positionTitre = 4;   // selected position of Cmb_Titre, -1 when none
    int positionDossier = 2; // selected position of Cmb_Dossier
    int positionLink = 2;    // selected position of Cmb_Link
    QString titre = QStringLiteral("Internet Explorer - Favoris"); // Txt(3)
    QString image = QStringLiteral("(aucune)");                    // Txt(2)
    Echappement echappement = Echappement::Raccourcis; // set from the source that was read
};

// The default favourites folder and the text that stands for "no background image".
inline const QString cheminFavorisParDefaut = QStringLiteral("C:\\Windows\\Favoris\\");
inline const QString aucuneImage = QStringLiteral("(aucune)");

// The program folder and "\defbg.gif" when that file is there, else "(aucune)".
QString imageParDefaut();

// The point sizes of the size lists, by position.
extern const int taillesPoints[10];
