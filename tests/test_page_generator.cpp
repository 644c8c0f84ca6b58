#include "page/page_generator.h"
#include "test_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace
{

// A row whose name and URL derive from a tag: "N<tag>" and "U<tag>".
Lien rangee(const char *dossier, int tag)
{
    return {QString::fromUtf8(dossier), QStringLiteral("N%1").arg(tag),
            QStringLiteral("U%1").arg(tag)};
}

// Expands body tokens: "td" "/td" "bq" "/bq", "h1:folder" "h2:folder" (column headers),
// "st:name" (sub-title) and "ln:tag" (the link of rangee(..., tag)).
QStringList corps(const char *description)
{
    QStringList lignes;
    for (const QString &d : QString::fromUtf8(description).split(QLatin1Char(' '))) {
        const QString arg = d.mid(3);
        const QString sstitre = QStringLiteral("<span class=\"sstitre\">%1</span>").arg(arg);
        if (d == QLatin1String("td") || d == QLatin1String("/td"))
            lignes << (d == QLatin1String("td") ? QStringLiteral("<td valign=\"top\">")
                                                : QStringLiteral("</td>"));
        else if (d == QLatin1String("bq") || d == QLatin1String("/bq"))
            lignes << QStringLiteral("<%1blockquote>").arg(d.left(d.size() - 2));
        else if (d.startsWith(QLatin1String("h1:")))
            lignes << sstitre;
        else if (d.startsWith(QLatin1String("ln:")))
            lignes << QStringLiteral("<span class=\"lien\"><a href=\"U%1\">N%1</a></span><br>")
                          .arg(arg);
        else
            lignes << QStringLiteral("</blockquote>") + sstitre + QStringLiteral("<blockquote>");
    }
    return lignes;
}

const QString police = QStringLiteral("; font-family: Arial, Helvetica, sans-serif; font-size: ");

} // namespace

class TestPageGenerator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workedExample();
    void headWithOtherLook();
    void couleurHtml_data();
    void couleurHtml();
    void taillePolice();
    void columns_data();
    void columns();
    void titleAndBodyLines();
    void textGoesInUnescaped();
    void fiftyThousandRows();
};

