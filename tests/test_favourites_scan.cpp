#include "favourites/favourites_scan.h"
#include "favourites/sort_order.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// A file or folder made from raw path bytes, which need not be valid text.
void rawFile(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

// A favourites tree in a temporary folder, built with host paths relative to its root.
class Tree
{
public:
    Tree() = default;
    explicit Tree(const QString &base) : m_dir(base + QStringLiteral("/signetor-XXXXXX")) {}
    // Removed byte-wise, as QDir cannot remove names that are not valid text.
    ~Tree() { std::filesystem::remove_all(raw().toStdString(), m_ignored); }

    // Big trees go to memory when the host offers it: creating many files on disk is slow.
    static QString fastBase()
    {
        const QString shm = QStringLiteral("/dev/shm");
        return QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
    }

    QString host(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    }
    QByteArray raw() const { return QFile::encodeName(m_dir.path()); }
    QString root() const { return support::programFolder(m_dir.path()); }

    void link(const QString &relative, const QByteArray &url)
    {
        support::writeFile(host(relative), support::shortcut(url));
    }
    void file(const QString &relative, const QByteArray &bytes)
    {
        support::writeFile(host(relative), bytes);
    }
    void folder(const QString &relative) { QVERIFY(QDir().mkpath(host(relative))); }
    void symlink(const QString &target, const QString &relative)
    {
        QVERIFY(QFile::link(host(target), host(relative)));
    }

private:
    QTemporaryDir m_dir;
    std::error_code m_ignored;
};

// Rows as "folder|name|url".
QStringList rows(const FavouritesScan &scan)
{
    QStringList out;
    for (const Lien &lien : scan.Liens())
        out.append(lien.dossier + QLatin1Char('|') + lien.nom + QLatin1Char('|') + lien.url);
    return out;
}

QStringList scanRows(const QString &root)
{
    FavouritesScan scan;
    scan.Lire_Favoris(root);
    return rows(scan);
}

} // namespace

class TestFavouritesScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::system()); }

    void emptyOrMissingRoot();
    void rootLinksInOrder();
    void displayNames_data();
    void displayNames();
    void nestedFoldersBreadthFirst();
    void onlyLinksTaken();
    void folderSearchLimit();
    void orderRulesInEveryLocale_data();
    void orderRulesInEveryLocale();
    void equalKeysIndependentOfInputOrder();
    void starInNames();
    void linkCycles();
    void namesThatAreNotText();
    void rescans();
    void beyondSixteenBits();
};

void TestFavouritesScan::emptyOrMissingRoot()
{
    Tree tree;
    tree.file(QStringLiteral("notes.txt"), "no link here\r\n");
    const QString roots[] = {tree.root(), tree.root() + QStringLiteral("missing\\"),
                             QStringLiteral("C:\\Windows\\Favoris\\")};
    for (const QString &root : roots) {
        FavouritesScan scan;
        scan.Lire_Favoris(root);
        QCOMPARE(scan.Nb_Dossiers(), 1);
        QCOMPARE(scan.Dossiers().constFirst(), root);
        QCOMPARE(scan.Nb_Liens(), qsizetype(-1));
        QVERIFY(scan.Liens().isEmpty());
    }
}

void TestFavouritesScan::rootLinksInOrder()
{
    Tree tree;
    tree.link(QStringLiteral("Zeta.url"), "http://z/");
    tree.link(QStringLiteral("Mail.url"), "http://b/");
    tree.link(QStringLiteral("mail.URL"), "http://a/");
    tree.link(QStringLiteral("Mail Box.url"), "http://box/");
    tree.link(QStringLiteral("alpha.url"), "http://alpha/");
    tree.link(QStringLiteral("\u00c9clair.url"), "http://eclair/");
    tree.link(QStringLiteral("Ecole.url"), "http://ecole/");
    tree.link(QStringLiteral("10 ans.url"), "http://10/");

    FavouritesScan scan;
    scan.Lire_Favoris(tree.root());
    QCOMPARE(rows(scan), QStringList({
                             QStringLiteral("|10 ans|http://10/"),
                             QStringLiteral("|alpha|http://alpha/"),
                             QStringLiteral("|\u00c9clair|http://eclair/"),
                             QStringLiteral("|Ecole|http://ecole/"),
                             QStringLiteral("|Mail Box|http://box/"),
                             QStringLiteral("|mail|http://a/"),
                             QStringLiteral("|Mail|http://b/"),
                             QStringLiteral("|Zeta|http://z/"),
                         }));
    QCOMPARE(scan.Nb_Liens(), qsizetype(7));
}

