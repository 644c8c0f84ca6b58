#include "browser/api.h"
#include "test_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestStartPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void store();
};

// A missing value reads as empty and leaves the store created; every text, blanks and INI
// syntax included, reads back whole; a list written by hand reads as text. A configuration
// folder under a file, or a FIFO in the store's place, reads as empty and takes no write.
void TestStartPage::store()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString magasin = config + QStringLiteral("/Signetor/registre.ini");
    QCOMPARE(Lire_Page_Demarrage(), QString());
    QVERIFY(QFile::exists(magasin));
    for (const char *valeur : {"C:\\Pages\\index.html   ", "x", " ", "C:\\a, b,c.html",
                               "\\\\serveur\\Écrits\\Ω€", "[M] a=b ; c", "a\tb\r\nc", ""}) {
        Ecrire_Page_Demarrage(QString::fromUtf8(valeur));
        QCOMPARE(Lire_Page_Demarrage(), QString::fromUtf8(valeur));
    }
    support::writeFile(magasin,
                       "[Software]\nMicrosoft\\Internet%20Explorer\\Main\\Start%20Page=a, b\n");
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("a, b"));

    QTemporaryDir autre;
    support::writeFile(autre.filePath(QStringLiteral("Signetor/x")), "");
    const QString fifo = autre.filePath(QStringLiteral("Signetor/registre.ini"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &ailleurs : {magasin + QStringLiteral("/config"), autre.path()}) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(ailleurs));
        Ecrire_Page_Demarrage(QStringLiteral("C:\\apres.html"));
        QCOMPARE(Lire_Page_Demarrage(), QString());
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("a, b"));
}

QTEST_GUILESS_MAIN(TestStartPage)
#include "test_start_page.moc"
