#include "browser/api.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

namespace
{

const QString cleStart = QStringLiteral("Software/Microsoft/Internet Explorer/Main/Start Page");

} // namespace

// Every test runs with its own configuration folder, so each starts from an empty store.
class TestStartPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void missingValueReadsEmpty();
    void roundTrip_data();
    void roundTrip();
    void pathStoredAsGiven();
    void laterWriteReplaces();
    void valueOfAnotherType_data();
    void valueOfAnotherType();
    void unusableStore_data();
    void unusableStore();

private:
    QString magasin() const { return m_config->filePath(QStringLiteral("Signetor/registre.ini")); }
    void pointerConfigVers(const QString &dossier)
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dossier));
    }
    std::unique_ptr<QTemporaryDir> m_config;
};

void TestStartPage::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    pointerConfigVers(m_config->path());
}

void TestStartPage::missingValueReadsEmpty()
{
    QCOMPARE(Lire_Page_Demarrage(), QString());
    // Reading opens the key with create semantics: the store exists afterwards.
    QVERIFY(QFile::exists(magasin()));
    QCOMPARE(Lire_Page_Demarrage(), QString());
}

void TestStartPage::roundTrip_data()
{
    QTest::addColumn<QString>("valeur");
    QTest::newRow("one character") << QStringLiteral("x");
    QTest::newRow("trailing blanks") << QStringLiteral("C:\\Pages\\a.html   ");
    QTest::newRow("leading blanks") << QStringLiteral("  C:\\a.html");
    QTest::newRow("only a blank") << QStringLiteral(" ");
    QTest::newRow("commas") << QStringLiteral("C:\\a, b,c.html");
    QTest::newRow("quotes") << QStringLiteral("\"C:\\a.html\" \"");
    QTest::newRow("at sign first") << QStringLiteral("@Variant(QPoint)");
    QTest::newRow("backslashes") << QStringLiteral("\\\\serveur\\partage\\\\p.html\\");
    QTest::newRow("non-ASCII") << QString::fromUtf8("C:\\Écrits\\Ωmega€.html");
    QTest::newRow("INI syntax") << QStringLiteral("[Main] a=b ; c # d");
    QTest::newRow("control characters") << QStringLiteral("a\tb\r\nc");
}

void TestStartPage::roundTrip()
{
    QFETCH(QString, valeur);
    Ecrire_Page_Demarrage(valeur);
    QCOMPARE(Lire_Page_Demarrage(), valeur);
}

void TestStartPage::pathStoredAsGiven()
{
    const QString chemin = QStringLiteral("C:\\Pages\\index.html");
    QCOMPARE(chemin.size(), 19);
    Ecrire_Page_Demarrage(chemin);
    const QSettings brut(magasin(), QSettings::IniFormat);
    QCOMPARE(brut.allKeys(), QStringList{cleStart});
    QCOMPARE(brut.value(cleStart), QVariant(chemin));
}

void TestStartPage::laterWriteReplaces()
{
    Ecrire_Page_Demarrage(QStringLiteral("C:\\une\\tres\\longue\\premiere\\page.html"));
    Ecrire_Page_Demarrage(QStringLiteral("C:\\b.html"));
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("C:\\b.html"));
    Ecrire_Page_Demarrage(QString());
    QCOMPARE(Lire_Page_Demarrage(), QString());
}

void TestStartPage::valueOfAnotherType_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("lu");
    QTest::newRow("number") << QByteArray("Start%20Page=42") << QStringLiteral("42");
    QTest::newRow("list") << QByteArray("Start%20Page=a, b") << QStringLiteral("a, b");
    QTest::newRow("bytes") << QByteArray("Start%20Page=@ByteArray(C:\\\\\\xe9t\\xe9.html)")
                           << QString::fromUtf8("C:\\été.html");
    QTest::newRow("empty") << QByteArray("Start%20Page=") << QString();
}

void TestStartPage::valueOfAnotherType()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, lu);
    support::writeFile(magasin(),
                       "[Software]\nMicrosoft\\Internet%20Explorer\\Main\\" + ini + '\n');
    QCOMPARE(Lire_Page_Demarrage(), lu);
}

void TestStartPage::unusableStore_data()
{
    QTest::addColumn<QString>("genre");
    QTest::newRow("configuration folder under a file") << QStringLiteral("file");
    QTest::newRow("store is a folder") << QStringLiteral("folder");
    QTest::newRow("store is a FIFO") << QStringLiteral("fifo");
}

void TestStartPage::unusableStore()
{
    QFETCH(QString, genre);
    Ecrire_Page_Demarrage(QStringLiteral("C:\\avant.html"));

    QTemporaryDir autre;
    QString config = autre.path();
    const QString store = config + QStringLiteral("/Signetor/registre.ini");
    if (genre == QLatin1String("file")) {
        support::writeFile(config + QStringLiteral("/fichier"), "x");
        config += QStringLiteral("/fichier/config");
    } else if (genre == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(store));
    } else {
        QVERIFY(QDir().mkpath(config + QStringLiteral("/Signetor")));
        QCOMPARE(mkfifo(QFile::encodeName(store).constData(), 0600), 0);
    }
    pointerConfigVers(config);
    QCOMPARE(Lire_Page_Demarrage(), QString());
    Ecrire_Page_Demarrage(QStringLiteral("C:\\apres.html"));
    QCOMPARE(Lire_Page_Demarrage(), QString());

    // Nothing went anywhere else either.
    pointerConfigVers(m_config->path());
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("C:\\avant.html"));
}

QTEST_GUILESS_MAIN(TestStartPage)
#include "test_start_page.moc"
