#include "favourites/netscape_reader.h"

#include "favourites/bookmark_rows.h"
#include "favourites/source_error.h"
#include "platform/file_system.h"
#include "platform/windows1252.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringDecoder>

#include <gumbo.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{

// Every block that the parser allocates, so that a parse given up half-way (by jumping out
// of the allocator) frees all it had, and a finished tree is freed without the parser's own
// recursive destruction, which a deep tree would overflow.
struct Arene {
    struct Bloc {
        Bloc *precedent;
        Bloc *suivant;
        std::size_t taille;
        std::max_align_t alignement[1];
    };
    Bloc tete{&tete, &tete, 0, {}};
    qint64 octets = 0;
    qint64 maxOctets = 0;
    qint64 maxNanosecondes = 0;
    QElapsedTimer chrono;
    std::jmp_buf sortie;

    ~Arene()
    {
        for (Bloc *b = tete.suivant; b != &tete;) {
            Bloc *suivant = b->suivant;
            std::free(b);
            b = suivant;
        }
    }
};

constexpr std::size_t enteteBloc = offsetof(Arene::Bloc, alignement);

void *allouer(void *donnees, std::size_t taille)
{
    auto *arene = static_cast<Arene *>(donnees);
    arene->octets += qint64(taille);
    // Time is looked at here because the parser allocates for every node it makes, and
    // between two nodes it does at most work proportional to the tree's depth.
    if (arene->octets > arene->maxOctets || arene->chrono.nsecsElapsed() > arene->maxNanosecondes)
        std::longjmp(arene->sortie, 1);
    auto *bloc = static_cast<Arene::Bloc *>(std::malloc(enteteBloc + taille));
    if (!bloc)
        std::longjmp(arene->sortie, 1);
    bloc->taille = taille;
    bloc->precedent = &arene->tete;
    bloc->suivant = arene->tete.suivant;
    arene->tete.suivant->precedent = bloc;
    arene->tete.suivant = bloc;
    return reinterpret_cast<char *>(bloc) + enteteBloc;
}

void liberer(void *donnees, void *pointeur)
{
    if (!pointeur)
        return;
    auto *arene = static_cast<Arene *>(donnees);
    auto *bloc = reinterpret_cast<Arene::Bloc *>(static_cast<char *>(pointeur) - enteteBloc);
    arene->octets -= qint64(bloc->taille);
    bloc->precedent->suivant = bloc->suivant;
    bloc->suivant->precedent = bloc->precedent;
    std::free(bloc);
}

// Kept apart, with nothing to destroy in its frame, because the allocator may jump back here.
GumboOutput *analyser(Arene &arene, const GumboOptions &options, const QByteArray &texte)
{
    if (setjmp(arene.sortie) != 0)
        return nullptr;
    return gumbo_parse_with_options(&options, texte.constData(), std::size_t(texte.size()));
}

QByteArray enUtf8(const QByteArray &octets)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    constexpr qsizetype morceau = 1 << 16;
    for (qsizetype debut = 0; debut < octets.size(); debut += morceau) {
        const QString decode =
            utf8(QByteArrayView(octets).sliced(debut, std::min(morceau, octets.size() - debut)));
        if (utf8.hasError())
            return platform::decodeWindows1252(octets).toUtf8();
    }
    return octets;
}

// A file cut short loses its last closing tags: a whole file ends with the "</DL>" of its
// top list, possibly followed by "<p>", "</body>", "</html>" and blanks.
bool finitParListe(const QByteArray &texte)
{
    QByteArray fin = texte.right(256).toLower();
    static const QByteArray suffixes[] = {"<p>", "</p>", "</body>", "</html>"};
    for (bool retire = true; retire;) {
        fin = fin.trimmed();
        retire = false;
        for (const QByteArray &s : suffixes) {
            if (fin.endsWith(s)) {
                fin.chop(s.size());
                retire = true;
            }
        }
    }
    return fin.endsWith("</dl>");
}

QString texteDe(const GumboNode *noeud)
{
    QByteArray texte;
    std::vector<const GumboNode *> pile{noeud};
    while (!pile.empty()) {
        const GumboNode *n = pile.back();
        pile.pop_back();
        if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE ||
            n->type == GUMBO_NODE_CDATA) {
            texte += n->v.text.text;
        } else if (n->type == GUMBO_NODE_ELEMENT) {
            const GumboVector &enfants = n->v.element.children;
            for (unsigned i = enfants.length; i-- > 0;)
                pile.push_back(static_cast<const GumboNode *>(enfants.data[i]));
        }
    }
    return QString::fromUtf8(texte).trimmed();
}

QString attribut(const GumboNode *element, const char *nom)
{
    const GumboAttribute *a = gumbo_get_attribute(&element->v.element.attributes, nom);
    return a ? QString::fromUtf8(a->value).trimmed() : QString();
}

