#include "browser/api.h"
#include "platform/paths.h"
#include "real_browsers.h"
#include "test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Points HOME and XDG_CONFIG_HOME at a fresh folder for the life of the object.
struct AutreMaison {
    QTemporaryDir dir;
    const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
    AutreMaison()
    {
        qputenv("HOME", QFile::encodeName(dir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral(".config"))));
    }
    ~AutreMaison()
    {
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", config);
    }
    QString chemin(const char *relatif) const { return dir.filePath(QString::fromUtf8(relatif)); }
};

// "Firefox/a, Chromium/Default", to compare in one go.
QByteArray noms(const QList<ProfilNavigateur> &profils)
{
    QStringList n;
    for (const ProfilNavigateur &p : profils)
        n << p.navigateur + QLatin1Char('/') + p.nom;
    return n.join(QStringLiteral(", ")).toUtf8();
}

QJsonObject json(const QString &chemin)
{
    return QJsonDocument::fromJson(support::readFile(chemin)).object();
}

} // namespace

class TestStartPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void store();
    void profils();
    void entreesHostiles();
    void vraisNavigateurs();
};

// A missing value reads as empty and leaves the store created; every text, blanks and INI
// syntax included, reads back whole; a list written by hand reads as text. A store that
// cannot be used (under a file, a FIFO, its lock held by a folder, over 1 MiB) reads as empty
// and takes no write; a relative XDG_CONFIG_HOME is ignored, and without HOME there is no store.
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
    const QByteArray avecValeur =
        "[Software]\nMicrosoft\\Internet%20Explorer\\Main\\Start%20Page=a, b\n";
    support::writeFile(magasin, avecValeur);
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("a, b"));

    QTemporaryDir autre;
    const QString dans = autre.filePath(QStringLiteral("%1/Signetor/registre.ini"));
    QVERIFY(QDir().mkpath(QFileInfo(dans.arg(1)).path()));
    QCOMPARE(mkfifo(QFile::encodeName(dans.arg(1)).constData(), 0600), 0);
    support::writeFile(dans.arg(2), avecValeur);
    QVERIFY(QDir().mkpath(dans.arg(2) + QStringLiteral(".lock")));
    support::writeFile(dans.arg(3), avecValeur + QByteArray(1024 * 1024, '\n'));
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
    const QByteArray home = qgetenv("HOME");
    qunsetenv("HOME");
    Ecrire_Page_Demarrage(QStringLiteral("C:\\sans-home.html"));
    QCOMPARE(Lire_Page_Demarrage(), QString());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/.config/Signetor/registre.ini")));
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("a, b"));
}

