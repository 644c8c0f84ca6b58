#include "real_browsers.h"
#include "test_support.h"

#include <QFileInfo>
#include <QtTest>

// signetor-cli --signets SOURCE - : its standard output, or the reason it failed.
static QByteArray signets(const QString &source)
{
    return support::output(QStringLiteral(SIGNETOR_CLI),
                           {QStringLiteral("--signets"), source, QStringLiteral("-")});
}

class TestFirefoxLive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The real Firefox ESR against the real signetor-cli, in one run of the browser: a fresh
    // profile imports at its first start the bookmark file that --signets made of the
    // places.sqlite Firefox made for tests/data; read back while Firefox runs, it gives the same
    // bookmarks, dates included. A bookmark added a second ago through Marionette is read while
    // Firefox runs, and Firefox goes on writing its database undisturbed.
    void importsTheExportAndIsReadWhileRunning()
    {
        const QByteArray attendu =
            signets(QStringLiteral(SIGNETOR_DATA "/browsers/firefox/places.sqlite"));
        QVERIFY2(attendu.count("<DT><A ") >= 8, attendu.constData());
        const support::Tree tree;
        const QString places = tree.host("profil/places.sqlite");
        tree.file("export.html", attendu);
        tree.file("profil/user.js", "user_pref(\"browser.places.importBookmarksHTML\", true);\n"
                                    "user_pref(\"browser.bookmarks.file\", \"" +
                                        tree.host("export.html").toUtf8() + "\");\n");
        navigateursReels::Firefox firefox;
        QVERIFY2(firefox.demarrer(tree.host("profil")), qPrintable(firefox.erreur()));

        // The import runs at start-up, beside the Marionette session: wait for its bookmarks.
        QTRY_COMPARE_WITH_TIMEOUT(signets(places), attendu, 30000);

        const auto ajouter = [&](const char *url) {
            return firefox.executerScript(
                QStringLiteral("return PlacesUtils.bookmarks.insert({parentGuid: "
                               "PlacesUtils.bookmarks.toolbarGuid, url: arguments[0], "
                               "title: 'Ajouté'}).then(() => 'ok', e => String(e));"),
                {QString::fromLatin1(url)});
        };
        QCOMPARE(ajouter("https://instant.example/").toString(), QStringLiteral("ok"));
        QVERIFY(QFileInfo(places + QStringLiteral("-wal")).size() > 0); // still in Firefox's log
        QVERIFY(signets(places).contains("<DT><A HREF=\"https://instant.example/\" ADD_DATE=\""));

        // Firefox still writes its database after being read, and keeps all at its clean quit.
        QCOMPARE(ajouter("https://apres.example/").toString(), QStringLiteral("ok"));
        QVERIFY2(firefox.quitter(), qPrintable(firefox.erreur()));
        const QByteArray lu = signets(places);
        QVERIFY(lu.contains("https://instant.example/") && lu.contains("https://apres.example/"));
        QCOMPARE(lu.count("<DT><A "), attendu.count("<DT><A ") + 2);
    }
};

QTEST_GUILESS_MAIN(TestFirefoxLive)
#include "test_firefox_live.moc"
