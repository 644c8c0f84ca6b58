// Favourites trees that a careless walk would hang on, crash on or exhaust memory with. Each
// scan must end with exactly the links that the readable shortcuts give.

#include "favourites/favourites_scan.h"
#include "test_support.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
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

// Writes a file named by raw host bytes, which need not be valid text, making its folder when
// new; size extends it with a hole.
bool writeRaw(const QByteArray &path, const QByteArray &bytes, off_t size = 0)
{
    ::mkdir(path.left(path.lastIndexOf('/')), 0755);
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    const bool written = fd >= 0 && ::write(fd, bytes, size_t(bytes.size())) == bytes.size();
    return fd >= 0 && (size == 0 || ftruncate(fd, size) == 0) && ::close(fd) == 0 && written;
}

// Writes a file below a chain of folders, each level made from the one above it, so that the
// whole path may be longer than the host's PATH_MAX.
bool writeDeep(const QByteArray &top, const QList<QByteArray> &folders, const QByteArray &bytes)
{
    int fd = ::open(top.constData(), O_RDONLY | O_DIRECTORY);
    for (const QByteArray &name : folders) {
        const int next = fd < 0 || (mkdirat(fd, name, 0755) != 0 && errno != EEXIST)
                             ? -1
                             : openat(fd, name, O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    const int file = fd < 0 ? -1 : openat(fd, "fond.url", O_CREAT | O_WRONLY | O_TRUNC, 0644);
    const bool written = file >= 0 && ::write(file, bytes, size_t(bytes.size())) == bytes.size();
    ::close(file);
    ::close(fd);
    return written;
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
    if (!entered.isEmpty()) {
        qWarning("entered %s", qPrintable(entered.first()));
        return false;
    }
    QStringList rows = support::rows(scan.Liens());
    rows.sort();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    if (rows != expected || usage.ru_maxrss >= peakLimitKb)
        qWarning("%ld kB at peak, rows:\n%s", usage.ru_maxrss, qPrintable(rows.join(u'\n')));
    return rows == expected && usage.ru_maxrss < peakLimitKb;
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
                         x = support::shortcut("http://x/");
        const QByteArray n251(251, 'n'), s251(251, '*'), d255(255, 'd'), b125(125, 'b');
        QStringList expected = {QString::fromLatin1("|" + n251 + "|http://x/"),
                                QString::fromLatin1("|" + s251 + "|http://x/"),
                                QString::fromLatin1(d255 + "|lien|http://x/"),
                                QStringLiteral("Vrac|99999|http://x/")};
        // 200,000 entries in one folder: hard links to a few empty files (a file system may
        // cap the links to one file near 65,000).
        QByteArray source;
        for (int i = 0; i < 200000; ++i) {
            const QByteArray name = top + "Vrac/" + QByteArray::number(i);
            QVERIFY(i % 40000 == 0 ? writeRaw(source = name, {}) : ::link(source, name) == 0);
        }
        // Twenty levels of folders, with links to the root, to the bottom folder itself and
        // to themselves at the bottom.
        QByteArray level;
        for (int i = 10; i < 30; ++i) {
            level += 'N' + QByteArray::number(i) + '/';
            QVERIFY(writeRaw(top + level + "lien.url", x));
            expected << QString::fromLatin1(level.chopped(1)).replace(u'/', u'\\') +
                            QStringLiteral("|lien|http://x/");
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
        QVERIFY(writeDeep(top, deep, x));
        expected << QString::fromLatin1(deep.join('\\') + "|fond|http://x/");
        // A name that starts with a byte-order mark is text all the same; a decomposed accent
        // is shown composed.
        for (const char *path :
             {"\357\273\277Dossier/\357\273\277lien.url", "E\314\201t\303\251/E\314\201cole.url"})
            QVERIFY(writeRaw(top + path, x));
        expected << QStringLiteral("\uFEFFDossier|\uFEFFlien|http://x/")
                 << QStringLiteral("\u00C9t\u00E9|\u00C9cole|http://x/");
        // Names of 255 bytes, of "*", with "\", of invalid UTF-8; unreadable folders and files.
        for (const QByteArray &path :
             {n251 + ".url", s251 + ".url", d255 + "/lien.url", b125 + "\\" + b125 + ".url",
              QByteArray(251, '\xff') + ".url", QByteArray("\xc0\xaf/lien.url"),
              QByteArray("Vrac/99999.url"), QByteArray("Ferme/a.url"), QByteArray("Lisible/b.url"),
              QByteArray("illisible.url")})
            QVERIFY(writeRaw(top + path, x));
        QVERIFY(chmod(top + "Ferme", 0) == 0 && chmod(top + "Lisible", 0444) == 0 &&
                chmod(top + "illisible.url", 0) == 0 && chmod(top, 0755) == 0);
        // 15 TB sparse files: a URL line that never ends, and one that starts past the hole, too
        // far in to be looked for.
        const off_t far = off_t(15) << 40;
        QVERIFY(writeRaw(top + "sans-fin.url", "[InternetShortcut]\r\nURL=http://", far) &&
                writeRaw(top + "loin.url", "[InternetShortcut]", far));
        const int fd = ::open(top + "loin.url", O_WRONLY | O_APPEND);
        QVERIFY(fd >= 0 && ::write(fd, "\r\nURL=http://far/\r\n", 19) == 19 && ::close(fd) == 0);

        expected.sort();
        QVERIFY(scanGivesAsUser(dir.path(), expected));
        QVERIFY(chmod(top + "Ferme", 0755) == 0 && chmod(top + "Lisible", 0755) == 0);
        // rm walks by descriptor: paths longer than PATH_MAX, names that are not text.
        QCOMPARE(std::system(("rm -rf -- '" + top + "'").constData()), 0);
    }
};

QTEST_GUILESS_MAIN(TestHostileTrees)
#include "test_hostile_trees.moc"
