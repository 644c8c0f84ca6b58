#include "page/page_generator.h"
#include "test_support.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace
{

// Rows from folders separated by "|": row i is named "N<i+1>" with URL "U<i+1>"; a folder
// marked "!" gives a row without URL.
TableLiens table(const QString &dossiers)
{
    TableLiens liens;
    for (const QString &d : dossiers.split(QLatin1Char('|')))
        liens.append(
            {QString(d).remove(QLatin1Char('!')), QStringLiteral("N%1").arg(liens.size() + 1),
             d.startsWith(QLatin1Char('!')) ? QString()
                                            : QStringLiteral("U%1").arg(liens.size() + 1)});
    return liens;
}

// Expands body tokens: "td" "/td" "bq" "/bq", "h1:folder" "h2:folder" (column headers),
// "st:name" (sub-title) and a number (the link of that row); the table's end follows.
QStringList corps(const QString &description)
{
    const char *modeles[] = {
        "^td$",          "<td valign=\"top\">",
        "^/td$",         "</td>",
        "^(/?)bq$",      "<\\1blockquote>",
        "^h1:(.*)",      "<span class=\"sstitre\">\\1</span>",
        "^(st|h2):(.*)", "</blockquote><span class=\"sstitre\">\\2</span><blockquote>",
        "^(\\d+)$",      "<span class=\"lien\"><a href=\"U\\1\">N\\1</a></span><br>"};
    QStringList lignes = description.split(QLatin1Char(' '));
    for (int i = 0; i < 12; i += 2)
        lignes.replaceInStrings(QRegularExpression(QString::fromUtf8(modeles[i])),
                                QString::fromUtf8(modeles[i + 1]));
    return lignes + QStringLiteral("</tr> </table> </body> </html>").split(QLatin1Char(' '));
}

// The style rules, lines 6 to 12, from the colours of links, visited links, hovered links,
// folders and the title, then the sizes of links, folders and the title.
QStringList regles(const char *valeurs)
{
    QString texte = QStringLiteral(
        "a  {<%1>%6pt}|a:link       {<%1>%6pt}|a:visited    {<%2>%6pt}|a:hover      {<%3>%6pt}|"
        ".sstitre     {<%4>%7pt; font-weight: bold}|.titre       {<%5>%8pt; font-weight: bold}|"
        ".lien       {<%5>%6pt");
    texte.replace(QLatin1Char('<'), QStringLiteral("text-decoration: none; color: #"))
        .replace(QLatin1Char('>'),
                 QStringLiteral("; font-family: Arial, Helvetica, sans-serif; font-size: "));
    for (const QString &valeur : QString::fromUtf8(valeurs).split(QLatin1Char(' ')))
        texte = texte.arg(valeur);
    return texte.split(QLatin1Char('|'));
}

} // namespace

class TestPageGenerator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void head();
    void columns_data();
    void columns();
    void textImageTitleAndLength();
    void escaping_data();
    void escaping();
};

// The head's exact lines with the default look; then each colour and size in its rules
// (only a colour's low 24 bits count), and no link at all: two empty columns.
void TestPageGenerator::head()
{
    const QString tete =
        QStringLiteral("<html>|<head>|<title>Internet Explorer - Favoris</title>|<meta "
                       "http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">|"
                       "<style type=\"text/css\">|<!--|%1|-->|</style>|</head>|<body "
                       "bgcolor=\"#FFFF9F\">|<hr><div align=\"center\"><span class=\"titre\">"
                       "Internet Explorer - Favoris </span></div><hr><br>|<table width=\"100%\" "
                       "border=\"0\" cellspacing=\"0\" cellpadding=\"0\">|<tr>")
            .arg(regles("000080 800080 FF0000 D40000 000080 9 9 12").join(QLatin1Char('|')));
    QCOMPARE(Generer_Page({}, PageOptions()).mid(0, 20), tete.split(QLatin1Char('|')));

    // Colours are 0xBBGGRR: background, title, folder, link, visited, hovered; then the
    // positions in the title, folder and link size lists.
    const QStringList page =
        Generer_Page({}, {0x030201, 0x7F302010, 0xEFCDAB, 0, -1, 0x0A00FE, 9, 1, 0});
    QCOMPARE(page.mid(6, 7), regles("000000 FFFFFF FE000A ABCDEF 102030 7 8 36"));
    QCOMPARE(page.at(16), QStringLiteral("<body bgcolor=\"#010203\">"));
    QCOMPARE(page.mid(20), corps(QStringLiteral("td h1: /td td h2: /td")));

    const int points[] = {9, 7, 8, 9, 10, 12, 14, 16, 18, 24, 36, 9};
    for (int position = -1, taille = 0; position <= 10; ++position)
        QCOMPARE((Taille_Police(position, taille), taille), points[position + 1]);
}

