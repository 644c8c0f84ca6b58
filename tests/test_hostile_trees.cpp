// Favourites trees that a careless walk would hang on, crash on or exhaust memory with. Each
// scan must end with exactly the links that the readable shortcuts give.

#include "favourites/favourites_scan.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

constexpr qint64 twoGigabytes = (qint64(1) << 31) + 1; // just past a signed 32-bit size

// A favourites tree in a temporary folder, addressed by host paths relative to its root.
class Tree
{
public:
    Tree() { QVERIFY(m_dir.isValid()); }

    QString host(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    }
    QByteArray hostBytes(const QByteArray &relative) const
    {
        return QFile::encodeName(m_dir.path()) + '/' + relative;
    }
    QString root() const { return support::programFolder(m_dir.path()); }

    void link(const QString &relative, const QByteArray &url)
    {
        support::writeFile(host(relative), support::shortcut(url));
    }
    void folder(const QString &relative) { QVERIFY(QDir().mkpath(host(relative))); }

private:
    QTemporaryDir m_dir;
};

QString rowText(const Lien &lien)
{
    return lien.dossier + QLatin1Char('|') + lien.nom + QLatin1Char('|') + lien.url;
}

QStringList scanRows(const QString &root)
{
    FavouritesScan scan;
    scan.Lire_Favoris(root);
    QStringList rows;
    for (const Lien &lien : scan.Liens())
        rows.append(rowText(lien));
    return rows;
}

// Writes bytes to a file named by raw host bytes, which need not be valid text.
bool writeRaw(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

// Peak resident memory of this process so far, in megabytes.
qint64 peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Permission bits do not stop root. As root the scan runs in a child process that has become
// an ordinary user; its rows come back through a pipe.
QStringList scanRowsWithoutPrivileges(const QString &hostRoot, const QString &root)
{
    if (geteuid() != 0)
        return scanRows(root);
    if (chmod(QFile::encodeName(hostRoot).constData(), 0755) != 0)
        return {QStringLiteral("cannot open the tree to other users")};
    int channel[2];
    if (pipe(channel) != 0)
        return {QStringLiteral("no pipe")};
    const pid_t child = fork();
    if (child == 0) {
        ::close(channel[0]);
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
            _exit(3);
        const QByteArray out = scanRows(root).join(QLatin1Char('\n')).toUtf8();
        const bool sent = ::write(channel[1], out.constData(), size_t(out.size())) == out.size();
        _exit(sent ? 0 : 4);
    }
    ::close(channel[1]);
    QByteArray received;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0)
        received.append(buffer, n);
    ::close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {QStringLiteral("the unprivileged scan failed, status %1").arg(status)};
    return received.isEmpty() ? QStringList() : QString::fromUtf8(received).split(u'\n');
}

} // namespace

class TestHostileTrees : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sparseFilesOfTwoGigabytes_data();
    void sparseFilesOfTwoGigabytes();
    void twoHundredThousandEntriesInOneFolder();
    void twentyLevelsWithLinkCycles();
    void fifosAndDanglingLinksAreSkipped();
    void unreadableFoldersAndFiles();
    void hostileNames_data();
    void hostileNames();
};

void TestHostileTrees::sparseFilesOfTwoGigabytes_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("shortcut, then zeros") << support::shortcut("http://head/") << QByteArray()
                                          << QStringList(QStringLiteral("|grand|http://head/"));
    QTest::newRow("URL line that never ends")
        << QByteArray("[InternetShortcut]\r\nURL=http://") << QByteArray() << QStringList();
    QTest::newRow("URL line after two gigabytes")
        << QByteArray("[InternetShortcut]") << QByteArray("\r\nURL=http://far/\r\n")
        << QStringList(QStringLiteral("|grand|http://far/"));
}

// The whole file may be read, but never held: memory stays far below the file's size.
void TestHostileTrees::sparseFilesOfTwoGigabytes()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, tail);
    QFETCH(QStringList, expected);

    Tree tree;
    const QByteArray path = tree.hostBytes("grand.url");
    QVERIFY(writeRaw(path, head));
    QCOMPARE(truncate(path.constData(), twoGigabytes), 0);
    if (!tail.isEmpty()) {
        const int fd = ::open(path.constData(), O_WRONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(pwrite(fd, tail.constData(), size_t(tail.size()), twoGigabytes),
                 ssize_t(tail.size()));
        ::close(fd);
    }

    const qint64 peakBefore = peakMegabytes();
    QCOMPARE(scanRows(tree.root()), expected);
    const qint64 growth = peakMegabytes() - peakBefore;
    QVERIFY2(growth < 256, qPrintable(QStringLiteral("peak memory grew by %1 MB").arg(growth)));
}

