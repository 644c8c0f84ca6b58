#include "page/page_builder.h"
#include "page/page_generator.h"
#include "test_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace
{

Lien lien(const char *dossier, const char *nom, const char *url)
{
    return {QString::fromUtf8(dossier), QString::fromUtf8(nom), QString::fromUtf8(url)};
}

// A link whose name and URL are derived from one tag: name "N<tag>", URL "U<tag>".
Lien rangee(const char *dossier, int tag)
{
    return {QString::fromUtf8(dossier), QStringLiteral("N%1").arg(tag),
            QStringLiteral("U%1").arg(tag)};
}

QStringList lignes(const char *texte)
{
    return QString::fromUtf8(texte).split(QLatin1Char('\n'));
}

// Expands a short description of body lines into the page's text:
// "td" "/td" "bq" "/bq", "h1:folder" and "h2:folder" (column headers), "st:name"
// (sub-title) and "L:tag" (the link of rangee(..., tag)).
QStringList corps(const QStringList &description)
{
    QStringList resultat;
    for (const QString &d : description) {
        const QString arg = d.section(QLatin1Char(':'), 1);
        const QString st =
            QStringLiteral("<span class=\"sstitre\">") + arg + QStringLiteral("</span>");
        if (d == QLatin1String("td"))
            resultat << QStringLiteral("<td valign=\"top\">");
        else if (d == QLatin1String("/td"))
            resultat << QStringLiteral("</td>");
        else if (d == QLatin1String("bq"))
            resultat << QStringLiteral("<blockquote>");
        else if (d == QLatin1String("/bq"))
            resultat << QStringLiteral("</blockquote>");
        else if (d.startsWith(QLatin1String("h1:")))
            resultat << st;
        else if (d.startsWith(QLatin1String("h2:")) || d.startsWith(QLatin1String("st:")))
            resultat << QStringLiteral("</blockquote>") + st + QStringLiteral("<blockquote>");
        else if (d.startsWith(QLatin1String("L:")))
            resultat << QStringLiteral("<span class=\"lien\"><a href=\"U%1\">N%1</a></span><br>")
                            .arg(arg);
        else
            qFatal("unknown body token %s", qPrintable(d));
    }
    return resultat;
}

// The body of a generated page: from line 20 up to the four closing lines.
QStringList corpsDe(const QStringList &page)
{
    return page.mid(20, page.size() - 24);
}

void verifierFin(const QStringList &page)
{
    QVERIFY(page.size() >= 24);
    QCOMPARE(page.mid(page.size() - 4),
             QStringList({QStringLiteral("</tr>"), QStringLiteral("</table>"),
                          QStringLiteral("</body>"), QStringLiteral("</html>")}));
}

} // namespace

class TestPageGenerator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workedExample();
    void headWithOtherLook();
    void braceColumns();
    void couleurHtml_data();
    void couleurHtml();
    void taillePolice_data();
    void taillePolice();
    void columnSplit_data();
    void columnSplit();
    void titleBlock_data();
    void titleBlock();
    void bodyLine_data();
    void bodyLine();
    void textGoesInUnescaped();
    void fiftyThousandRows();
    void pageFromFavouritesTree();
};

void TestPageGenerator::workedExample()
{
    const TableLiens liens = {
        rangee("", 1),
        rangee("", 2),
        rangee("Actu", 3),
        rangee("Actu\\Sport", 4),
        rangee("Actu\\Sport", 5),
        rangee("Outils", 6),
        rangee("Outils\\Web\\Html", 7),
        rangee("Presse", 8),
    };
    const QStringList attendu = lignes(R"(<html>
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
</html>)");
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
    const QStringList page = Generer_Page({rangee("", 1)}, o);
    const QString police =
        QStringLiteral("; font-family: Arial, Helvetica, sans-serif; font-size: ");
    QCOMPARE(page.at(6), QStringLiteral("a  {text-decoration: none; color: #000000") + police +
                             QStringLiteral("7pt}"));
    QCOMPARE(page.at(7), QStringLiteral("a:link       {text-decoration: none; color: #000000") +
                             police + QStringLiteral("7pt}"));
    QVERIFY(page.at(8).contains(QStringLiteral("#FFFFFF") + police + QStringLiteral("7pt}")));
    QVERIFY(page.at(9).contains(QStringLiteral("#FE000A") + police + QStringLiteral("7pt}")));
    QVERIFY(page.at(10).endsWith(QStringLiteral("#ABCDEF") + police +
                                 QStringLiteral("9pt; font-weight: bold}")));
    QVERIFY(page.at(11).endsWith(QStringLiteral("#102030") + police +
                                 QStringLiteral("36pt; font-weight: bold}")));
    // The link rule takes the title's colour, the links' size, and has no closing brace.
    QCOMPARE(page.at(12), QStringLiteral(".lien       {text-decoration: none; color: #102030") +
                              police + QStringLiteral("7pt"));
    QCOMPARE(page.at(16), QStringLiteral("<body bgcolor=\"#010203\">"));
}

