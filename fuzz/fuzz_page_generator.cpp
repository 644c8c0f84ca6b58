// Builds a link table and a page look from arbitrary bytes, generates the page and checks
// what must always hold: the head exactly as the options make it, "</html>" as the last
// line, and one link line for every row with a URL, in the order of the rows, its texts
// escaped so that none can add markup or leave the href attribute.
//
// Input: records separated by 0x1E, fields by 0x1F. The first record holds the options:
// six colours and three size positions in decimal, the title, the image (0: none,
// 1: an existing file, 2: a missing file) and the kind of source (odd: a bookmark file). Every
// further record is a row: folder, name and URL. Field text is UTF-8; 0x1D and the two bytes after
// it give one UTF-16 code unit (big-endian), so that any character, separators and lone surrogates
// included, can occur.

#include "page/page_generator.h"
#include "platform/paths.h"
#include "platform/runtime_error.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{

constexpr char recordSeparator = 0x1E;
constexpr char fieldSeparator = 0x1F;
constexpr char codeUnitEscape = 0x1D;

using Record = std::vector<QString>;

class InputReader
{
public:
    InputReader(const std::uint8_t *data, std::size_t size)
        : m_data(reinterpret_cast<const char *>(data)), m_size(size)
    {
    }

    bool atEnd() const { return m_pos >= m_size; }

    Record nextRecord()
    {
        Record fields;
        do {
            fields.push_back(nextField());
        } while (m_pos < m_size && m_data[m_pos++] == fieldSeparator);
        return fields;
    }

private:
    // Reads up to, not including, the next separator.
    QString nextField()
    {
        QString text;
        QByteArray utf8;
        while (m_pos < m_size) {
            const char c = m_data[m_pos];
            if (c == fieldSeparator || c == recordSeparator)
                break;
            ++m_pos;
            if (c != codeUnitEscape) {
                utf8 += c;
                continue;
            }
            text += QString::fromUtf8(utf8);
            utf8.clear();
            char16_t unit = 0;
            for (int i = 0; i < 2 && m_pos < m_size; ++i)
                unit = char16_t(unit << 8 | std::uint8_t(m_data[m_pos++]));
            text += QChar(unit);
        }
        return text + QString::fromUtf8(utf8);
    }

    const char *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

enum class Image { None, Existing, Missing };

struct Images {
    QTemporaryDir dir;
    QString existing;
    QString missing;

    Images()
    {
        const QString hostPath = dir.filePath(QStringLiteral("fond.gif"));
        QFile file(hostPath);
        if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write("GIF89a") != 6)
            std::abort();
        existing = platform::toProgramPath(hostPath);
        missing = platform::toProgramPath(dir.filePath(QStringLiteral("absente.gif")));
    }
};

QString field(const Record &record, std::size_t index)
{
    return index < record.size() ? record[index] : QString();
}

qint32 colourField(const Record &record, std::size_t index, qint32 fallback)
{
    bool ok = false;
    const qlonglong value = field(record, index).toLongLong(&ok);
    return ok ? qint32(quint32(value)) : fallback;
}

int positionField(const Record &record, std::size_t index, int fallback)
{
    bool ok = false;
    const int value = field(record, index).toInt(&ok);
    return ok ? qint16(value) : fallback;
}

PageOptions readOptions(const Record &record, Image &image)
{
    PageOptions o;
    o.Couleur_Fond = colourField(record, 0, o.Couleur_Fond);
    o.Couleur_Titre = colourField(record, 1, o.Couleur_Titre);
    o.Couleur_Dossier = colourField(record, 2, o.Couleur_Dossier);
    o.Couleur_Link = colourField(record, 3, o.Couleur_Link);
    o.Couleur_vLink = colourField(record, 4, o.Couleur_vLink);
    o.Couleur_aLink = colourField(record, 5, o.Couleur_aLink);
    o.positionTitre = positionField(record, 6, o.positionTitre);
    o.positionDossier = positionField(record, 7, o.positionDossier);
    o.positionLink = positionField(record, 8, o.positionLink);
    if (record.size() > 9)
        o.titre = record[9];
    image = Image(field(record, 10).toUInt() % 3);
    o.echappement = field(record, 11).toUInt() % 2 ? Echappement::Signets : Echappement::Raccourcis;
    return o;
}