void TestFavouritesScan::displayNames_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("name");

    QTest::newRow("capitals") << QStringLiteral("Paper.URL") << QStringLiteral("Paper");
    QTest::newRow("mixed case") << QStringLiteral("Paper.uRl") << QStringLiteral("Paper");
    QTest::newRow("twice") << QStringLiteral("a.url.url") << QStringLiteral("a");
    QTest::newRow("in the middle") << QStringLiteral("x.URL.txt") << QStringLiteral("x");
    QTest::newRow("no ending") << QStringLiteral("notes.txt") << QStringLiteral("notes.txt");
    QTest::newRow("sharp s") << QStringLiteral("Stra\u00dfe.url") << QStringLiteral("Stra\u00dfe");
    QTest::newRow("sharp s and no ending")
        << QStringLiteral("\u00df\u00df.ur") << QStringLiteral("\u00df\u00df.ur");
    QTest::newRow("dots and blanks") << QStringLiteral("a. b .url") << QStringLiteral("a. b ");
}

void TestFavouritesScan::displayNames()
{
    QFETCH(QString, fileName);
    QFETCH(QString, name);
    Tree tree;
    tree.link(QStringLiteral("News/") + fileName, "http://x/");
    QCOMPARE(scanRows(tree.root()),
             QStringList(QStringLiteral("News|") + name + QStringLiteral("|http://x/")));
}

void TestFavouritesScan::nestedFoldersBreadthFirst()
{
    Tree tree;
    tree.link(QStringLiteral("News/Daily/Paper.url"), "http://paper/");
    tree.link(QStringLiteral("News/Weekly/Deep/Down/Mag.url"), "http://mag/");
    tree.link(QStringLiteral("Art/Museum.url"), "http://museum/");
    tree.folder(QStringLiteral("Empty"));

    FavouritesScan scan;
    scan.Lire_Favoris(tree.root());
    QCOMPARE(rows(scan), QStringList({
                             QStringLiteral("Art|Museum|http://museum/"),
                             QStringLiteral("News\\Daily|Paper|http://paper/"),
                             QStringLiteral("News\\Weekly\\Deep\\Down|Mag|http://mag/"),
                         }));

    // Folders are full paths ending with "\", each once, in breadth-first order.
    const QStringList folders = scan.Dossiers();
    QCOMPARE(folders.size(), 8);
    QCOMPARE(folders.constFirst(), tree.root());
    qsizetype depth = 0;
    for (const QString &folder : folders) {
        QVERIFY(folder.startsWith(tree.root()));
        QVERIFY(folder.endsWith(QLatin1Char('\\')));
        QVERIFY(folder.count(QLatin1Char('\\')) >= depth);
        depth = folder.count(QLatin1Char('\\'));
    }
    QCOMPARE(folders.at(7), tree.root() + QStringLiteral("News\\Weekly\\Deep\\Down\\"));
}

