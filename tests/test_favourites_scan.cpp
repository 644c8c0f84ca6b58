#include "favourites/favourites_scan.h"
#include "favourites/sort_order.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

namespace
{

// A favourites tree in a temporary folder, built with host paths relative to its root; in
// memory when the host offers it, as making many files on disk is slow.
struct Tree {
    QTemporaryDir dir{(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                 : QDir::tempPath()) +
                      QStringLiteral("/signetor-XXXXXX")};
    QString host(const char *path) const { return dir.filePath(QString::fromUtf8(path)); }
    QString root() const { return support::programFolder(dir.path()); }
    void file(const char *path, const QByteArray &bytes) { support::writeFile(host(path), bytes); }
    void link(const char *path, const QByteArray &url) { file(path, support::shortcut(url)); }
};

// The rows of a scan as "folder|name|url".
QStringList scanRows(const QString &root)
{
    FavouritesScan scan;
    scan.Lire_Favoris(root);
    return support::rows(scan.Liens());
}

} // namespace

class TestFavouritesScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::system()); }

    // A scan object reused for a root without links keeps nothing of its former scan.
    void emptyOrMissingRoot()
    {
        Tree tree;
        tree.link("a.url", "http://a/");
        tree.file("Sub/notes.txt", "no link here\r\n");
        FavouritesScan scan;
        scan.Lire_Favoris(tree.root());
        for (const QString &root :
             {tree.root() + QStringLiteral("Sub\\"), QStringLiteral("C:\\Windows\\Favoris\\")}) {
            scan.Lire_Favoris(root);
            QCOMPARE(scan.Dossiers(), QStringList(root));
            QCOMPARE(scan.Nb_Liens(), qsizetype(-1));
        }
    }

    // Only visible plain files that give a URL are links; hidden folders and links are walked.
    // The display name ends before the first ".URL" in any case, or is the whole file name.
    // "*" joins the columns of the sort key but may occur in names: no row may suffer.
    void linksAndTheirNames()
    {
        Tree tree;
        tree.file("empty.url", QByteArray());
        tree.file("no url.url", "[InternetShortcut]\r\nIconIndex=1\r\n");
        tree.file("page.htm", "<html>\r\nURL=p\r\n");
        for (const char *name :
             {".top.url", ".hidden/.secret.url", ".hidden/inside.url", "a.uRl", "b.url.url",
              "c.URL.txt", "Straße.url", "ßß.ur", "a*b.url", "x*y/c*.url", "x/y.url"})
            tree.link(name, "u");
        // Links are followed, to a folder or a file out of the tree.
        QTemporaryDir dehors;
        support::writeFile(dehors.filePath(QStringLiteral("d/z.url")), support::shortcut("v"));
        QVERIFY(QFile::link(dehors.filePath(QStringLiteral("d")), tree.host("L")) &&
                QFile::link(dehors.filePath(QStringLiteral("d/z.url")), tree.host("l.url")));
        QStringList rows = scanRows(tree.root());
        rows.sort();
        QCOMPARE(rows.join(u' '),
                 QString::fromUtf8(".hidden|inside|u L|z|v x*y|c*|u x|y|u |Straße|u |a*b|u |a|u "
                                   "|b|u |c|u |l|v |page.htm|p |ßß.ur|u"));
    }

    // With few files allowed open, a folder whose parent could not stay open is reached again
    // from the root: every link is still found.
    void fewOpenFiles()
    {
        Tree tree;
        for (int i = 0; i < 40; ++i)
            tree.link(("F" + QByteArray::number(i) + "/G/x.url").constData(), "u");
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &old), 0);
        rlimit few = old;
        few.rlim_cur = 40;
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &few), 0);
        const qsizetype found = scanRows(tree.root()).size();
        setrlimit(RLIMIT_NOFILE, &old);
        QCOMPARE(found, 40);
    }

    // In a chain of folders the one at position i is at depth i: only the first
    // folderSearchLimit folders are searched for sub-folders, all are searched for links.
    void folderSearchLimit()
    {
        Tree tree;
        const int limit = FavouritesScan::folderSearchLimit;
        QByteArray chain;
        for (int depth = 1; depth <= limit + 1; ++depth) {
            chain += "d/";
            if (depth >= limit - 1)
                tree.link(chain + "at.url", QByteArray::number(depth));
        }
        FavouritesScan scan;
        scan.Lire_Favoris(tree.root());
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
        Tree tree;
        for (const char *name :
             {"Mail.url", "Mail Box.url", "Éclair.url", "Ecole.url", "10 ans.url", "A/Mail.url",
              "A/Mail Box.url", "A/C/x.url", "A B/x.url", "0/x.url", "mail.URL", "A/Zz.url",
              "A*Z/x.url", "b/x.url", "B/y.url", "b/z.url"})
            tree.link(name, "u");
        for (const char *locale :
             {"C", "en_US", "fr_FR", "de_DE", "sv_SE", "da_DK", "tr_TR", "lt_LT"}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
            QCOMPARE(
                scanRows(tree.root()).join(u' '),
                QString::fromUtf8("|10 ans|u |Éclair|u |Ecole|u |Mail Box|u |Mail|u |mail|u 0|x|u "
                                  "A B|x|u A|Mail Box|u A|Mail|u A|Zz|u A*Z|x|u A\\C|x|u B|y|u "
                                  "b|x|u b|z|u"));
            // Texts equal but for case go by their exact characters, then by position,
            // whatever the order the host listed them in.
            QCOMPARE(Cont_Sort(QStringLiteral("*mail*u *MAIL*u *Mail*u *mail*u").split(u' ')),
                     std::vector<qsizetype>({1, 2, 0, 3}));
        }
    }

    // More links than a 16-bit counter or a 10,000-row table can hold, all in order.
    void beyondSixteenBits()
    {
        Tree tree;
        QStringList expected;
        for (int i = 0; i < 34000; ++i) {
            const QString folder = QStringLiteral("F%1").arg(i / 850, 2, 10, QLatin1Char('0'));
            const QString name = QStringLiteral("%1").arg(i % 850, 3, 10, QLatin1Char('0'));
            support::writeFile(tree.dir.filePath(folder + u'/' + name),
                               "\r\nURL=" + QByteArray::number(i) + "\r\n");
            expected.append(folder + u'|' + name + u'|' + QString::number(i));
        }
        QCOMPARE(scanRows(tree.root()), expected);
    }
};

QTEST_GUILESS_MAIN(TestFavouritesScan)
#include "test_favourites_scan.moc"