void TestPageGenerator::workedExample()
{
    const TableLiens liens = {rangee("", 1),
                              rangee("", 2),
                              rangee("Actu", 3),
                              rangee("Actu\\Sport", 4),
                              rangee("Actu\\Sport", 5),
                              rangee("Outils", 6),
                              rangee("Outils\\Web\\Html", 7),
                              rangee("Presse", 8)};
    const QStringList attendu = QString::fromUtf8(R"(<html>
<head>
<title>Internet Explorer - Favoris</title>
<meta http-equiv="Content-Type" content="text/html; charset=iso-8859-1">
<style type="text/css">
<!--
a  {text-decoration: none; color: #000080; font-family: Arial, Helvetica, sans-serif; font-size: 9pt}
a:link       {text-decoration: none; color: #000080; font-family: Arial, Helvetica, sans-serif; font-size: 9pt}
a:visited    {text-decoration: none; color: #800080; font-family: Arial, Helvetica, sans-serif; font-size: 9pt}
a:hover      {text-decoration: none; color: #FF0000; font-family: Arial, Helvetica, sans-serif; font-size: 9pt}
.sstitre     {text-decoration: none; color: #D40000; font-family: Arial, Helvetica, sans-serif; font-size: 9pt; font-weight: bold}
.titre       {text-decoration: none; color: #000080; font-family: Arial, Helvetica, sans-serif; font-size: 12pt; font-weight: bold}
.lien       {text-decoration: none; color: #000080; font-family: Arial, Helvetica, sans-serif; font-size: 9pt
-->
</style>
</head>
<body bgcolor="#FFFF9F">
<hr><div align="center"><span class="titre">Internet Explorer - Favoris </span></div><hr><br>
<table width="100%" border="0" cellspacing="0" cellpadding="0">
<tr>
<td valign="top">
<span class="sstitre"></span>
<span class="lien"><a href="U1">N1</a></span><br>
<span class="lien"><a href="U2">N2</a></span><br>
<blockquote>
</blockquote><span class="sstitre">Actu</span><blockquote>
<span class="lien"><a href="U3">N3</a></span><br>
</td>
<td valign="top">
</blockquote><span class="sstitre">Actu\Sport</span><blockquote>
<span class="lien"><a href="U4">N4</a></span><br>
<span class="lien"><a href="U5">N5</a></span><br>
</blockquote><span class="sstitre">Outils</span><blockquote>
<span class="lien"><a href="U6">N6</a></span><br>
<blockquote>
<blockquote>
</blockquote><span class="sstitre">Html</span><blockquote>
<span class="lien"><a href="U7">N7</a></span><br>
</blockquote>
</blockquote>
</blockquote><span class="sstitre">Presse</span><blockquote>
<span class="lien"><a href="U8">N8</a></span><br>
</td>
</tr>
</table>
</body>
</html>)")
                                    .split(QLatin1Char('\n'));
    QCOMPARE(attendu.size(), 47);
    QCOMPARE(Generer_Page(liens, PageOptions()), attendu);
}

void TestPageGenerator::headWithOtherLook()
{
    PageOptions o;
    o.Couleur_Fond = RGB(1, 2, 3);
    o.Couleur_Titre = RGB(0x10, 0x20, 0x30);
    o.Couleur_Dossier = RGB(0xAB, 0xCD, 0xEF);
    o.Couleur_Link = RGB(0, 0, 0);
    o.Couleur_vLink = RGB(255, 255, 255);
    o.Couleur_aLink = RGB(0xFE, 0, 0x0A);
    o.positionTitre = 9;
    o.positionDossier = -1;
    o.positionLink = 0;
    const QStringList page = Generer_Page({}, o);
    const auto regle = [](const char *selecteur, const char *couleur, const char *fin) {
        return QString::fromUtf8(selecteur) + QStringLiteral("{text-decoration: none; color: #") +
               QString::fromUtf8(couleur) + police + QString::fromUtf8(fin);
    };
    // The brace stands in column 4, then 14, and 13 for the link rule, which takes the
    // title's colour with the links' size and alone has no closing brace.
    const QStringList attendu = {
        regle("a  ", "000000", "7pt}"),
        regle("a:link       ", "000000", "7pt}"),
        regle("a:visited    ", "FFFFFF", "7pt}"),
        regle("a:hover      ", "FE000A", "7pt}"),
        regle(".sstitre     ", "ABCDEF", "9pt; font-weight: bold}"),
        regle(".titre       ", "102030", "36pt; font-weight: bold}"),
        regle(".lien       ", "102030", "7pt"),
    };
    QCOMPARE(page.mid(6, 7), attendu);
    QCOMPARE(page.at(16), QStringLiteral("<body bgcolor=\"#010203\">"));
}

void TestPageGenerator::couleurHtml_data()
{
    QTest::addColumn<qint32>("couleur");
    QTest::addColumn<QString>("html");
    QTest::newRow("black") << RGB(0, 0, 0) << QStringLiteral("#000000");
    QTest::newRow("red") << RGB(255, 0, 0) << QStringLiteral("#FF0000");
    QTest::newRow("blue 128") << RGB(0, 0, 128) << QStringLiteral("#000080");
    QTest::newRow("capitals, order") << RGB(0xAB, 0xCD, 0xEF) << QStringLiteral("#ABCDEF");
    QTest::newRow("leading zeros") << RGB(1, 2, 3) << QStringLiteral("#010203");
    QTest::newRow("above 24 bits") << qint32(0x7F123456) << QStringLiteral("#563412");
    QTest::newRow("negative") << qint32(-1) << QStringLiteral("#FFFFFF");
}

void TestPageGenerator::couleurHtml()
{
    QFETCH(qint32, couleur);
    QFETCH(QString, html);
    QCOMPARE(Couleur_Html(couleur), html);
}

void TestPageGenerator::taillePolice()
{
    const QList<int> positions = {-32768, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 32767};
    const QList<int> attendus = {9, 9, 7, 8, 9, 10, 12, 14, 16, 18, 24, 36, 9, 9};
    for (int i = 0; i < positions.size(); ++i) {
        int points = -1;
        Taille_Police(positions.at(i), points);
        QCOMPARE(points, attendus.at(i));
    }
}

void TestPageGenerator::columns_data()
{
    QTest::addColumn<TableLiens>("liens");
    QTest::addColumn<QStringList>("attendu");
    QTest::newRow("no link") << TableLiens() << corps("td h1: /td td h2: /td");
    QTest::newRow("one link") << TableLiens{rangee("F", 1)} << corps("td h1:F ln:1 /td td h2: /td");
    QTest::newRow("two links, one folder")
        << TableLiens{rangee("F", 1), rangee("F", 2)} << corps("td h1:F ln:1 ln:2 /td td h2: /td");
    QTest::newRow("two links, two folders")
        << TableLiens{rangee("F", 1), rangee("G", 2)} << corps("td h1:F ln:1 /td td h2:G ln:2 /td");
    QTest::newRow("three rows, three folders")
        << TableLiens{rangee("A", 1), rangee("B", 2), rangee("C", 3)}
        << corps("td h1:A ln:1 /td td h2:B ln:2 st:C ln:3 /td");
    QTest::newRow("one folder from the middle on")
        << TableLiens{rangee("", 1),  rangee("", 2),  rangee("X", 3), rangee("X", 4),
                      rangee("X", 5), rangee("X", 6), rangee("X", 7)}
        << corps("td h1: ln:1 ln:2 bq st:X ln:3 ln:4 ln:5 ln:6 ln:7 /td td h2: /td");
    QTest::newRow("middle folder kept whole")
        << TableLiens{rangee("A", 1), rangee("B", 2), rangee("B", 3),
                      rangee("B", 4), rangee("B", 5), rangee("C", 6)}
        << corps("td h1:A ln:1 bq st:B ln:2 ln:3 ln:4 ln:5 /td td h2:C ln:6 /td");
    QTest::newRow("letter case counts")
        << TableLiens{rangee("Actu", 1), rangee("actu", 2), rangee("Net", 3), rangee("net", 4)}
        << corps("td h1:Actu ln:1 /td td h2:actu ln:2 st:Net ln:3 st:net ln:4 /td");
    QTest::newRow("row without URL")
        << TableLiens{rangee("", 1), rangee("", 2), {QStringLiteral("F"), {}, {}}, rangee("G", 4)}
        << corps("td h1: ln:1 ln:2 /td td h2:F st:G ln:4 /td");
    QTest::newRow("A\\B\\C in column one")
        << TableLiens{rangee("", 1),  rangee("A\\B\\C", 2), rangee("D", 3), rangee("D", 4),
                      rangee("D", 5), rangee("Z", 6),       rangee("Z", 7), rangee("Z", 8),
                      rangee("Z", 9), rangee("Z", 10)}
        << corps("td h1: ln:1 bq bq bq st:C ln:2 /bq /bq /bq bq st:D ln:3 ln:4 ln:5 /td "
                 "td h2:Z ln:6 ln:7 ln:8 ln:9 ln:10 /td");
    QTest::newRow("A\\B\\C in column two")
        << TableLiens{rangee("X", 1), rangee("X", 2), rangee("Y", 3), rangee("A\\B\\C", 4),
                      rangee("Z", 5)}
        << corps("td h1:X ln:1 ln:2 /td td h2:Y ln:3 bq bq st:C ln:4 /bq /bq st:Z ln:5 /td");
    QTest::newRow("column two header shows the whole folder")
        << TableLiens{rangee("X", 1), rangee("X", 2), rangee("A\\B", 3)}
        << corps("td h1:X ln:1 ln:2 /td td h2:A\\B ln:3 /td");
}

void TestPageGenerator::columns()
{
    QFETCH(TableLiens, liens);
    QFETCH(QStringList, attendu);
    const QStringList page = Generer_Page(liens, PageOptions());
    QCOMPARE(page.mid(20),
             attendu + QString::fromUtf8("</tr> </table> </body> </html>").split(QLatin1Char(' ')));
}

void TestPageGenerator::titleAndBodyLines()
{
    QTemporaryDir dir;
    support::writeFile(dir.filePath(QStringLiteral("fond.gif")), "GIF89a");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dossier.gif")));
    const QString ici = support::programFolder(dir.path());
    const QStringList avecFond = {ici + QStringLiteral("fond.gif"), ici + QStringLiteral("f*.gif")};
    const QStringList sansFond = {
        QStringLiteral("(aucune)"), QString(), ici + QStringLiteral("x?.gif"),
        ici + QStringLiteral("efface.gif"), ici + QStringLiteral("dossier.gif")};
    PageOptions o;
    o.titre.clear();
    for (const QString &image : avecFond + sansFond) {
        o.image = image;
        const QStringList page = Generer_Page({rangee("", 1)}, o);
        const QString fond = avecFond.contains(image)
                                 ? QStringLiteral(" background=\"") + image + QLatin1Char('"')
                                 : QString();
        QCOMPARE(page.at(16), QStringLiteral("<body bgcolor=\"#FFFF9F\"%1>").arg(fond));
        QCOMPARE(page.at(2), QStringLiteral("<title></title>"));
        QCOMPARE(page.at(17), QString());
    }
}

void TestPageGenerator::textGoesInUnescaped()
{
    PageOptions o;
    o.titre = QStringLiteral(" A&B <i>\"x\"");
    const QString texte = QStringLiteral("R&D <1> \"");
    const QStringList page = Generer_Page({{texte, texte, texte}}, o);
    QCOMPARE(page.at(2), QStringLiteral("<title>") + o.titre + QStringLiteral("</title>"));
    QCOMPARE(page.at(17), QStringLiteral("<hr><div align=\"center\"><span class=\"titre\">") +
                              o.titre + QStringLiteral(" </span></div><hr><br>"));
    QCOMPARE(page.at(21), QStringLiteral("<span class=\"sstitre\">R&D <1> \"</span>"));
    QCOMPARE(page.at(22), QStringLiteral("<span class=\"lien\"><a href=\"R&D <1> \"\">"
                                         "R&D <1> \"</a></span><br>"));
}

void TestPageGenerator::fiftyThousandRows()
{
    TableLiens liens;
    for (int i = 0; i < 50000; ++i)
        liens.append({QStringLiteral("D%1").arg(i / 500, 2, 10, QLatin1Char('0')),
                      QStringLiteral("N%1").arg(i), QStringLiteral("U%1").arg(i)});
    const QStringList page = Generer_Page(liens, PageOptions());
    // Column one: folders 0 to 49, one opening then a closing and an opening per change;
    // column two: folders 50 to 99 at depth 0.
    QCOMPARE(page.size(), 20 + (3 + 2 + 48 * 3) + (3 + 49) + 50000 + 4);
    QCOMPARE(page.at(20 + (3 + 2 + 48 * 3) + 25000 + 1),
             QStringLiteral("</blockquote><span class=\"sstitre\">D50</span><blockquote>"));
    QVERIFY(page.at(page.size() - 6).contains(QStringLiteral("\"U49999\"")));
    QCOMPARE(page.last(), QStringLiteral("</html>"));
}

QTEST_GUILESS_MAIN(TestPageGenerator)
#include "test_page_generator.moc"