// Only plain, visible files that give a URL become rows; hidden folders are walked.
void TestFavouritesScan::onlyLinksTaken()
{
    Tree tree;
    tree.link(QStringLiteral("b.url"), "http://b/");
    tree.link(QStringLiteral("a.url"), "http://a/");
    tree.file(QStringLiteral("empty.url"), QByteArray());
    tree.file(QStringLiteral("no url.url"), "[InternetShortcut]\r\nIconIndex=1\r\n");
    tree.file(QStringLiteral("image.gif"), QByteArray("GIF89a\x01\x00\x01\x00\x00\xff", 12));
    tree.file(QStringLiteral("page.htm"), "<html>\r\nURL=http://in-a-page/\r\n</html>\r\n");
    QCOMPARE(::mkfifo(tree.raw() + "/pipe.url", 0644), 0);
    tree.symlink(QStringLiteral("nowhere"), QStringLiteral("dangling.url"));
    tree.link(QStringLiteral(".top.url"), "http://top/");
    tree.link(QStringLiteral(".hidden/inside.url"), "http://inside/");
    tree.link(QStringLiteral(".hidden/.secret.url"), "http://secret/");

    FavouritesScan scan;
    scan.Lire_Favoris(tree.root());
    // "." sorts before "*": the hidden folder's links come first.
    QCOMPARE(rows(scan), QStringList({
                             QStringLiteral(".hidden|inside|http://inside/"),
                             QStringLiteral("|a|http://a/"),
                             QStringLiteral("|b|http://b/"),
                             QStringLiteral("|page.htm|http://in-a-page/"),
                         }));
    QCOMPARE(scan.Nb_Liens(), qsizetype(3));
}

// A chain of folders one inside the other: the folder at position i of the table is at
// depth i, so the limit on searched folders is a limit on depth.
void TestFavouritesScan::folderSearchLimit()
{
    Tree tree(Tree::fastBase());
    const int limit = FavouritesScan::folderSearchLimit;
    QString chain;
    for (int depth = 1; depth <= limit + 1; ++depth) {
        chain += QStringLiteral("d/");
        tree.folder(chain);
        if (depth >= limit - 1)
            tree.link(chain + QStringLiteral("at.url"), QByteArray::number(depth));
    }

    FavouritesScan scan;
    scan.Lire_Favoris(tree.root());
    QCOMPARE(scan.Nb_Dossiers(), limit + 1);
    const QString deepest = QStringList(limit, QStringLiteral("d")).join(QLatin1Char('\\'));
    QCOMPARE(scan.Dossiers().constLast(), tree.root() + deepest + QLatin1Char('\\'));
    QCOMPARE(scan.Nb_Liens(), qsizetype(1));
    QCOMPARE(rows(scan).constLast(), deepest + QStringLiteral("|at|") + QString::number(limit));
}

void TestFavouritesScan::orderRulesInEveryLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("C") << QLocale::c();
    for (const char *name : {"en_US", "fr_FR", "de_DE", "sv_SE", "da_DK", "tr_TR", "lt_LT"})
        QTest::newRow(name) << QLocale(QString::fromLatin1(name));
}

void TestFavouritesScan::orderRulesInEveryLocale()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);

    Tree tree;
    tree.link(QStringLiteral("A/Mail.url"), "http://a-mail/");
    tree.link(QStringLiteral("A/Mail Box.url"), "http://a-mail-box/");
    tree.link(QStringLiteral("A/C/x.url"), "http://a-c/");
    tree.link(QStringLiteral("A B/x.url"), "http://a-b/");
    tree.link(QStringLiteral("a2/x.url"), "http://a2/");
    tree.link(QStringLiteral("b/x.url"), "http://b/");
    tree.link(QStringLiteral("0 digits/x.url"), "http://0/");
    tree.link(QStringLiteral("\u00e9t\u00e9/x.url"), "http://ete/");
    tree.link(QStringLiteral("Ets/x.url"), "http://ets/");
    tree.link(QStringLiteral("zz.url"), "http://root-z/");
    tree.link(QStringLiteral("Ab.url"), "http://root-a/");

    QCOMPARE(scanRows(tree.root()), QStringList({
                                        QStringLiteral("|Ab|http://root-a/"),
                                        QStringLiteral("|zz|http://root-z/"),
                                        QStringLiteral("0 digits|x|http://0/"),
                                        QStringLiteral("A B|x|http://a-b/"),
                                        QStringLiteral("A|Mail Box|http://a-mail-box/"),
                                        QStringLiteral("A|Mail|http://a-mail/"),
                                        QStringLiteral("A\\C|x|http://a-c/"),
                                        QStringLiteral("a2|x|http://a2/"),
                                        QStringLiteral("b|x|http://b/"),
                                        QStringLiteral("\u00e9t\u00e9|x|http://ete/"),
                                        QStringLiteral("Ets|x|http://ets/"),
                                    }));
}

