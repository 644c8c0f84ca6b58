#include "favourites/shortcut_reader.h"
#include "test_support.h"

#include <QTest>

class TestShortcutReader : public QObject
{
    Q_OBJECT

    const support::Tree m_tree;
    int m_files = 0;

    // A fresh file holding these bytes, by its program path.
    QString fileWith(const QByteArray &bytes)
    {
        return m_tree.file("f" + QByteArray::number(++m_files), bytes);
    }

private Q_SLOTS:
    void urlLine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("url");
        QTest::newRow("first of two, after a near miss, 8-bit")
            << QByteArray("\0\r\nUR\r\nURL=caf\xe9\x80\x81\r\nURL=two\r\n", 28)
            << QStringLiteral("caf\u00e9\u20ac\u0081");
        // Each of these would give its own letter if it were taken for a URL line.
        QTest::newRow("first line, LF only, lower case")
            << QByteArray("URL=a\r\nx\nURL=b\r\nurl=c\r\n") << QString();
        QTest::newRow("bare URL ends the search")
            << QByteArray("x\r\nURL\r\nURL=d\r\n") << QString();
        QTest::newRow("empty URL ends the search")
            << QByteArray("x\r\nURL=\r\nURL=e\r\n") << QString();
        QTest::newRow("no line end") << QByteArray("x\r\nURL=ab\r") << QString();
        QTest::newRow("fourth character skipped, lone CR and LF kept")
            << QByteArray("x\r\nURLxa\rb\nc\r\n") << QStringLiteral("a\rb\nc");
    }
    // Each file read whole, then with the pattern and the line end split across reads.
    void urlLine()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, url);
        QCOMPARE(Lire_Url(fileWith(content)), url);
        for (int lead = 0; lead < 10; ++lead) {
            const QString path = fileWith(QByteArray(lead, 'x') + content);
            for (qsizetype chunk = 1; chunk <= 9; ++chunk)
                QCOMPARE(readUrlInChunks(path, chunk), url);
        }
    }

    // URLs up to maxUrlBytes are read whole, their line end at any read boundary; the URL
    // line must start within the first urlSearchBytes, whatever the chunk size.
    void bounds()
    {
        for (qsizetype chunk : {urlReadChunkBytes, qsizetype(1000)})
            for (qsizetype lead : {urlSearchBytes - 5, urlSearchBytes - 4})
                QCOMPARE(readUrlInChunks(fileWith(QByteArray(lead, 'x') + "\r\nURL=a\r\n"), chunk),
                         lead < urlSearchBytes - 4 ? QStringLiteral("a") : QString());
        const QByteArray line = "\r\nURL=" + QByteArray(maxUrlBytes, 'u') + "\r\n";
        for (qsizetype head = 4088; head <= 4091; ++head)
            QCOMPARE(readUrlInChunks(fileWith(QByteArray(head, 'x') + line), 4096).size(),
                     maxUrlBytes);
        QCOMPARE(Lire_Url(fileWith(line.chopped(2) + "v\r\nURL=b\r\n")), QString());
    }
};

QTEST_GUILESS_MAIN(TestShortcutReader)
#include "test_shortcut_reader.moc"
