#include "favourites/shortcut_reader.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestShortcutReader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_fileCount = 0;

    QString hostPath(const QString &name) const { return m_dir.filePath(name); }
    QString programPath(const QString &name) const
    {
        return support::programFolder(m_dir.path()) + name;
    }
    // Writes the bytes to a fresh file and gives its path in program form.
    QString fileWith(const QByteArray &bytes)
    {
        const QString name = QStringLiteral("f%1.url").arg(++m_fileCount);
        support::writeFile(hostPath(name), bytes);
        return programPath(name);
    }

private Q_SLOTS:
    void urlLine_data();
    void urlLine();
    void chunkEdges_data();
    void chunkEdges();
    void farIntoTheFile();
    void urlLengthLimit();
    void whatCannotBeRead();
};

void TestShortcutReader::urlLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("url");

    const QString none;
    QTest::newRow("shortcut") << support::shortcut("http://example.com/a?b=c")
                              << QStringLiteral("http://example.com/a?b=c");
    QTest::newRow("base url first")
        << QByteArray("[DEFAULT]\r\nBASEURL=http://base/\r\n[InternetShortcut]\r\n"
                      "URL=http://real/\r\nIconIndex=0\r\n")
        << QStringLiteral("http://real/");
    QTest::newRow("base url only") << QByteArray("[DEFAULT]\r\nBASEURL=http://base/\r\n") << none;
    QTest::newRow("first of two") << QByteArray("x\r\nURL=one\r\nURL=two\r\n")
                                  << QStringLiteral("one");
    QTest::newRow("empty first wins") << QByteArray("x\r\nURL=\r\nURL=two\r\n") << none;
    QTest::newRow("bare first wins") << QByteArray("x\r\nURL\r\nURL=two\r\n") << none;
    QTest::newRow("LF only") << QByteArray("[InternetShortcut]\nURL=http://a/\n") << none;
    QTest::newRow("no final CR LF") << QByteArray("[InternetShortcut]\r\nURL=http://a/") << none;
    QTest::newRow("final CR only") << QByteArray("[InternetShortcut]\r\nURL=http://a/\r") << none;
    QTest::newRow("first line") << QByteArray("URL=http://a/\r\n") << none;
    QTest::newRow("first line, then one")
        << QByteArray("URL=http://a/\r\nURL=http://b/\r\n") << QStringLiteral("http://b/");
    QTest::newRow("lower case") << QByteArray("x\r\nurl=http://a/\r\n") << none;
    QTest::newRow("URL alone") << QByteArray("x\r\nURL\r\n") << none;
    QTest::newRow("URL= empty") << QByteArray("x\r\nURL=\r\n") << none;
    QTest::newRow("blank before =")
        << QByteArray("x\r\nURL =http://a/\r\n") << QStringLiteral("=http://a/");
    QTest::newRow("fourth character not looked at")
        << QByteArray("x\r\nURLxabc\r\n") << QStringLiteral("abc");
    QTest::newRow("blanks kept") << QByteArray("x\r\nURL=  a b \r\n") << QStringLiteral("  a b ");
    QTest::newRow("lone CR and LF inside")
        << QByteArray("x\r\nURL=a\rb\nc\r\n") << QStringLiteral("a\rb\nc");
    QTest::newRow("CR CR LF before") << QByteArray("x\r\r\nURL=a\r\n") << QStringLiteral("a");
    QTest::newRow("binary before")
        << QByteArray("\x00\xff\x01\r\nURL=a\r\n", 12) << QStringLiteral("a");
    QTest::newRow("CR LF URL at the end") << QByteArray("x\r\nURL") << none;
    QTest::newRow("CR LF URL= at the end") << QByteArray("x\r\nURL=") << none;
    QTest::newRow("empty file") << QByteArray() << none;
    QTest::newRow("one character URL") << QByteArray("\r\nURL=a\r\n") << QStringLiteral("a");
    QTest::newRow("star kept") << QByteArray("x\r\nURL=http://a/*b*\r\n")
                               << QStringLiteral("http://a/*b*");
    QTest::newRow("8-bit bytes") << QByteArray("x\r\nURL=caf\xe9\x80\x81\r\n")
                                 << QStringLiteral("caf\u00e9\u20ac\u0081");
}

void TestShortcutReader::urlLine()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, url);
    const QString path = fileWith(content);
    QCOMPARE(Lire_Url(path), url);
    // Reading changes nothing.
    QCOMPARE(support::readFile(hostPath(path.section(QLatin1Char('\\'), -1))), content);
}

void TestShortcutReader::chunkEdges_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("url");

    QTest::newRow("URL line") << QByteArray("\r\nURL=ab\r\nz") << QStringLiteral("ab");
    QTest::newRow("near miss before") << QByteArray("\r\nUR\r\nURL=ab\r\n") << QStringLiteral("ab");
    QTest::newRow("lone CR in URL") << QByteArray("\r\nURL=a\rb\r\n") << QStringLiteral("a\rb");
    QTest::newRow("URL alone") << QByteArray("\r\nURL\r\nURL=ab\r\n") << QString();
    QTest::newRow("URL= empty") << QByteArray("\r\nURL=\r\nURL=ab\r\n") << QString();
    QTest::newRow("no end") << QByteArray("\r\nURL=ab\r") << QString();
}