void TestFavouritesScan::equalKeysIndependentOfInputOrder()
{
    const QStringList texts = {QStringLiteral("*mail*u"), QStringLiteral("*Mail*u"),
                               QStringLiteral("*MAIL*u"), QStringLiteral("*mail*u")};
    QStringList reversed = texts;
    std::reverse(reversed.begin(), reversed.end());
    const auto inOrder = [](const QStringList &in) {
        QStringList out;
        for (const qsizetype i : Cont_Sort(in))
            out.append(in.at(i));
        return out;
    };
    QCOMPARE(inOrder(texts), inOrder(reversed));
    // Case plays no part in the collation; the exact characters decide between equals.
    QCOMPARE(inOrder(texts), QStringList({QStringLiteral("*MAIL*u"), QStringLiteral("*Mail*u"),
                                          QStringLiteral("*mail*u"), QStringLiteral("*mail*u")}));
    // Identical texts keep their order.
    QCOMPARE(Cont_Sort({QStringLiteral("x"), QStringLiteral("x")}), std::vector<qsizetype>({0, 1}));
}

// "*" joins the columns of the sort key but may occur in host names; no row may suffer.
void TestFavouritesScan::starInNames()
{
    Tree tree;
    tree.link(QStringLiteral("a*b.url"), "http://star/");
    tree.link(QStringLiteral("a.url"), "http://a*/");
    tree.link(QStringLiteral("x*y/c*.url"), "http://c/");
    tree.link(QStringLiteral("x/y.url"), "http://y/");
    const QStringList found = scanRows(tree.root());
    QCOMPARE(found.size(), 4);
    for (const QString &row : {QStringLiteral("|a*b|http://star/"), QStringLiteral("|a|http://a*/"),
                               QStringLiteral("x*y|c*|http://c/"), QStringLiteral("x|y|http://y/")})
        QVERIFY2(found.contains(row), qPrintable(row));
}

void TestFavouritesScan::linkCycles()
{
    Tree tree;
    tree.link(QStringLiteral("A/B/deep.url"), "http://deep/");
    tree.link(QStringLiteral("A/top.url"), "http://top/");
    tree.symlink(QString(), QStringLiteral("A/B/to-root"));
    tree.symlink(QStringLiteral("A"), QStringLiteral("A/B/to-A"));
    tree.symlink(QStringLiteral("A/B"), QStringLiteral("A/B/self"));

    FavouritesScan scan;
    scan.Lire_Favoris(tree.root());
    QCOMPARE(scan.Dossiers(), QStringList({tree.root(), tree.root() + QStringLiteral("A\\"),
                                           tree.root() + QStringLiteral("A\\B\\")}));
    QCOMPARE(rows(scan), QStringList({QStringLiteral("A|top|http://top/"),
                                      QStringLiteral("A\\B|deep|http://deep/")}));

    // A folder reached two ways is recorded once, under the way found first.
    QTemporaryDir outside;
    support::writeFile(outside.filePath(QStringLiteral("Shared/s.url")),
                       support::shortcut("http://shared/"));
    Tree second;
    second.folder(QStringLiteral("Deeper/Down"));
    QVERIFY(QFile::link(outside.filePath(QStringLiteral("Shared")),
                        second.host(QStringLiteral("Shared"))));
    second.symlink(QStringLiteral("Shared"), QStringLiteral("Deeper/Down/again"));
    QCOMPARE(scanRows(second.root()), QStringList(QStringLiteral("Shared|s|http://shared/")));
}

