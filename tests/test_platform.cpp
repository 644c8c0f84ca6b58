#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/runtime_error.h"
#include "platform/virtual_store.h"
#include "platform/windows1252.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

using platform::FaultPoint;
using platform::RuntimeError;

namespace
{

// Creates an empty file whose name is given as raw host bytes.
void createRawName(const QString &hostFolder, const QByteArray &name)
{
    const QByteArray path = QFile::encodeName(hostFolder) + '/' + name;
    const int fd = open(path.constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    close(fd);
}

void createSocket(const QString &hostPath)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(hostPath);
    QVERIFY(fd >= 0 && size_t(path.size()) < sizeof address.sun_path);
    memcpy(address.sun_path, path.constData(), path.size());
    QCOMPARE(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    close(fd);
}

// The error number that a call throws, 0 when it does not throw.
template <typename Call> int errorNumberOf(Call call)
{
    try {
        call();
    } catch (const RuntimeError &error) {
        return error.number();
    }
    return 0;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_host;    // host path of the temporary folder, no final "/"
    QString m_program; // the same in program form, with its final "\"

    QString host(const QString &relative) const { return m_host + QLatin1Char('/') + relative; }

private Q_SLOTS:
    void initTestCase()
    {
        // Read by the fault hooks at their first use, which is the first test below.
        qputenv("SIGNETOR_FAULT", "commit=EIO, nonsense, delete=16");
        QVERIFY(m_dir.isValid());
        m_host = m_dir.path();
        m_program = support::programFolder(m_host);
    }
    void cleanup() { platform::clearFaults(); }

    void environmentFaultsFireOnce()
    {
        const QString target = m_program + QStringLiteral("env.txt");
        QCOMPARE(errorNumberOf([&] { platform::writeFileAtomically(target, "a"); }), 57);
        QVERIFY(!QFile::exists(host(QStringLiteral("env.txt"))));
        platform::writeFileAtomically(target, "a");
        QCOMPARE(errorNumberOf([&] { platform::deleteFile(target); }), 70); // 16 is EBUSY
        platform::deleteFile(target);
        QVERIFY(!QFile::exists(host(QStringLiteral("env.txt"))));
    }

    void pathsMapBothWays_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("hostPath");
        QTest::newRow("folder") << QStringLiteral("\\home\\ana\\Favoris\\")
                                << QStringLiteral("/home/ana/Favoris/");
        QTest::newRow("file") << QStringLiteral("\\tmp\\Météo.url")
                              << QStringLiteral("/tmp/Météo.url");
        QTest::newRow("root") << QStringLiteral("\\") << QStringLiteral("/");
        QTest::newRow("relative") << QStringLiteral("a\\b") << QStringLiteral("a/b");
    }
    void pathsMapBothWays()
    {
        QFETCH(QString, program);
        QFETCH(QString, hostPath);
        QCOMPARE(platform::toHostPath(program), std::optional<QString>(hostPath));
        QCOMPARE(platform::toHostBytes(program), std::optional<QByteArray>(hostPath.toUtf8()));
        QCOMPARE(platform::toProgramPath(hostPath), program);
    }

    void pathsThatNameNothing_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("drive") << QStringLiteral("C:\\Windows\\Favoris\\");
        QTest::newRow("drive-relative") << QStringLiteral("C:x.html");
        QTest::newRow("lone surrogate") << (QStringLiteral("\\tmp\\") + QChar(0xD800));
        QTest::newRow("nul") << (QStringLiteral("\\tmp\\a") + QChar(0) + QStringLiteral("b"));
    }
    void pathsThatNameNothing()
    {
        QFETCH(QString, program);
        QVERIFY(!platform::toHostPath(program));
        QVERIFY(!platform::toHostBytes(program));
        QVERIFY(!platform::plainFileExists(program));
        QVERIFY(!platform::folderHasEntries(program));
        QVERIFY(platform::listEntries(program).empty());
        QVERIFY(!platform::ByteReader(program).isOpen());
    }

