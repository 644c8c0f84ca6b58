#include "favourites/chromium_reader.h"

#include "favourites/bookmark_rows.h"
#include "favourites/source_error.h"
#include "platform/file_system.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <memory>
#include <vector>

// A Bookmarks file of 100,000 bookmarks is some 40 MB of JSON, more again as one QJsonDocument.
// It is read as a stream instead: a strict splitter follows the objects and "children" arrays
// of the folders, and hands every other piece (a bookmark, a folder's own fields) to
// QJsonDocument on its own. Memory then holds the rows and one bookmark at a time.

namespace
{

// Folders deeper than this are refused, as a whole-document parse would refuse them.
constexpr int profondeurMax = 500;

// Chromium counts microseconds from 1601-01-01.
qint64 dateChromium(const QJsonValue &valeur)
{
    const qint64 microsecondes = valeur.toString().toLongLong();
    constexpr qint64 de1601a1970 = 11644473600;
    return microsecondes > 0 ? microsecondes / 1000000 - de1601a1970 : 0;
}

QString nomRacine(const QString &cle, const QString &nom)
{
    if (cle == QLatin1String("bookmark_bar"))
        return QStringLiteral("Barre de favoris");
    if (cle == QLatin1String("other"))
        return QStringLiteral("Autres favoris");
    if (cle == QLatin1String("synced"))
        return QStringLiteral("Favoris sur mobile");
    return nom;
}

// The file's bytes one at a time, read in blocks and counted against the size limit.
class Flux
{
public:
    explicit Flux(const QString &fichier)
        : m_fichier(fichier), m_lecteur(ouvrirFichierSignets(fichier, tailleMaxSignets))
    {
    }

    // The next byte, or -1 at the end of the file.
    int voir()
    {
        if (m_pos == m_fin && !remplir())
            return -1;
        return static_cast<unsigned char>(m_tampon[m_pos]);
    }
    int prendre()
    {
        const int octet = voir();
        if (octet >= 0)
            ++m_pos;
        return octet;
    }
    const QString &fichier() const { return m_fichier; }

private:
    bool remplir()
    {
        const std::int64_t lu = m_lecteur->read(m_tampon, sizeof m_tampon);
        m_total += lu;
        if (m_total > tailleMaxSignets)
            throw ErreurSource::tropGrand(m_fichier, tailleMaxSignets);
        m_pos = 0;
        m_fin = lu > 0 ? lu : 0;
        return m_fin > 0;
    }

    QString m_fichier;
    std::unique_ptr<platform::ByteReader> m_lecteur;
    char m_tampon[1 << 16];
    std::int64_t m_pos = 0, m_fin = 0, m_total = 0;
};

// The JSON structure around the values: blanks, punctuation, and the raw text of a value,
// which QJsonDocument then checks.
class Decoupeur
{
public:
    explicit Decoupeur(Flux &flux) : m_flux(flux) {}

    [[noreturn]] void refuser() const { throw ErreurSource::endommage(m_flux.fichier()); }

    // The next byte that is not a blank, left in the stream; -1 at the end.
    int voir()
    {
        int octet = m_flux.voir();
        while (octet == ' ' || octet == '\t' || octet == '\n' || octet == '\r') {
            m_flux.prendre();
            octet = m_flux.voir();
        }
        return octet;
    }
    void attendre(char attendu)
    {
        if (voir() != attendu)
            refuser();
        m_flux.prendre();
    }
    // After a member or an element: true on ',', false on the closing bracket.
    bool suite(char fermante)
    {
        const int octet = voir();
        if (octet != ',' && octet != fermante)
            refuser();
        m_flux.prendre();
        return octet == ',';
    }
    // Calls membre(key) for each member of an object, with the stream on the member's value.
    template <typename Membre> void objet(Membre membre)
    {
        attendre('{');
        if (voir() == '}') {
            m_flux.prendre();
            return;
        }
        do {
            QByteArray cle;
            copierChaine(cle);
            attendre(':');
            membre(cle);
        } while (suite('}'));
    }
    template <typename Element> void tableau(Element element)
    {
        attendre('[');
        if (voir() == ']') {
            m_flux.prendre();
            return;
        }
        do
            element();
        while (suite(']'));
    }

