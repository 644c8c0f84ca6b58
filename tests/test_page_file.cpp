#include "page/page_file.h"
#include "page/page_options.h"
#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "platform/runtime_error.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

class TestPageFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bytes_data();
    void bytes();
    void writeReplacesWholeFile();
    void failedWriteKeepsOldFile();
    void defaultImage();
};

void TestPageFile::bytes_data()
{
    QTest::addColumn<QStringList>("lignes");
    QTest::addColumn<QByteArray>("octets");
    QTest::newRow("no line") << QStringList() << QByteArray();
    QTest::newRow("CR LF after every line, no BOM")
        << QStringList{QStringLiteral("<html>"), QString(), QStringLiteral("</html>")}
        << QByteArray("<html>\r\n\r\n</html>\r\n");
    QTest::newRow("Windows-1252") << QStringList{QString::fromUtf8("é€Œÿ&amp;")}
                                  << QByteArray("\xE9\x80\x8C\xFF&amp;\r\n");
    QTest::newRow("outside Windows-1252")
        << QStringList{QString::fromUtf8("Ω中😀")} << QByteArray("&#937;&#20013;&#128512;\r\n");
}

void TestPageFile::bytes()
{
    QFETCH(QStringList, lignes);
    QFETCH(QByteArray, octets);
    QCOMPARE(contenuPage(lignes), octets);
}

void TestPageFile::writeReplacesWholeFile()
{
    QTemporaryDir dir;
    support::writeFile(dir.filePath(QStringLiteral("page.html")), QByteArray(5000, 'x'));
    Ecrire_Page(support::programFolder(dir.path()) + QStringLiteral("page.html"),
                {QStringLiteral("<html>"), QString::fromUtf8("Café")});
    QCOMPARE(support::readFile(dir.filePath(QStringLiteral("page.html"))),
             QByteArray("<html>\r\nCaf\xE9\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("page.html")});
}

void TestPageFile::failedWriteKeepsOldFile()
{
    QTemporaryDir dir;
    support::writeFile(dir.filePath(QStringLiteral("page.html")), "ancienne\r\n");
    const QString ici = support::programFolder(dir.path());
    const QStringList page = {QString(10000, QLatin1Char('p'))};
    const auto echoue = [&](const QString &fichier) {
        try {
            Ecrire_Page(fichier, page);
        } catch (const platform::RuntimeError &e) {
            return e.number();
        }
        return 0;
    };
    platform::injectFault(platform::FaultPoint::Write, ENOSPC);
    QCOMPARE(echoue(ici + QStringLiteral("page.html")), platform::RuntimeError::DiskFull);
    platform::injectFault(platform::FaultPoint::Commit, EIO);
    QVERIFY(echoue(ici + QStringLiteral("page.html")) != 0);
    QVERIFY(echoue(ici + QStringLiteral("absent\\page.html")) != 0);
    QVERIFY(echoue(ici + QStringLiteral("page.html\\sous.html")) != 0);
    platform::clearFaults();
    QCOMPARE(support::readFile(dir.filePath(QStringLiteral("page.html"))), "ancienne\r\n");
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("page.html")});
}

void TestPageFile::defaultImage()
{
    const QString image = QCoreApplication::applicationDirPath() + QStringLiteral("/defbg.gif");
    QFile::remove(image);
    QCOMPARE(imageParDefaut(), QStringLiteral("(aucune)"));
    support::writeFile(image, "GIF89a");
    const QString trouvee = imageParDefaut();
    QFile::remove(image);
    QCOMPARE(trouvee, platform::programFolder() + QStringLiteral("\\defbg.gif"));
}

QTEST_GUILESS_MAIN(TestPageFile)
#include "test_page_file.moc"
