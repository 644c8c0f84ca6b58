#include "browser/api.h"
#include "platform/paths.h"
#include "real_browsers.h"
#include "test_support.h"

#include <QDirIterator>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace
{

// "Firefox/a, Chromium/Default", to compare in one go.
QByteArray noms(const QList<ProfilNavigateur> &profils)
{
    QStringList n;
    for (const ProfilNavigateur &p : profils)
        n << p.navigateur + QLatin1Char('/') + p.nom;
    return n.join(QStringLiteral(", ")).toUtf8();
}

// The rows of a tab-separated data file (a "#" line is a comment, "⏎" a line break).
QList<QStringList> table(const char *nom)
{
    QList<QStringList> lignes;
    for (QString l : QString::fromUtf8(support::dataFile(nom)).split(QLatin1Char('\n')))
        if (!l.isEmpty() && !l.startsWith(QLatin1Char('#')))
            lignes << l.replace(QStringLiteral("⏎"), QStringLiteral("\n")).split(QLatin1Char('\t'));
    return lignes;
}

// The files of the one profile of each browser that the hostile rows spoil.
const char *const P = ".config/chromium/Default/Preferences",
                  *const U = ".mozilla/firefox/p/user.js",
                  *const I = ".mozilla/firefox/profiles.ini";

} // namespace

class TestStartPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_maison;
    QString chemin(const char *r) const { return m_maison->filePath(QString::fromUtf8(r)); }

private Q_SLOTS:
    // A fresh HOME and XDG_CONFIG_HOME for every test and row.
    void init()
    {
        m_maison = std::make_unique<QTemporaryDir>();
        qputenv("HOME", QFile::encodeName(m_maison->path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(chemin(".config")));
    }
    void store();
    void profils();
    void entreesHostiles_data();
    void entreesHostiles();
    void vraisNavigateurs();
};

// A missing value reads as empty and leaves the store created; every text, blanks and INI
// syntax included, reads back whole; a list written by hand reads as text. A store that
// cannot be used (under a file, a FIFO, its lock held by a folder, over 1 MiB) reads as empty
// and takes no write; a relative XDG_CONFIG_HOME is ignored, and without HOME there is no store.
void TestStartPage::store()
{
    const QString config = chemin("config"); // not ~/.config, where a bad XDG_CONFIG_HOME leads
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    const QString magasin = config + QStringLiteral("/Signetor/registre.ini");
    QCOMPARE(Lire_Page_Demarrage(), QString());
    QVERIFY(QFile::exists(magasin));
    for (const char *valeur : {"C:\\Pages\\index.html   ", "x", " ", "C:\\a, b,c.html",
                               "\\\\serveur\\Écrits\\Ω€", "[M] a=b ; c", "a\tb\r\nc", ""}) {
        Ecrire_Page_Demarrage(QString::fromUtf8(valeur));
        QCOMPARE(Lire_Page_Demarrage(), QString::fromUtf8(valeur));
    }
    QTemporaryDir autre; // stores that cannot be used, one per folder 1 to 3
    support::copyTree(QStringLiteral(SIGNETOR_DATA "/profils-magasins"), autre.path());
    const QString dans = autre.filePath(QStringLiteral("%1/Signetor/registre.ini"));
    const QByteArray avecValeur = support::readFile(dans.arg(2));
    QCOMPARE(mkfifo(QFile::encodeName(dans.arg(1)).constData(), 0600), 0);
    support::writeFile(dans.arg(3), avecValeur + QByteArray(1024 * 1024, '\n'));
    support::writeFile(magasin, avecValeur);
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("a, b"));

    const QString configN = autre.filePath(QStringLiteral("%1"));
    for (const QString &ailleurs :
         {magasin + QStringLiteral("/config"), configN.arg(1), configN.arg(2), configN.arg(3)}) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(ailleurs));
        Ecrire_Page_Demarrage(QStringLiteral("C:\\apres.html"));
        QCOMPARE(Lire_Page_Demarrage(), QString());
    }
    QCOMPARE(support::readFile(dans.arg(2)), avecValeur);

    qputenv("XDG_CONFIG_HOME", "relatif");
    Ecrire_Page_Demarrage(QStringLiteral("C:\\relatif.html"));
    QVERIFY(!QFileInfo::exists(QStringLiteral("relatif")));
    QVERIFY(support::readFile(QDir::homePath() + QStringLiteral("/.config/Signetor/registre.ini"))
                .contains("relatif.html"));
    qunsetenv("HOME");
    Ecrire_Page_Demarrage(QStringLiteral("C:\\sans-home.html"));
    QCOMPARE(Lire_Page_Demarrage(), QString());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/.config/Signetor/registre.ini")));
    qputenv("HOME", QFile::encodeName(m_maison->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("a, b"));
}