// Hard links to a few empty files fill the folder fast (a file system may cap the links to one
// file near 65,000); three real shortcuts hide among them.
void TestHostileTrees::twoHundredThousandEntriesInOneFolder()
{
    Tree tree;
    tree.folder(QStringLiteral("Vrac"));
    const QByteArray folder = tree.hostBytes("Vrac/");
    const int entries = 200000;
    const int linksPerFile = 40000;
    QByteArray source;
    for (int i = 0; i < entries; ++i) {
        const QByteArray name = folder + QByteArray::number(i);
        const bool made = i % linksPerFile == 0 ? writeRaw(source = name, QByteArray())
                                                : ::link(source.constData(), name.constData()) == 0;
        if (!made)
            QFAIL(qPrintable(QStringLiteral("cannot make entry %1").arg(i)));
    }
    tree.link(QStringLiteral("Vrac/0.url"), "http://zero/");
    tree.link(QStringLiteral("Vrac/99999.url"), "http://middle/");
    tree.link(QStringLiteral("Vrac/zz.url"), "http://last/");

    FavouritesScan scan;
    scan.Lire_Favoris(tree.root());
    QCOMPARE(scan.Nb_Dossiers(), 2);
    QStringList rows;
    for (const Lien &lien : scan.Liens())
        rows.append(rowText(lien));
    QCOMPARE(rows, QStringList({QStringLiteral("Vrac|0|http://zero/"),
                                QStringLiteral("Vrac|99999|http://middle/"),
                                QStringLiteral("Vrac|zz|http://last/")}));
}

// Twenty nested folders, one link in each; at the bottom, links back to the root and to the
// folder itself, and a link that points to itself.
void TestHostileTrees::twentyLevelsWithLinkCycles()
{
    Tree tree;
    QString relative;
    QStringList expected;
    for (int level = 1; level <= 20; ++level) {
        const QString name = QStringLiteral("N%1").arg(level, 2, 10, QLatin1Char('0'));
        relative += (relative.isEmpty() ? QString() : QStringLiteral("/")) + name;
        tree.link(relative + QStringLiteral("/lien.url"),
                  "http://level" + QByteArray::number(level));
        expected.append(QString(relative).replace(u'/', u'\\') +
                        QStringLiteral("|lien|http://level%1").arg(level));
    }
    const QString bottom = tree.host(relative);
    QVERIFY(QFile::link(tree.host(), bottom + QStringLiteral("/racine")));
    QVERIFY(QFile::link(bottom, bottom + QStringLiteral("/ici")));
    QVERIFY(QFile::link(bottom + QStringLiteral("/boucle"), bottom + QStringLiteral("/boucle")));

    FavouritesScan scan;
    scan.Lire_Favoris(tree.root());
    QCOMPARE(scan.Nb_Dossiers(), 21);
    QStringList rows;
    for (const Lien &lien : scan.Liens())
        rows.append(rowText(lien));
    QCOMPARE(rows, expected);
}

// A FIFO named like a shortcut would block a reader that opens it; it is no file to read.
void TestHostileTrees::fifosAndDanglingLinksAreSkipped()
{
    Tree tree;
    tree.link(QStringLiteral("Dossier/vrai.url"), "http://vrai/");
    QCOMPARE(mkfifo(tree.hostBytes("tube.url").constData(), 0644), 0);
    QCOMPARE(mkfifo(tree.hostBytes("Dossier/tube.url").constData(), 0644), 0);
    QVERIFY(QFile::link(tree.host(QStringLiteral("absent.url")),
                        tree.host(QStringLiteral("Dossier/perdu.url"))));
    QVERIFY(QFile::link(tree.host(QStringLiteral("tube.url")),
                        tree.host(QStringLiteral("vers-tube.url"))));
    QVERIFY(QFile::link(tree.host(QStringLiteral("Dossier/vrai.url")),
                        tree.host(QStringLiteral("copie.url"))));

    QCOMPARE(scanRows(tree.root()), QStringList({QStringLiteral("|copie|http://vrai/"),
                                                 QStringLiteral("Dossier|vrai|http://vrai/")}));
}

