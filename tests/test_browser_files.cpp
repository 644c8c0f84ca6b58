#include "favourites/source.h"
#include "page/page_builder.h"
#include "test_support.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// The bookmark files that Firefox ESR and Chromium made themselves (tools/
// make-browser-fixtures.py), as signetor reads them.
class TestBrowserFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dossier;

private Q_SLOTS:
    void rowsAndPage_data();
    void rowsAndPage();
};

void TestBrowserFiles::rowsAndPage_data()
{
    QTest::addColumn<QString>("fichier");
    for (const char *nom :
         {"firefox/places.sqlite", "firefox/bookmarks.html", "chromium/Bookmarks"})
        QTest::newRow(nom) << QStringLiteral(SIGNETOR_DATA "/browsers/") + QLatin1String(nom);
}

// Each file gives the rows of its NAME.rows: nested folders under the browser's roots; empty
// folders, separators, tags and place: queries give no row; a bookmark without a title is
// named by its URL; a "\" in a title becomes "/"; dates are the browsers' own, in seconds.
// Its page is the page of the same links as a shortcut tree, laid out as a bookmark file's,
// line for line, except the lines of the three names no file can bear
// (tests/data/browsers/lines-of-names-no-file-bears.html).
void TestBrowserFiles::rowsAndPage()
{
    QFETCH(QString, fichier);
    const TableLiens liens = lireSource(fichier).liens;
    QStringList lignes, attendu = QString::fromUtf8(support::readFile(fichier + u".rows"_s))
                                      .split(u'\n', Qt::SkipEmptyParts);
    const QString arbre = m_dossier.filePath(QString::fromUtf8(QTest::currentDataTag()));
    for (const Lien &l : liens) {
        lignes << u"%1|%2|%3|%4"_s.arg(l.dossier, l.nom, l.url).arg(l.date);
        support::writeFile(
            u"%1/%2/%3.url"_s.arg(arbre, QString(l.dossier).replace(u'\\', u'/'),
                                  QString(l.nom).replace(u'/', u'-').replace(u'\\', u'-')),
            support::shortcut(l.url.toUtf8()));
    }
    lignes.sort();
    attendu.sort();
    QCOMPARE(lignes, attendu);
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
    QCOMPARE(differentes.join(u'\n') + u'\n',
             QString::fromUtf8(support::dataFile("browsers/lines-of-names-no-file-bears.html")));
}

QTEST_GUILESS_MAIN(TestBrowserFiles)
#include "test_browser_files.moc"
