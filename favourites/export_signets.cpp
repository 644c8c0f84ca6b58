#include "favourites/export_signets.h"

#include "platform/file_system.h"

#include <QHash>

#include <algorithm>

#include <memory>
#include <vector>

namespace
{

// A folder of the file: its links and sub-folders in the order in which the table first
// names them, so that a folder split across the table still comes out once.
struct Dossier;
struct Element {
    Lien *lien = nullptr; // a link, or else
    std::unique_ptr<Dossier> dossier;
};
struct Dossier {
    QString titre;
    const char *attribut = nullptr; // the mark of a browser root, or none
    std::vector<Element> elements;
};

struct RacineNavigateur {
    const char *titre;
    const char *attribut; // nullptr: the folder's content goes to the top level
};

const RacineNavigateur racinesNavigateurs[] = {
    {"Menu des marque-pages", nullptr},
    {"Barre personnelle", "PERSONAL_TOOLBAR_FOLDER"},
    {"Barre de favoris", "PERSONAL_TOOLBAR_FOLDER"},
    {"Autres marque-pages", "UNFILED_BOOKMARKS_FOLDER"},
    {"Autres favoris", "UNFILED_BOOKMARKS_FOLDER"},
};

class Arbre
{
public:
    explicit Arbre(TableLiens &liens)
    {
        for (Lien &lien : liens)
            dossier(lien.dossier)->elements.push_back({&lien, nullptr});
    }
    Dossier &racine() { return m_racine; }

private:
    Dossier *dossier(const QString &chemin)
    {
        if (chemin.isEmpty())
            return &m_racine;
        if (Dossier *connu = m_parChemin.value(chemin))
            return connu;
        const qsizetype separateur = chemin.lastIndexOf(QLatin1Char('\\'));
        const QString titre = chemin.mid(separateur + 1);
        Dossier *parent = separateur < 0 ? &m_racine : dossier(chemin.left(separateur));
        const RacineNavigateur *racine = separateur < 0 ? racineNavigateur(titre) : nullptr;
        Dossier *nouveau = &m_racine; // the menu's content is the file's top level
        if (!racine || racine->attribut) {
            parent->elements.push_back({nullptr, std::make_unique<Dossier>()});
            nouveau = parent->elements.back().dossier.get();
            nouveau->titre = titre;
            nouveau->attribut = racine ? racine->attribut : nullptr;
        }
        m_parChemin.insert(chemin, nouveau);
        return nouveau;
    }
    static const RacineNavigateur *racineNavigateur(const QString &titre)
    {
        for (const RacineNavigateur &racine : racinesNavigateurs) {
            if (titre == QString::fromUtf8(racine.titre))
                return &racine;
        }
        return nullptr;
    }

    Dossier m_racine;
    QHash<QString, Dossier *> m_parChemin;
};

// Text for element content and attribute values: markup characters and control characters
// as character references, so that no title or URL can end its element or its line.
QByteArray echapper(const QString &texte)
{
    const auto aEchapper = [](char c) {
        return c == '&' || c == '<' || c == '>' || c == '"' || uchar(c) < 0x20 || c == 0x7F;
    };
    QByteArray utf8 = texte.toUtf8();
    if (std::none_of(utf8.cbegin(), utf8.cend(), aEchapper))
        return utf8; // most titles and URLs need nothing
    QByteArray sortie;
    sortie.reserve(utf8.size() + 16);
    for (const char c : std::as_const(utf8)) {
        switch (c) {
        case '&':
            sortie += "&amp;";
            break;
        case '<':
            sortie += "&lt;";
            break;
        case '>':
            sortie += "&gt;";
            break;
        case '"':
            sortie += "&quot;";
            break;
        default:
            if (uchar(c) < 0x20 || c == 0x7F)
                sortie += "&#" + QByteArray::number(uchar(c)) + ';';
            else
                sortie += c;
        }
    }
    return sortie;
}

// Gathers the file's text and hands it on in pieces of about 64 KiB.
class Sortie
{
public:
    explicit Sortie(const EcrireOctets &ecrire) : m_ecrire(ecrire) {}
    Sortie &operator<<(QByteArrayView octets)
    {
        m_tampon += octets;
        if (m_tampon.size() >= taillePiece)
            vider();
        return *this;
    }
    void vider()
    {
        if (!m_tampon.isEmpty())
            m_ecrire(m_tampon);
        m_tampon.truncate(0);
    }

private:
    static constexpr qsizetype taillePiece = 1 << 16;
    const EcrireOctets &m_ecrire;
    QByteArray m_tampon;
};

void ecrireDossier(Dossier &dossier, int niveau, Sortie &sortie)
{
    const QByteArray retrait(4 * niveau, ' ');
    for (Element &element : dossier.elements) {
        if (element.lien) {
            Lien &l = *element.lien;
            sortie << retrait << "<DT><A HREF=\"" << echapper(l.url) << "\"";
            if (l.date > 0)
                sortie << " ADD_DATE=\"" << QByteArray::number(l.date) << "\"";
            sortie << ">" << echapper(l.nom) << "</A>\n";
            l = Lien(); // its texts are no longer needed
            continue;
        }
        Dossier &d = *element.dossier;
        sortie << retrait << "<DT><H3";
        if (d.attribut)
            sortie << " " << d.attribut << "=\"true\"";
        sortie << ">" << echapper(d.titre) << "</H3>\n" << retrait << "<DL><p>\n";
        ecrireDossier(d, niveau + 1, sortie);
        sortie << retrait << "</DL><p>\n";
    }
}

} // namespace

void genererSignets(TableLiens liens, const EcrireOctets &ecrire)
{
    Sortie sortie(ecrire);
    sortie << "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
              "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
              "<TITLE>Favoris</TITLE>\n"
              "<H1>Favoris</H1>\n"
              "<DL><p>\n";
    Arbre arbre(liens);
    ecrireDossier(arbre.racine(), 1, sortie);
    sortie << "</DL><p>\n";
    sortie.vider();
}

QByteArray contenuSignets(TableLiens liens)
{
    QByteArray contenu;
    genererSignets(std::move(liens), [&contenu](const QByteArray &piece) { contenu += piece; });
    return contenu;
}

void ecrireSignets(const QString &fichier, TableLiens liens)
{
    platform::AtomicFileWriter fichierSignets{platform::HostPath(fichier)};
    genererSignets(std::move(liens),
                   [&fichierSignets](const QByteArray &piece) { fichierSignets.write(piece); });
    fichierSignets.commit();
}
