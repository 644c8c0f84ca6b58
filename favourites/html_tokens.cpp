#include "favourites/html_tokens.h"

#include "platform/windows1252.h"

#include <QHash>

namespace
{

bool estEspace(QChar c)
{
    return c == u' ' || c == u'\n' || c == u'\t' || c == u'\r' || c == u'\f';
}

bool estLettre(QChar c)
{
    const char16_t u = c.unicode() | 0x20;
    return u >= u'a' && u <= u'z';
}

bool estAlphanumerique(QChar c)
{
    return estLettre(c) || (c >= u'0' && c <= u'9');
}

QChar minuscule(QChar c)
{
    return c >= u'A' && c <= u'Z' ? QChar(c.unicode() | 0x20) : c;
}

// Tag names are kept to this many letters: longer ones name no element that matters here.
constexpr qsizetype longueurMaxNom = 10;
// An ADD_DATE longer than this is no date.
constexpr qsizetype longueurMaxDate = 32;

BaliseHtml baliseNommee(const QString &nom)
{
    if (nom.size() == 1)
        return nom[0] == u'a' ? BaliseHtml::A : BaliseHtml::Autre;
    if (nom.size() == 4)
        return nom == u"meta" ? BaliseHtml::Meta : BaliseHtml::Autre;
    if (nom.size() != 2)
        return BaliseHtml::Autre;
    const char16_t premier = nom[0].unicode(), second = nom[1].unicode();
    if (premier == u'd' && second == u'l')
        return BaliseHtml::Dl;
    if (premier == u'd' && second == u't')
        return BaliseHtml::Dt;
    if (premier == u'd' && second == u'd')
        return BaliseHtml::Dd;
    if (premier == u'h' && second == u'r')
        return BaliseHtml::Hr;
    if (premier == u'h' && second >= u'1' && second <= u'6')
        return BaliseHtml(int(BaliseHtml::H1) + (second - u'1'));
    return BaliseHtml::Autre;
}

// Elements whose content is text up to their own end tag, never markup.
bool contenuBrut(const QString &nom)
{
    static const QString noms[] = {
        QStringLiteral("script"),   QStringLiteral("style"),    QStringLiteral("title"),
        QStringLiteral("textarea"), QStringLiteral("xmp"),      QStringLiteral("iframe"),
        QStringLiteral("noembed"),  QStringLiteral("noframes"),
    };
    for (const QString &n : noms) {
        if (nom == n)
            return true;
    }
    return false;
}

// How many "-" end this text.
qsizetype tiretsFinaux(QStringView t)
{
    qsizetype k = 0;
    while (k < t.size() && t[t.size() - 1 - k] == u'-')
        ++k;
    return k;
}

} // namespace