void TestFavouritesScan::namesThatAreNotText()
{
    Tree tree;
    tree.link(QStringLiteral("good.url"), "http://good/");
    tree.folder(QStringLiteral("Sub"));
    rawFile(tree.raw() + "/bad\xff\xfe.url", support::shortcut("http://bad/"));
    rawFile(tree.raw() + "/back\\slash.url", support::shortcut("http://slash/"));
    QCOMPARE(::mkdir(tree.raw() + "/dir\xe9", 0755), 0);
    rawFile(tree.raw() + "/dir\xe9/in.url", support::shortcut("http://in-bad/"));
    rawFile(tree.raw() + "/Sub/caf\xc3\xa9.url", support::shortcut("http://cafe/"));
    QCOMPARE(scanRows(tree.root()), QStringList({QStringLiteral("|good|http://good/"),
                                                 QStringLiteral("Sub|caf\u00e9|http://cafe/")}));
}

void TestFavouritesScan::rescans()
{
    Tree tree;
    tree.link(QStringLiteral("a.url"), "http://a/");
    tree.link(QStringLiteral("Gone/b.url"), "http://b/");
    tree.link(QStringLiteral("Kept/c.url"), "http://c/");
    tree.link(QStringLiteral("Kept/d.url"), "http://d/");

    FavouritesScan scan;
    scan.Lire_Favoris(tree.root());
    const QStringList first = rows(scan);
    QCOMPARE(first.size(), 4);
    scan.Lire_Favoris(tree.root());
    QCOMPARE(rows(scan), first);

    QVERIFY(QDir(tree.host(QStringLiteral("Gone"))).removeRecursively());
    QVERIFY(QFile::remove(tree.host(QStringLiteral("Kept/d.url"))));
    scan.Lire_Favoris(tree.root());
    QCOMPARE(rows(scan),
             QStringList({QStringLiteral("|a|http://a/"), QStringLiteral("Kept|c|http://c/")}));
    QCOMPARE(scan.Nb_Dossiers(), 2);
    scan.Lire_Favoris(tree.root() + QStringLiteral("Gone\\"));
    QCOMPARE(scan.Nb_Liens(), qsizetype(-1));
    QCOMPARE(scan.Nb_Dossiers(), 1);
}

// More links than a 16-bit counter or the old 10,000-row table can hold.
void TestFavouritesScan::beyondSixteenBits()
{
    Tree tree(Tree::fastBase());
    const int folders = 40;
    const int perFolder = 850;
    for (int f = 0; f < folders; ++f) {
        const QString folder = QStringLiteral("F%1").arg(f, 2, 10, QLatin1Char('0'));
        tree.folder(folder);
        const QByteArray hostFolder = QFile::encodeName(tree.host(folder));
        for (int n = 0; n < perFolder; ++n) {
            rawFile(hostFolder + '/' + QByteArray::number(n) + ".url",
                    "\r\nURL=" + QByteArray::number(f * perFolder + n) + "\r\n");
        }
    }

    FavouritesScan scan;
    scan.Lire_Favoris(tree.root());
    QCOMPARE(scan.Nb_Liens(), qsizetype(folders * perFolder - 1));
    QCOMPARE(scan.Liens().constFirst(),
             (Lien{QStringLiteral("F00"), QStringLiteral("0"), QStringLiteral("0")}));
    // Names sort as text: "99" is the last of 0 to 849.
    QCOMPARE(scan.Liens().constLast(), (Lien{QStringLiteral("F39"), QStringLiteral("99"),
                                             QString::number((folders - 1) * perFolder + 99)}));
    const QCollator collator = sortCollator();
    for (qsizetype i = 1; i < scan.Liens().size(); ++i) {
        const QString a = FavouritesScan::sortKey(scan.Liens().at(i - 1));
        const QString b = FavouritesScan::sortKey(scan.Liens().at(i));
        if (collator.compare(a, b) > 0)
            QFAIL(qPrintable(a + QStringLiteral(" after ") + b));
    }
}

QTEST_GUILESS_MAIN(TestFavouritesScan)
#include "test_favourites_scan.moc"
