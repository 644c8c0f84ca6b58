#include "favourites/export_signets.h"
#include "platform/fault_injection.h"
#include "platform/runtime_error.h"
#include "test_support.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <cerrno>

class TestExportSignets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The table in tests/data/export gives the file beside it. Folders nest once each even when
    // the table names one again after another; the browser roots map back to the menu's top
    // level, the toolbar and the other bookmarks; no text can close its element or break its
    // line; a date of 0 writes no ADD_DATE.
    void file()
    {
        TableLiens liens;
        for (const QJsonValue &ligne :
             QJsonDocument::fromJson(support::dataFile("export/table.json")).array()) {
            const QJsonArray l = ligne.toArray();
            liens.append({l[0].toString(), l[1].toString(), l[2].toString(), l[3].toInteger()});
        }
        QCOMPARE(contenuSignets(liens), support::dataFile("export/signets.html"));
        QCOMPARE(contenuSignets({}).count("<DT>"), 0);
    }

    // A large file goes out in several pieces and nothing is lost or doubled at their seams.
    void largeFileInPieces()
    {
        TableLiens liens;
        QByteArray lignes;
        for (int i = 0; i < 5000; ++i) {
            const QByteArray n = QByteArray::number(i);
            liens.append({QStringLiteral("D"), QString::fromLatin1("n" + n),
                          QString::fromLatin1("https://e.example/" + n), i});
            lignes += "        <DT><A HREF=\"https://e.example/" + n + "\"" +
                      (i ? " ADD_DATE=\"" + n + '"' : QByteArray()) + ">n" + n + "</A>\n";
        }
        QByteArrayList pieces;
        genererSignets(liens, [&pieces](const QByteArray &piece) { pieces << piece; });
        QVERIFY(pieces.size() > 2);
        QVERIFY(pieces.join().endsWith("    <DT><H3>D</H3>\n    <DL><p>\n" + lignes +
                                       "    </DL><p>\n</DL><p>\n"));
    }

    // An existing file is replaced whole; a write that fails leaves it as it was.
    void replacesWholeOrNotAtAll()
    {
        const support::Tree tree;
        const QString fichier = tree.host("signets.html");
        tree.file("signets.html", QByteArray(100000, 'x'));
        const TableLiens liens{
            {QString(), QStringLiteral("a"), QStringLiteral("https://a.example/")}};
        ecrireSignets(fichier, liens);
        QCOMPARE(support::readFile(tree.host("signets.html")), contenuSignets(liens));
        platform::injectFault(platform::FaultPoint::Write, ENOSPC);
        QVERIFY_THROWS_EXCEPTION(platform::RuntimeError, ecrireSignets(fichier, {}));
        platform::clearFaults();
        QCOMPARE(support::readFile(tree.host("signets.html")), contenuSignets(liens));
    }

    // signetor-cli --signets dates each shortcut by its file's modification time, although a
    // scan for the page leaves dates out.
    void shortcutDatesFromTheCommandLine()
    {
        const support::Tree tree;
        tree.link("Outils/Un.url", "https://un.example/");
        QFile fichier(tree.host("Outils/Un.url"));
        QVERIFY(fichier.open(QIODevice::ReadWrite) &&
                fichier.setFileTime(QDateTime::fromSecsSinceEpoch(1600000000),
                                    QFileDevice::FileModificationTime));
        QVERIFY(
            support::output(QStringLiteral(SIGNETOR_CLI),
                            {QStringLiteral("--signets"), tree.host(), QStringLiteral("-")})
                .contains("<DT><A HREF=\"https://un.example/\" ADD_DATE=\"1600000000\">Un</A>"));
    }
};

QTEST_GUILESS_MAIN(TestExportSignets)
#include "test_export_signets.moc"
