#include "page/page_file.h"
#include "test_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestPageFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bytes();
    void replacesWhole();
};

// CR LF after every line and no byte-order mark; Windows-1252 bytes (the undefined ones
// included) go out as they are, any other character as a numeric character reference.
void TestPageFile::bytes()
{
    QCOMPARE(contenuPage({QStringLiteral("<html>"), QString()}), QByteArray("<html>\r\n\r\n"));
    QCOMPARE(contenuPage({QString::fromUtf8("é€Œÿ\u0081&amp;Ω中😀")}),
             QByteArray("\xE9\x80\x8C\xFF\x81&amp;&#937;&#20013;&#128512;\r\n"));
    // Written in pieces, a page far longer than one piece loses nothing at their seams.
    const QStringList longue(30000, QString::fromUtf8("ligne é"));
    QCOMPARE(contenuPage(longue), QByteArray("ligne \xE9\r\n").repeated(30000));
}

// A longer old page is replaced whole, with no temporary file left behind.
void TestPageFile::replacesWhole()
{
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("page.html"));
    support::writeFile(page, QByteArray(5000, 'x'));
    const QString fichier = support::programFolder(dir.path()) + QStringLiteral("page.html");
    Ecrire_Page(fichier, {QString::fromUtf8("Café")});
    QCOMPARE(support::readFile(page), QByteArray("Caf\xE9\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("page.html")});
}

QTEST_GUILESS_MAIN(TestPageFile)
#include "test_page_file.moc"