void TestPageGenerator::braceColumns()
{
    const QStringList page = Generer_Page({}, PageOptions());
    const QList<int> colonnes = {3, 13, 13, 13, 13, 13, 12};
    for (int i = 0; i < colonnes.size(); ++i) {
        const QString &ligne = page.at(6 + i);
        QCOMPARE(ligne.indexOf(QLatin1Char('{')), colonnes.at(i));
        QCOMPARE(ligne.count(QLatin1Char('{')), 1);
        QCOMPARE(ligne.count(QLatin1Char('}')), i == 6 ? 0 : 1);
        QCOMPARE(ligne.count(QLatin1String("font-weight: bold")), (i == 4 || i == 5) ? 1 : 0);
    }
}

void TestPageGenerator::couleurHtml_data()
{
    QTest::addColumn<qint32>("couleur");
    QTest::addColumn<QString>("html");
    QTest::newRow("black") << RGB(0, 0, 0) << QStringLiteral("#000000");
    QTest::newRow("red") << RGB(255, 0, 0) << QStringLiteral("#FF0000");
    QTest::newRow("background") << RGB(255, 255, 159) << QStringLiteral("#FFFF9F");
    QTest::newRow("folder") << RGB(212, 0, 0) << QStringLiteral("#D40000");
    QTest::newRow("blue 128") << RGB(0, 0, 128) << QStringLiteral("#000080");
    QTest::newRow("capitals") << RGB(0xAB, 0xCD, 0xEF) << QStringLiteral("#ABCDEF");
    QTest::newRow("single digits") << RGB(1, 2, 3) << QStringLiteral("#010203");
    QTest::newRow("above 24 bits") << qint32(0x7F123456) << QStringLiteral("#563412");
    QTest::newRow("negative") << qint32(-1) << QStringLiteral("#FFFFFF");
    QTest::newRow("minimum") << qint32(0x80000000u) << QStringLiteral("#000000");
}

void TestPageGenerator::couleurHtml()
{
    QFETCH(qint32, couleur);
    QFETCH(QString, html);
    QCOMPARE(Couleur_Html(couleur), html);
}

void TestPageGenerator::taillePolice_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("points");
    const int tailles[] = {7, 8, 9, 10, 12, 14, 16, 18, 24, 36};
    for (int i = 0; i < 10; ++i)
        QTest::addRow("position %d", i) << i << tailles[i];
    QTest::newRow("no selection") << -1 << 9;
    QTest::newRow("past the list") << 10 << 9;
    QTest::newRow("far negative") << -32768 << 9;
    QTest::newRow("far positive") << 32767 << 9;
}

void TestPageGenerator::taillePolice()
{
    QFETCH(int, position);
    QFETCH(int, points);
    int resultat = -123;
    Taille_Police(position, resultat);
    QCOMPARE(resultat, points);
}

