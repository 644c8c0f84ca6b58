#include "page/page_generator.h"

#include "page/html_text.h"
#include "platform/file_system.h"

#include <QStringBuilder>

#include <algorithm>

namespace
{

const QString Q = QStringLiteral("\"");
const QString clausePolice =
    QStringLiteral("; font-family: Arial, Helvetica, sans-serif; font-size: ");
const QString debutColonne = QStringLiteral("<td valign=\"top\">");
const QString finColonne = QStringLiteral("</td>");
const QString ouverture = QStringLiteral("<blockquote>");
const QString fermeture = QStringLiteral("</blockquote>");

QString points(int position)
{
    int taille = 0;
    Taille_Police(position, taille);
    return QString::number(taille);
}

QString sousTitre(const QString &texte)
{
    return QStringLiteral("<span class=") + Q + QStringLiteral("sstitre") + Q +
           QStringLiteral(">") + texte + QStringLiteral("</span>");
}

// A sub-title framed by a closing and an opening blockquote, as the second column's header
// and every folder change write it.
QString sousTitreEncadre(const QString &texte)
{
    return fermeture + sousTitre(texte) + ouverture;
}

QString nomCourt(const QString &dossier)
{
    return dossier.mid(dossier.lastIndexOf(QLatin1Char('\\')) + 1);
}

// One style rule: selector and its blanks, colour, size and what closes it.
QString regle(const char *selecteur, const QString &couleur, int position, const char *fin)
{
    return QLatin1String(selecteur) + QStringLiteral("{text-decoration: none; color: ") + couleur +
           clausePolice + points(position) + QLatin1String(fin);
}

QString ligneBody(const QString &fond, const QString &image)
{
    QString ligne = QStringLiteral("<body bgcolor=") + Q + fond + Q;
    // Only an absolute path names an image: "(aucune)" never does, whatever the working folder.
    if (image.startsWith(QLatin1Char('\\')) && platform::plainFileExists(image))
        ligne += QStringLiteral(" background=") + Q + image + Q;
    return ligne + QStringLiteral(">");
}

QString blocTitre(const QString &titre)
{
    if (titre.isEmpty())
        return QString();
    return QStringLiteral("<hr><div align=") + Q + QStringLiteral("center") + Q +
           QStringLiteral("><span class=") + Q + QStringLiteral("titre") + Q + QStringLiteral(">") +
           titre + QStringLiteral(" </span></div><hr><br>");
}

// Lines 0 to 19: the head with its style sheet, the body line, the title block and the
// start of the table.
QStringList entete(const PageOptions &o)
{
    const QString fond = Couleur_Html(o.Couleur_Fond);
    const QString titre = Couleur_Html(o.Couleur_Titre);
    const QString dossier = Couleur_Html(o.Couleur_Dossier);
    const QString lien = Couleur_Html(o.Couleur_Link);
    const QString visite = Couleur_Html(o.Couleur_vLink);
    const QString pointe = Couleur_Html(o.Couleur_aLink);
    return {
        QStringLiteral("<html>"),
        QStringLiteral("<head>"),
        QStringLiteral("<title>") + o.titre + QStringLiteral("</title>"),
        QStringLiteral(
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"),
        QStringLiteral("<style type=") + Q + QStringLiteral("text/css") + Q + QStringLiteral(">"),
        QStringLiteral("<!--"),
        regle("a  ", lien, o.positionLink, "pt}"),
        regle("a:link       ", lien, o.positionLink, "pt}"),
        regle("a:visited    ", visite, o.positionLink, "pt}"),
        regle("a:hover      ", pointe, o.positionLink, "pt}"),
        regle(".sstitre     ", dossier, o.positionDossier, "pt; font-weight: bold}"),
        regle(".titre       ", titre, o.positionTitre, "pt; font-weight: bold}"),
        regle(".lien       ", titre, o.positionLink, "pt"),
        QStringLiteral("-->"),
        QStringLiteral("</style>"),
        QStringLiteral("</head>"),
        ligneBody(fond, o.image),
        blocTitre(o.titre),
        QStringLiteral("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">"),
        QStringLiteral("<tr>"),
    };
}

// The last row of the first column: the middle row's whole folder stays in that column.
// With fewer than three links the middle row is row 0; with none there is no row at all.
qsizetype ligneCoupure(const TableLiens &liens)
{
    const qsizetype nbLiens = liens.size() - 1;
    if (nbLiens < 0)
        return -1;
    const qsizetype milieu = std::max<qsizetype>(nbLiens / 2 - 1, 0);
    for (qsizetype i = milieu + 1; i <= nbLiens; ++i) {
        if (liens[i].dossier != liens[milieu].dossier)
            return i - 1;
    }
    return nbLiens;
}

// Writes the two columns of the table, appending to the page.
class Colonnes
{
public:
    // When the generator holds the only reference to the table, each row's texts are let go
    // as soon as its line is written, so that a large page never holds both whole.
    Colonnes(TableLiens &liens, SortiePage &page, Echappement echappement)
        : m_liens(liens), m_page(page), m_echappement(echappement), m_liberer(liens.isDetached())
    {
    }

    // Rows 0 to fin, under a header without blockquotes and one level deeper than the
    // second column. The header stands for the favourites root: a bookmark file's rows lie in
    // its folders, so there it is left empty, and the first folder gets its own sub-title and
    // indentation like every other.
    void premiere(qsizetype fin)
    {
        m_page << debutColonne;
        m_dossier = m_echappement == Echappement::Raccourcis ? dossierDe(0) : QString();
        m_page << sousTitre(texteHtml(m_dossier, m_echappement));
        lister(0, fin, 1);
        m_page << finColonne;
    }

    // Rows debut to the last one.
    void seconde(qsizetype debut)
    {
        m_page << debutColonne;
        m_dossier = dossierDe(debut);
        m_page << sousTitreEncadre(texteHtml(m_dossier, m_echappement));
        lister(debut, m_liens.size() - 1, 0);
        m_page << finColonne;
    }

private:
    QString dossierDe(qsizetype ligne) const
    {
        return ligne < m_liens.size() ? m_liens[ligne].dossier : QString();
    }

    void lister(qsizetype debut, qsizetype fin, int niveauEnPlus)
    {
        m_profondeur = 0;
        for (qsizetype i = debut; i <= fin; ++i) {
            const Lien &lien = std::as_const(m_liens)[i];
            if (lien.dossier != m_dossier)
                changerDossier(lien.dossier, niveauEnPlus);
            if (!lien.url.isEmpty())
                m_page.ajouterLien(urlHtml(lien.url), texteHtml(lien.nom, m_echappement));
            if (m_liberer) {
                m_liens[i].nom.clear();
                m_liens[i].url.clear();
            }
        }
    }

    // Closes the previous folder's blockquotes and opens one per level of the new folder.
    void changerDossier(const QString &dossier, int niveauEnPlus)
    {
        for (int k = 0; k < m_profondeur; ++k)
            m_page << fermeture;
        m_profondeur = int(dossier.count(QLatin1Char('\\'))) + niveauEnPlus;
        for (int k = 0; k < m_profondeur; ++k)
            m_page << ouverture;
        m_page << sousTitreEncadre(texteHtml(nomCourt(dossier), m_echappement));
        m_dossier = dossier;
    }

    TableLiens &m_liens;
    SortiePage &m_page;
    const Echappement m_echappement;
    const bool m_liberer;
    QString m_dossier;
    int m_profondeur = 0;
};

} // namespace

void SortiePage::ajouterLien(const QString &url, const QString &nom)
{
    // Built in one allocation of the exact size: a large page holds one such line per link.
    ajouter(QLatin1String(debutLien) % url % QLatin1String(milieuLien) % nom %
            QLatin1String(finLien));
}

QString Couleur_Html(qint32 couleur)
{
    const quint32 valeur = quint32(couleur);
    return QString::asprintf("#%02X%02X%02X", valeur & 0xFFu, (valeur >> 8) & 0xFFu,
                             (valeur >> 16) & 0xFFu);
}

void Taille_Police(const int &position, int &points)
{
    const bool dansLaListe = position >= 0 && position < int(std::size(taillesPoints));
    points = dansLaListe ? taillesPoints[position] : 9;
}

void genererPage(TableLiens Liens, const PageOptions &options, SortiePage &sortie)
{
    for (const QString &ligne : entete(options))
        sortie << ligne;
    const qsizetype coupure = ligneCoupure(Liens);
    Colonnes colonnes(Liens, sortie, options.echappement);
    colonnes.premiere(coupure);
    colonnes.seconde(coupure + 1);
    sortie << QStringLiteral("</tr>") << QStringLiteral("</table>") << QStringLiteral("</body>")
           << QStringLiteral("</html>");
}

QStringList Generer_Page(TableLiens Liens, const PageOptions &options)
{
    LignesPage lignes;
    lignes.page.reserve(20 + Liens.size() + 16);
    genererPage(std::move(Liens), options, lignes);
    return lignes.page;
}
