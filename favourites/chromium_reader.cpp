#include "favourites/chromium_reader.h"

#include "favourites/bookmark_rows.h"
#include "favourites/source_error.h"
#include "platform/file_system.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A Bookmarks file of 100,000 bookmarks is some 40 MB of JSON. It is read as a stream, in
// blocks: every value is checked as strict JSON, but only the members that make rows (a
// node's "children", "type", "name", "url" and "date_added") are decoded and kept. Memory then
// holds the rows and one block, whatever else the file holds.

namespace
{

// How deep arrays and objects may nest anywhere in the file: the folders' own nesting (an
// object and its "children" array per level) with room for the levels above the roots.
constexpr int niveauxMaxJson = 2 * profondeurMaxSignets + 8;

// A folder without a title, named as the browsers show it.
const char16_t sansTitre[] = u"(sans titre)";

// Chromium counts microseconds from 1601-01-01.
qint64 dateChromium(const std::string &valeur)
{
    qint64 microsecondes = 0;
    for (const char c : valeur) {
        if (c < '0' || c > '9' || microsecondes > (qint64(1) << 58))
            return 0;
        microsecondes = microsecondes * 10 + (c - '0');
    }
    constexpr qint64 de1601a1970 = 11644473600;
    return microsecondes > 0 ? microsecondes / 1000000 - de1601a1970 : 0;
}

// The name of a top-level folder; empty for the keys that the browser does not read.
QString nomRacine(const std::string &cle)
{
    if (cle == "bookmark_bar")
        return QStringLiteral("Barre de favoris");
    if (cle == "other")
        return QStringLiteral("Autres favoris");
    if (cle == "synced")
        return QStringLiteral("Favoris sur mobile");
    return QString();
}

// The file's bytes, read in blocks and counted against the size limit.
class Flux
{
public:
    explicit Flux(const QString &fichier)
        : m_fichier(fichier), m_lecteur(ouvrirFichierSignets(fichier, tailleMaxSignets))
    {
    }

    // The next byte, or -1 at the end of the file.
    int voir() { return m_pos < m_fin ? static_cast<unsigned char>(m_tampon[m_pos]) : remplir(); }
    int prendre()
    {
        const int octet = voir();
        m_pos += octet >= 0;
        return octet;
    }
    // The bytes already read and not yet taken.
    const char *debut() const { return m_tampon + m_pos; }
    const char *fin() const { return m_tampon + m_fin; }
    void avancer(std::ptrdiff_t n) { m_pos += n; }

    [[noreturn]] void refuser() const { throw ErreurSource::endommage(m_fichier); }
    [[noreturn]] void tropComplexe() const { throw ErreurSource::tropComplexe(m_fichier); }

private:
    int remplir()
    {
        const std::int64_t lu = m_lecteur->read(m_tampon, sizeof m_tampon);
        m_total += lu;
        if (m_total > tailleMaxSignets)
            throw ErreurSource::tropGrand(m_fichier, tailleMaxSignets);
        m_pos = 0;
        m_fin = lu > 0 ? lu : 0;
        return m_fin > 0 ? static_cast<unsigned char>(m_tampon[0]) : -1;
    }

    QString m_fichier;
    std::unique_ptr<platform::ByteReader> m_lecteur;
    char m_tampon[1 << 16];
    std::int64_t m_pos = 0, m_fin = 0, m_total = 0;
};

// Strict JSON over the stream. A value that is not kept is checked and skipped.
class Json
{
public:
    explicit Json(Flux &flux) : m_flux(flux) {}

    [[noreturn]] void refuser() const { m_flux.refuser(); }