// Every split of the pattern and of the line's CR LF across reads, for small chunk sizes.
void TestShortcutReader::chunkEdges()
{
    QFETCH(QByteArray, tail);
    QFETCH(QString, url);
    for (int lead = 0; lead <= 12; ++lead) {
        const QString path = fileWith(QByteArray(lead, 'x') + tail);
        for (qsizetype chunk = 1; chunk <= 9; ++chunk) {
            if (readUrlInChunks(path, chunk) != url)
                QFAIL(qPrintable(QStringLiteral("lead %1, chunk %2").arg(lead).arg(chunk)));
        }
        QCOMPARE(Lire_Url(path), url);
    }
    // The same around the edge of the reader's own first chunk.
    for (qsizetype at = urlReadChunkBytes - 12; at <= urlReadChunkBytes + 2; ++at) {
        const QString path = fileWith(QByteArray(at, 'x') + tail);
        if (Lire_Url(path) != url)
            QFAIL(qPrintable(QStringLiteral("pattern at %1").arg(at)));
    }
}

void TestShortcutReader::farIntoTheFile()
{
    // Beyond what a 16-bit position can count, in the first chunk and after it.
    for (const int at : {40000, 200000}) {
        const QByteArray head = QByteArray("[InternetShortcut]") + QByteArray(at, 'y');
        QCOMPARE(Lire_Url(fileWith(head + "\r\nURL=far\r\n")), QStringLiteral("far"));
    }

    // A large sparse file whose URL line comes after a long hole of zeros.
    const QString name = QStringLiteral("sparse.url");
    const QByteArray hostName = QFile::encodeName(hostPath(name));
    const int fd = ::open(hostName.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    const off_t hole = off_t(64) << 20;
    QCOMPARE(::ftruncate(fd, hole), 0);
    QVERIFY(::lseek(fd, 0, SEEK_END) == hole);
    const QByteArray line("\r\nURL=http://end/\r\n");
    QCOMPARE(::write(fd, line.constData(), size_t(line.size())), ssize_t(line.size()));
    ::close(fd);
    QCOMPARE(Lire_Url(programPath(name)), QStringLiteral("http://end/"));
}

void TestShortcutReader::urlLengthLimit()
{
    const QByteArray longest(maxUrlBytes, 'u');
    QCOMPARE(Lire_Url(fileWith("x\r\nURL=" + longest + "\r\n")).size(), maxUrlBytes);
    QCOMPARE(Lire_Url(fileWith("x\r\nURL=" + longest + "v\r\n")), QString());
    // The longest URL with its line end falling at, or split across, the edge of a read.
    const qsizetype chunk = 4096;
    for (qsizetype head = chunk - 3; head <= chunk; ++head) {
        const QByteArray content = QByteArray(head - 5, 'x') + "\r\nURL=" + longest + "\r\n";
        QCOMPARE(readUrlInChunks(fileWith(content), chunk).size(), maxUrlBytes);
    }
    // Too long, then a line end that would otherwise match much later.
    const QByteArray tooLong = "x\r\nURL=" + longest + longest + "\r\nURL=b\r\n";
    QCOMPARE(Lire_Url(fileWith(tooLong)), QString());
}

void TestShortcutReader::whatCannotBeRead()
{
    QCOMPARE(Lire_Url(programPath(QStringLiteral("missing.url"))), QString());
    QCOMPARE(Lire_Url(QStringLiteral("C:\\Windows\\Favoris\\a.url")), QString());
    QCOMPARE(Lire_Url(QString()), QString());

    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.url")));
    QCOMPARE(Lire_Url(programPath(QStringLiteral("folder.url"))), QString());
    QCOMPARE(Lire_Url(programPath(QStringLiteral("folder.url\\"))), QString());

    // A FIFO with no writer would block a plain open; it must give empty text at once.
    const QByteArray fifo = QFile::encodeName(hostPath(QStringLiteral("pipe.url")));
    QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
    QCOMPARE(Lire_Url(programPath(QStringLiteral("pipe.url"))), QString());

    const QString target = fileWith(support::shortcut("http://linked/"));
    QVERIFY(QFile::link(hostPath(target.section(QLatin1Char('\\'), -1)),
                        hostPath(QStringLiteral("link.url"))));
    QCOMPARE(Lire_Url(programPath(QStringLiteral("link.url"))), QStringLiteral("http://linked/"));
    QVERIFY(
        QFile::link(hostPath(QStringLiteral("gone")), hostPath(QStringLiteral("dangling.url"))));
    QCOMPARE(Lire_Url(programPath(QStringLiteral("dangling.url"))), QString());

    if (::geteuid() == 0)
        QSKIP("permissions do not stop root from reading");
    const QString locked = fileWith(support::shortcut("http://locked/"));
    const QString lockedHost = hostPath(locked.section(QLatin1Char('\\'), -1));
    QVERIFY(QFile::setPermissions(lockedHost, QFileDevice::Permissions()));
    QCOMPARE(Lire_Url(locked), QString());
    QVERIFY(QFile::setPermissions(lockedHost, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
}

QTEST_GUILESS_MAIN(TestShortcutReader)
#include "test_shortcut_reader.moc"