// Profiles in every place and form a browser leaves them, in the order that puts each
// browser's default first; the start page read from the default browser's profile, the
// value in force, the first of several, and a file:// URL as its program path.
void TestStartPage::profils()
{
    AutreMaison m;
    support::copyTree(QStringLiteral(SIGNETOR_DATA "/profils"), m.dir.path());
    QCOMPARE(noms(profilsFirefox()),
             QByteArray("Firefox/défaut, Firefox/a, Firefox/esr, Firefox/ailleurs, Firefox/snap, "
                        "Firefox/flatpak"));
    QCOMPARE(profilsFirefox().at(3).dossier, m.chemin("ailleurs"));
    QCOMPARE(noms(profilsChromium()),
             QByteArray("Chromium/Moi, Chromium/Profile 2, Chromium/Profile 10, Chromium/Bureau, "
                        "Google Chrome/Default, Chromium/Default"));

    // The page the default browser opens, from its profile; the store does not stand in for
    // a browser that opens none (New Tab page, restored session).
    support::writeFile(m.chemin(".config/mimeapps.list"),
                       "[Default Applications]\nx-scheme-handler/http=google-chrome.desktop;\n");
    Ecrire_Page_Demarrage(QStringLiteral("C:\\magasin.html"));
    QCOMPARE(Lire_Page_Demarrage(), QString());
    const QString chrome = m.chemin(".config/google-chrome/Default/Preferences");
    for (const char *restaurer : {"5", "1", "4"}) {
        support::writeFile(chrome, QByteArray(R"({"session":{"restore_on_startup":)") + restaurer +
                                       R"(,"startup_urls":["https://a.fr/"]}})");
        QCOMPARE(Lire_Page_Demarrage(),
                 *restaurer == '4' ? QStringLiteral("https://a.fr/") : QString());
    }
    support::writeFile(m.chemin(".config/google-chrome/Default/Bookmarks"), "{}");
    QCOMPARE(favorisDuNavigateurParDefaut(), m.chemin(".config/google-chrome/Default/Bookmarks"));

    support::writeFile(m.chemin(".config/mimeapps.list"),
                       "[Default Applications]\nx-scheme-handler/http=firefox-esr.desktop\n");
    QCOMPARE(favorisDuNavigateurParDefaut(), QString());
    const QString defaut = m.chemin(".mozilla/firefox/Profiles/b, c/");
    support::writeFile(defaut + QStringLiteral("places.sqlite"), "");
    QCOMPARE(favorisDuNavigateurParDefaut(), defaut + QStringLiteral("places.sqlite"));
    // prefs.js alone; user.js over prefs.js; 0 (blank) and 3 (restored session) open no page;
    // comments are not statements; the first of several pages, a local one as its path.
    const auto page = [](const char *n) {
        return "user_pref('browser.startup.page', " + QByteArray(n) + ");";
    };
    const QByteArray plusieurs = "user_pref(\"browser.startup.homepage\", \"file:///home/u/mes%20"
                                 "pages/%C3%A9t%C3%A9.html  |https://q.fr/\");";
    using Cas = std::tuple<QByteArray, QByteArray, QString>;
    for (const auto &[prefs, user, ouvre] :
         {Cas{{}, {}, QStringLiteral("https://p.fr/")}, Cas{page("3"), {}, {}},
          Cas{page("0"), {}, {}}, Cas{page("3"), page("\n1"), QStringLiteral("https://p.fr/")},
          Cas{{}, "/*" + page("3") + "*/ #" + page("0"), QStringLiteral("https://p.fr/")},
          Cas{{}, plusieurs, QString::fromUtf8("\\home\\u\\mes pages\\été.html  ")},
          Cas{{},
              R"(user_pref("browser.startup.homepage", "https://\u00e9t\u00C9.fr/\"\\\u00e9");)",
              QString::fromUtf8("https://étÉ.fr/\"\\é")}}) {
        support::writeFile(defaut + QStringLiteral("prefs.js"),
                           "user_pref(\"browser.startup.homepage\", \"https://p.fr/\");" + prefs);
        support::writeFile(defaut + QStringLiteral("user.js"), user);
        QCOMPARE(Lire_Page_Demarrage(), ouvre);
    }
    for (const char *page : {"\\srv\\p.html  ", "\\srv\\100% #1?.html"}) {
        QVERIFY(Ecrire_Page_Demarrage(QString::fromUtf8(page)).isEmpty());
        QCOMPARE(Lire_Page_Demarrage(), QString::fromUtf8(page));
    }
}

// Hostile profile files: never a hang, a crash or a broken file. A profile that cannot be
// read, parsed or written is left as it was and reported; the others are written.
void TestStartPage::entreesHostiles()
{
    const QByteArray vivant =
        QSysInfo::machineHostName().toUtf8() + '-' + QByteArray::number(qint64(getpid()));
    struct Cas {
        const char *nom;
        std::function<void(const AutreMaison &)> preparer;
        const char *nonEcrits;
        const char *intact;              // a file that must keep its bytes
        const char *illisible = nullptr; // the profile list named as unreadable
        QByteArray userJs{};             // the user.js expected after the write, when given
    };
    const char *prefs = ".config/chromium/Default/Preferences",
               *user = ".mozilla/firefox/p/user.js", *ini = ".mozilla/firefox/profiles.ini";
    const auto donnee = [](const char *nom) {
        return support::readFile(QStringLiteral(SIGNETOR_DATA "/profils-user-js/") +
                                 QLatin1String(nom));
    };
    const auto ecrire = [](const char *chemin, const QByteArray &octets, mode_t mode = 0644) {
        return [=](const AutreMaison &m) {
            support::writeFile(m.chemin(chemin), octets);
            QCOMPARE(chmod(QFile::encodeName(m.chemin(chemin)).constData(), mode), 0);
        };
    };
    const auto verrou = [](const QByteArray &cible) {
        return [=](const AutreMaison &m) {
            QFile::link(QString::fromUtf8(cible), m.chemin(".config/chromium/SingletonLock"));
        };
    };
    const Cas cas[] = {
        {"profiles.ini corrompu", ecrire(ini, QByteArray("\0[Prof\xff\n=\n=x", 13)), "", ini},
        {"Preferences corrompu", ecrire(prefs, "{\"session\": [1, "), "Chromium/Default", prefs},
        {"session qui n'est pas un objet", ecrire(prefs, "{\"session\": 3}"), "Chromium/Default",
         prefs},
        {"profiles.ini de plus de 1 Mio", ecrire(ini, QByteArray(1024 * 1024 + 1, '\n')), "",
         nullptr, ini},
        // The user's bytes stay as they are, statements over several lines and shared lines
        // included; ours go in one block at the end, where the last value wins.
        {"user.js binaire", ecrire(user, donnee("binaire.js")), "", nullptr, nullptr,
         donnee("binaire-apres.js")},
        {"user.js écrit à la main", ecrire(user, donnee("main.js")), "", nullptr, nullptr,
         donnee("main-apres.js")},
        {"user.js en lecture seule", ecrire(user, "{}", 0444), "Firefox/p", user},
        {"Preferences en lecture seule", ecrire(prefs, "{}", 0444), "Chromium/Default", prefs},
        // As root (sudo -E, cron), the files of another user: see the owner check below.
        {"profils d'un autre utilisateur",
         [=](const AutreMaison &m) {
             const QString proprietaire =
                 QStringLiteral("%1:%1").arg(geteuid() ? geteuid() : 65534);
             QCOMPARE(QProcess::execute(QStringLiteral("chown"),
                                        {QStringLiteral("-R"), proprietaire, m.dir.path()}),
                      0);
             QCOMPARE(chmod(QFile::encodeName(m.chemin(prefs)).constData(), 0600), 0);
         },
         "", nullptr},
        {"user.js dossier", [=](const AutreMaison &m) { QDir().mkpath(m.chemin(user)); },
         "Firefox/p", nullptr},
        {"SingletonLock d'un autre hôte", verrou("autre-hote-1"), "", nullptr},
        {"SingletonLock vivant", verrou(vivant), "Chromium/Default", prefs},
        {"Preferences énorme",
         [=](const AutreMaison &m) {
             QFile f(m.chemin(prefs));
             QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(64 * 1024 * 1024));
         },
         "Chromium/Default", nullptr},
        {"Preferences FIFO",
         [=](const AutreMaison &m) {
             QFile::remove(m.chemin(prefs));
             QCOMPARE(mkfifo(QFile::encodeName(m.chemin(prefs)).constData(), 0600), 0);
         },
         "Chromium/Default", nullptr},
    };
    for (const Cas &c : cas) {
        AutreMaison m;
        support::writeFile(m.chemin(ini), "[Profile0]\nName=p\nIsRelative=1\nPath=p\n");
        QDir().mkpath(m.chemin(".mozilla/firefox/p"));
        support::writeFile(m.chemin(prefs), "{\"x\":1}");
        support::writeFile(m.chemin(".config/mimeapps.list"),
                           "[Default Applications]\nx-scheme-handler/http=chromium.desktop\n");
        c.preparer(m);
        const QByteArray avant = c.intact ? support::readFile(m.chemin(c.intact)) : QByteArray();
        const QFile::Permissions mode = QFileInfo(m.chemin(prefs)).permissions();
        // Twice: a second run gives the same files.
        Ecrire_Page_Demarrage(QStringLiteral("\\srv\\a b\\p\"é.html"));
        const QList<ProfilNavigateur> nonEcrits =
            Ecrire_Page_Demarrage(QStringLiteral("\\srv\\a b\\p\"é.html"));
        QCOMPARE(listesProfilsIllisibles(),
                 c.illisible ? QStringList(m.chemin(c.illisible)) : QStringList());
        QVERIFY2(noms(nonEcrits) == c.nonEcrits, c.nom + QByteArray(" : ") + noms(nonEcrits));
        if (c.intact)
            QVERIFY2(support::readFile(m.chemin(c.intact)) == avant, c.nom);
        if (!c.userJs.isEmpty())
            QCOMPARE(support::readFile(m.chemin(user)), c.userJs);
        // What is replaced keeps its owner and mode; what is made (user.js, the store and its
        // folder) belongs to the owner of its folder.
        QCOMPARE(QFileInfo(m.chemin(prefs)).permissions(), mode);
        for (QDirIterator i(m.dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
             i.hasNext();) {
            const QFileInfo f(i.next()), dossier(f.path());
            QVERIFY2(f.isSymLink() ||
                         (f.ownerId() == dossier.ownerId() && f.groupId() == dossier.groupId()),
                     qPrintable(f.filePath()));
        }
        QVERIFY2(Lire_Page_Demarrage().isEmpty() == QByteArray(c.nonEcrits).contains("Chromium"),
                 c.nom);
        if (!QByteArray(c.nonEcrits).contains("Chromium")) {
            const QJsonObject p = json(m.chemin(prefs));
            QVERIFY2(p[QStringLiteral("x")] == QJsonValue(1) &&
                         p[QStringLiteral("homepage")] ==
                             QJsonValue(QStringLiteral("file:///srv/a%20b/p%22%C3%A9.html")),
                     c.nom);
        }
    }
}

// The real browsers: profiles made by a first start, a web start page set in Firefox shows
// in the window, then after the save both browsers open the page; a running Chromium is not
// written, and after it quits its Preferences still hold the page and the test's own key.
void TestStartPage::vraisNavigateurs()
{
    navigateursReels::Firefox firefox;
    navigateursReels::Chromium chromium;
    // Chromium's first start (it makes its profile on the way) runs beside Firefox's.
    QVERIFY2(chromium.demarrer(), qPrintable(chromium.erreur()));
    QVERIFY2(firefox.creerProfils(), qPrintable(firefox.erreur()));
    support::writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/mimeapps.list"),
                       "[Default Applications]\nx-scheme-handler/http=firefox-esr.desktop;\n");
    QVERIFY2(firefox.demarrer(), qPrintable(firefox.erreur()));
    firefox.executerScript(QStringLiteral("Services.prefs.setStringPref("
                                          "'browser.startup.homepage', 'https://exemple.fr/a')"));
    QVERIFY2(firefox.quitter(), qPrintable(firefox.erreur()));
    QVERIFY2(chromium.quitter(), qPrintable(chromium.erreur()));
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("https://exemple.fr/a"));

    const QString profilFirefox = firefox.profilParDefaut();
    support::writeFile(profilFirefox + QStringLiteral("/user.js"), "user_pref(\"test.a\", 7);\n");
    const QString preferences = chromium.dossierDonnees() + QStringLiteral("/Default/Preferences");
    QJsonObject avant = json(preferences);
    avant.insert(QStringLiteral("test_signetor"), QJsonObject{{QStringLiteral("garde"), 1}});
    support::writeFile(preferences, QJsonDocument(avant).toJson());

    const QString page = QDir::home().filePath(QStringLiteral("pages été/p 1.html"));
    support::writeFile(page, "<title>p</title>");
    QCOMPARE(noms(Ecrire_Page_Demarrage(platform::toProgramPath(page))), QByteArray());
    QCOMPARE(Lire_Page_Demarrage(), platform::toProgramPath(page));

    QVERIFY2(chromium.demarrer(), qPrintable(chromium.erreur()));
    QVERIFY2(firefox.demarrer(), qPrintable(firefox.erreur()));
    QCOMPARE(QUrl(firefox.urlCourante()).toLocalFile(), page);
    QCOMPARE(firefox.executerScript(QStringLiteral("return Services.prefs.getIntPref('test.a')")),
             QJsonValue(7));
    QVERIFY2(firefox.quitter(), qPrintable(firefox.erreur()));
    const QString url = QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded);
    QVERIFY2(chromium.attendreUrl(url), qPrintable(chromium.erreur()));
    QCOMPARE(noms(Ecrire_Page_Demarrage(QStringLiteral("\\autre.html"))),
             QByteArray("Chromium/Your Chromium"));
    QVERIFY2(chromium.quitter(), qPrintable(chromium.erreur()));

    const QJsonObject apres = json(preferences);
    QCOMPARE(apres[QStringLiteral("homepage")].toString(), url);
    QCOMPARE(apres[QStringLiteral("session")][QStringLiteral("startup_urls")][0].toString(), url);
    QCOMPARE(apres[QStringLiteral("test_signetor")], avant[QStringLiteral("test_signetor")]);
}

QTEST_GUILESS_MAIN(TestStartPage)
#include "test_start_page.moc"