    // The next byte that is not a blank, left in the stream; -1 at the end.
    int voir()
    {
        for (;;) {
            const char *p = m_flux.debut(), *fin = m_flux.fin();
            while (p < fin && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
                ++p;
            m_flux.avancer(p - m_flux.debut());
            if (p < fin || m_flux.voir() < 0)
                return m_flux.voir();
        }
    }
    void attendre(char attendu)
    {
        if (voir() != attendu)
            refuser();
        m_flux.avancer(1);
    }
    // After a member or an element: true on ',', false on the closing bracket.
    bool suite(char fermante)
    {
        const int octet = voir();
        if (octet != ',' && octet != fermante)
            refuser();
        m_flux.avancer(1);
        return octet == ',';
    }

    // Calls membre(key) for each member of an object, with the stream on the member's value.
    // Keys longer than any member read are cut short: they match nothing. niveau counts the
    // arrays and objects this one is in.
    template <typename Membre> void objet(int niveau, Membre membre)
    {
        if (niveau >= niveauxMaxJson)
            m_flux.tropComplexe();
        attendre('{');
        if (voir() == '}') {
            m_flux.avancer(1);
            return;
        }
        std::string cle;
        do {
            cle.clear();
            if (voir() != '"')
                refuser();
            if (!chaine(&cle, 16))
                cle += '\x01';
            attendre(':');
            membre(cle);
        } while (suite('}'));
    }
    template <typename Element> void tableau(int niveau, Element element)
    {
        if (niveau >= niveauxMaxJson)
            m_flux.tropComplexe();
        attendre('[');
        if (voir() == ']') {
            m_flux.avancer(1);
            return;
        }
        do
            element();
        while (suite(']'));
    }

    // A string value, decoded into dans when given, or an empty one for any other value.
    void texte(std::string *dans, std::size_t max = std::string::npos)
    {
        if (dans)
            dans->clear();
        if (voir() == '"')
            chaine(dans, max);
        else
            passer(0);
    }

    // Checks and skips one value.
    void passer(int niveau)
    {
        switch (voir()) {
        case '{':
            return objet(niveau, [&](const std::string &) { passer(niveau + 1); });
        case '[':
            return tableau(niveau, [&] { passer(niveau + 1); });
        case '"':
            chaine(nullptr, 0);
            return;
        case 't':
            return mot("true");
        case 'f':
            return mot("false");
        case 'n':
            return mot("null");
        default:
            return nombre();
        }
    }

    // Reads a string, its opening quote next, and appends at most max of its bytes (UTF-8,
    // escapes decoded) to dans. False when it had more.
    bool chaine(std::string *dans, std::size_t max)
    {
        attendre('"');
        bool entiere = true;
        const auto ajouter = [&](const char *octets, std::size_t n) {
            if (!dans)
                return;
            const std::size_t place = max - std::min(max, dans->size());
            if (n > place) {
                n = place;
                entiere = false;
            }
            dans->append(octets, n);
        };
        for (;;) {
            const char *debut = m_flux.debut(), *fin = m_flux.fin(), *p = debut;
            while (p < fin && static_cast<unsigned char>(*p) >= 0x20 &&
                   static_cast<unsigned char>(*p) < 0x80 && *p != '"' && *p != '\\')
                ++p;
            ajouter(debut, std::size_t(p - debut));
            m_flux.avancer(p - debut);
            const int octet = m_flux.prendre();
            if (octet == '"')
                return entiere;
            if (octet < 0x20) // a control character, or the end of the file
                refuser();
            char utf8[4];
            std::size_t n;
            if (octet == '\\') {
                n = encoder(echappement(), utf8);
            } else if (octet < 0x80) { // the first byte of the next block
                utf8[0] = char(octet);
                n = 1;
            } else {
                n = suiteUtf8(octet, utf8);
            }
            ajouter(utf8, n);
        }
    }

private:
    void mot(const char *attendu)
    {
        for (const char *c = attendu; *c; ++c)
            if (m_flux.prendre() != static_cast<unsigned char>(*c))
                refuser();
        finDeValeur();
    }
    // A number as JSON writes it: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    void nombre()
    {
        const auto chiffres = [&] {
            int n = 0;
            while (m_flux.voir() >= '0' && m_flux.voir() <= '9') {
                m_flux.avancer(1);
                ++n;
            }
            return n;
        };
        if (m_flux.voir() == '-')
            m_flux.avancer(1);
        if (m_flux.voir() == '0')
            m_flux.avancer(1);
        else if (chiffres() == 0)
            refuser();
        if (m_flux.voir() == '.') {
            m_flux.avancer(1);
            if (chiffres() == 0)
                refuser();
        }
        if (m_flux.voir() == 'e' || m_flux.voir() == 'E') {
            m_flux.avancer(1);
            if (m_flux.voir() == '+' || m_flux.voir() == '-')
                m_flux.avancer(1);
            if (chiffres() == 0)
                refuser();
        }
        finDeValeur();
    }
    // A scalar ends at a blank or at punctuation, never inside a word: "truex" is damaged.
    void finDeValeur()
    {
        const int octet = m_flux.voir();
        if (octet >= 0 && std::string_view(" \t\r\n,]}").find(char(octet)) == std::string::npos)
            refuser();
    }

    // The code point of an escape, its "\" taken. A lone UTF-16 surrogate becomes U+FFFD.
    char32_t echappement()
    {
        switch (m_flux.prendre()) {
        case '"':
            return '"';
        case '\\':
            return '\\';
        case '/':
            return '/';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'u':
            break;
        default:
            refuser();
        }
        const char32_t unite = hex4();
        if (unite >= 0xDC00 && unite < 0xE000)
            return 0xFFFD;
        if (unite < 0xD800 || unite >= 0xDC00)
            return unite;
        // A high surrogate: the low one must follow at once.
        if (m_flux.voir() != '\\')
            return 0xFFFD;
        m_flux.avancer(1);
        if (m_flux.prendre() != 'u')
            refuser();
        const char32_t basse = hex4();
        if (basse < 0xDC00 || basse >= 0xE000)
            return 0xFFFD; // the second unit is lost with the first: both are unusable alone
        return 0x10000 + ((unite - 0xD800) << 10) + (basse - 0xDC00);
    }
    char32_t hex4()
    {
        char32_t valeur = 0;
        for (int i = 0; i < 4; ++i) {
            const int c = m_flux.prendre();
            const int chiffre = c >= '0' && c <= '9'   ? c - '0'
                                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                       : -1;
            if (chiffre < 0)
                refuser();
            valeur = valeur * 16 + char32_t(chiffre);
        }
        return valeur;
    }
    static std::size_t encoder(char32_t c, char *utf8)
    {
        if (c < 0x80) {
            utf8[0] = char(c);
            return 1;
        }
        if (c < 0x800) {
            utf8[0] = char(0xC0 | (c >> 6));
            utf8[1] = char(0x80 | (c & 0x3F));
            return 2;
        }
        if (c < 0x10000) {
            utf8[0] = char(0xE0 | (c >> 12));
            utf8[1] = char(0x80 | ((c >> 6) & 0x3F));
            utf8[2] = char(0x80 | (c & 0x3F));
            return 3;
        }
        utf8[0] = char(0xF0 | (c >> 18));
        utf8[1] = char(0x80 | ((c >> 12) & 0x3F));
        utf8[2] = char(0x80 | ((c >> 6) & 0x3F));
        utf8[3] = char(0x80 | (c & 0x3F));
        return 4;
    }
    // The rest of a UTF-8 sequence whose first byte is taken; anything but well-formed
    // UTF-8 (overlong forms, surrogates, beyond U+10FFFF) is damage.
    std::size_t suiteUtf8(int premier, char *utf8)
    {
        std::size_t n;
        char32_t c, minimum;
        if ((premier & 0xE0) == 0xC0) {
            n = 2, c = premier & 0x1F, minimum = 0x80;
        } else if ((premier & 0xF0) == 0xE0) {
            n = 3, c = premier & 0x0F, minimum = 0x800;
        } else if ((premier & 0xF8) == 0xF0) {
            n = 4, c = premier & 0x07, minimum = 0x10000;
        } else {
            refuser();
        }
        utf8[0] = char(premier);
        for (std::size_t i = 1; i < n; ++i) {
            const int octet = m_flux.prendre();
            if ((octet & 0xC0) != 0x80)
                refuser();
            c = (c << 6) | char32_t(octet & 0x3F);
            utf8[i] = char(octet);
        }
        if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
            refuser();
        return n;
    }

    Flux &m_flux;
};

class LecteurChromium
{
public:
    explicit LecteurChromium(const QString &fichier) : m_flux(fichier), m_json(m_flux) {}

