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
#include <QTest>

#include <cerrno>

using namespace platform;

class TestPlatform : public QObject
{
    Q_OBJECT

    const support::Tree m_tree;
    QString host(const char *relative) const { return m_tree.host(relative); }
    QString program(const char *relative) const { return m_tree.program(relative); }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *name : {"search/defbg.gif", "search/.secret.gif", "search/[ab].txt",
                                 "search/\xf0\x9f\x98\x80.txt", "search/images.gif/inside.gif",
                                 "search/empty/.hidden", "search/empty/folder/x", "tree/sub/x"})
            m_tree.file(name, "x");
        QVERIFY(QFile::link(host("search/defbg.gif"), host("search/link.gif")) &&
                QFile::link(host("none"), host("search/broken.gif")));
    }

    // A path with no host form names nothing and opens no file, even just after a file was
    // opened.
    void paths()
    {
        for (const auto &[program, hostPath] :
             {std::pair("\\home\\ana\\Favoris\\", "/home/ana/Favoris/"),
              std::pair("\\tmp\\Météo.url", "/tmp/Météo.url"), std::pair("a\\b", "a/b")}) {
            QCOMPARE(toHostBytes(QString::fromUtf8(program)), std::optional<QByteArray>(hostPath));
            QCOMPARE(toProgramPath(QString::fromUtf8(hostPath)), QString::fromUtf8(program));
        }
        for (const QString &nothing :
             {QStringLiteral("C:\\Windows\\Favoris\\"), QStringLiteral("\\tmp\\") + QChar(0xD800),
              QStringLiteral("\\tmp\\a") + QChar(0) + QStringLiteral("b")})
            QVERIFY(!toHostPath(nothing) && ByteReader(program("search\\defbg.gif")).isOpen() &&
                    !ByteReader(nothing).isOpen() && !folderHasEntries(nothing));
        QVERIFY(!plainFileExists(QString()));
        char byte[8];
        QCOMPARE(ByteReader(program("search\\defbg.gif")).read(byte, 8), 1); // "x", not the end
    }

    // "*" and "?" in the last component, "?" being one character, an astral one included; a
    // folder is found only as a folder.
    void plainFileSearch()
    {
        const auto search = [&](const QString &patterns, bool found) {
            for (const QString &pattern : patterns.split(u' '))
                QVERIFY2(plainFileExists(program("search\\") + pattern) == found,
                         qPrintable(pattern));
        };
        search(QStringLiteral("link.gif d?fbg.gi? [ab]* ?.txt images.gif\\"), true);
        search(QStringLiteral("DEFBG.GIF .secret.gif broken.gif *secret* *b*b*.gif empty\\"),
               false);
        QVERIFY(folderHasEntries(program("search\\empty")) &&
                !folderHasEntries(program("search\\defbg.gif")) &&
                !folderHasEntries(program("none")));
    }

    // The 32 bytes where Windows-1252 leaves Latin-1, the five it leaves undefined staying C1
    // controls; every byte round-trips, also after a character outside ASCII.
    void windows1252()
    {
        QByteArray all;
        for (int b = 0x80; b < 0x180; ++b)
            all.append(char(b));
        QCOMPARE(decodeWindows1252(all.left(32)),
                 QStringLiteral("€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008dŽ\u008f\u0090‘’“”•–—˜™š›œ\u009džŸ"));
        QCOMPARE(encodeWindows1252(decodeWindows1252(all)), all);
    }

    // Host errors have their run-time error numbers; only a writable regular file is replaced
    // or deleted; a fault fires once.
    void writesAndDeletes()
    {
        const std::pair<int, int> numbers[] = {{ENOMEM, 7}, {EMFILE, 67}, {EROFS, 75}};
        for (const auto &[errnoValue, number] : numbers)
            QCOMPARE(RuntimeError::fromErrno(errnoValue).number(), number);
        QCOMPARE(QString::fromUtf8(RuntimeError(70).what()),
                 QStringLiteral("Erreur d'exécution '70' :\n\nPermission refusée"));
        const auto failure = [](const QString &path, bool deleting = false) {
            return support::errorNumberOf(
                [&] { deleting ? deleteFile(path) : writeFileAtomically(path, "x"); });
        };
        support::writeFile(host("w/readonly.html"), "keep");
        QVERIFY(QFile::setPermissions(host("w/readonly.html"), QFile::ReadOwner));
        QCOMPARE(failure(QStringLiteral("C:\\Windows\\TEMP.HTML")), 76);
        QCOMPARE(failure(program("w\\") + QChar(0xD800)), 52);
        QCOMPARE(failure(program("tree\\sub")), 75);
        QCOMPARE(failure(program("w\\readonly.html")), 70);

        // Deletions; the fault fires once.
        injectFault(FaultPoint::Delete, EBUSY);
        QCOMPARE(failure(program("w\\readonly.html"), true), 70);
        QCOMPARE(failure(program("w\\page.html")) + failure(program("w\\page.html"), true), 0);
        QCOMPARE(failure(program("w\\page.html"), true), 53);
        QCOMPARE(failure(program("w\\missing\\page.html"), true), 76);
        QCOMPARE(failure(program("tree\\sub"), true), 53);
        QVERIFY(QFileInfo(host("tree/sub")).isDir() &&
                support::readFile(host("w/readonly.html")) == "keep");
    }

    // Where the program's folder cannot be written, the files it writes there through
    // writablePath go to a per-user store; other folders, sub-folders included, are never
    // redirected.
    void programFolderStore()
    {
        const QString preview = programFolder() + QStringLiteral("\\TEMP.HTML");
        const QString real = QCoreApplication::applicationDirPath() + QStringLiteral("/TEMP.HTML");
        const QString stored =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/signetor/VirtualStore") + real;
        setProgramFolderWritableForTesting(false);
        const auto restore = qScopeGuard([] { setProgramFolderWritableForTesting({}); });
        writeFileAtomically(writablePath(preview), "page");
        QVERIFY(support::readFile(stored) == "page" && !QFile::exists(real));
        QVERIFY(plainFileExists(programFolder() + QStringLiteral("\\TEMP.*")));
        // A file named there is written there; it goes along with the store's copy.
        writeFileAtomically(preview, "named");
        QCOMPARE(support::readFile(real), "named");
        deleteFile(preview);
        QVERIFY(!QFile::exists(stored) && !QFile::exists(real));
        QVERIFY(!virtualStorePath(programFolder() + QStringLiteral("\\sub\\TEMP.HTML")));
        QVERIFY(!virtualStorePath(program("TEMP.HTML")));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
