#include "favourites/source.h"
#include "page/page_builder.h"
#include "platform/paths.h"
#include "test_support.h"

#include <QtTest>

#include <algorithm>
#include <tuple>

// The bookmark files that Firefox ESR and Chromium made themselves (tools/
// make-browser-fixtures.py), as signetor reads them.
class TestBrowserFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dossier;

private Q_SLOTS:
    void rows_data();
    void rows();
    void pageAsTheShortcutTree_data() { rows_data(); }
    void pageAsTheShortcutTree();
    void chromiumCorpus_data();
    void chromiumCorpus();
};

namespace
{

QString fixture(const char *chemin)
{
    return QStringLiteral(SIGNETOR_DATA "/browsers/") + QLatin1String(chemin);
}

Lien lien(const char *dossier, const char *nom, const char *url, qint64 date)
{
    return {QString::fromUtf8(dossier), QString::fromUtf8(nom), QString::fromUtf8(url), date};
}

TableLiens triee(TableLiens liens)
{
    std::sort(liens.begin(), liens.end(), [](const Lien &a, const Lien &b) {
        return std::tie(a.dossier, a.nom, a.url) < std::tie(b.dossier, b.nom, b.url);
    });
    return liens;
}

const char *const gras = "<b>&amp; \"Gras\"</b>";

} // namespace

// Nested folders under the browser's roots; empty folders, separators, tags and place:
// queries give no row; a bookmark without a title is named by its URL; a "\" in a title
// becomes "/"; dates are the browsers' own, in seconds since 1970.
void TestBrowserFiles::rows_data()
{
    QTest::addColumn<QString>("fichier");
    QTest::addColumn<TableLiens>("attendu");
    const qint64 c = 1796538311;
    QTest::newRow("places.sqlite")
        << fixture("firefox/places.sqlite")
        << TableLiens{
               lien("Menu des marque-pages\\Actualités", "Le Monde", "https://www.lemonde.fr/",
                    1577934247),
               lien("Menu des marque-pages\\Actualités\\Sport", "L'Équipe",
                    "https://www.lequipe.fr/", 1577934249),
               lien("Menu des marque-pages", "Wikipédia", "https://fr.wikipedia.org/wiki/Accueil",
                    1577934251),
               lien("Barre personnelle", gras, "https://example.org/?a=1&b=2", 1577934252),
               lien("Barre personnelle", "https://sans-titre.example/",
                    "https://sans-titre.example/", 1577934253),
               lien("Barre personnelle", "Dos\\Barre", "https://example.com/barre", 1577934254),
               lien("Barre personnelle\\Outils\\Web", "MDN", "https://developer.mozilla.org/fr/",
                    1577934257),
               lien("Autres marque-pages", "Autre", "https://autre.example/", 1577934258)};
    QTest::newRow("bookmarks.html")
        << fixture("firefox/bookmarks.html")
        << TableLiens{
               lien("Actualités", "Le Monde", "https://www.lemonde.fr/", 1577934247),
               lien("Actualités\\Sport", "L'Équipe", "https://www.lequipe.fr/", 1577934249),
               lien("", "Wikipédia", "https://fr.wikipedia.org/wiki/Accueil", 1577934251),
               lien("Bookmarks Toolbar", gras, "https://example.org/?a=1&b=2", 1577934252),
               lien("Bookmarks Toolbar", "https://sans-titre.example/",
                    "https://sans-titre.example/", 1577934253),
               lien("Bookmarks Toolbar", "Dos\\Barre", "https://example.com/barre", 1577934254),
               lien("Bookmarks Toolbar\\Outils\\Web", "MDN", "https://developer.mozilla.org/fr/",
                    1577934257),
               lien("Other Bookmarks", "Autre", "https://autre.example/", 1577934258)};
    QTest::newRow("Bookmarks")
        << fixture("chromium/Bookmarks")
        << TableLiens{
               lien("Barre de favoris\\Actualités", "Le Monde", "https://www.lemonde.fr/", c),
               lien("Barre de favoris\\Actualités\\Sport", "L'Équipe", "https://www.lequipe.fr/",
                    c),
               lien("Barre de favoris", "Wikipédia", "https://fr.wikipedia.org/wiki/Accueil", c),
               lien("Barre de favoris", gras, "https://example.org/?a=1&b=2", c),
               lien("Barre de favoris", "https://sans-titre.example/",
                    "https://sans-titre.example/", c),
               lien("Barre de favoris", "Dos\\Barre", "https://example.com/barre", c),
               lien("Barre de favoris\\Outils\\Web", "MDN", "https://developer.mozilla.org/fr/", c),
               lien("Autres favoris", "Autre", "https://autre.example/", c)};
}