// Walks the tree of one piece of the file in document order without recursion. An H3 names
// the folder of the next DL met inside the same DT; a DT that starts drops a title that found
// no DL (an empty folder). Each DL stands for a folder: its H3's, or its parent's.
class Parcours
{
    struct Etape {
        const GumboNode *noeud;
        bool sortie; // leaving a DL
    };

    // The children go on the stack last first, so that they come off in document order.
    static void empiler(std::vector<Etape> &pile, const GumboVector &enfants)
    {
        for (unsigned i = enfants.length; i-- > 0;)
            pile.push_back({static_cast<const GumboNode *>(enfants.data[i]), false});
    }

public:
    explicit Parcours(TableLiens &liens) : m_liens(liens) {}

    // contexte holds the folders of the lists still open where the previous piece ended; the
    // piece starts with one "<DL>" for each, in its first longueurPrefixe bytes. Gives the
    // folders of the lists still open at the piece's end.
    std::vector<QString> parcourir(const GumboNode *racine, const std::vector<QString> &contexte,
                                   unsigned longueurPrefixe)
    {
        m_titreEnAttente.reset();
        m_dossierDesListes.clear();
        std::size_t listesDuPrefixe = 0;
        std::vector<Etape> pile{{racine, false}};
        std::vector<QString> dossiers{QString()};
        while (!pile.empty()) {
            const Etape etape = pile.back();
            pile.pop_back();
            if (etape.sortie) {
                dossiers.pop_back();
                continue;
            }
            const GumboNode *n = etape.noeud;
            if (n->type == GUMBO_NODE_DOCUMENT) {
                empiler(pile, n->v.document.children);
                continue;
            }
            if (n->type != GUMBO_NODE_ELEMENT)
                continue;
            switch (n->v.element.tag) {
            case GUMBO_TAG_DT:
                m_titreEnAttente.reset();
                break;
            case GUMBO_TAG_H3:
                m_titreEnAttente = texteDe(n);
                continue;
            case GUMBO_TAG_A:
                // An A left open is copied by the parser into what follows: the copies are
                // not bookmarks.
                if (n->parse_flags & (GUMBO_INSERTION_RECONSTRUCTED_FORMATTING_ELEMENT |
                                      GUMBO_INSERTION_ADOPTION_AGENCY_CLONED))
                    continue;
                ajouterSignet(m_liens, dossiers.back(), texteDe(n), attribut(n, "href"),
                              attribut(n, "add_date").toLongLong());
                m_titreEnAttente.reset();
                continue;
            case GUMBO_TAG_DL:
                if (n->v.element.start_pos.offset < longueurPrefixe &&
                    listesDuPrefixe < contexte.size())
                    dossiers.push_back(contexte[listesDuPrefixe++]);
                else if (m_titreEnAttente)
                    dossiers.push_back(dossierEnfant(dossiers.back(), *m_titreEnAttente));
                else
                    dossiers.push_back(dossiers.back());
                m_titreEnAttente.reset();
                m_dossierDesListes.insert(n, dossiers.back());
                pile.push_back({nullptr, true});
                break;
            default:
                break;
            }
            empiler(pile, n->v.element.children);
        }
        return listesOuvertes(racine);
    }

private:
    // The lists that the piece's end left open lie on the path of last children from the
    // root, up to the first element closed by its end tag.
    std::vector<QString> listesOuvertes(const GumboNode *racine) const
    {
        std::vector<QString> ouvertes;
        const GumboVector *enfants = &racine->v.document.children;
        for (;;) {
            const GumboNode *dernier = nullptr;
            for (unsigned i = enfants->length; i-- > 0 && !dernier;) {
                const auto *enfant = static_cast<const GumboNode *>(enfants->data[i]);
                if (enfant->type == GUMBO_NODE_ELEMENT)
                    dernier = enfant;
            }
            if (!dernier || dernier->v.element.original_end_tag.length > 0)
                return ouvertes;
            if (dernier->v.element.tag == GUMBO_TAG_DL)
                ouvertes.push_back(m_dossierDesListes.value(dernier));
            enfants = &dernier->v.element.children;
        }
    }

    TableLiens &m_liens;
    std::optional<QString> m_titreEnAttente;
    QHash<const GumboNode *, QString> m_dossierDesListes;
};

// The file is parsed in pieces of about a quarter of a megabyte, each cut just before a
// "<DT", so that the parser's tree stays small whatever the file's size.
constexpr qsizetype taillePiece = 1 << 18;

// Folders are never this deep in a real bookmark file.
constexpr std::size_t maxListesOuvertes = 512;

