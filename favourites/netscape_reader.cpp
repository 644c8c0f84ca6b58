#include "favourites/netscape_reader.h"

#include "favourites/bookmark_rows.h"
#include "favourites/html_tokens.h"
#include "favourites/source_error.h"
#include "platform/file_system.h"
#include "platform/windows1252.h"

#include <QStringDecoder>

#include <memory>
#include <optional>
#include <vector>

namespace
{

// A folder column longer than this is refused: no browser makes one, and each open folder
// keeps its own.
constexpr qsizetype longueurMaxDossier = 1 << 14;

// How much of the file's start is looked at for a byte order mark or a declared charset.
constexpr qsizetype debutCharset = 1 << 16;

// The character set that a META tag declares in the file's first bytes, in lower case; empty
// when none does.
QByteArray charsetDeclare(QByteArrayView debut)
{
    const QByteArray t = debut.first(std::min(debut.size(), debutCharset)).toByteArray().toLower();
    for (qsizetype m = t.indexOf("<meta"); m >= 0; m = t.indexOf("<meta", m + 5)) {
        const qsizetype fin = t.indexOf('>', m);
        const QByteArray balise = t.mid(m, fin < 0 ? -1 : fin - m);
        qsizetype c = balise.indexOf("charset");
        if (c < 0)
            continue;
        for (c += 7; c < balise.size() && balise[c] == ' ';)
            ++c;
        if (c >= balise.size() || balise[c] != '=')
            continue;
        for (++c; c < balise.size() && QByteArrayView(" \"'").contains(balise[c]);)
            ++c;
        qsizetype e = c;
        while (e < balise.size() && !QByteArrayView(" \"';\t\r\n").contains(balise[e]))
            ++e;
        if (e > c)
            return balise.mid(c, e - c);
    }
    return {};
}

// How the file's bytes become text: a decoder, or Windows-1252 when there is none.
struct Codage {
    std::optional<QStringDecoder> decodeur;
    bool sur = true; // false: UTF-8 guessed, to be given up at the first byte that is not
};

Codage codagePour(QByteArrayView debut, bool windows1252)
{
    if (debut.startsWith("\xEF\xBB\xBF"))
        return {QStringDecoder(QStringDecoder::Utf8)};
    if (debut.startsWith("\xFF\xFE"))
        return {QStringDecoder(QStringDecoder::Utf16LE)};
    if (debut.startsWith("\xFE\xFF"))
        return {QStringDecoder(QStringDecoder::Utf16BE)};
    QByteArray nom = charsetDeclare(debut);
    // A UTF-16 declaration that could be read as ASCII is wrong: the text is UTF-8, as browsers
    // take it. Latin-1 and ASCII mean Windows-1252.
    if (nom.startsWith("utf-16"))
        nom = "utf-8";
    static const QByteArrayView windows[] = {"windows-1252", "cp1252",    "x-cp1252",
                                             "iso-8859-1",   "iso8859-1", "latin1",
                                             "l1",           "us-ascii",  "ascii"};
    for (QByteArrayView w : windows) {
        if (nom == w)
            return {std::nullopt};
    }
    if (!nom.isEmpty()) {
        QStringDecoder declare(nom.constData());
        if (declare.isValid())
            return {std::move(declare)};
    }
    if (windows1252)
        return {std::nullopt};
    return {QStringDecoder(QStringDecoder::Utf8), false};
}

// Turns the tags into rows as Firefox's import does, in one pass: an H3 names the folder of the
// next DL, unless a DT comes first (an empty folder); a DL without a title stays in its
// parent's folder. An A left open ends where the next bookmark, title or list starts.
class Signets : public RecepteurHtml
{
public:
    explicit Signets(const QString &fichier) : m_fichier(fichier) {}