void TestBrowserFiles::rows()
{
    QFETCH(QString, fichier);
    QFETCH(TableLiens, attendu);
    const TableLiens lus = triee(lireSource(fichier).liens);
    QCOMPARE(lus, triee(attendu));
    for (qsizetype i = 0; i < lus.size(); ++i)
        QCOMPARE(lus.at(i).date, triee(attendu).at(i).date);
}

// The page of each file is the page of the same links as a shortcut tree, laid out as a
// bookmark file's, line for line, except the lines of the three names no file can bear.
void TestBrowserFiles::pageAsTheShortcutTree()
{
    QFETCH(QString, fichier);
    QFETCH(TableLiens, attendu);
    static int numero = 0;
    const QString arbre = m_dossier.filePath(QString::number(++numero));
    for (const Lien &l : attendu)
        support::writeFile(QStringLiteral("%1/%2/%3.url")
                               .arg(arbre, QString(l.dossier).replace(u'\\', u'/'),
                                    QString(l.nom).replace(u'/', u'-').replace(u'\\', u'-')),
                           support::shortcut(l.url.toUtf8()));
    PageOptions options;
    const QStringList page = Construire_Page(fichier, options);
    options.echappement = Echappement::Signets;
    const QStringList pageArbre = Generer_Page(lireSource(arbre).liens, options);
    QStringList differentes;
    QCOMPARE(page.size(), pageArbre.size());
    for (qsizetype i = 0; i < page.size(); ++i)
        if (page.at(i) != pageArbre.at(i))
            differentes << page.at(i);
    differentes.sort();
    const QString lien = QStringLiteral("<span class=\"lien\"><a href=\"%1\">%2</a></span><br>");
    QCOMPARE(differentes,
             (QStringList{lien.arg(QStringLiteral("https://example.com/barre"),
                                   QStringLiteral("Dos\\Barre")),
                          lien.arg(QStringLiteral("https://example.org/?a=1&b=2"),
                                   QStringLiteral("&lt;b&gt;&amp;amp; &quot;Gras&quot;&lt;/b&gt;")),
                          lien.arg(QStringLiteral("https://sans-titre.example/"),
                                   QStringLiteral("https://sans-titre.example/"))}));
}

// Bookmarks files that other people made (tests/data/chromium/README.md) give the rows that
// Chromium reads from them, sorted in their NAME.rows.
void TestBrowserFiles::chromiumCorpus_data()
{
    QTest::addColumn<QString>("fichier");
    const QDir dossier(QStringLiteral(SIGNETOR_DATA "/chromium"));
    for (const QString &nom : dossier.entryList({QStringLiteral("*-Bookmarks")}))
        QTest::newRow(qPrintable(nom)) << dossier.filePath(nom);
}

void TestBrowserFiles::chromiumCorpus()
{
    QFETCH(QString, fichier);
    QStringList lus = support::rows(lireSource(fichier).liens);
    lus.sort();
    QCOMPARE(lus.join(u'\n') + u'\n',
             QString::fromUtf8(support::readFile(fichier + QStringLiteral(".rows"))));
}

QTEST_GUILESS_MAIN(TestBrowserFiles)
#include "test_browser_files.moc"
