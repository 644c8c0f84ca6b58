#include "page/html_text.h"

#include <algorithm>

namespace
{

// Control characters are escaped as well: they would break the page's one line per link.
bool aEchapper(QChar c, Echappement echappement)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == u'<' || u == u'>' || u == u'"' ||
           (u == u'&' && echappement == Echappement::Signets);
}

// The reference that stands for a character that aEchapper picks.
QString reference(QChar c, Echappement echappement)
{
    const char16_t u = c.unicode();
    if (echappement == Echappement::Signets) {
        switch (u) {
        case u'&':
            return QStringLiteral("&amp;");
        case u'<':
            return QStringLiteral("&lt;");
        case u'>':
            return QStringLiteral("&gt;");
        case u'"':
            return QStringLiteral("&quot;");
        }
    }
    return QStringLiteral("&#%1;").arg(int(u));
}

} // namespace

QString texteHtml(const QString &texte, Echappement echappement)
{
    qsizetype i = 0;
    while (i < texte.size() && !aEchapper(texte[i], echappement))
        ++i;
    if (i == texte.size())
        return texte; // shared, not copied: most names need nothing
    QString sortie = texte.left(i);
    for (; i < texte.size(); ++i) {
        if (aEchapper(texte[i], echappement))
            sortie += reference(texte[i], echappement);
        else
            sortie += texte[i];
    }
    return sortie;
}

QString urlHtml(const QString &url)
{
    const auto aEncoder = [](QChar c) { return c == u'"' || c == u'\r' || c == u'\n'; };
    if (std::none_of(url.begin(), url.end(), aEncoder))
        return url;
    QString sortie;
    sortie.reserve(url.size() + 6);
    for (const QChar c : url) {
        if (aEncoder(c))
            sortie += c == u'"'    ? QLatin1String("%22")
                      : c == u'\r' ? QLatin1String("%0D")
                                   : QLatin1String("%0A");
        else
            sortie += c;
    }
    return sortie;
}
