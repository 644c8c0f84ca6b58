#include "page/page_file.h"
#include "page/page_generator.h"
#include "test_support.h"

#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(Lien)
Q_DECLARE_METATYPE(PageOptions)

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

} // namespace

class TestPageGenerator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Whole page files, byte for byte, each in tests/data/page under its row's name: the
    // default look over folders that fill both columns; a look of its own (colours 0xBBGGRR of
    // background, title, folder, link, visited and hovered links, only the low 24 bits
    // counting; then the positions in the title, folder and link size lists, 9 points out of
    // a list); how the columns split and nest; names escaped by the kind of source (every name
    // Windows could hold stays as it is, "&" included), while URLs of any source keep only
    // '"', CR and LF from leaving the attribute.
    void pages_data()
    {
        QTest::addColumn<TableLiens>("liens");
        QTest::addColumn<PageOptions>("options");
        const auto page = [](const char *nom, const TableLiens &liens, const PageOptions &o = {}) {
            QTest::newRow(nom) << liens << o;
        };
        page("default_look", table(QStringLiteral("||Actu|Actu\\Sport|Actu\\Sport|Outils|"
                                                  "Outils\\Web\\Html|Presse")));
        page("own_look", {}, {0x030201, 0x7F302010, 0xEFCDAB, 0, -1, 0x0A00FE, 9, 1, 0});
        page("out_of_the_size_lists", {}, {0, 0, 0, 0, 0, 0, -1, 10, -1});
        page("two_rows_case_counts_no_url", table(QStringLiteral("!F|f")));
        page("three_rows_case_counts", table(QStringLiteral("A|B|b")));
        page("middle_folder_to_the_end", table(QStringLiteral("||X|X|X|X|X")));
        page("deep_first_column_middle_folder_whole", table(QStringLiteral("|A\\B\\C|D|D|Z|Z|Z")));
        const auto noms = [](const char *nom) {
            const QString t = QString::fromUtf8(nom),
                          url = QStringLiteral("http://x/?a=\"<&>\"\r\n");
            return TableLiens{{t, t, url}, {t + u'\\' + t, t, url}};
        };
        PageOptions signets;
        signets.echappement = Echappement::Signets;
        page("windows_names", noms("Tom & Jerry's été; a=b"));
        page("linux_only_names", noms("<b>\"x\"\t\x01</b>"));
        page("bookmark_names", noms("<script>&amp; \"x\"\n"), signets);
    }
    void pages()
    {
        QFETCH(TableLiens, liens);
        QFETCH(PageOptions, options);
        const QByteArray fichier = "page/" + QByteArray(QTest::currentDataTag()) + ".html";
        QCOMPARE(contenuPage(Generer_Page(liens, options)).split('\n'),
                 support::dataFile(fichier).split('\n'));
    }

    // A background only for a plain file that the text names, a pattern included, by an
    // absolute path: never "(aucune)", even as a file of the working folder. An empty title
    // leaves line 17 empty. No cap on the rows.
    void textImageTitleAndLength()
    {
        const support::Tree tree;
        tree.file("fond.gif", "GIF89a");
        tree.file("dossier.gif/x", "");
        PageOptions o;
        o.titre.clear();
        for (const char *nom : {"fond.gif", "f*.gif", "dossier.gif", "e*.gif"}) {
            o.image = tree.program(nom);
            const QString fond =
                *nom == 'f' ? QStringLiteral(" background=\"%1\"").arg(o.image) : QString();
            const QStringList sansTitre = Generer_Page({}, o);
            QCOMPARE(sansTitre.at(16), QStringLiteral("<body bgcolor=\"#FFFF9F\"%1>").arg(fond));
            QCOMPARE(sansTitre.at(2) + sansTitre.at(17), QStringLiteral("<title></title>"));
        }
        QDir::setCurrent(tree.host());
        tree.file("(aucune)", "GIF89a");
        for (const QString &relatif : {aucuneImage, QStringLiteral("fond.gif")}) {
            o.image = relatif;
            QCOMPARE(Generer_Page({}, o).at(16), QStringLiteral("<body bgcolor=\"#FFFF9F\">"));
        }
        const TableLiens liens(50000, {QString(), QStringLiteral("N"), QStringLiteral("U")});
        QCOMPARE(Generer_Page(liens, o).size(), 20 + (3 + 50000) + 3 + 4);
    }

    // In the page file, Windows-1252 bytes (the undefined ones included) go out as they are,
    // any other character as a numeric character reference. A page far longer than one piece of
    // output loses nothing at their seams.
    void pageFileBytes()
    {
        QCOMPARE(contenuPage({QString::fromUtf8("é€Œÿ\u0081&amp;Ω中😀")}),
                 QByteArray("\xE9\x80\x8C\xFF\x81&amp;&#937;&#20013;&#128512;\r\n"));
        QCOMPARE(contenuPage(QStringList(30000, QString::fromUtf8("ligne é"))),
                 QByteArray("ligne \xE9\r\n").repeated(30000));
    }
};

QTEST_GUILESS_MAIN(TestPageGenerator)
#include "test_page_generator.moc"