    void debut(BaliseHtml balise, const QString &href, const QString &date) override
    {
        switch (balise) {
        case BaliseHtml::A: {
            finirTexte();
            m_titreEnAttente.reset();
            m_href = decoderReferences(href, true).trimmed();
            m_date = date.trimmed().toLongLong();
            if (adresseAbsolue(m_href))
                m_collecte = Collecte::Lien;
            break;
        }
        case BaliseHtml::H3:
            finirTexte();
            m_collecte = Collecte::Titre;
            break;
        case BaliseHtml::Dt:
            finirTexte();
            m_titreEnAttente.reset();
            m_structure = true;
            break;
        case BaliseHtml::Dl:
            finirTexte();
            m_liste = true;
            if (int(m_dossiers.size()) > profondeurMaxSignets)
                throw ErreurSource::tropComplexe(m_fichier);
            if (m_titreEnAttente) {
                QString dossier = dossierEnfant(m_dossiers.back(), *m_titreEnAttente);
                if (dossier.size() > longueurMaxDossier)
                    throw ErreurSource::tropComplexe(m_fichier);
                m_dossiers.push_back(std::move(dossier));
            } else {
                m_dossiers.push_back(m_dossiers.back());
            }
            m_titreEnAttente.reset();
            break;
        case BaliseHtml::Dd:
        case BaliseHtml::Hr:
        case BaliseHtml::H1:
        case BaliseHtml::H2:
        case BaliseHtml::H4:
        case BaliseHtml::H5:
        case BaliseHtml::H6:
            finirTexte();
            break;
        case BaliseHtml::Meta:
        case BaliseHtml::Autre:
            break;
        }
    }

    void fin(BaliseHtml balise) override
    {
        switch (balise) {
        case BaliseHtml::A:
            if (m_collecte == Collecte::Lien)
                finirTexte();
            break;
        case BaliseHtml::H1:
        case BaliseHtml::H2:
        case BaliseHtml::H3:
        case BaliseHtml::H4:
        case BaliseHtml::H5:
        case BaliseHtml::H6:
            if (m_collecte == Collecte::Titre)
                finirTexte();
            break;
        case BaliseHtml::Dl:
            finirTexte();
            if (m_dossiers.size() > 1)
                m_dossiers.pop_back();
            break;
        case BaliseHtml::Dt:
        case BaliseHtml::Dd:
        case BaliseHtml::Hr:
        case BaliseHtml::Meta:
        case BaliseHtml::Autre:
            break;
        }
    }

    void texte(QStringView texte) override
    {
        // A folder title longer than a folder column may be gets no further: it is refused
        // if a list takes it.
        if (m_collecte == Collecte::Lien || m_texte.size() <= longueurMaxDossier)
            m_texte += texte;
    }

    bool texteVoulu() const override { return m_collecte != Collecte::Rien; }

    // A bookmark file's doctype starts the text.
    void doctype() { m_doctype = true; }

    // The rows; whether lists were left open. Throws when nothing of a bookmark file was seen:
    // every entry is a DT, and an empty bookmark file is a doctype and an empty list.
    TableLiens terminer(bool &listesOuvertes)
    {
        finirTexte();
        if (!m_structure && !(m_liste && m_doctype))
            throw ErreurSource::inconnu(m_fichier);
        listesOuvertes = m_dossiers.size() > 1;
        return std::move(m_liens);
    }

private:
    void finirTexte()
    {
        const QString texte = decoderReferences(m_texte, false).trimmed();
        if (m_collecte == Collecte::Lien)
            ajouterSignet(m_liens, m_dossiers.back(), texte, m_href, m_date);
        else if (m_collecte == Collecte::Titre)
            m_titreEnAttente =
                texte.size() > longueurMaxDossier ? QString(longueurMaxDossier + 1, u' ') : texte;
        m_collecte = Collecte::Rien;
        m_texte.clear();
    }

    enum class Collecte { Rien, Lien, Titre };