    // Appends the raw text of the next value, its brackets matched outside strings.
    void copierValeur(QByteArray &dans)
    {
        const int premier = voir();
        if (premier == '"')
            return copierChaine(dans);
        if (premier != '{' && premier != '[') {
            if (premier < 0 || finDeScalaire(premier))
                refuser(); // no value at all, as in "[1,,2]" or "[1,]"
            for (int octet = premier; octet >= 0 && !finDeScalaire(octet); octet = m_flux.voir())
                dans += char(m_flux.prendre());
            return;
        }
        // Blanks are kept: they may be all that separates two values of a damaged file.
        qint64 ouvertes = 0;
        do {
            const int octet = m_flux.voir();
            if (octet == '"') {
                copierChaine(dans);
                continue;
            }
            if (octet < 0)
                refuser();
            ouvertes += (octet == '{' || octet == '[') - (octet == '}' || octet == ']');
            dans += char(m_flux.prendre());
        } while (ouvertes > 0);
    }
    static bool finDeScalaire(int octet)
    {
        return octet == ',' || octet == ']' || octet == '}' || octet == ' ' || octet == '\t' ||
               octet == '\n' || octet == '\r';
    }
    void copierChaine(QByteArray &dans)
    {
        attendre('"');
        dans += '"';
        for (int octet; (octet = m_flux.prendre()) != '"';) {
            if (octet < 0)
                refuser();
            dans += char(octet);
            if (octet == '\\') {
                if ((octet = m_flux.prendre()) < 0)
                    refuser();
                dans += char(octet);
            }
        }
        dans += '"';
    }

    // Whether a raw key names nom once its escapes are read.
    bool estCle(const QByteArray &cle, const char *nom) const
    {
        if (!cle.contains('\\'))
            return cle == '"' + QByteArray(nom) + '"';
        return analyser('[' + cle + ']').array().at(0).toString() == QLatin1String(nom);
    }

    // A piece of JSON that must parse on its own.
    QJsonDocument analyser(const QByteArray &texte) const
    {
        QJsonParseError erreur;
        QJsonDocument document = QJsonDocument::fromJson(texte, &erreur);
        if (erreur.error != QJsonParseError::NoError)
            refuser();
        return document;
    }

private:
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
        m_json.objet([&](const QByteArray &cle) {
            if (m_json.estCle(cle, "roots")) {
                lireRacines();
                racines = true;
            } else {
                QByteArray membre = '{' + cle + ':';
                m_json.copierValeur(membre);
                m_json.analyser(membre + '}');
            }
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
        m_json.objet([&](const QByteArray &cle) {
            const int dossier = lireNoeud(-1, 0);
            if (dossier >= 0) {
                const QString nom = m_json.analyser('[' + cle + ']').array().at(0).toString();
                m_dossiers[dossier].titre = nomRacine(nom, m_dossiers[dossier].titre);
                m_racines.push_back({nom, dossier});
            }
        });
    }

    // Reads one node (a bookmark, a folder or anything else) under the folder parent. Returns
    // the index of the folder its "children" made, or -1.
    int lireNoeud(int parent, int profondeur)
    {
        if (m_json.voir() != '{') {
            QByteArray valeur = "[";
            m_json.copierValeur(valeur);
            m_json.analyser(valeur + ']');
            return -1;
        }
        int dossier = -1;
        QByteArray champs = "{";
        m_json.objet([&](const QByteArray &cle) {
            if (m_json.estCle(cle, "children") && m_json.voir() == '[' && dossier < 0) {
                if (profondeur >= profondeurMax)
                    m_json.refuser();
                dossier = int(m_dossiers.size());
                m_dossiers.push_back({parent, QString()});
                m_json.tableau([&] { lireNoeud(dossier, profondeur + 1); });
            } else {
                if (champs.size() > 1)
                    champs += ',';
                champs += cle + ':';
                m_json.copierValeur(champs);
            }
        });
        const QJsonObject noeud = m_json.analyser(champs + '}').object();
        const QString type = noeud.value(QLatin1String("type")).toString();
        const QString nom = noeud.value(QLatin1String("name")).toString();
        if (dossier >= 0) {
            m_dossiers[dossier].titre = nom;
            m_dossiers[dossier].retenu = type == QLatin1String("folder");
        }
        if (type == QLatin1String("url") && parent >= 0) {
            const qsizetype avant = m_liens.size();
            ajouterSignet(m_liens, QString(), nom, noeud.value(QLatin1String("url")).toString(),
                          dateChromium(noeud.value(QLatin1String("date_added"))));
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
            if (dossier.parent < 0) {
                chemins[d] = titreDossier(dossier.titre);
            } else {
                sousDossiers[std::size_t(dossier.parent)].push_back(int(d));
                chemins[d] = dossierEnfant(chemins[std::size_t(dossier.parent)], dossier.titre);
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
    Decoupeur m_json;
    std::vector<Dossier> m_dossiers;
    std::vector<std::pair<QString, int>> m_racines; // key, folder
    TableLiens m_liens;                             // in the file's order, without their folders
    std::vector<int> m_dossierDe;                   // each row's folder
};

} // namespace

TableLiens lireChromium(const QString &fichier)
{
    return LecteurChromium(fichier).lire();
}