void TestPageGenerator::columnSplit_data()
{
    QTest::addColumn<TableLiens>("liens");
    QTest::addColumn<QStringList>("attendu");
    auto ligne = [](const char *description) {
        return QString::fromUtf8(description).split(QLatin1Char(' '));
    };

    QTest::newRow("no link") << TableLiens() << ligne("td h1: /td td h2: /td");
    QTest::newRow("one link") << TableLiens{rangee("F", 1)} << ligne("td h1:F L:1 /td td h2: /td");
    QTest::newRow("two links, one folder")
        << TableLiens{rangee("F", 1), rangee("F", 2)} << ligne("td h1:F L:1 L:2 /td td h2: /td");
    QTest::newRow("two links, two folders")
        << TableLiens{rangee("F", 1), rangee("G", 2)} << ligne("td h1:F L:1 /td td h2:G L:2 /td");
    QTest::newRow("three rows in three folders")
        << TableLiens{rangee("A", 1), rangee("B", 2), rangee("C", 3)}
        << ligne("td h1:A L:1 /td td h2:B L:2 st:C L:3 /td");
    QTest::newRow("all rows from the middle in one folder")
        << TableLiens{rangee("", 1),  rangee("", 2),  rangee("X", 3), rangee("X", 4),
                      rangee("X", 5), rangee("X", 6), rangee("X", 7)}
        << ligne("td h1: L:1 L:2 bq st:X L:3 L:4 L:5 L:6 L:7 /td td h2: /td");
    QTest::newRow("middle folder stays whole in the first column")
        << TableLiens{rangee("A", 1), rangee("B", 2), rangee("B", 3),
                      rangee("B", 4), rangee("B", 5), rangee("C", 6)}
        << ligne("td h1:A L:1 bq st:B L:2 L:3 L:4 L:5 /td td h2:C L:6 /td");
    QTest::newRow("folders differ by letter case")
        << TableLiens{rangee("Actu", 1), rangee("actu", 2), rangee("Net", 3), rangee("net", 4)}
        << ligne("td h1:Actu L:1 /td td h2:actu L:2 st:Net L:3 st:net L:4 /td");
    QTest::newRow("row without URL writes no link")
        << TableLiens{rangee("", 1), rangee("", 2), lien("F", "vide", ""), rangee("G", 4)}
        << ligne("td h1: L:1 L:2 /td td h2:F st:G L:4 /td");
    QTest::newRow("A\\B\\C in the first column")
        << TableLiens{rangee("", 1),  rangee("A\\B\\C", 2), rangee("D", 3), rangee("D", 4),
                      rangee("D", 5), rangee("Z", 6),       rangee("Z", 7), rangee("Z", 8),
                      rangee("Z", 9), rangee("Z", 10)}
        << ligne("td h1: L:1 bq bq bq st:C L:2 /bq /bq /bq bq st:D L:3 L:4 L:5 /td "
                 "td h2:Z L:6 L:7 L:8 L:9 L:10 /td");
    QTest::newRow("A\\B\\C in the second column")
        << TableLiens{rangee("X", 1), rangee("X", 2), rangee("Y", 3), rangee("A\\B\\C", 4),
                      rangee("Z", 5)}
        << ligne("td h1:X L:1 L:2 /td td h2:Y L:3 bq bq st:C L:4 /bq /bq st:Z L:5 /td");
    QTest::newRow("second column header shows the whole folder")
        << TableLiens{rangee("X", 1), rangee("X", 2), rangee("A\\B", 3)}
        << ligne("td h1:X L:1 L:2 /td td h2:A\\B L:3 /td");
}

void TestPageGenerator::columnSplit()
{
    QFETCH(TableLiens, liens);
    QFETCH(QStringList, attendu);
    const QStringList page = Generer_Page(liens, PageOptions());
    verifierFin(page);
    QCOMPARE(corpsDe(page), corps(attendu));
}

void TestPageGenerator::titleBlock_data()
{
    QTest::addColumn<QString>("titre");
    QTest::addColumn<QString>("ligne2");
    QTest::addColumn<QString>("ligne17");
    QTest::newRow("empty") << QString() << QStringLiteral("<title></title>") << QString();
    QTest::newRow("one word") << QStringLiteral("T") << QStringLiteral("<title>T</title>")
                              << QStringLiteral("<hr><div align=\"center\"><span class=\"titre\">"
                                                "T </span></div><hr><br>");
    QTest::newRow("blanks kept") << QStringLiteral("  Mes liens ")
                                 << QStringLiteral("<title>  Mes liens </title>")
                                 << QStringLiteral("<hr><div align=\"center\"><span "
                                                   "class=\"titre\">  Mes liens  "
                                                   "</span></div><hr><br>");
}

void TestPageGenerator::titleBlock()
{
    QFETCH(QString, titre);
    QFETCH(QString, ligne2);
    QFETCH(QString, ligne17);
    PageOptions o;
    o.titre = titre;
    const QStringList page = Generer_Page({rangee("", 1)}, o);
    QCOMPARE(page.at(2), ligne2);
    QCOMPARE(page.at(17), ligne17);
    QCOMPARE(page.at(18).left(6), QStringLiteral("<table"));
    QCOMPARE(page.at(19), QStringLiteral("<tr>"));
}

void TestPageGenerator::bodyLine_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<bool>("avecFond");
    // Paths are relative to a temporary folder holding "fond.gif" and a folder "dossier.gif".
    QTest::newRow("no image") << QStringLiteral("(aucune)") << false;
    QTest::newRow("existing file") << QStringLiteral("fond.gif") << true;
    QTest::newRow("missing file") << QStringLiteral("efface.gif") << false;
    QTest::newRow("wildcard matching") << QStringLiteral("f*.gif") << true;
    QTest::newRow("wildcard not matching") << QStringLiteral("x?.gif") << false;
    QTest::newRow("a folder") << QStringLiteral("dossier.gif") << false;
    QTest::newRow("empty text") << QString() << false;
}

