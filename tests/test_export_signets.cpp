#include "favourites/export_signets.h"
#include "platform/fault_injection.h"
#include "platform/runtime_error.h"
#include "test_support.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

class TestExportSignets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void file();
    void largeFileInPieces();
    void replacesWholeOrNotAtAll();
    void shortcutDatesFromTheCommandLine();
};

static Lien lien(const char *dossier, const char *nom, const char *url, qint64 date = 0)
{
    return {QString::fromUtf8(dossier), QString::fromUtf8(nom), QString::fromUtf8(url), date};
}

// Folders nest once each even when the table names one again after another; the browser
// roots map back to the menu's top level, the toolbar and the other bookmarks; no text can
// close its element or break its line; a date of 0 writes no ADD_DATE.
void TestExportSignets::file()
{
    const TableLiens liens{
        lien("", "Racine", "https://r.example/", 1700000000),
        lien("A B", "<b>&amp;\"é\"</b>", "https://x.example/?a=1&b=\"2\"<>"),
        lien("A", "Un", "https://a.example/"),
        lien("A\\C\\D", "Profond", "https://d.example/", 5),
        lien("A B", "Deux", "https://y.example/"),
        lien("A", "Ligne\r\nsuite\t", "https://b.example/"),
        lien("Menu des marque-pages\\M", "Menu", "https://m.example/"),
        lien("Barre personnelle", "Barre", "https://t.example/"),
        lien("Autres favoris\\Barre personnelle", "Autre", "https://o.example/"),
    };
    const QByteArray attendu =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
        "<TITLE>Favoris</TITLE>\n"
        "<H1>Favoris</H1>\n"
        "<DL><p>\n"
        "    <DT><A HREF=\"https://r.example/\" ADD_DATE=\"1700000000\">Racine</A>\n"
        "    <DT><H3>A B</H3>\n"
        "    <DL><p>\n"
        "        <DT><A HREF=\"https://x.example/?a=1&amp;b=&quot;2&quot;&lt;&gt;\">"
        "&lt;b&gt;&amp;amp;&quot;\xC3\xA9&quot;&lt;/b&gt;</A>\n"
        "        <DT><A HREF=\"https://y.example/\">Deux</A>\n"
        "    </DL><p>\n"
        "    <DT><H3>A</H3>\n"
        "    <DL><p>\n"
        "        <DT><A HREF=\"https://a.example/\">Un</A>\n"
        "        <DT><H3>C</H3>\n"
        "        <DL><p>\n"
        "            <DT><H3>D</H3>\n"
        "            <DL><p>\n"
        "                <DT><A HREF=\"https://d.example/\" ADD_DATE=\"5\">Profond</A>\n"
        "            </DL><p>\n"
        "        </DL><p>\n"
        "        <DT><A HREF=\"https://b.example/\">Ligne&#13;&#10;suite&#9;</A>\n"
        "    </DL><p>\n"
        "    <DT><H3>M</H3>\n"
        "    <DL><p>\n"
        "        <DT><A HREF=\"https://m.example/\">Menu</A>\n"
        "    </DL><p>\n"
        "    <DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Barre personnelle</H3>\n"
        "    <DL><p>\n"
        "        <DT><A HREF=\"https://t.example/\">Barre</A>\n"
        "    </DL><p>\n"
        "    <DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Autres favoris</H3>\n"
        "    <DL><p>\n"
        "        <DT><H3>Barre personnelle</H3>\n"
        "        <DL><p>\n"
        "            <DT><A HREF=\"https://o.example/\">Autre</A>\n"
        "        </DL><p>\n"
        "    </DL><p>\n"
        "</DL><p>\n";
    QCOMPARE(contenuSignets(liens), attendu);
    QCOMPARE(contenuSignets({}).count("<DT>"), 0);
}

// A large file goes out in several pieces and nothing is lost or doubled at their seams.
void TestExportSignets::largeFileInPieces()
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
void TestExportSignets::replacesWholeOrNotAtAll()
{
    QTemporaryDir dir;
    const QString hote = dir.filePath(QStringLiteral("signets.html"));
    const QString fichier = dir.filePath(QStringLiteral("signets.html"));
    support::writeFile(hote, QByteArray(100000, 'x'));
    const TableLiens liens{lien("", "a", "https://a.example/")};
    ecrireSignets(fichier, liens);
    QCOMPARE(support::readFile(hote), contenuSignets(liens));
    platform::injectFault(platform::FaultPoint::Write, ENOSPC);
    QVERIFY_THROWS_EXCEPTION(platform::RuntimeError, ecrireSignets(fichier, {}));
    platform::clearFaults();
    QCOMPARE(support::readFile(hote), contenuSignets(liens));
}

// signetor-cli --signets dates each shortcut by its file's modification time, although a
// scan for the page leaves dates out.
void TestExportSignets::shortcutDatesFromTheCommandLine()
{
    QTemporaryDir dir;
    const QString raccourci = dir.filePath(QStringLiteral("Outils/Un.url"));
    support::writeFile(raccourci, support::shortcut("https://un.example/"));
    QFile fichier(raccourci);
    QVERIFY(fichier.open(QIODevice::ReadWrite) &&
            fichier.setFileTime(QDateTime::fromSecsSinceEpoch(1600000000),
                                QFileDevice::FileModificationTime));
    QProcess cli;
    cli.start(QStringLiteral(SIGNETOR_CLI),
              {QStringLiteral("--signets"), dir.path(), QStringLiteral("-")});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(cli.readAllStandardOutput().contains(
        "<DT><A HREF=\"https://un.example/\" ADD_DATE=\"1600000000\">Un</A>"));
}

QTEST_GUILESS_MAIN(TestExportSignets)
#include "test_export_signets.moc"