// Folders that cannot be listed or entered and files that cannot be read give no link and
// stop nothing else.
void TestHostileTrees::unreadableFoldersAndFiles()
{
    Tree tree;
    tree.link(QStringLiteral("Ouvert/a.url"), "http://a/");
    tree.link(QStringLiteral("Ouvert/Sous/b.url"), "http://b/");
    tree.link(QStringLiteral("Ferme/c.url"), "http://c/");
    tree.link(QStringLiteral("Ferme/Sous/d.url"), "http://d/");
    tree.link(QStringLiteral("Traversable/e.url"), "http://e/");
    tree.link(QStringLiteral("Lisible/f.url"), "http://f/");
    tree.link(QStringLiteral("Lisible/Sous/g.url"), "http://g/");
    tree.link(QStringLiteral("illisible.url"), "http://h/");
    const auto setMode = [&](const char *relative, mode_t mode) {
        return chmod(tree.hostBytes(relative).constData(), mode) == 0;
    };
    QVERIFY(setMode("Ferme", 0));
    QVERIFY(setMode("Traversable", 0111));
    QVERIFY(setMode("Lisible", 0444));
    QVERIFY(setMode("illisible.url", 0));

    const QStringList rows = scanRowsWithoutPrivileges(tree.host(), tree.root());
    // Restore the modes so that the temporary tree can be removed.
    QVERIFY(setMode("Ferme", 0755) && setMode("Traversable", 0755) && setMode("Lisible", 0755));
    QCOMPARE(rows, QStringList({QStringLiteral("Ouvert|a|http://a/"),
                                QStringLiteral("Ouvert\\Sous|b|http://b/")}));
}

void TestHostileTrees::hostileNames_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("expected"); // the row, empty when the file is no link

    const QByteArray n251(251, 'n');
    const QByteArray d255(255, 'd');
    const QByteArray e125 = QString(125, QChar(0xE9)).toUtf8();
    QTest::newRow("255-byte file name")
        << QByteArray(n251 + ".url")
        << QStringLiteral("|%1|http://x/").arg(QString::fromLatin1(n251));
    QTest::newRow("255-byte folder name")
        << QByteArray(d255 + "/lien.url")
        << QStringLiteral("%1|lien|http://x/").arg(QString::fromLatin1(d255));
    QTest::newRow("255 bytes of two-byte letters")
        << QByteArray(e125 + "x.url")
        << QStringLiteral("|%1x|http://x/").arg(QString::fromUtf8(e125));
    QTest::newRow("255 bytes with stars")
        << QByteArray(QByteArray(123, '*') + "." + QByteArray(127, '*') + ".url")
        << QStringLiteral("|%1.%2|http://x/").arg(QString(123, u'*'), QString(127, u'*'));
    QTest::newRow("line break and tab in the name")
        << QByteArray("a\r\nb\tc.url") << QStringLiteral("|a\r\nb\tc|http://x/");
    QTest::newRow("backslash in a 255-byte name")
        << QByteArray(QByteArray(125, 'b') + "\\" + QByteArray(125, 'b') + ".url") << QString();
    QTest::newRow("invalid UTF-8, 255 bytes")
        << QByteArray(QByteArray(251, '\xff') + ".url") << QString();
    QTest::newRow("overlong UTF-8 in a folder name")
        << QByteArray("\xc0\xaf/lien.url") << QString();
}

// Every name is valid for the host; those that cannot be program text are never listed.
void TestHostileTrees::hostileNames()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, expected);

    Tree tree;
    tree.link(QStringLiteral("t\u00e9moin.url"), "http://temoin/");
    const qsizetype slash = path.lastIndexOf('/');
    if (slash >= 0)
        QCOMPARE(::mkdir(tree.hostBytes(path.left(slash)).constData(), 0755), 0);
    QVERIFY(writeRaw(tree.hostBytes(path), support::shortcut("http://x/")));

    QStringList wanted(QStringLiteral("|t\u00e9moin|http://temoin/"));
    if (!expected.isEmpty())
        wanted.append(expected);
    QStringList rows = scanRows(tree.root());
    // Names that are not text are beyond QTemporaryDir's reach: remove them here.
    ::unlink(tree.hostBytes(path).constData());
    if (slash >= 0)
        ::rmdir(tree.hostBytes(path.left(slash)).constData());
    rows.sort();
    wanted.sort();
    QCOMPARE(rows, wanted);
}

QTEST_GUILESS_MAIN(TestHostileTrees)
#include "test_hostile_trees.moc"
