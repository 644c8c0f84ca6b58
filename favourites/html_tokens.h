#pragma once

#include <QString>
#include <QStringView>

// A push tokenizer for the loose HTML of bookmark files: text comes in pieces of any size, and
// tags, comments and the text between them reach a receiver as they end. It never builds a
// tree and holds nothing but the attributes a receiver keeps, so that its memory does not grow
// with the file. Comments, declarations and the content of script, style, title and the like
// are skipped; character references are left as they stand (decoderReferences decodes them).

// The elements that bookmark files use; every other one is Autre.
enum class BaliseHtml { Autre, A, Dl, Dt, Dd, Hr, H1, H2, H3, H4, H5, H6, Meta };

class RecepteurHtml
{
public:
    virtual ~RecepteurHtml() = default;
    // A start tag; href and date are the A element's HREF and ADD_DATE (empty for other tags).
    virtual void debut(BaliseHtml balise, const QString &href, const QString &date) = 0;
    virtual void fin(BaliseHtml balise) = 0;
    // Text between tags, as written (references undecoded); only while texteVoulu() says so.
    virtual void texte(QStringView texte) = 0;
    virtual bool texteVoulu() const = 0;
};

class DecoupeurHtml
{
public:
    explicit DecoupeurHtml(RecepteurHtml &recepteur) : m_recepteur(recepteur) {}

    void ajouter(QStringView texte);
    // Whether the text ended between two tokens, outside any tag, comment or skipped content.
    bool finitEntreJetons() const { return m_etat == Etat::Donnees || m_etat == Etat::Brut; }

private:
    enum class Etat {
        Donnees,
        Inferieur,      // after "<"
        InferieurBarre, // after "</"
        NomBalise,
        AvantAttribut,
        NomAttribut,
        ApresNomAttribut,
        AvantValeur,
        ValeurGuillemets,
        ValeurNue,
        MarquageOuvert, // after "<!", "<!-"
        Declaration,    // "<!...>", "<?...>" and bogus comments, up to ">"
        Commentaire,
        Brut,      // the rest of the file after <plaintext>
        TexteBrut, // the content of script, style, title... up to its end tag
    };
    enum class Garde { Aucun, Href, Date };

    void finBalise();
    bool finTexteBrut(QChar c);

    RecepteurHtml &m_recepteur;
    Etat m_etat = Etat::Donnees;
    bool m_fermante = false;
    QString m_nom;    // tag name, lower case, cut after a few letters
    QString m_attrib; // attribute name, the same
    Garde m_garde = Garde::Aucun;
    QChar m_guillemet;
    int m_tirets = 0;
    QString m_href, m_date;
    bool m_hrefVu = false, m_dateVue = false;
    QString m_brut;            // the element whose content is skipped (TexteBrut)
    int m_correspondance = -1; // letters of "</name" matched in TexteBrut
};

// The text with its character references decoded (named, decimal and hexadecimal). In an
// attribute value, a legacy name without ";" followed by a letter, a digit or "=" stays as
// written, as in browsers.
QString decoderReferences(QStringView brut, bool dansAttribut);