QString htmlColour(qint32 colour)
{
    return QString::asprintf("#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                             (colour >> 16) & 0xFF);
}

QString points(int position)
{
    static const int sizes[] = {7, 8, 9, 10, 12, 14, 16, 18, 24, 36};
    return QString::number(position >= 0 && position <= 9 ? sizes[position] : 9);
}

QStringList expectedHead(const PageOptions &o, bool imageExists)
{
    const QString font = QStringLiteral("; font-family: Arial, Helvetica, sans-serif; font-size: ");
    const QString rule = QStringLiteral("{text-decoration: none; color: ");
    const QString link = htmlColour(o.Couleur_Link) + font + points(o.positionLink);
    const QString bold = QStringLiteral("pt; font-weight: bold}");
    QString body = QStringLiteral("<body bgcolor=\"") + htmlColour(o.Couleur_Fond) + u'"';
    if (imageExists)
        body += QStringLiteral(" background=\"") + o.image + u'"';
    body += u'>';
    const QString titleBlock =
        o.titre.isEmpty() ? QString()
                          : QStringLiteral("<hr><div align=\"center\"><span class=\"titre\">") +
                                o.titre + QStringLiteral(" </span></div><hr><br>");
    return {
        QStringLiteral("<html>"),
        QStringLiteral("<head>"),
        QStringLiteral("<title>") + o.titre + QStringLiteral("</title>"),
        QStringLiteral(
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"),
        QStringLiteral("<style type=\"text/css\">"),
        QStringLiteral("<!--"),
        QStringLiteral("a  ") + rule + link + QStringLiteral("pt}"),
        QStringLiteral("a:link       ") + rule + link + QStringLiteral("pt}"),
        QStringLiteral("a:visited    ") + rule + htmlColour(o.Couleur_vLink) + font +
            points(o.positionLink) + QStringLiteral("pt}"),
        QStringLiteral("a:hover      ") + rule + htmlColour(o.Couleur_aLink) + font +
            points(o.positionLink) + QStringLiteral("pt}"),
        QStringLiteral(".sstitre     ") + rule + htmlColour(o.Couleur_Dossier) + font +
            points(o.positionDossier) + bold,
        QStringLiteral(".titre       ") + rule + htmlColour(o.Couleur_Titre) + font +
            points(o.positionTitre) + bold,
        QStringLiteral(".lien       ") + rule + htmlColour(o.Couleur_Titre) + font +
            points(o.positionLink) + QStringLiteral("pt"),
        QStringLiteral("-->"),
        QStringLiteral("</style>"),
        QStringLiteral("</head>"),
        body,
        titleBlock,
        QStringLiteral("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">"),
        QStringLiteral("<tr>"),
    };
}

const QString linkPrefix = QStringLiteral("<span class=\"lien\"><a href=\"");

// A name or folder: a bookmark file's titles are escaped whole; a shortcut tree's names only
// where Windows could not hold the character. Control characters are escaped in both.
QString escaped(const QString &text, Echappement kind)
{
    QString out;
    for (const QChar c : text) {
        const bool bookmarks = kind == Echappement::Signets;
        if (bookmarks && c == u'&')
            out += QStringLiteral("&amp;");
        else if (bookmarks && c == u'<')
            out += QStringLiteral("&lt;");
        else if (bookmarks && c == u'>')
            out += QStringLiteral("&gt;");
        else if (bookmarks && c == u'"')
            out += QStringLiteral("&quot;");
        else if (c.unicode() < 32 || c == u'<' || c == u'>' || c == u'"')
            out += QStringLiteral("&#") + QString::number(c.unicode()) + u';';
        else
            out += c;
    }
    return out;
}

QString escapedUrl(const QString &url)
{
    QString out = url;
    return out.replace(u'"', QStringLiteral("%22"))
        .replace(u'\r', QStringLiteral("%0D"))
        .replace(u'\n', QStringLiteral("%0A"));
}

QString linkLine(const Lien &row, Echappement kind)
{
    return linkPrefix + escapedUrl(row.url) + QStringLiteral("\">") + escaped(row.nom, kind) +
           QStringLiteral("</a></span><br>");
}

// True when the body line is one of the kinds the page is made of.
bool isBodyLine(const QString &line)
{
    static const QStringList fixed = {QStringLiteral("<td valign=\"top\">"),
                                      QStringLiteral("</td>"), QStringLiteral("<blockquote>"),
                                      QStringLiteral("</blockquote>")};
    const QString header = QStringLiteral("<span class=\"sstitre\">");
    const QString subTitle = QStringLiteral("</blockquote>") + header;
    const QString headerEnd = QStringLiteral("</span>");
    const QString subTitleEnd = headerEnd + QStringLiteral("<blockquote>");
    return fixed.contains(line) || (line.startsWith(header) && line.endsWith(headerEnd)) ||
           (line.startsWith(subTitle) && line.endsWith(subTitleEnd)) ||
           (line.startsWith(linkPrefix) && line.endsWith(QStringLiteral("</a></span><br>")));
}

[[noreturn]] void fail(const char *what, qsizetype index, const QString &got,
                       const QString &expected)
{
    std::fprintf(stderr, "%s at line %lld\n  got:      [%s]\n  expected: [%s]\n", what,
                 static_cast<long long>(index), got.toUtf8().constData(),
                 expected.toUtf8().constData());
    std::abort();
}

void checkHead(const QStringList &page, const QStringList &head)
{
    if (page.size() < head.size() + 1)
        fail("the page is shorter than its head", page.size(), QString(), QString());
    for (qsizetype i = 0; i < head.size(); ++i) {
        if (page[i] != head[i])
            fail("head line differs", i, page[i], head[i]);
    }
    if (page.constLast() != QStringLiteral("</html>"))
        fail("the last line is not </html>", page.size() - 1, page.constLast(),
             QStringLiteral("</html>"));
}

void checkLinks(const QStringList &page, const TableLiens &liens, Echappement kind)
{
    QStringList expected;
    for (const Lien &row : liens) {
        if (!row.url.isEmpty())
            expected.append(linkLine(row, kind));
    }
    qsizetype next = 0;
    for (qsizetype i = 20; i < page.size(); ++i) {
        if (!page[i].startsWith(linkPrefix))
            continue;
        if (next == expected.size())
            fail("a link line too many", i, page[i], QString());
        if (page[i] != expected[next])
            fail("link line out of place", i, page[i], expected[next]);
        ++next;
    }
    if (next != expected.size())
        fail("a link is missing from the page", page.size(), QString(), expected[next]);
}

// With at least three rows the body is two columns, each opened and closed once.
void checkColumns(const QStringList &page, const TableLiens &liens, Echappement kind)
{
    if (liens.size() < 3)
        return;
    // A shortcut tree's first column is headed by row 0's folder; a bookmark file's header is
    // empty, its first folder titled like every other.
    const QString first =
        kind == Echappement::Raccourcis ? escaped(liens[0].dossier, kind) : QString();
    const QString header =
        QStringLiteral("<span class=\"sstitre\">") + first + QStringLiteral("</span>");
    if (page[20] != QStringLiteral("<td valign=\"top\">"))
        fail("the first column does not start at line 20", 20, page[20], QString());
    if (page[21] != header)
        fail("the first column's header is wrong", 21, page[21], header);
    const QStringList tail = {QStringLiteral("</td>"), QStringLiteral("</tr>"),
                              QStringLiteral("</table>"), QStringLiteral("</body>"),
                              QStringLiteral("</html>")};
    if (page.size() < 20 + 4 + tail.size() || page.mid(page.size() - tail.size()) != tail)
        fail("the page does not end with the table's end", page.size(), page.constLast(),
             tail.join(u' '));
    for (qsizetype i = 20; i < page.size() - 4; ++i) {
        if (!isBodyLine(page[i]))
            fail("a body line of no known kind", i, page[i], QString());
    }
    if (page.count(QStringLiteral("<td valign=\"top\">")) != 2 ||
        page.count(QStringLiteral("</td>")) != 2)
        fail("the table has not two columns", page.size(), QString(), QString());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const Images images;

    InputReader input(data, size);
    Image image = Image::None;
    PageOptions options = readOptions(input.nextRecord(), image);
    if (image == Image::Existing)
        options.image = images.existing;
    else if (image == Image::Missing)
        options.image = images.missing;

    TableLiens liens;
    while (!input.atEnd()) {
        const Record row = input.nextRecord();
        liens.append(Lien{field(row, 0), field(row, 1), field(row, 2)});
    }

    const QStringList page = Generer_Page(liens, options);
    checkHead(page, expectedHead(options, image == Image::Existing));
    checkLinks(page, liens, options.echappement);
    checkColumns(page, liens, options.echappement);
    return 0;
}
