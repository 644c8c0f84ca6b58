#include "page/page_file.h"
#include "page/page_generator.h"
#include "page/page_options.h"
#include "platform/file_system.h"
#include "platform/runtime_error.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPageFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bytes_data();
    void bytes();
    void generatedPageEndsWithCrLf();
    void writeReplacesWholeFile();
    void failedWriteKeepsOldFile();
    void defaultImage();
};

void TestPageFile::bytes_data()
{
    QTest::addColumn<QStringList>("lignes");
    QTest::addColumn<QByteArray>("octets");
    QTest::newRow("no line") << QStringList() << QByteArray();
    QTest::newRow("one empty line") << QStringList{QString()} << QByteArray("\r\n");
    QTest::newRow("CR LF after every line")
        << QStringList{QStringLiteral("<html>"), QString(), QStringLiteral("</html>")}
        << QByteArray("<html>\r\n\r\n</html>\r\n");
    QTest::newRow("Windows-1252 letters")
        << QStringList{QString::fromUtf8("é€ Œ ÿ")} << QByteArray("\xE9\x80 \x8C \xFF\r\n");
    QTest::newRow("outside Windows-1252")
        << QStringList{QString::fromUtf8("Ωmega 中")} << QByteArray("&#937;mega &#20013;\r\n");
    QTest::newRow("character beyond the BMP")
        << QStringList{QString::fromUtf8("a😀b")} << QByteArray("a&#128512;b\r\n");
    QTest::newRow("markup unchanged")
        << QStringList{QStringLiteral("<a href=\"x?a=1&b=2\">&amp;</a>")}
        << QByteArray("<a href=\"x?a=1&b=2\">&amp;</a>\r\n");
}

void TestPageFile::bytes()
{
    QFETCH(QStringList, lignes);
    QFETCH(QByteArray, octets);
    QCOMPARE(contenuPage(lignes), octets);
}

void TestPageFile::generatedPageEndsWithCrLf()
{
    const QStringList page =
        Generer_Page({{QString(), QStringLiteral("n"), QStringLiteral("u")}}, PageOptions());
    const QByteArray octets = contenuPage(page);
    QVERIFY(octets.startsWith("<html>\r\n<head>\r\n")); // no byte-order mark
    QVERIFY(octets.endsWith("</body>\r\n</html>\r\n"));
    QCOMPARE(octets.count("\r\n"), page.size());
    QCOMPARE(octets.count('\n'), page.size());
    QCOMPARE(octets.count('\r'), page.size());
}

void TestPageFile::writeReplacesWholeFile()
{
    QTemporaryDir dir;
    const QString hote = dir.filePath(QStringLiteral("page.html"));
    support::writeFile(hote, QByteArray(5000, 'x'));
    const QStringList page = {QStringLiteral("<html>"), QString::fromUtf8("Café Ω"),
                              QStringLiteral("</html>")};
    Ecrire_Page(support::programFolder(dir.path()) + QStringLiteral("page.html"), page);
    QCOMPARE(support::readFile(hote), QByteArray("<html>\r\nCaf\xE9 &#937;\r\n</html>\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("page.html")});
}

void TestPageFile::failedWriteKeepsOldFile()
{
    QTemporaryDir dir;
    const QString ancien = dir.filePath(QStringLiteral("page.html"));
    support::writeFile(ancien, "ancienne page\r\n");
    const QString dossier = support::programFolder(dir.path());
    const QStringList page = {QStringLiteral("<html>"), QStringLiteral("</html>")};

    // The target is a folder: it cannot be replaced by a file.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dossier")));
    QVERIFY_THROWS_EXCEPTION(platform::RuntimeError,
                             Ecrire_Page(dossier + QStringLiteral("dossier"), page));
    // The target's folder is missing.
    QVERIFY_THROWS_EXCEPTION(platform::RuntimeError,
                             Ecrire_Page(dossier + QStringLiteral("absent\\page.html"), page));
    // A path under a regular file.
    QVERIFY_THROWS_EXCEPTION(platform::RuntimeError,
                             Ecrire_Page(dossier + QStringLiteral("page.html\\x.html"), page));

    QCOMPARE(support::readFile(ancien), QByteArray("ancienne page\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("page.html")});
}

void TestPageFile::defaultImage()
{
    const QString hote = QCoreApplication::applicationDirPath() + QStringLiteral("/defbg.gif");
    QFile::remove(hote);
    QCOMPARE(imageParDefaut(), QStringLiteral("(aucune)"));
    support::writeFile(hote, "GIF89a");
    const QString image = imageParDefaut();
    QFile::remove(hote);
    QCOMPARE(image, platform::programFolder() + QStringLiteral("\\defbg.gif"));
}

QTEST_GUILESS_MAIN(TestPageFile)
#include "test_page_file.moc"
