// Favourites trees that a careless walk would hang on, crash on or exhaust memory with. Each
// scan must end with exactly the links that the readable shortcuts give.

#include "favourites/favourites_scan.h"
#include "test_support.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace
{

// Writes a file below top, named by raw host bytes that need not be valid text, making its
// folders on the way, each from the one above it, so that the whole path may be longer than the
// host's PATH_MAX; a hole then extends it to holeEnd, and after is written past the hole.
bool writeRaw(const QByteArray &top, const QByteArray &relative, const QByteArray &bytes,
              off_t holeEnd = 0, const QByteArray &after = {})
{
    const QList<QByteArray> names = relative.split('/');
    int fd = ::open(top.constData(), O_RDONLY | O_DIRECTORY);
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        const int next = fd < 0 || (mkdirat(fd, names[i], 0755) != 0 && errno != EEXIST)
                             ? -1
                             : openat(fd, names[i], O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    const int file = fd < 0 ? -1 : openat(fd, names.last(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ::close(fd);
    const bool written = file >= 0 && ::write(file, bytes, size_t(bytes.size())) == bytes.size() &&
                         (holeEnd == 0 || ftruncate(file, holeEnd) == 0) &&
                         pwrite(file, after, size_t(after.size()), holeEnd) == after.size();
    return ::close(file) == 0 && written;
}

// Peak memory allowed for the scan: far below the 15 TB files it reads. AddressSanitizer's own
// bookkeeping takes several hundred megabytes more, so its builds get a looser bound that
// still catches a file read whole.
#if defined(__SANITIZE_ADDRESS__)
constexpr long peakLimitKb = 1024 * 1024;
#else
constexpr long peakLimitKb = 256 * 1024;
#endif

// The scan's rows, sorted, are the expected ones, and its peak memory stays far below the size
// of the files it reads.
bool scanGives(const QString &hostRoot, const QStringList &expected)
{
    FavouritesScan scan;
    const QString root = support::programFolder(hostRoot);
    scan.Lire_Favoris(root);
    // Pseudo file systems are never entered: nothing below them is found.
    const QStringList entered = scan.Dossiers().filter(QRegularExpression(
        QStringLiteral("^%1(proc|sys)\\\\.").arg(QRegularExpression::escape(root))));
    QStringList rows = support::rows(scan.Liens());
    rows.sort();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const bool right = entered.isEmpty() && rows == expected && usage.ru_maxrss < peakLimitKb;
    if (!right)
        qWarning("%ld kB at peak, entered %s, rows:\n%s", usage.ru_maxrss,
                 qPrintable(entered.join(u' ')), qPrintable(rows.join(u'\n')));
    return right;
}

// Permission bits do not stop root: as root, the scan runs in a child that has become an
// ordinary user, and only its verdict comes back.
bool scanGivesAsUser(const QString &hostRoot, const QStringList &expected)
{
    if (geteuid() != 0)
        return scanGives(hostRoot, expected);
    const pid_t child = fork();
    if (child == 0) {
        const bool user = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        _exit(user && scanGives(hostRoot, expected) ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

class TestHostileTrees : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One tree holds every hazard; only names that can be program text and shortcuts that
    // can be read give rows.
    void hostileTree()
    {
        QTemporaryDir dir;
        const QByteArray top = QFile::encodeName(dir.path()) + '/',
                         x = support::shortcut("http://x/"), b125(125, 'b');
        // The rows that the readable shortcuts below give, sorted.
        const QStringList expected = QString::fromUtf8(support::dataFile("hostile/rows.txt"))
                                         .split(u'\n', Qt::SkipEmptyParts);
        // 200,000 entries in one folder: hard links to a few empty files (a file system may
        // cap the links to one file near 65,000).
        QByteArray source;
        for (int i = 0; i < 200000; ++i) {
            const QByteArray name = top + "Vrac/" + QByteArray::number(i);
            QVERIFY(i % 40000 == 0 ? writeRaw(top, (source = name).mid(top.size()), {})
                                   : ::link(source, name) == 0);
        }
        // Twenty levels of folders, with links to the root, to the bottom folder itself and
        // to themselves at the bottom.
        QByteArray level;
        for (int i = 10; i < 30; ++i) {
            level += 'N' + QByteArray::number(i) + '/';
            QVERIFY(writeRaw(top, level + "lien.url", x));
        }
        QVERIFY(
            symlink(top, top + level + "racine") == 0 && symlink(".", top + level + "ici") == 0 &&
            symlink("boucle", top + level + "boucle") == 0 && mkfifo(top + "tube.url", 0644) == 0 &&
            symlink("absent.url", top + "perdu.url") == 0);
        // Kernel files that never end, or a walk that never ends.
        QVERIFY(symlink("/proc", top + "proc") == 0 && symlink("/sys", top + "sys") == 0 &&
                symlink("/proc/self/pagemap", top + "pagemap.url") == 0);
        // Twenty levels of 255-byte names: deeper than any path the host takes.
        QList<QByteArray> deep;
        for (char c = 'a'; c < 'a' + 20; ++c)
            deep.append(QByteArray(255, c));
        QVERIFY(writeRaw(top, deep.join('/') + "/fond.url", x));
        // A name that starts with a byte-order mark is text all the same; a decomposed accent
        // is shown composed.
        for (const char *path :
             {"\357\273\277Dossier/\357\273\277lien.url", "E\314\201t\303\251/E\314\201cole.url"})
            QVERIFY(writeRaw(top, path, x));
        // Names of 255 bytes, of "*", with "\", of invalid UTF-8; unreadable folders and files.
        for (const QByteArray &path :
             {QByteArray(251, 'n') + ".url", QByteArray(251, '*') + ".url",
              QByteArray(255, 'd') + "/lien.url", b125 + "\\" + b125 + ".url",
              QByteArray(251, '\xff') + ".url", QByteArray("\xc0\xaf/lien.url"),
              QByteArray("Vrac/99999.url"), QByteArray("Ferme/a.url"), QByteArray("Lisible/b.url"),
              QByteArray("illisible.url")})
            QVERIFY(writeRaw(top, path, x));
        QVERIFY(chmod(top + "Ferme", 0) == 0 && chmod(top + "Lisible", 0444) == 0 &&
                chmod(top + "illisible.url", 0) == 0 && chmod(top, 0755) == 0);
        // 15 TB sparse files: a URL line that never ends, and one that starts past the hole, too
        // far in to be looked for.
        const off_t far = off_t(15) << 40;
        QVERIFY(writeRaw(top, "sans-fin.url", "[InternetShortcut]\r\nURL=http://", far) &&
                writeRaw(top, "loin.url", "[InternetShortcut]", far, "\r\nURL=http://far/\r\n"));

        QVERIFY(scanGivesAsUser(dir.path(), expected));
        QVERIFY(chmod(top + "Ferme", 0755) == 0 && chmod(top + "Lisible", 0755) == 0);
        // rm walks by descriptor: paths longer than PATH_MAX, names that are not text.
        QCOMPARE(std::system(("rm -rf -- '" + top + "'").constData()), 0);
    }
};

QTEST_GUILESS_MAIN(TestHostileTrees)
#include "test_hostile_trees.moc"
