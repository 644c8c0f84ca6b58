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

    QTemporaryDir m_dir;
    int m_files = 0;

    QString host(const QString &name) const { return m_dir.filePath(name); }
    QString program(const QString &name) const
    {
        return support::programFolder(m_dir.path()) + name;
    }
    // A fresh file holding these bytes, by its program path.
    QString fileWith(const QByteArray &bytes)
    {
        const QString name = QStringLiteral("f%1.url").arg(++m_files);
        support::writeFile(host(name), bytes);
        return program(name);
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
    QTest::newRow("shortcut") << support::shortcut("http://a/?b=c")
                              << QStringLiteral("http://a/?b=c");
    QTest::newRow("base url first")
        << QByteArray("[DEFAULT]\r\nBASEURL=http://base/\r\n[InternetShortcut]\r\n"
                      "URL=http://real/\r\nIconIndex=0\r\n")
        << QStringLiteral("http://real/");
    QTest::newRow("first of two") << QByteArray("x\r\nURL=one\r\nURL=two\r\n")
                                  << QStringLiteral("one");
    QTest::newRow("bare first wins") << QByteArray("x\r\nURL\r\nURL=two\r\n") << none;
    QTest::newRow("LF only") << QByteArray("[InternetShortcut]\nURL=http://a/\n") << none;
    QTest::newRow("no final CR LF") << QByteArray("[InternetShortcut]\r\nURL=http://a/") << none;
    QTest::newRow("first line") << QByteArray("URL=http://a/\r\n") << none;
    QTest::newRow("lower case") << QByteArray("x\r\nurl=http://a/\r\n") << none;
    QTest::newRow("URL alone") << QByteArray("x\r\nURL\r\n") << none;
    QTest::newRow("URL= empty") << QByteArray("x\r\nURL=\r\n") << none;
    QTest::newRow("URL at the end") << QByteArray("x\r\nURL") << none;
    QTest::newRow("blank before =") << QByteArray("x\r\nURL = a \r\n") << QStringLiteral("= a ");
    QTest::newRow("fourth character skipped")
        << QByteArray("x\r\nURLxy\r\n") << QStringLiteral("y");
    QTest::newRow("lone CR and LF inside")
        << QByteArray("x\r\nURL=a\rb\nc\r\n") << QStringLiteral("a\rb\nc");
    QTest::newRow("8-bit bytes") << QByteArray("\x00\xff\r\nURL=caf\xe9\x80\x81\r\n", 16)
                                 << QStringLiteral("caf\u00e9\u20ac\u0081");
    QTest::newRow("empty file") << QByteArray() << none;
}

void TestShortcutReader::urlLine()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, url);
    QCOMPARE(Lire_Url(fileWith(content)), url);
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

// Every split of the pattern and of the line's CR LF across reads, for small chunks and
// around the edge of the reader's own first chunk.
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
    }
    for (qsizetype lead = urlReadChunkBytes - 12; lead <= urlReadChunkBytes + 2; ++lead) {
        if (Lire_Url(fileWith(QByteArray(lead, 'x') + tail)) != url)
            QFAIL(qPrintable(QStringLiteral("lead %1").arg(lead)));
    }
}

void TestShortcutReader::farIntoTheFile()
{
    // Beyond what a 16-bit position can count, in the first chunk and after it.
    for (const int at : {40000, 200000})
        QCOMPARE(Lire_Url(fileWith(QByteArray(at, 'y') + "\r\nURL=far\r\n")),
                 QStringLiteral("far"));

    // A large sparse file whose URL line comes after a long hole.
    const QByteArray path = QFile::encodeName(host(QStringLiteral("sparse.url")));
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    const off_t hole = off_t(64) << 20;
    const QByteArray line("\r\nURL=http://end/\r\n");
    QCOMPARE(::ftruncate(fd, hole), 0);
    QCOMPARE(::pwrite(fd, line.constData(), size_t(line.size()), hole), ssize_t(line.size()));
    ::close(fd);
    QCOMPARE(Lire_Url(program(QStringLiteral("sparse.url"))), QStringLiteral("http://end/"));
}

void TestShortcutReader::urlLengthLimit()
{
    const QByteArray longest(maxUrlBytes, 'u');
    QCOMPARE(Lire_Url(fileWith("x\r\nURL=" + longest + "\r\n")).size(), maxUrlBytes);
    QCOMPARE(Lire_Url(fileWith("x\r\nURL=" + longest + "v\r\nURL=b\r\n")), QString());
    // The longest URL with its line end at, or split across, the edge of a read.
    const qsizetype chunk = 4096;
    for (qsizetype head = chunk - 3; head <= chunk; ++head) {
        const QByteArray content = QByteArray(head - 5, 'x') + "\r\nURL=" + longest + "\r\n";
        QCOMPARE(readUrlInChunks(fileWith(content), chunk).size(), maxUrlBytes);
    }
}

void TestShortcutReader::whatCannotBeRead()
{
    QCOMPARE(Lire_Url(program(QStringLiteral("missing.url"))), QString());
    QCOMPARE(Lire_Url(QStringLiteral("C:\\Windows\\Favoris\\a.url")), QString());

    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.url")));
    QCOMPARE(Lire_Url(program(QStringLiteral("folder.url"))), QString());

    // A FIFO with no writer would block a plain open; it must give empty text at once.
    QCOMPARE(::mkfifo(QFile::encodeName(host(QStringLiteral("pipe.url"))).constData(), 0644), 0);
    QCOMPARE(Lire_Url(program(QStringLiteral("pipe.url"))), QString());

    support::writeFile(host(QStringLiteral("target")), support::shortcut("http://linked/"));
    QVERIFY(QFile::link(host(QStringLiteral("target")), host(QStringLiteral("link.url"))));
    QCOMPARE(Lire_Url(program(QStringLiteral("link.url"))), QStringLiteral("http://linked/"));
    QVERIFY(QFile::link(host(QStringLiteral("gone")), host(QStringLiteral("dangling.url"))));
    QCOMPARE(Lire_Url(program(QStringLiteral("dangling.url"))), QString());

    if (::geteuid() == 0)
        QSKIP("permissions do not stop root from reading");
    QVERIFY(QFile::setPermissions(host(QStringLiteral("target")), QFileDevice::Permissions()));
    QCOMPARE(Lire_Url(program(QStringLiteral("link.url"))), QString());
}

QTEST_GUILESS_MAIN(TestShortcutReader)
#include "test_shortcut_reader.moc"
