#include "browser/api.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

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
    void listWrittenByHandReadsAsText();
    void unusableStore_data();
    void unusableStore();

private:
    QString magasin() const { return m_config->filePath(QStringLiteral("Signetor/registre.ini")); }
    static void configurer(const QString &dossier)
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dossier));
    }
    std::unique_ptr<QTemporaryDir> m_config;
};

void TestStartPage::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    configurer(m_config->path());
}

void TestStartPage::missingValueReadsEmpty()
{
    QCOMPARE(Lire_Page_Demarrage(), QString());
    QVERIFY(QFile::exists(magasin())); // opened with create semantics
    Ecrire_Page_Demarrage(QStringLiteral("C:\\a.html"));
    Ecrire_Page_Demarrage(QString());
    QCOMPARE(Lire_Page_Demarrage(), QString());
}

void TestStartPage::roundTrip_data()
{
    QTest::addColumn<QString>("valeur");
    const char *valeurs[] = {"x",
                             "C:\\Pages\\a.html   ",
                             "  C:\\a.html",
                             " ",
                             "C:\\a, b,c.html",
                             "\"C:\\a.html\" \"",
                             "@Variant(QPoint)",
                             "\\\\serveur\\partage\\\\p.html\\",
                             "C:\\Écrits\\Ωmega€.html",
                             "[Main] a=b ; c # d",
                             "a\tb\r\nc"};
    for (const char *valeur : valeurs)
        QTest::newRow(QByteArray(valeur).replace('\t', "\\t").replace("\r\n", "\\r\\n"))
            << QString::fromUtf8(valeur);
}

void TestStartPage::roundTrip()
{
    QFETCH(QString, valeur);
    Ecrire_Page_Demarrage(QStringLiteral("C:\\une\\page\\plus\\longue\\avant.html"));
    Ecrire_Page_Demarrage(valeur);
    QCOMPARE(Lire_Page_Demarrage(), valeur);
}

void TestStartPage::pathStoredAsGiven()
{
    const QString chemin = QStringLiteral("C:\\Pages\\index.html");
    QCOMPARE(chemin.size(), 19);
    Ecrire_Page_Demarrage(chemin);
    const QSettings brut(magasin(), QSettings::IniFormat);
    const QString cle = QStringLiteral("Software/Microsoft/Internet Explorer/Main/Start Page");
    QCOMPARE(brut.allKeys(), QStringList{cle});
    QCOMPARE(brut.value(cle), QVariant(chemin));
}

void TestStartPage::listWrittenByHandReadsAsText()
{
    support::writeFile(magasin(), "[Software]\nMicrosoft\\Internet%20Explorer\\Main\\"
                                  "Start%20Page=a, b\n");
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("a, b"));
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
    configurer(config);
    QCOMPARE(Lire_Page_Demarrage(), QString());
    Ecrire_Page_Demarrage(QStringLiteral("C:\\apres.html"));
    QCOMPARE(Lire_Page_Demarrage(), QString());
    configurer(m_config->path());
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("C:\\avant.html"));
}

QTEST_GUILESS_MAIN(TestStartPage)
#include "test_start_page.moc"