    TableLiens lire()
    {
        if (m_flux.voir() == 0xEF) // a UTF-8 byte order mark
            for (const char octet : {'\xEF', '\xBB', '\xBF'})
                if (m_flux.prendre() != static_cast<unsigned char>(octet))
                    m_json.refuser();
        bool racines = false;
        m_json.objet(0, [&](const std::string &cle) {
            if (cle != "roots")
                return m_json.passer(1);
            // As in the browser, the last of two members of the same name counts.
            m_dossiers.clear();
            m_racines.clear();
            m_liens.clear();
            m_dossierDe.clear();
            racines = m_json.voir() == '{';
            if (racines)
                lireRacines();
            else
                m_json.passer(1);
        });
        if (!racines || m_json.voir() >= 0)
            m_json.refuser();
        return rangees();
    }

private:
    struct Dossier {
        int parent; // -1 at the top
        QString titre;
        bool retenu = false; // its node is of type "folder"
    };

    void lireRacines()
    {
        m_json.objet(1, [&](const std::string &cle) {
            const QString nom = nomRacine(cle);
            if (nom.isEmpty())
                return m_json.passer(2);
            m_racines.erase(std::remove_if(m_racines.begin(), m_racines.end(),
                                           [&](const auto &r) { return r.first == cle; }),
                            m_racines.end());
            const int dossier = lireNoeud(-1, 0, 2);
            if (dossier >= 0) {
                m_dossiers[std::size_t(dossier)].titre = nom;
                m_racines.push_back({cle, dossier});
            }
        });
    }

