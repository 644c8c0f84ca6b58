#include "favourites/favourites_scan.h"
#include "favourites/sort_order.h"
#include "test_support.h"

#include <QFile>
#include <QLocale>
#include <QTest>

#include <sys/resource.h>

// The rows of a scan as "folder|name|url".
static QStringList scanRows(const QString &root)
{
    FavouritesScan scan;
    scan.Lire_Favoris(root);
    return support::rows(scan.Liens());
}

class TestFavouritesScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::system()); }

    // Only visible plain files that give a URL are links; hidden folders and links are walked,
    // to a folder or a file out of the tree. The display name ends before the first ".URL" in
    // any case, or is the whole file name. "*" joins the columns of the sort key but may occur
    // in names: no row may suffer. The scan object, reused for a root without links or a root
    // with no host form, keeps nothing of its former scan.
    void linksAndTheirNames()
    {
        const support::Tree tree, dehors;
        tree.file("empty.url", QByteArray());
        tree.file("no url.url", "[InternetShortcut]\r\nIconIndex=1\r\n");
        tree.file("page.htm", "<html>\r\nURL=p\r\n");
        tree.file("Sub/notes.txt", "no link here\r\n");
        for (const char *name :
             {".top.url", ".hidden/.secret.url", ".hidden/inside.url", "a.uRl", "b.url.url",
              "c.URL.txt", "Straße.url", "ßß.ur", "a*b.url", "x*y/c*.url", "x/y.url"})
            tree.link(name, "u");
        dehors.link("d/z.url", "v");
        QVERIFY(QFile::link(dehors.host("d"), tree.host("L")) &&
                QFile::link(dehors.host("d/z.url"), tree.host("l.url")));
        FavouritesScan scan;
        scan.Lire_Favoris(tree.program());
        QStringList rows = support::rows(scan.Liens());
        rows.sort();
        QCOMPARE(rows.join(u' '),
                 QString::fromUtf8(".hidden|inside|u L|z|v x*y|c*|u x|y|u |Straße|u |a*b|u |a|u "
                                   "|b|u |c|u |l|v |page.htm|p |ßß.ur|u"));
        for (const QString &root :
             {tree.program("Sub/"), QStringLiteral("C:\\Windows\\Favoris\\")}) {
            scan.Lire_Favoris(root);
            QCOMPARE(scan.Dossiers(), QStringList(root));
            QCOMPARE(scan.Nb_Liens(), qsizetype(-1));
        }
    }

    // More links than a 16-bit counter or a 10,000-row table can hold, all in order, while few
    // files may be open: a folder whose parent could not stay open is reached again from the
    // root.
    void manyLinksFewOpenFiles()
    {
        const support::Tree tree;
        QStringList expected;
        for (int i = 0; i < 34000; ++i) {
            const QString row = QString::asprintf("F%02d/G|%03d|%d", i / 850, i % 850, i);
            tree.file(row.section(u'|', 0, 1).replace(u'|', u'/').toUtf8(),
                      "\r\nURL=" + QByteArray::number(i) + "\r\n");
            expected.append(QString(row).replace(u'/', u'\\'));
        }
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &old), 0);
        rlimit few = old;
        few.rlim_cur = 40;
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &few), 0);
        const QStringList found = scanRows(tree.program());
        setrlimit(RLIMIT_NOFILE, &old);
        QCOMPARE(found, expected);
    }

    // In a chain of folders the one at position i is at depth i: only the first
    // folderSearchLimit folders are searched for sub-folders, all are searched for links.
    void folderSearchLimit()
    {
        const support::Tree tree;
        const int limit = FavouritesScan::folderSearchLimit;
        QByteArray chain;
        for (int depth = 1; depth <= limit + 1; ++depth) {
            chain += "d/";
            if (depth >= limit - 1)
                tree.link(chain + "at.url", QByteArray::number(depth));
        }
        FavouritesScan scan;
        scan.Lire_Favoris(tree.program());
        QCOMPARE(scan.Nb_Dossiers(), limit + 1);
        QCOMPARE(scan.Nb_Liens(), qsizetype(1));
        QCOMPARE(scan.Liens().constLast().url, QString::number(limit));
    }

    // In every locale: case ignored but deciding between equals, accents with their base
    // letter, blank before "*" before "\", root links before folders named with digits. The
    // rows of one folder stay together, also beside a folder that differs only in case or
    // whose name holds "*".
    void orderInEveryLocale()
    {
        const support::Tree tree;
        for (const char *name :
             {"Mail.url", "Mail Box.url", "Éclair.url", "Ecole.url", "10 ans.url", "A/Mail.url",
              "A/Mail Box.url", "A/C/x.url", "A B/x.url", "0/x.url", "mail.URL", "A/Zz.url",
              "A*Z/x.url", "b/x.url", "B/y.url", "b/z.url"})
            tree.link(name, "u");
        for (const char *locale :
             {"C", "en_US", "fr_FR", "de_DE", "sv_SE", "da_DK", "tr_TR", "lt_LT"}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
            QCOMPARE(
                scanRows(tree.program()).join(u' '),
                QString::fromUtf8("|10 ans|u |Éclair|u |Ecole|u |Mail Box|u |Mail|u |mail|u 0|x|u "
                                  "A B|x|u A|Mail Box|u A|Mail|u A|Zz|u A*Z|x|u A\\C|x|u B|y|u "
                                  "b|x|u b|z|u"));
            // Texts equal but for case go by their exact characters, then by position,
            // whatever the order the host listed them in.
            QCOMPARE(Cont_Sort(QStringLiteral("*mail*u *MAIL*u *Mail*u *mail*u").split(u' ')),
                     std::vector<qsizetype>({1, 2, 0, 3}));
        }
    }
};

QTEST_GUILESS_MAIN(TestFavouritesScan)
#include "test_favourites_scan.moc"