void DecoupeurHtml::ajouter(QStringView t)
{
    const qsizetype n = t.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = t[i];
        switch (m_etat) {
        case Etat::Donnees: {
            qsizetype j = t.indexOf(u'<', i);
            if (j < 0)
                j = n;
            if (j > i && m_recepteur.texteVoulu())
                m_recepteur.texte(t.sliced(i, j - i));
            i = j < n ? j + 1 : n;
            if (j < n)
                m_etat = Etat::Inferieur;
            break;
        }
        case Etat::Brut:
            if (m_recepteur.texteVoulu())
                m_recepteur.texte(t.sliced(i));
            i = n;
            break;
        case Etat::Inferieur:
        case Etat::InferieurBarre:
            if (estLettre(c)) {
                m_fermante = m_etat == Etat::InferieurBarre;
                m_nom.clear();
                m_href.clear();
                m_date.clear();
                m_hrefVu = m_dateVue = false;
                m_etat = Etat::NomBalise;
            } else if (m_etat == Etat::InferieurBarre) {
                m_etat = c == u'>' ? Etat::Donnees : Etat::Declaration;
                i += c == u'>';
            } else if (c == u'/') {
                m_etat = Etat::InferieurBarre;
                ++i;
            } else if (c == u'!') {
                m_etat = Etat::MarquageOuvert;
                m_tirets = 0;
                ++i;
            } else if (c == u'?') {
                m_etat = Etat::Declaration;
                ++i;
            } else { // a "<" that opens nothing is text
                if (m_recepteur.texteVoulu())
                    m_recepteur.texte(u"<");
                m_etat = Etat::Donnees;
            }
            break;
        case Etat::NomBalise:
            ++i;
            if (estEspace(c) || c == u'/')
                m_etat = Etat::AvantAttribut;
            else if (c == u'>')
                finBalise();
            else if (m_nom.size() <= longueurMaxNom)
                m_nom += minuscule(c);
            break;
        case Etat::AvantAttribut:
            if (c == u'>') {
                ++i;
                finBalise();
            } else if (estEspace(c) || c == u'/') {
                ++i;
            } else {
                m_attrib.clear();
                m_etat = Etat::NomAttribut;
                if (c == u'=') { // part of the name when it comes first
                    m_attrib += c;
                    ++i;
                }
            }
            break;
        case Etat::NomAttribut:
        case Etat::ApresNomAttribut:
            if (c == u'>') {
                ++i;
                finBalise();
            } else if (c == u'=') {
                ++i;
                m_garde = Garde::Aucun;
                if (!m_fermante && m_nom == u"a") {
                    if (m_attrib == u"href" && !m_hrefVu)
                        m_garde = Garde::Href;
                    else if (m_attrib == u"add_date" && !m_dateVue)
                        m_garde = Garde::Date;
                }
                m_hrefVu = m_hrefVu || m_attrib == u"href";
                m_dateVue = m_dateVue || m_attrib == u"add_date";
                m_etat = Etat::AvantValeur;
            } else if (c == u'/') {
                ++i;
                m_etat = Etat::AvantAttribut;
            } else if (estEspace(c)) {
                ++i;
                m_etat = Etat::ApresNomAttribut;
            } else if (m_etat == Etat::ApresNomAttribut) {
                m_hrefVu = m_hrefVu || m_attrib == u"href";
                m_dateVue = m_dateVue || m_attrib == u"add_date";
                m_etat = Etat::AvantAttribut; // a new attribute
            } else {
                ++i;
                if (m_attrib.size() <= longueurMaxNom)
                    m_attrib += minuscule(c);
            }
            break;
        case Etat::AvantValeur:
            if (estEspace(c)) {
                ++i;
            } else if (c == u'"' || c == u'\'') {
                m_guillemet = c;
                m_etat = Etat::ValeurGuillemets;
                ++i;
            } else if (c == u'>') {
                ++i;
                finBalise();
            } else {
                m_etat = Etat::ValeurNue;
            }
            break;
        case Etat::ValeurGuillemets:
        case Etat::ValeurNue: {
            qsizetype j = i;
            if (m_etat == Etat::ValeurGuillemets) {
                j = t.indexOf(m_guillemet, i);
                if (j < 0)
                    j = n;
            } else {
                while (j < n && !estEspace(t[j]) && t[j] != u'>')
                    ++j;
            }
            const QStringView valeur = t.sliced(i, j - i);
            if (m_garde == Garde::Href)
                m_href += valeur;
            else if (m_garde == Garde::Date && m_date.size() < longueurMaxDate)
                m_date += valeur.first(std::min(valeur.size(), longueurMaxDate));
            i = j;
            if (j < n) {
                i += m_etat == Etat::ValeurGuillemets; // past the closing quote
                m_garde = Garde::Aucun;
                m_etat = Etat::AvantAttribut;
            }
            break;
        }
        case Etat::MarquageOuvert:
            if (c == u'-' && m_tirets == 0) {
                m_tirets = 1;
                ++i;
            } else if (c == u'-') {
                // Two dashes already count, so that "<!-->" and "<!--->" end at once.
                m_tirets = 2;
                m_etat = Etat::Commentaire;
                ++i;
            } else {
                m_etat = Etat::Declaration;
            }
            break;
        case Etat::Declaration: {
            const qsizetype j = t.indexOf(u'>', i);
            i = j < 0 ? n : j + 1;
            if (j >= 0)
                m_etat = Etat::Donnees;
            break;
        }
        case Etat::Commentaire: {
            const qsizetype j = t.indexOf(u'>', i);
            const QStringView avant = t.sliced(i, (j < 0 ? n : j) - i);
            const qsizetype tirets = tiretsFinaux(avant);
            m_tirets = tirets == avant.size() ? m_tirets + int(std::min<qsizetype>(tirets, 2))
                                              : int(std::min<qsizetype>(tirets, 2));
            if (j < 0) {
                i = n;
            } else {
                i = j + 1;
                if (m_tirets >= 2)
                    m_etat = Etat::Donnees;
                m_tirets = 0;
            }
            break;
        }
        case Etat::TexteBrut:
            if (m_correspondance < 0) {
                const qsizetype j = t.indexOf(u'<', i);
                i = j < 0 ? n : j + 1;
                m_correspondance = j < 0 ? -1 : 0;
            } else if (m_correspondance == 0) {
                m_correspondance = c == u'/' ? 1 : -1;
                i += c == u'/';
            } else if (m_correspondance - 1 < m_brut.size()) {
                const bool egal = minuscule(c) == m_brut[m_correspondance - 1];
                m_correspondance = egal ? m_correspondance + 1 : -1;
                i += egal;
            } else if (estEspace(c) || c == u'/' || c == u'>') {
                // Its end tag: whatever attributes it has are skipped up to ">".
                m_nom = m_brut;
                m_fermante = true;
                m_correspondance = -1;
                m_etat = Etat::AvantAttribut;
            } else {
                m_correspondance = -1;
            }
            break;
        }
    }
}