// Takes the file's text (UTF-8) as it comes, and parses each piece as soon as it is whole: the
// file is never held whole.
class AnalyseParPieces
{
public:
    AnalyseParPieces(const QString &fichier, qint64 maxOctetsAnalyse, int maxMillisecondes)
        : m_fichier(fichier), m_maxOctets(maxOctetsAnalyse), m_maxMillisecondes(maxMillisecondes),
          m_parcours(m_liens)
    {
    }

    void ajouter(QByteArrayView texte)
    {
        m_enAttente += texte;
        qsizetype fin;
        while ((fin = finPiece()) >= 0) {
            analyserPiece(QByteArrayView(m_enAttente).first(fin));
            m_enAttente.remove(0, fin);
        }
    }

    TableLiens terminer()
    {
        if (!m_enAttente.isEmpty())
            analyserPiece(m_enAttente);
        m_enAttente.clear();
        return std::move(m_liens);
    }

private:
    // Where the piece waiting ends: at the first "<DT" past its first quarter megabyte; -1
    // when the text that came so far holds none.
    qsizetype finPiece() const
    {
        const QByteArray &t = m_enAttente;
        for (qsizetype i = t.indexOf('<', taillePiece); i >= 0 && i + 2 < t.size();
             i = t.indexOf('<', i + 1)) {
            if ((t[i + 1] | 0x20) == 'd' && (t[i + 2] | 0x20) == 't')
                return i;
        }
        return -1;
    }

    void analyserPiece(QByteArrayView texte)
    {
        const QByteArray prefixe = QByteArray("<DL>").repeated(qsizetype(m_ouvertes.size()));
        QByteArray piece = prefixe;
        piece += texte;
        Arene arene; // frees the piece's tree when it goes
        arene.maxOctets = m_maxOctets;
        arene.maxNanosecondes = qint64(m_maxMillisecondes) * 1000000;
        GumboOptions options = kGumboDefaultOptions;
        options.allocator = allouer;
        options.deallocator = liberer;
        options.userdata = &arene;
        options.max_errors = 0; // the format is loose HTML: its many parse errors are not kept
        arene.chrono.start();
        const GumboOutput *sortie = analyser(arene, options, piece);
        if (!sortie)
            throw ErreurSource::tropComplexe(m_fichier);
        m_ouvertes = m_parcours.parcourir(sortie->document, m_ouvertes, unsigned(prefixe.size()));
        if (m_ouvertes.size() > maxListesOuvertes)
            throw ErreurSource::tropComplexe(m_fichier);
    }

    const QString &m_fichier;
    const qint64 m_maxOctets;
    const int m_maxMillisecondes;
    TableLiens m_liens;
    Parcours m_parcours;
    std::vector<QString> m_ouvertes;
    QByteArray m_enAttente;
};

// Reads a whole source file in blocks, handing each to lire; throws ErreurSource when it
// cannot be read or grows beyond the size allowed.
template <typename Lire> void lireParBlocs(const QString &fichier, Lire lire)
{
    const std::unique_ptr<platform::ByteReader> lecteur =
        ouvrirFichierSignets(fichier, tailleMaxSignets);
    char bloc[1 << 16];
    qint64 total = 0;
    for (std::int64_t lu; (lu = lecteur->read(bloc, sizeof bloc)) > 0;) {
        total += lu;
        if (total > tailleMaxSignets)
            throw ErreurSource::tropGrand(fichier, tailleMaxSignets);
        lire(QByteArrayView(bloc, qsizetype(lu)));
    }
}

} // namespace

TableLiens analyserNetscape(const QByteArray &octets, const QString &fichier,
                            qint64 maxOctetsAnalyse, int maxMillisecondes)
{
    if (!finitParListe(octets))
        throw ErreurSource::endommage(fichier);
    AnalyseParPieces analyse(fichier, maxOctetsAnalyse, maxMillisecondes);
    analyse.ajouter(enUtf8(octets));
    return analyse.terminer();
}

// A first reading tells whether the file is UTF-8 and whole; the second parses it.
TableLiens lireNetscape(const QString &fichier)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QByteArray fin;
    lireParBlocs(fichier, [&](QByteArrayView bloc) {
        if (!utf8.hasError()) {
            const QString texte = utf8(bloc); // the decoder works when a string is made
            Q_UNUSED(texte)
        }
        fin += bloc;
        fin = fin.right(256);
    });
    if (!finitParListe(fin))
        throw ErreurSource::endommage(fichier);
    const bool windows1252 = utf8.hasError();
    AnalyseParPieces analyse(fichier, memoireMaxPiece, dureeMaxPiece);
    lireParBlocs(fichier, [&](QByteArrayView bloc) {
        analyse.ajouter(windows1252 ? platform::decodeWindows1252(bloc).toUtf8() : bloc);
    });
    return analyse.terminer();
}