    // Reads one node (a bookmark, a folder or anything else) under the folder parent, at this
    // depth of folders and level of JSON. Returns the index of the folder its "children" made,
    // or -1. Of two members of the same name, the last counts, "children" included.
    int lireNoeud(int parent, int profondeur, int niveau)
    {
        if (m_json.voir() != '{') {
            m_json.passer(niveau);
            return -1;
        }
        int dossier = -1;
        qsizetype liensAvant = 0;
        enum class Type { Autre, Signet, Dossier, Inconnu } type = Type::Inconnu;
        std::string genre, nom, url, date;
        m_json.objet(niveau, [&](const std::string &cle) {
            if (cle == std::string_view("children")) {
                if (dossier >= 0) { // an earlier "children" array: what it gave goes
                    m_dossiers.resize(std::size_t(dossier) + 1);
                    m_liens.resize(liensAvant);
                    m_dossierDe.resize(std::size_t(liensAvant));
                }
                if (m_json.voir() != '[') {
                    if (dossier >= 0)
                        m_dossiers.pop_back();
                    dossier = -1;
                    return m_json.passer(niveau + 1);
                }
                if (dossier < 0) {
                    if (profondeur >= profondeurMaxSignets)
                        m_flux.tropComplexe();
                    dossier = int(m_dossiers.size());
                    m_dossiers.push_back({parent, QString()});
                    liensAvant = m_liens.size();
                }
                m_json.tableau(niveau + 1, [&] { lireNoeud(dossier, profondeur + 1, niveau + 2); });
            } else if (cle == std::string_view("type")) {
                m_json.texte(&genre, 8);
                type = genre == "url"      ? Type::Signet
                       : genre == "folder" ? Type::Dossier
                                           : Type::Autre;
            } else if (cle == std::string_view("name")) {
                m_json.texte(type == Type::Autre ? nullptr : &nom);
            } else if (cle == std::string_view("url")) {
                // Kept only while the node may still be a bookmark.
                m_json.texte(type == Type::Inconnu || type == Type::Signet ? &url : nullptr);
            } else if (cle == std::string_view("date_added")) {
                m_json.texte(&date, 24);
            } else {
                m_json.passer(niveau + 1);
            }
        });
        if (dossier >= 0) {
            m_dossiers[std::size_t(dossier)].titre = QString::fromStdString(nom);
            m_dossiers[std::size_t(dossier)].retenu = type == Type::Dossier;
        }
        const QString adresse = type == Type::Signet ? QString::fromStdString(url) : QString();
        if (type == Type::Signet && parent >= 0 && adresseAbsolue(adresse)) {
            const qsizetype avant = m_liens.size();
            ajouterSignet(m_liens, QString(), QString::fromStdString(nom), adresse,
                          dateChromium(date));
            if (m_liens.size() > avant)
                m_dossierDe.push_back(parent);
        }
        return dossier;
    }