void TestPageGenerator::columns_data()
{
    QTest::addColumn<QString>("dossiers");
    QTest::addColumn<QString>("attendu");
    const auto cas = [](const char *nom, const char *dossiers, const char *attendu) {
        QTest::newRow(nom) << QString::fromUtf8(dossiers) << QString::fromUtf8(attendu);
    };
    cas("worked example", "||Actu|Actu\\Sport|Actu\\Sport|Outils|Outils\\Web\\Html|Presse",
        "td h1: 1 2 bq st:Actu 3 /td td h2:Actu\\Sport 4 5 st:Outils 6 bq bq st:Html 7 /bq /bq "
        "st:Presse 8 /td");
    cas("two rows, case counts, no URL", "!F|f", "td h1:F /td td h2:f 2 /td");
    cas("three rows, case counts", "A|B|b", "td h1:A 1 /td td h2:B 2 st:b 3 /td");
    cas("middle folder to the end", "||X|X|X|X|X", "td h1: 1 2 bq st:X 3 4 5 6 7 /td td h2: /td");
    cas("A\\B\\C in column one, middle folder kept whole", "|A\\B\\C|D|D|Z|Z|Z",
        "td h1: 1 bq bq bq st:C 2 /bq /bq /bq bq st:D 3 4 /td td h2:Z 5 6 7 /td");
}

void TestPageGenerator::columns()
{
    QFETCH(QString, dossiers);
    QFETCH(QString, attendu);
    QCOMPARE(Generer_Page(table(dossiers), PageOptions()).mid(20), corps(attendu));
}

// A background only for a plain file that the text names, a pattern included, by an absolute
// path: never "(aucune)", even as a file of the working folder. An empty title leaves line 17
// empty. No cap on the rows.
void TestPageGenerator::textImageTitleAndLength()
{
    QTemporaryDir dir;
    support::writeFile(dir.filePath(QStringLiteral("fond.gif")), "GIF89a");
    support::writeFile(dir.filePath(QStringLiteral("dossier.gif/x")), "");
    PageOptions o;
    o.titre.clear();
    for (const char *nom : {"fond.gif", "f*.gif", "dossier.gif", "e*.gif"}) {
        o.image = support::programFolder(dir.path()) + QString::fromUtf8(nom);
        const QString fond =
            *nom == 'f' ? QStringLiteral(" background=\"%1\"").arg(o.image) : QString();
        const QStringList sansTitre = Generer_Page({}, o);
        QCOMPARE(sansTitre.at(16), QStringLiteral("<body bgcolor=\"#FFFF9F\"%1>").arg(fond));
        QCOMPARE(sansTitre.at(2) + sansTitre.at(17), QStringLiteral("<title></title>"));
    }
    QDir::setCurrent(dir.path());
    support::writeFile(dir.filePath(aucuneImage), "GIF89a");
    for (const QString &relatif : {aucuneImage, QStringLiteral("fond.gif")}) {
        o.image = relatif;
        QCOMPARE(Generer_Page({}, o).at(16), QStringLiteral("<body bgcolor=\"#FFFF9F\">"));
    }
    const TableLiens liens(50000, {QString(), QStringLiteral("N"), QStringLiteral("U")});
    QCOMPARE(Generer_Page(liens, o).size(), 20 + (3 + 50000) + 3 + 4);
}

void TestPageGenerator::escaping_data()
{
    QTest::addColumn<bool>("signets");
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QString>("attendu");
    const auto cas = [](const char *nom, bool signets, const char *texte, const char *attendu) {
        QTest::newRow(nom) << signets << QString::fromUtf8(texte) << QString::fromUtf8(attendu);
    };
    // Every name that Windows could hold stays byte for byte, "&" included.
    cas("tree, Windows name", false, "Tom & Jerry's été; a=b", "Tom & Jerry's été; a=b");
    cas("tree, Linux-only name", false, "<b>\"x\"\t\x01</b>",
        "&#60;b&#62;&#34;x&#34;&#9;&#1;&#60;/b&#62;");
    cas("bookmarks", true, "<script>&amp; \"x\"\n", "&lt;script&gt;&amp;amp; &quot;x&quot;&#10;");
}

// Names and folder titles, escaped by the kind of source; URLs of any source keep only '"',
// CR and LF from leaving the attribute.
void TestPageGenerator::escaping()
{
    QFETCH(bool, signets);
    QFETCH(QString, texte);
    QFETCH(QString, attendu);
    PageOptions o;
    o.echappement = signets ? Echappement::Signets : Echappement::Raccourcis;
    const QString url = QStringLiteral("http://x/?a=\"<&>\"\r\n");
    const QStringList page =
        Generer_Page({{texte, texte, url}, {texte + QStringLiteral("\\") + texte, texte, url}}, o);
    const QString lien =
        QStringLiteral("<span class=\"lien\"><a href=\"http://x/?a=%22<&>%22%0D%0A\">") + attendu +
        QStringLiteral("</a></span><br>");
    // The first column's header names a tree's first folder; a bookmark file's first folder
    // has a sub-title and indentation of its own, as every other.
    const QString entete = signets ? QStringLiteral("<span class=\"sstitre\"></span>|<blockquote>|"
                                                    "</blockquote><span class=\"sstitre\">%1"
                                                    "</span><blockquote>")
                                   : QStringLiteral("<span class=\"sstitre\">%1</span>");
    QCOMPARE(page.mid(20, signets ? 12 : 10),
             (QStringLiteral("<td valign=\"top\">|") + entete +
              QStringLiteral("|%2|</td>|<td valign=\"top\">|</blockquote><span class=\"sstitre\">"
                             "%1\\%1</span><blockquote>|%2|</td>|</tr>|</table>"))
                 .arg(attendu, lien)
                 .split(u'|'));
}

QTEST_GUILESS_MAIN(TestPageGenerator)
#include "test_page_generator.moc"