void DecoupeurHtml::finBalise()
{
    m_etat = Etat::Donnees;
    m_garde = Garde::Aucun;
    const BaliseHtml balise = baliseNommee(m_nom);
    if (m_fermante) {
        m_recepteur.fin(balise);
        return;
    }
    m_recepteur.debut(balise, m_href, m_date);
    if (contenuBrut(m_nom)) {
        m_brut = m_nom;
        m_correspondance = -1;
        m_etat = Etat::TexteBrut;
    } else if (m_nom == u"plaintext") {
        m_etat = Etat::Brut;
    }
}

namespace
{

// The names of U+00A0 to U+00FF, in order. They, with amp, lt, gt and quot, are the legacy
// names that browsers still take without their ";".
const char *const nomsLatin1[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct Entite {
    const char *nom;
    char32_t valeur;
};

// The other HTML 4 names that bookmark titles use: markup, typography, arrows, Greek.
const Entite autresEntites[] = {
    {"apos", 39},     {"OElig", 338},   {"oelig", 339},   {"Scaron", 352},  {"scaron", 353},
    {"Yuml", 376},    {"fnof", 402},    {"circ", 710},    {"tilde", 732},   {"ensp", 8194},
    {"emsp", 8195},   {"thinsp", 8201}, {"zwnj", 8204},   {"zwj", 8205},    {"lrm", 8206},
    {"rlm", 8207},    {"ndash", 8211},  {"mdash", 8212},  {"lsquo", 8216},  {"rsquo", 8217},
    {"sbquo", 8218},  {"ldquo", 8220},  {"rdquo", 8221},  {"bdquo", 8222},  {"dagger", 8224},
    {"Dagger", 8225}, {"bull", 8226},   {"hellip", 8230}, {"permil", 8240}, {"prime", 8242},
    {"Prime", 8243},  {"lsaquo", 8249}, {"rsaquo", 8250}, {"oline", 8254},  {"frasl", 8260},
    {"euro", 8364},   {"trade", 8482},  {"larr", 8592},   {"uarr", 8593},   {"rarr", 8594},
    {"darr", 8595},   {"harr", 8596},   {"rArr", 8658},   {"hArr", 8660},   {"minus", 8722},
    {"infin", 8734},  {"ne", 8800},     {"le", 8804},     {"ge", 8805},     {"loz", 9674},
    {"spades", 9824}, {"clubs", 9827},  {"hearts", 9829}, {"diams", 9830},  {"Alpha", 913},
    {"Beta", 914},    {"Gamma", 915},   {"Delta", 916},   {"Omega", 937},   {"alpha", 945},
    {"beta", 946},    {"gamma", 947},   {"delta", 948},   {"epsilon", 949}, {"lambda", 955},
    {"mu", 956},      {"pi", 960},      {"sigma", 963},   {"omega", 969},
};

struct Entites {
    QHash<QString, char32_t> toutes;
    QHash<QString, char32_t> anciennes; // valid without ";"
    Entites()
    {
        for (int k = 0; k < 96; ++k)
            anciennes.insert(QString::fromLatin1(nomsLatin1[k]), char32_t(0xA0 + k));
        for (const Entite &e :
             {Entite{"amp", '&'}, Entite{"lt", '<'}, Entite{"gt", '>'}, Entite{"quot", '"'},
              Entite{"AMP", '&'}, Entite{"LT", '<'}, Entite{"GT", '>'}, Entite{"QUOT", '"'},
              Entite{"COPY", 0xA9}, Entite{"REG", 0xAE}})
            anciennes.insert(QString::fromLatin1(e.nom), e.valeur);
        toutes = anciennes;
        for (const Entite &e : autresEntites)
            toutes.insert(QString::fromLatin1(e.nom), e.valeur);
    }
};

void ajouterPointDeCode(QString &r, char32_t v)
{
    if (v >= 0x80 && v <= 0x9F) { // read as the Windows byte of that value, as browsers do
        r += platform::decodeWindows1252(QByteArrayView(QByteArray(1, char(v))));
        return;
    }
    if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
        v = 0xFFFD;
    const char32_t code[1] = {v};
    r += QString::fromUcs4(code, 1);
}

} // namespace

QString decoderReferences(QStringView brut, bool dansAttribut)
{
    if (!brut.contains(u'&'))
        return brut.toString();
    static const Entites entites;
    QString r;
    r.reserve(brut.size());
    const qsizetype n = brut.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype esperluette = brut.indexOf(u'&', i);
        if (esperluette < 0) {
            r += brut.sliced(i);
            break;
        }
        r += brut.sliced(i, esperluette - i);
        qsizetype j = esperluette + 1;
        if (j < n && brut[j] == u'#') {
            qsizetype k = j + 1;
            const bool hexa = k < n && (brut[k].unicode() | 0x20) == u'x';
            k += hexa;
            const qsizetype debutChiffres = k;
            char32_t valeur = 0;
            for (; k < n; ++k) {
                const char16_t u = brut[k].unicode();
                int chiffre = -1;
                if (u >= u'0' && u <= u'9')
                    chiffre = u - u'0';
                else if (hexa && (u | 0x20) >= u'a' && (u | 0x20) <= u'f')
                    chiffre = (u | 0x20) - u'a' + 10;
                if (chiffre < 0)
                    break;
                valeur =
                    std::min<char32_t>(valeur * (hexa ? 16 : 10) + char32_t(chiffre), 0x110000);
            }
            if (k == debutChiffres) { // "&#" with no digit is text
                r += u'&';
                i = j;
                continue;
            }
            ajouterPointDeCode(r, valeur);
            i = k < n && brut[k] == u';' ? k + 1 : k;
            continue;
        }
        qsizetype fin = j;
        while (fin < n && estAlphanumerique(brut[fin]) && fin - j < 32)
            ++fin;
        const QStringView nom = brut.sliced(j, fin - j);
        if (fin < n && brut[fin] == u';') {
            const auto trouve = entites.toutes.constFind(nom.toString());
            if (trouve != entites.toutes.cend()) {
                ajouterPointDeCode(r, *trouve);
                i = fin + 1;
                continue;
            }
        }
        // The longest legacy name that starts the run, without its ";".
        bool decode = false;
        for (qsizetype l = std::min<qsizetype>(nom.size(), 6); l >= 2 && !decode; --l) {
            const auto trouve = entites.anciennes.constFind(nom.first(l).toString());
            if (trouve == entites.anciennes.cend())
                continue;
            const qsizetype apres = j + l;
            if (dansAttribut && apres < n &&
                (estAlphanumerique(brut[apres]) || brut[apres] == u'='))
                break;
            ajouterPointDeCode(r, *trouve);
            i = apres < n && brut[apres] == u';' ? apres + 1 : apres;
            decode = true;
        }
        if (!decode) {
            r += u'&';
            i = j;
        }
    }
    return r;
}