// Profiles in every place and form a browser leaves them, in the order that puts each
// browser's default first; the start page read from the default browser's profile, the
// value in force, the first of several, and a file:// URL as its program path.
void TestStartPage::profils()
{
    support::copyTree(QStringLiteral(SIGNETOR_DATA "/profils"), m_maison->path());
    const QList<QByteArray> attendus = support::dataFile("profils-noms.txt").split('\n');
    QCOMPARE(noms(profilsFirefox()), attendus[0]);
    QCOMPARE(noms(profilsChromium()), attendus[1]);
    QCOMPARE(profilsFirefox().at(3).dossier, chemin("ailleurs"));

    // The page the default browser opens, from its profile; the store does not stand in for
    // a browser that opens none (New Tab page, restored session).
    support::copyTree(QStringLiteral(SIGNETOR_DATA "/profils-chrome"), m_maison->path());
    Ecrire_Page_Demarrage(QStringLiteral("C:\\magasin.html"));
    QCOMPARE(Lire_Page_Demarrage(), QString());
    const QString chrome = chemin(".config/google-chrome/Default/Preferences");
    for (const char *restaurer : {"5", "1", "4"}) {
        support::writeFile(chrome, QByteArray(R"({"session":{"restore_on_startup":)") + restaurer +
                                       R"(,"startup_urls":["https://a.fr/"]}})");
        QCOMPARE(Lire_Page_Demarrage(),
                 *restaurer == '4' ? QStringLiteral("https://a.fr/") : QString());
    }
    support::writeFile(chemin(".config/google-chrome/Default/Bookmarks"), "{}");
    QCOMPARE(favorisDuNavigateurParDefaut(), chemin(".config/google-chrome/Default/Bookmarks"));

    support::copyTree(QStringLiteral(SIGNETOR_DATA "/profils-firefox"), m_maison->path());
    QCOMPARE(favorisDuNavigateurParDefaut(), QString());
    const QString defaut = chemin(".mozilla/firefox/Profiles/b, c/");
    support::writeFile(defaut + QStringLiteral("places.sqlite"), "");
    QCOMPARE(favorisDuNavigateurParDefaut(), defaut + QStringLiteral("places.sqlite"));
    for (const QStringList &l : table("profils-prefs.tsv")) {
        support::writeFile(defaut + QStringLiteral("prefs.js"), l[1].toUtf8());
        support::writeFile(defaut + QStringLiteral("user.js"), l[2].toUtf8());
        QVERIFY2(Lire_Page_Demarrage() == l[3], qPrintable(l[0]));
    }
    for (const char *page : {"\\srv\\p.html  ", "\\srv\\100% #1?.html"}) {
        QVERIFY(Ecrire_Page_Demarrage(QString::fromUtf8(page)).isEmpty());
        QCOMPARE(Lire_Page_Demarrage(), QString::fromUtf8(page));
    }
}

// Hostile profile files: never a hang, a crash or a broken file. A profile that cannot be
// read, parsed or written is left as it was and reported; the others are written.
void TestStartPage::entreesHostiles_data()
{
    QTest::addColumn<QStringList>("ligne");
    for (const QStringList &l : table("profils-hostiles.tsv"))
        QTest::newRow(qPrintable(l[0])) << l;
}

void TestStartPage::entreesHostiles()
{
    QFETCH(QStringList, ligne);
    const QString &intact = ligne[3], &illisible = ligne[4], &userJs = ligne[5];
    const QByteArray nonEcrits = ligne[2].toUtf8();
    const QString prefs = chemin(P), user = chemin(U);
    support::copyTree(QStringLiteral(SIGNETOR_DATA "/profils-hostiles-maison"), m_maison->path());
    const QString sh = QStringLiteral("cd \"$0\" && D=\"$1\" P=%1 U=%2 I=%3 && ")
                           .arg(QLatin1String(P), QLatin1String(U), QLatin1String(I));
    QCOMPARE(QProcess::execute(QStringLiteral("sh"),
                               {QStringLiteral("-c"), sh + ligne[1], m_maison->path(),
                                QStringLiteral(SIGNETOR_DATA "/profils-user-js")}),
             0);
    const QByteArray avant = support::readFile(m_maison->filePath(intact));
    const QFile::Permissions mode = QFileInfo(prefs).permissions();
    // Twice: a second run gives the same files.
    Ecrire_Page_Demarrage(QStringLiteral("\\srv\\a b\\p\"é.html"));
    QCOMPARE(noms(Ecrire_Page_Demarrage(QStringLiteral("\\srv\\a b\\p\"é.html"))), nonEcrits);
    QCOMPARE(listesProfilsIllisibles(),
             illisible.isEmpty() ? QStringList() : QStringList(m_maison->filePath(illisible)));
    if (!intact.isEmpty())
        QCOMPARE(support::readFile(m_maison->filePath(intact)), avant);
    if (!userJs.isEmpty())
        QCOMPARE(support::readFile(user),
                 support::readFile(QStringLiteral(SIGNETOR_DATA "/profils-user-js/") + userJs));
    // What is replaced keeps its owner and mode; what is made (user.js, the store and its
    // folder) belongs to the owner of its folder.
    QCOMPARE(QFileInfo(prefs).permissions(), mode);
    for (QDirIterator i(m_maison->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
         i.hasNext();) {
        const QFileInfo f(i.next()), dossier(f.path());
        QVERIFY2(f.isSymLink() ||
                     (f.ownerId() == dossier.ownerId() && f.groupId() == dossier.groupId()),
                 qPrintable(f.filePath()));
    }
    QCOMPARE(Lire_Page_Demarrage().isEmpty(), nonEcrits.contains("Chromium"));
    if (!nonEcrits.contains("Chromium"))
        QCOMPARE(support::readFile(prefs), support::dataFile("profils-preferences-apres.json"));
}

// The real browsers: profiles made by a first start, a web start page set in Firefox shows
// in the window, then after the save both browsers open the page; a running Chromium is not
// written, and after it quits its Preferences still hold the page.
void TestStartPage::vraisNavigateurs()
{
    navigateursReels::Firefox firefox;
    navigateursReels::Chromium chromium;
    // Chromium's first start (it makes its profile on the way) runs beside Firefox's.
    QVERIFY2(chromium.demarrer(), qPrintable(chromium.erreur()));
    QVERIFY2(firefox.creerProfils(), qPrintable(firefox.erreur()));
    support::copyTree(QStringLiteral(SIGNETOR_DATA "/profils-firefox"), m_maison->path());
    QVERIFY2(firefox.demarrer(), qPrintable(firefox.erreur()));
    firefox.executerScript(QStringLiteral("Services.prefs.setStringPref("
                                          "'browser.startup.homepage', 'https://exemple.fr/a')"));
    QVERIFY2(firefox.quitter(), qPrintable(firefox.erreur()));
    QVERIFY2(chromium.quitter(), qPrintable(chromium.erreur()));
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("https://exemple.fr/a"));

    support::writeFile(firefox.profilParDefaut() + QStringLiteral("/user.js"),
                       "user_pref(\"test.a\", 7);\n");
    const QString preferences = chromium.dossierDonnees() + QStringLiteral("/Default/Preferences");

    const QString page = QDir::home().filePath(QStringLiteral("pages été/p 1.html"));
    support::writeFile(page, "<title>p</title>");
    QCOMPARE(noms(Ecrire_Page_Demarrage(platform::toProgramPath(page))), QByteArray());

    QVERIFY2(chromium.demarrer(), qPrintable(chromium.erreur()));
    QVERIFY2(firefox.demarrer(), qPrintable(firefox.erreur()));
    const QString url = QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded);
    QCOMPARE(firefox.executerScript(QStringLiteral("return gBrowser.currentURI.spec")),
             QJsonValue(url));
    QCOMPARE(firefox.executerScript(QStringLiteral("return Services.prefs.getIntPref('test.a')")),
             QJsonValue(7));
    QVERIFY2(firefox.quitter(), qPrintable(firefox.erreur()));
    QVERIFY2(chromium.attendreUrl(url), qPrintable(chromium.erreur()));
    QCOMPARE(noms(Ecrire_Page_Demarrage(QStringLiteral("\\autre.html"))),
             QByteArray("Chromium/Your Chromium"));
    QVERIFY2(chromium.quitter(), qPrintable(chromium.erreur()));

    QVERIFY(support::readFile(preferences).contains("\"homepage\":\"" + url.toUtf8() + '"'));
}

QTEST_GUILESS_MAIN(TestStartPage)
#include "test_start_page.moc"