void TestPageGenerator::bodyLine()
{
    QFETCH(QString, image);
    QFETCH(bool, avecFond);
    QTemporaryDir dir;
    support::writeFile(dir.filePath(QStringLiteral("fond.gif")), "GIF89a");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dossier.gif")));
    PageOptions o;
    if (!image.isEmpty() && image != QLatin1String("(aucune)"))
        image = support::programFolder(dir.path()) + image;
    o.image = image;
    o.Couleur_Fond = RGB(0x12, 0x34, 0x56);
    const QString attendu = avecFond ? QStringLiteral("<body bgcolor=\"#123456\" background=\"") +
                                           image + QStringLiteral("\">")
                                     : QStringLiteral("<body bgcolor=\"#123456\">");
    QCOMPARE(Generer_Page({rangee("", 1)}, o).at(16), attendu);
}

void TestPageGenerator::textGoesInUnescaped()
{
    PageOptions o;
    o.titre = QStringLiteral("A&B <i>\"x\"");
    const TableLiens liens = {lien("R&D <1>", "Tom & \"Jerry\" <b>", "http://a/?x=1&y=\"2\"<")};
    const QStringList page = Generer_Page(liens, o);
    QCOMPARE(page.at(2), QStringLiteral("<title>A&B <i>\"x\"</title>"));
    QVERIFY(page.at(17).contains(QStringLiteral(">A&B <i>\"x\" </span>")));
    QCOMPARE(page.at(21), QStringLiteral("<span class=\"sstitre\">R&D <1></span>"));
    QCOMPARE(page.at(22), QStringLiteral("<span class=\"lien\"><a href=\"http://a/?x=1&y=\"2\"<\">"
                                         "Tom & \"Jerry\" <b></a></span><br>"));
}

void TestPageGenerator::fiftyThousandRows()
{
    TableLiens liens;
    const int nombre = 50000;
    for (int i = 0; i < nombre; ++i) {
        const QString dossier = QStringLiteral("Dossier%1").arg(i / 500, 3, 10, QLatin1Char('0'));
        liens.append({dossier, QStringLiteral("N%1").arg(i), QStringLiteral("U%1").arg(i)});
    }
    const QStringList page = Generer_Page(liens, PageOptions());
    verifierFin(page);
    const QStringList liensEcrits = page.filter(QStringLiteral("<span class=\"lien\">"));
    QCOMPARE(liensEcrits.size(), nombre);
    QVERIFY(liensEcrits.last().contains(QStringLiteral("\"U49999\"")));
    // 100 folders: the two headers and 98 sub-titles; the middle row's folder (rows 24500
    // to 24999) ends the first column, so the second column starts with folder 50.
    QCOMPARE(page.filter(QStringLiteral("class=\"sstitre\"")).size(), 100);
    QVERIFY(page.contains(
        QStringLiteral("</blockquote><span class=\"sstitre\">Dossier050</span><blockquote>")));
    // First column: its frame, one opening with the first sub-title, then a closing, an
    // opening and a sub-title at each of 48 more changes; second column: frame and 49 sub-titles.
    QCOMPARE(page.size(), 20 + (3 + 2 + 48 * 3) + (3 + 49) + nombre + 4);
}

void TestPageGenerator::pageFromFavouritesTree()
{
    QTemporaryDir dir;
    support::writeFile(dir.filePath(QStringLiteral("Racine.url")),
                       support::shortcut("http://racine/"));
    support::writeFile(dir.filePath(QStringLiteral("Sous/Lien.url")),
                       support::shortcut("http://sous/"));
    const QStringList page = Construire_Page(support::programFolder(dir.path()), PageOptions());
    QCOMPARE(corpsDe(page),
             QStringList({QStringLiteral("<td valign=\"top\">"),
                          QStringLiteral("<span class=\"sstitre\"></span>"),
                          QStringLiteral("<span class=\"lien\"><a href=\"http://racine/\">"
                                         "Racine</a></span><br>"),
                          QStringLiteral("</td>"), QStringLiteral("<td valign=\"top\">"),
                          QStringLiteral("</blockquote><span class=\"sstitre\">Sous</span>"
                                         "<blockquote>"),
                          QStringLiteral("<span class=\"lien\"><a href=\"http://sous/\">"
                                         "Lien</a></span><br>"),
                          QStringLiteral("</td>")}));
}

QTEST_GUILESS_MAIN(TestPageGenerator)
#include "test_page_generator.moc"