    const QString &m_fichier;
    TableLiens m_liens;
    std::vector<QString> m_dossiers{QString()}; // the folder of each list open, the root first
    std::optional<QString> m_titreEnAttente;
    Collecte m_collecte = Collecte::Rien;
    QString m_texte;
    QString m_href;
    qint64 m_date = 0;
    bool m_structure = false; // a DT was seen
    bool m_liste = false;
    bool m_doctype = false;
};

// Takes the file's bytes as they come and hands their text to the tokenizer.
class LecteurNetscape
{
public:
    LecteurNetscape(const QString &fichier, bool windows1252)
        : m_windows1252(windows1252), m_signets(fichier)
    {
    }

    // False when the text, not declared, turns out not to be UTF-8: it is to be read again,
    // as Windows-1252.
    bool ajouter(QByteArrayView octets)
    {
        if (m_codage)
            return decoder(octets);
        m_debut += octets;
        if (m_debut.size() < debutCharset)
            return true;
        return commencer();
    }

    bool terminer()
    {
        if (!m_codage && !commencer())
            return false;
        if (m_codage->decodeur) {
            // A sequence cut by the file's end is one more invalid byte.
            if (m_codage->decodeur->hasError() && !m_codage->sur)
                return false;
        }
        return true;
    }

    TableLiens liens(bool *incomplet)
    {
        bool listesOuvertes = false;
        TableLiens liens = m_signets.terminer(listesOuvertes);
        if (incomplet)
            *incomplet = listesOuvertes || !m_decoupeur.finitEntreJetons();
        return liens;
    }

private:
    bool commencer()
    {
        m_codage = codagePour(m_debut, m_windows1252);
        if (m_debut.first(std::min(m_debut.size(), debutCharset))
                .toLower()
                .contains("<!doctype netscape-bookmark-file"))
            m_signets.doctype();
        const QByteArray debut = std::move(m_debut);
        return decoder(debut);
    }

    bool decoder(QByteArrayView octets)
    {
        if (!m_codage->decodeur) {
            m_decoupeur.ajouter(platform::decodeWindows1252(octets));
            return true;
        }
        QStringDecoder &d = *m_codage->decodeur;
        const QString texte = d.decode(octets);
        if (d.hasError() && !m_codage->sur)
            return false;
        m_decoupeur.ajouter(texte);
        return true;
    }

    const bool m_windows1252;
    QByteArray m_debut;
    std::optional<Codage> m_codage;
    Signets m_signets;
    DecoupeurHtml m_decoupeur{m_signets};
};

// Reads a whole source file in blocks, handing each to lire until it answers false; throws
// ErreurSource when it cannot be read or grows beyond the size allowed.
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
        if (!lire(QByteArrayView(bloc, qsizetype(lu))))
            return;
    }
}

} // namespace

TableLiens analyserNetscape(QByteArrayView octets, const QString &fichier, bool *incomplet,
                            qsizetype taillePieces)
{
    const qsizetype piece = taillePieces > 0 ? taillePieces : std::max<qsizetype>(octets.size(), 1);
    for (const bool windows1252 : {false, true}) {
        LecteurNetscape lecteur(fichier, windows1252);
        bool suite = true;
        for (qsizetype i = 0; suite && i < octets.size(); i += piece)
            suite = lecteur.ajouter(octets.sliced(i, std::min(piece, octets.size() - i)));
        if (suite && lecteur.terminer())
            return lecteur.liens(incomplet);
    }
    Q_UNREACHABLE();
}

// Read once when the text is declared or UTF-8; twice when it turns out to be Windows-1252.
TableLiens lireNetscape(const QString &fichier, bool *incomplet)
{
    for (const bool windows1252 : {false, true}) {
        LecteurNetscape lecteur(fichier, windows1252);
        bool suite = true;
        lireParBlocs(fichier, [&](QByteArrayView bloc) { return suite = lecteur.ajouter(bloc); });
        if (suite && lecteur.terminer())
            return lecteur.liens(incomplet);
    }
    Q_UNREACHABLE();
}