    // The rows with their folders, in the order of a walk that takes the top-level folders by
    // key, lists each folder's bookmarks, then walks its sub-folders last first.
    TableLiens rangees()
    {
        std::vector<std::vector<int>> sousDossiers(m_dossiers.size());
        std::vector<QString> chemins(m_dossiers.size());
        for (std::size_t d = 0; d < m_dossiers.size(); ++d) {
            const Dossier &dossier = m_dossiers[d];
            const QString titre =
                dossier.titre.isEmpty() ? QString::fromUtf16(sansTitre) : dossier.titre;
            if (dossier.parent < 0) {
                chemins[d] = titreDossier(titre);
            } else {
                sousDossiers[std::size_t(dossier.parent)].push_back(int(d));
                chemins[d] = dossierEnfant(chemins[std::size_t(dossier.parent)], titre);
            }
        }
        std::stable_sort(m_racines.begin(), m_racines.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        std::vector<int> rang(m_dossiers.size(), -1);
        int suivant = 0;
        for (const auto &racine : m_racines) {
            std::vector<int> pile{racine.second};
            while (!pile.empty()) {
                const int d = pile.back();
                pile.pop_back();
                if (!m_dossiers[std::size_t(d)].retenu)
                    continue;
                rang[std::size_t(d)] = suivant++;
                pile.insert(pile.end(), sousDossiers[std::size_t(d)].begin(),
                            sousDossiers[std::size_t(d)].end());
            }
        }
        std::vector<qsizetype> ordre;
        for (qsizetype r = 0; r < m_liens.size(); ++r)
            if (rang[std::size_t(m_dossierDe[std::size_t(r)])] >= 0)
                ordre.push_back(r);
        std::stable_sort(ordre.begin(), ordre.end(), [&](qsizetype a, qsizetype b) {
            return rang[std::size_t(m_dossierDe[std::size_t(a)])] <
                   rang[std::size_t(m_dossierDe[std::size_t(b)])];
        });
        TableLiens liens;
        liens.reserve(qsizetype(ordre.size()));
        for (const qsizetype r : ordre) {
            liens.append(std::move(m_liens[r]));
            liens.back().dossier = chemins[std::size_t(m_dossierDe[std::size_t(r)])];
        }
        return liens;
    }

    Flux m_flux;
    Json m_json;
    std::vector<Dossier> m_dossiers;
    std::vector<std::pair<std::string, int>> m_racines; // key, folder
    TableLiens m_liens;                                 // in the file's order, without folders
    std::vector<int> m_dossierDe;                       // each row's folder
};

} // namespace

TableLiens lireChromium(const QString &fichier)
{
    return LecteurChromium(fichier).lire();
}