    void hostNames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected"); // null: not listable
        QTest::newRow("ascii") << QByteArray("News") << QStringLiteral("News");
        QTest::newRow("utf-8") << QByteArray("\xc3\xa9t\xc3\xa9") << QStringLiteral("été");
        QTest::newRow("latin-1 byte") << QByteArray("\xe9t\xe9") << QString();
        QTest::newRow("overlong") << QByteArray("a\xc0\xaf") << QString();
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << QString();
        QTest::newRow("backslash") << QByteArray("a\\b") << QString();
    }
    void hostNames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const std::optional<QString> name = platform::nameToProgramText(bytes);
        QCOMPARE(name.has_value(), !expected.isNull());
        if (name)
            QCOMPARE(*name, expected);

        // Listed exactly when it can be written as program text.
        const QString folder =
            host(QStringLiteral("names/") + QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        createRawName(folder, bytes);
        const QString programFolder = support::programFolder(folder);
        const QStringList plain = platform::listPlainFiles(programFolder);
        QCOMPARE(plain.size(), name ? 1 : 0);
        QCOMPARE(platform::listEntries(programFolder).size(), size_t(name ? 1 : 0));
        QCOMPARE(platform::plainFileExists(programFolder), name.has_value());
        QCOMPARE(unlink((QFile::encodeName(folder) + '/' + bytes).constData()), 0);
    }

    void listingKeepsOnlyFilesAndFolders()
    {
        const QString root = host(QStringLiteral("tree"));
        support::writeFile(root + QStringLiteral("/plain.url"), "x");
        support::writeFile(root + QStringLiteral("/.hidden.url"), "x");
        support::writeFile(root + QStringLiteral("/sub/inner.url"), "x");
        QVERIFY(QDir().mkpath(root + QStringLiteral("/.hiddenfolder")));
        QVERIFY(mkfifo(QFile::encodeName(root + QStringLiteral("/fifo")).constData(), 0644) == 0);
        createSocket(root + QStringLiteral("/socket"));
        QVERIFY(QFile::link(root + QStringLiteral("/plain.url"), root + QStringLiteral("/tofile")));
        QVERIFY(QFile::link(root + QStringLiteral("/sub"), root + QStringLiteral("/tofolder")));
        QVERIFY(QFile::link(root + QStringLiteral("/none"), root + QStringLiteral("/dangling")));
        QVERIFY(QFile::link(root + QStringLiteral("/loopb"), root + QStringLiteral("/loopa")));
        QVERIFY(QFile::link(root + QStringLiteral("/loopa"), root + QStringLiteral("/loopb")));
        QVERIFY(QFile::link(root, root + QStringLiteral("/sub/up"))); // a cycle
        const QString folder = support::programFolder(root);

        QStringList files, folders, hidden;
        for (const platform::DirectoryEntry &entry : platform::listEntries(folder)) {
            (entry.isFolder ? folders : files).append(entry.name);
            if (entry.isHidden)
                hidden.append(entry.name);
        }
        QCOMPARE(sorted(files),
                 (QStringList{QStringLiteral(".hidden.url"), QStringLiteral("plain.url"),
                              QStringLiteral("tofile")}));
        QCOMPARE(sorted(folders), (QStringList{QStringLiteral(".hiddenfolder"),
                                               QStringLiteral("sub"), QStringLiteral("tofolder")}));
        QCOMPARE(sorted(hidden),
                 (QStringList{QStringLiteral(".hidden.url"), QStringLiteral(".hiddenfolder")}));
        QCOMPARE(sorted(platform::listPlainFiles(folder)),
                 (QStringList{QStringLiteral("plain.url"), QStringLiteral("tofile")}));

        // Folder identities see through links, so a walk can tell a cycle.
        const auto entries = platform::listEntries(folder);
        const auto idOf = [&](const QString &name) {
            return std::find_if(entries.begin(), entries.end(),
                                [&](const auto &e) { return e.name == name; })
                ->id;
        };
        QVERIFY(idOf(QStringLiteral("sub")) == idOf(QStringLiteral("tofolder")));
        QVERIFY(!(idOf(QStringLiteral("sub")) == idOf(QStringLiteral(".hiddenfolder"))));
        QCOMPARE(platform::folderId(folder + QStringLiteral("sub\\up\\")),
                 platform::folderId(folder));
        QVERIFY(!platform::folderId(folder + QStringLiteral("plain.url")));
        QVERIFY(!platform::folderId(folder + QStringLiteral("dangling")));
        QVERIFY(!platform::folderId(folder + QStringLiteral("fifo")));

        QVERIFY(platform::folderHasEntries(folder + QStringLiteral(".hiddenfolder\\")));
        QVERIFY(platform::folderHasEntries(folder + QStringLiteral("tofolder")));
        QVERIFY(!platform::folderHasEntries(folder + QStringLiteral("missing\\")));
        QVERIFY(!platform::folderHasEntries(folder + QStringLiteral("plain.url")));
        QVERIFY(platform::listEntries(folder + QStringLiteral("missing\\")).empty());
    }

    void plainFileSearch_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("found");
        QTest::newRow("existing file") << QStringLiteral("defbg.gif") << true;
        QTest::newRow("other case") << QStringLiteral("DEFBG.GIF") << false;
        QTest::newRow("missing file") << QStringLiteral("none.gif") << false;
        QTest::newRow("hidden file") << QStringLiteral(".secret.gif") << false;
        QTest::newRow("folder") << QStringLiteral("images.gif") << false;
        QTest::newRow("fifo") << QStringLiteral("pipe.gif") << false;
        QTest::newRow("link to file") << QStringLiteral("link.gif") << true;
        QTest::newRow("dangling link") << QStringLiteral("broken.gif") << false;
        QTest::newRow("star") << QStringLiteral("*.gif") << true;
        QTest::newRow("star only hidden") << QStringLiteral("*secret*") << false;
        QTest::newRow("star in middle") << QStringLiteral("def*.gif") << true;
        QTest::newRow("question marks") << QStringLiteral("d?fbg.gi?") << true;
        QTest::newRow("question mark needs one") << QStringLiteral("defbg.gif?") << false;
        QTest::newRow("bracket is literal") << QStringLiteral("[ab]*") << true;
        QTest::newRow("bracket not a class") << QStringLiteral("[ab].tx?") << true;
        QTest::newRow("bracket no set") << QStringLiteral("a.tx?") << false;
        QTest::newRow("backtracking") << QStringLiteral("*b*b*.gif") << false;
        QTest::newRow("inside folder") << QStringLiteral("images.gif\\") << true;
        QTest::newRow("inside empty folder") << QStringLiteral("empty\\") << false;
        QTest::newRow("inside missing folder") << QStringLiteral("missing\\") << false;
        QTest::newRow("accented") << QStringLiteral("é?é.txt") << true;
    }
    void plainFileSearch()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, found);
        const QString root = host(QStringLiteral("search"));
        if (!QFile::exists(root)) {
            support::writeFile(root + QStringLiteral("/defbg.gif"), "GIF89a");
            support::writeFile(root + QStringLiteral("/.secret.gif"), "x");
            support::writeFile(root + QStringLiteral("/[ab].txt"), "x");
            support::writeFile(root + QStringLiteral("/été.txt"), "x");
            support::writeFile(root + QStringLiteral("/images.gif/inside.gif"), "x");
            support::writeFile(root + QStringLiteral("/empty/.only-hidden"), "x");
            QVERIFY(QDir().mkpath(root + QStringLiteral("/empty/folder")));
            mkfifo(QFile::encodeName(root + QStringLiteral("/pipe.gif")).constData(), 0644);
            QFile::link(root + QStringLiteral("/defbg.gif"), root + QStringLiteral("/link.gif"));
            QFile::link(root + QStringLiteral("/gone"), root + QStringLiteral("/broken.gif"));
        }
        QCOMPARE(platform::plainFileExists(support::programFolder(root) + pattern), found);
    }

    void windows1252RoundTripsEveryByte()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = platform::decodeWindows1252(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(platform::encodeWindows1252(text), all);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x9F), QChar(0x0178));
        QCOMPARE(text.at(0xE9), QChar(0xE9));
        for (const int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
            QCOMPARE(text.at(undefined), QChar(undefined));
    }

    void windows1252Encoding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("a<b>") << QByteArray("a<b>");
        QTest::newRow("latin") << QStringLiteral("é ÿ") << QByteArray("\xe9 \xff");
        QTest::newRow("euro and quotes") << QStringLiteral("€“”") << QByteArray("\x80\x93\x94");
        QTest::newRow("greek") << QStringLiteral("Ω!") << QByteArray("&#937;!");
        QTest::newRow("C1 outside the set") << QString(QChar(0x80)) << QByteArray("&#128;");
        QTest::newRow("astral") << QString::fromUtf8("a\xf0\x9f\x98\x80z")
                                << QByteArray("a&#128512;z");
        QTest::newRow("lone surrogate") << QString(QChar(0xDC00)) << QByteArray("&#56320;");
    }
    void windows1252Encoding()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(platform::encodeWindows1252(text), bytes);
    }

    void errorsFromErrno_data()
    {
        QTest::addColumn<int>("errnoValue");
        QTest::addColumn<int>("number");
        QTest::newRow("ENOENT") << ENOENT << 76;
        QTest::newRow("ENOTDIR") << ENOTDIR << 76;
        QTest::newRow("EACCES") << EACCES << 70;
        QTest::newRow("EBUSY") << EBUSY << 70;
        QTest::newRow("ENOSPC") << ENOSPC << 61;
        QTest::newRow("EFBIG") << EFBIG << 61;
        QTest::newRow("EIO") << EIO << 57;
        QTest::newRow("ENOMEM") << ENOMEM << 7;
        QTest::newRow("EMFILE") << EMFILE << 67;
        QTest::newRow("EROFS") << EROFS << 75;
        QTest::newRow("EISDIR") << EISDIR << 75;
    }
    void errorsFromErrno()
    {
        QFETCH(int, errnoValue);
        QFETCH(int, number);
        const RuntimeError error = RuntimeError::fromErrno(errnoValue);
        QCOMPARE(error.number(), number);
        QCOMPARE(error.description(), RuntimeError::describe(number));
    }

    void errorMessages()
    {
        const RuntimeError error(70);
        QCOMPARE(error.message(),
                 QStringLiteral("Erreur d'exécution '70' :\n\nPermission refusée"));
        QCOMPARE(QString::fromUtf8(error.what()), error.message());
        QCOMPARE(RuntimeError::describe(75), QStringLiteral("Erreur d'accès au chemin/fichier"));
        QCOMPARE(RuntimeError(1234, QStringLiteral("x")).message(),
                 QStringLiteral("Erreur d'exécution '1234' :\n\nx"));
    }

    void atomicWriteReplacesWhole()
    {
        const QString target = m_program + QStringLiteral("page.html");
        platform::writeFileAtomically(target, "first version, longer");
        platform::writeFileAtomically(target, "second");
        QCOMPARE(support::readFile(host(QStringLiteral("page.html"))), QByteArray("second"));
        platform::writeFileAtomically(target, QByteArray());
        QCOMPARE(support::readFile(host(QStringLiteral("page.html"))), QByteArray());
    }

    void failedWriteKeepsOldContent_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("errnoValue");
        QTest::addColumn<int>("number");
        QTest::newRow("open, permission") << int(FaultPoint::OpenForWrite) << EACCES << 70;
        QTest::newRow("write, disk full") << int(FaultPoint::Write) << ENOSPC << 61;
        QTest::newRow("commit, quota") << int(FaultPoint::Commit) << EDQUOT << 61;
        QTest::newRow("commit, io") << int(FaultPoint::Commit) << EIO << 57;
    }
    void failedWriteKeepsOldContent()
    {
        QFETCH(int, point);
        QFETCH(int, errnoValue);
        QFETCH(int, number);
        const QString folder = host(QStringLiteral("atomic"));
        support::writeFile(folder + QStringLiteral("/page.html"), "old content");
        const QString target = support::programFolder(folder) + QStringLiteral("page.html");
        platform::injectFault(FaultPoint(point), errnoValue);
        QCOMPARE(errorNumberOf([&] { platform::writeFileAtomically(target, "new"); }), number);
        QCOMPARE(support::readFile(folder + QStringLiteral("/page.html")),
                 QByteArray("old content"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("page.html")});
        platform::writeFileAtomically(target, "new"); // the fault fired once
        QCOMPARE(support::readFile(folder + QStringLiteral("/page.html")), QByteArray("new"));
    }

    void writeErrors()
    {
        const auto write = [](const QString &path) {
            return errorNumberOf([&] { platform::writeFileAtomically(path, "x"); });
        };
        QCOMPARE(write(m_program + QStringLiteral("missing\\page.html")), 76);
        QCOMPARE(write(QStringLiteral("C:\\Windows\\TEMP.HTML")), 76);
        QCOMPARE(write(m_program + QChar(0xD800)), 52);
        QVERIFY(QDir().mkpath(host(QStringLiteral("a folder"))));
        QCOMPARE(write(m_program + QStringLiteral("a folder")), 75);
        QVERIFY(mkfifo(QFile::encodeName(host(QStringLiteral("w.fifo"))).constData(), 0644) == 0);
        QCOMPARE(write(m_program + QStringLiteral("w.fifo")), 75);
        QVERIFY(QFileInfo(host(QStringLiteral("w.fifo"))).isFile() == false);
        QVERIFY(QFileInfo::exists(host(QStringLiteral("w.fifo"))));

        support::writeFile(host(QStringLiteral("readonly.html")), "keep");
        QVERIFY(QFile::setPermissions(host(QStringLiteral("readonly.html")), QFile::ReadOwner));
        QCOMPARE(write(m_program + QStringLiteral("readonly.html")), 70);
        QCOMPARE(support::readFile(host(QStringLiteral("readonly.html"))), QByteArray("keep"));
    }

    void deleteErrors()
    {
        const auto remove = [](const QString &path) {
            return errorNumberOf([&] { platform::deleteFile(path); });
        };
        support::writeFile(host(QStringLiteral("gone.html")), "x");
        QCOMPARE(remove(m_program + QStringLiteral("gone.html")), 0);
        QVERIFY(!QFile::exists(host(QStringLiteral("gone.html"))));
        QCOMPARE(remove(m_program + QStringLiteral("gone.html")), 53);
        QCOMPARE(remove(m_program + QStringLiteral("missing\\gone.html")), 76);
        QCOMPARE(remove(QStringLiteral("C:\\Windows\\TEMP.HTML")), 76);
        QVERIFY(QDir().mkpath(host(QStringLiteral("not a file"))));
        QCOMPARE(remove(m_program + QStringLiteral("not a file")), 53);
        QVERIFY(QFileInfo(host(QStringLiteral("not a file"))).isDir());

        support::writeFile(host(QStringLiteral("busy.html")), "x");
        platform::injectFault(FaultPoint::Delete, EBUSY);
        QCOMPARE(remove(m_program + QStringLiteral("busy.html")), 70);
        QVERIFY(QFile::exists(host(QStringLiteral("busy.html"))));
    }

    void programFolderIsTheExecutables()
    {
        const QString folder = platform::programFolder();
        QCOMPARE(folder, platform::toProgramPath(QCoreApplication::applicationDirPath()));
        QVERIFY(!folder.endsWith(QLatin1Char('\\')));
        QVERIFY(platform::folderHasEntries(folder + QLatin1Char('\\')));
    }

    void programFolderStore()
    {
        const QString preview = platform::programFolder() + QStringLiteral("\\TEMP.HTML");
        const QString realHost = *platform::toHostPath(preview);
        const QString storeHost =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/signetor/VirtualStore") + QCoreApplication::applicationDirPath() +
            QStringLiteral("/TEMP.HTML");
        QVERIFY(!QFile::exists(realHost));
        platform::setProgramFolderWritableForTesting(false);
        const auto restore = qScopeGuard([] { platform::setProgramFolderWritableForTesting({}); });

        QVERIFY(!platform::plainFileExists(preview));
        platform::writeFileAtomically(preview, "page");
        QCOMPARE(support::readFile(storeHost), QByteArray("page"));
        QVERIFY(!QFile::exists(realHost));
        QVERIFY(platform::plainFileExists(preview));
        QVERIFY(platform::plainFileExists(platform::programFolder() + QStringLiteral("\\TEMP.*")));
        QCOMPARE(platform::effectiveFilePath(preview), platform::toProgramPath(storeHost));

        // A copy in the real folder is seen after the store's, and deleted with it.
        support::writeFile(realHost, "stale");
        const auto removeReal = qScopeGuard([&] { QFile::remove(realHost); });
        platform::deleteFile(preview);
        QVERIFY(!QFile::exists(storeHost));
        QVERIFY(!QFile::exists(realHost));
        QVERIFY(!platform::plainFileExists(preview));
        QCOMPARE(errorNumberOf([&] { platform::deleteFile(preview); }), 53);
        support::writeFile(realHost, "real");
        QVERIFY(platform::plainFileExists(preview));
        QCOMPARE(platform::effectiveFilePath(preview), preview);
        platform::deleteFile(preview);
        QVERIFY(!QFile::exists(realHost));

        // Failures in the store keep its former content too.
        platform::writeFileAtomically(preview, "one");
        platform::injectFault(FaultPoint::Write, ENOSPC);
        QCOMPARE(errorNumberOf([&] { platform::writeFileAtomically(preview, "two"); }), 61);
        QCOMPARE(support::readFile(storeHost), QByteArray("one"));
        platform::deleteFile(preview);

        // Other folders, and sub-folders of the program's, are never redirected.
        const QString elsewhere = m_program + QStringLiteral("TEMP.HTML");
        platform::writeFileAtomically(elsewhere, "x");
        QVERIFY(QFile::exists(host(QStringLiteral("TEMP.HTML"))));
        QCOMPARE(platform::effectiveFilePath(elsewhere), elsewhere);
        QVERIFY(!platform::virtualStorePath(platform::programFolder() +
                                            QStringLiteral("\\sub\\TEMP.HTML")));
        platform::setProgramFolderWritableForTesting(true);
        platform::writeFileAtomically(preview, "direct");
        QCOMPARE(support::readFile(realHost), QByteArray("direct"));
        QVERIFY(!QFile::exists(storeHost));
    }

    void byteReader()
    {
        QByteArray content(100000, 'a');
        content[99999] = '\xff';
        support::writeFile(host(QStringLiteral("big.bin")), content);
        platform::ByteReader reader(m_program + QStringLiteral("big.bin"));
        QVERIFY(reader.isOpen());
        QByteArray read;
        char buffer[4096];
        while (const std::int64_t got = reader.read(buffer, sizeof buffer))
            read.append(buffer, got);
        QCOMPARE(read, content);
        QCOMPARE(reader.read(buffer, sizeof buffer), std::int64_t(0));

        // Opening a FIFO without a writer would block a plain open; it is refused at once.
        QVERIFY(mkfifo(QFile::encodeName(host(QStringLiteral("r.fifo"))).constData(), 0644) == 0);
        QVERIFY(!platform::ByteReader(m_program + QStringLiteral("r.fifo")).isOpen());
        QVERIFY(!platform::ByteReader(m_program).isOpen());
        platform::ByteReader missing(m_program + QStringLiteral("missing.url"));
        QVERIFY(!missing.isOpen());
        QCOMPARE(missing.read(buffer, sizeof buffer), std::int64_t(0));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
