#include "page/page_file.h"

#include <QTest>

class TestPageFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bytes();
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

QTEST_GUILESS_MAIN(TestPageFile)
#include "test_page_file.moc"
