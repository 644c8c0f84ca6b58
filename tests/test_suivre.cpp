#include "platform/folder_watcher.h"
#include "platform/instance_lock.h"
#include "real_browsers.h"
#include "test_support.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <signal.h>

#include <cstdio>

namespace
{
QString t(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
} // namespace

// signetor-cli --suivre as a process, its sources changed under it (by the real Firefox ESR
// too); its page is compared with what the plain command writes for the same source.
class TestSuivre : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dossier;
    const QString m_page = m_dossier.filePath(t("page/p.html"));
    QProcess m_suivi;
    int m_ecritures = 0;  // the times the page's file was replaced
    QByteArray m_erreurs; // the watcher's standard error
    platform::FolderWatcher m_veilleur;

    QString chemin(const char *nom) const { return m_dossier.filePath(t(nom)); }
    static QByteArray pageNormale(const QString &source, QStringList options = {})
    {
        return support::output(t(SIGNETOR_CLI), options << source << t("-"));
    }
    // Starts the watcher: signetor-cli --suivre SOURCE PAGE, or another command that runs it.
    void suivre(const QString &programme, const QStringList &arguments)
    {
        m_ecritures = 0;
        m_erreurs.clear();
        m_suivi.start(programme, arguments);
        QVERIFY(m_suivi.waitForStarted());
    }
    void suivre(const QString &source) { suivre(t(SIGNETOR_CLI), {t("--suivre"), source, m_page}); }
    // Waits, bounded, for the page to be the plain command's.
    bool suit(const QString &source, const QStringList &options = {})
    {
        const QByteArray attendu = pageNormale(source, options);
        return QTest::qWaitFor([&] { return support::readFile(m_page) == attendu; }, 20000);
    }
    bool dit(const char *texte)
    {
        return QTest::qWaitFor([&] { return m_erreurs.contains(texte); }, 20000);
    }
    void arreter()
    {
        ::kill(pid_t(m_suivi.processId()), SIGTERM);
        QVERIFY(m_suivi.waitForFinished(5000) && m_suivi.exitCode() == 0);
        QCOMPARE(QDir(chemin("page")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{t("p.html")});
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(chemin("page")) && m_veilleur.watchFolders({chemin("page")}));
        connect(&m_suivi, &QProcess::readyReadStandardError, this,
                [this] { m_erreurs += m_suivi.readAllStandardError(); });
        connect(&m_veilleur, &platform::FolderWatcher::changed, this,
                [this](const QByteArray &nom) { m_ecritures += nom == "p.html"; });
    }
    void cleanup()
    {
        m_suivi.kill();
        m_suivi.waitForFinished();
    }
    void cleanupTestCase() { support::output(t(SIGNETOR_CLI), {t("--retirer-suivi")}); }
    void serviceSurUnArbre();
    void remplacementsEtDefauts();
    void surveillancesEpuisees();
    void firefoxReel();
};

// The user unit passes systemd-analyze verify; each install stops the watcher it started
// before and starts its own at once. Its ExecStart, run, takes the place of the last, and keeps
// the page of a tree that gains a sub-folder with a shortcut, loses one, rests idle, and gets
// 1,000 shortcuts at once: one rewrite in twenty changes at most, however slowly a loaded
// machine writes them. --retirer-suivi stops it and removes both files, or either alone.
void TestSuivre::serviceSurUnArbre()
{
    const QString arbre = chemin("Mes favoris"), config = qEnvironmentVariable("XDG_CONFIG_HOME");
    support::writeFile(arbre + t("/Un.url"), support::shortcut("https://un.example/"));
    const QString unite = config + t("/systemd/user/signetor-suivi.service");
    const QString autostart = config + t("/autostart/signetor-suivi.desktop");
    const QString verrou = qEnvironmentVariable("XDG_STATE_HOME") + t("/signetor/suivi.lock");
    const auto tenant = [&] { return platform::InstanceLock(verrou).holder(); };
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nulle"); // no user systemd answers
    const QStringList options{t("--titre"), t("Mes \"favoris\" à 100%% `id` $HOME \\")};
    pid_t installe = 0;
    for (const QStringList &premieres : {QStringList{t("--sans-image")}, options}) {
        QCOMPARE(QProcess::execute(t(SIGNETOR_CLI), QStringList{t("--installer-suivi")}
                                                        << premieres << arbre << m_page),
                 0);
        QVERIFY(tenant() > 0 && tenant() != installe);
        installe = tenant();
    }
    QVERIFY(suit(arbre, options));
    QVERIFY(QFile::exists(autostart));
    const QByteArray verifie = support::output(t("systemd-analyze"), {t("verify"), unite});
    QVERIFY2(!verifie.startsWith("echec"), verifie.constData());
    const auto commande = [](const QString &fichier, const QString &cle) {
        return t(support::readFile(fichier))
            .section(cle, 1)
            .section(u'\n', 0, 0)
            .replace(t("%%"), t("%"));
    };
    // In double quotes, sh reads the escapes as both files do once "%%" is undone, then "$$" for
    // systemd (to which "`" is plain), and every "\\" doubled by the desktop entry's strings.
    const QString ligne =
        commande(unite, t("ExecStart=")).replace(t("$$"), t("\\$")).replace(u'`', t("\\`"));
    const auto arguments = [](const QString &l) {
        return support::output(t("sh"), {t("-c"), t("printf '[%s]' ") + l});
    };
    QCOMPARE(arguments(commande(autostart, t("\nExec=")).replace(t("\\\\"), t("\\"))),
             arguments(ligne));
    QVERIFY(!ligne.contains(t("sans-image")));
    suivre(t("sh"), {t("-c"), t("exec ") + ligne});
    QVERIFY(QTest::qWaitFor([&] { return tenant() == m_suivi.processId(); }, 20000));
    support::writeFile(arbre + t("/A/B/Deux.url"), support::shortcut("https://deux.example/"));
    QVERIFY(suit(arbre, options));
    QVERIFY(QFile::remove(arbre + t("/Un.url")) && suit(arbre, options));
    // Idle, the watcher and its children use at most one clock tick of processor time: a
    // bound on the work done, not on how long anything takes.
    const auto tempsProcesseur = [this] { // utime, stime, cutime, cstime in clock ticks
        const QList<QByteArray> champs =
            support::readFile(t("/proc/%1/stat").arg(m_suivi.processId()))
                .split(')')
                .last()
                .split(' ');
        return champs.at(12).toLongLong() + champs.at(13).toLongLong() +
               champs.at(14).toLongLong() + champs.at(15).toLongLong();
    };
    const qint64 avant = tempsProcesseur();
    QTest::qWait(3000);
    QVERIFY2(tempsProcesseur() - avant <= 1, "more than one tick of processor time while idle");
    m_ecritures = 0;
    for (int i = 0; i < 1000; ++i)
        support::writeFile(arbre + t("/A/R%1.url").arg(i),
                           support::shortcut("https://r" + QByteArray::number(i) + ".example/"));
    QVERIFY(suit(arbre, options));
    QVERIFY2(m_ecritures <= 50, qPrintable(QString::number(m_ecritures)));
    const auto retirer = [] { return support::output(t(SIGNETOR_CLI), {t("--retirer-suivi")}); };
    QVERIFY(retirer().contains("arrêté et retiré"));
    QVERIFY(m_suivi.waitForFinished(5000) && m_suivi.exitCode() == 0);
    QVERIFY(!QFile::exists(unite) && !QFile::exists(autostart));
    support::writeFile(autostart, "[Desktop Entry]\n"); // an autostart entry alone
    QVERIFY(retirer().contains("arrêté et retiré") && !QFile::exists(autostart));
    QVERIFY(retirer().contains("aucun suivi n'était installé"));
    // A lock held by what is not an installed watcher, this test, is left alone.
    platform::InstanceLock autre(verrou);
    QVERIFY(autre.acquire({}));
    QCOMPARE(QProcess::execute(t(SIGNETOR_CLI), {t("--retirer-suivi")}), 1);
    QCOMPARE(QProcess::execute(t(SIGNETOR_CLI), {t("--suivre"), t("--unique"), arbre, m_page}), 1);
}

// A bookmark file replaced twice, then deleted, then damaged, then repaired: the page is
// never worse than the last good one, and each trouble is said once. The watcher is given a
// link to it from another folder.
void TestSuivre::remplacementsEtDefauts()
{
    const QString source = chemin("Default/Bookmarks"), lien = chemin("lien/Bookmarks");
    const QByteArray original = support::dataFile("browsers/chromium/Bookmarks");
    const auto remplacer = [&](const QByteArray &octets) { // as Chromium does
        support::writeFile(source + t(".tmp"), octets);
        return std::rename(qPrintable(source + t(".tmp")), qPrintable(source)) == 0;
    };
    QVERIFY(remplacer(original) && QDir().mkpath(chemin("lien")) &&
            QFile::link(t("../Default/Bookmarks"), lien));
    suivre(lien);
    QVERIFY(suit(source));
    for (const QByteArray titre : {"Premier", "Second"})
        QVERIFY(remplacer(QByteArray(original).replace("\"MDN\"", '"' + titre + '"')) &&
                suit(source) && support::readFile(m_page).contains(titre));
    const QByteArray bonne = support::readFile(m_page);
    QVERIFY(QFile::remove(source) && dit("introuvable"));
    QVERIFY(remplacer("{ pas du JSON") && dit("fichier") && remplacer("{ pas du JSON"));
    QCOMPARE(support::readFile(m_page), bonne);
    QVERIFY(remplacer(original) && suit(source));
    QCOMPARE(m_erreurs.count('\n'), 2);
    arreter();
}

// Without enough inotify watches (lowered in a user namespace of the test's own), the watcher
// says so once, however often it rereads, and still keeps the page.
void TestSuivre::surveillancesEpuisees()
{
    const QString arbre = chemin("epuise");
    for (const char *dossier : {"A", "B", "C", "A/D", "A/E"})
        support::writeFile(arbre + u'/' + t(dossier) + t("/L.url"),
                           support::shortcut("https://l.example/"));
    const QString abaisser = t("echo 3 > /proc/sys/user/max_inotify_watches");
    if (QProcess::execute(t("unshare"), {t("-r"), t("sh"), t("-c"), abaisser}) != 0)
        QSKIP("this kernel does not let the test lower its inotify watches");
    suivre(t("unshare"), {t("-r"), t("sh"), t("-c"), abaisser + t(" && exec \"$0\" \"$@\""),
                          t(SIGNETOR_CLI), t("--suivre"), arbre, m_page});
    QVERIFY(suit(arbre) && dit("max_user_watches"));
    support::writeFile(arbre + t("/B/M.url"), support::shortcut("https://m.example/"));
    QVERIFY(suit(arbre));
    QCOMPARE(m_erreurs.count("signetor-cli"), 1);
    arreter();
}

// The real Firefox ESR imports at its first start the bookmark file that --signets made of
// tests/data's places.sqlite and gives back the same bookmarks, dates included, read while it
// runs. Then it adds, renames and removes a bookmark through its PlacesUtils: each change is
// read from Firefox's log, and the page follows it; a visit, history only, leaves the page's file
// alone. Being read does not disturb Firefox: it keeps every bookmark at its clean quit.
void TestSuivre::firefoxReel()
{
    const QString profil = chemin("profil"), places = profil + t("/places.sqlite");
    const QStringList signets{t("--signets")};
    const QByteArray attendu =
        pageNormale(t(SIGNETOR_DATA "/browsers/firefox/places.sqlite"), signets);
    QVERIFY2(attendu.count("<DT><A ") >= 8, attendu.constData());
    support::writeFile(chemin("export.html"), attendu);
    support::writeFile(profil + t("/user.js"),
                       "user_pref(\"browser.places.importBookmarksHTML\", true);\n"
                       "user_pref(\"browser.bookmarks.file\", \"" +
                           chemin("export.html").toUtf8() + "\");\n");
    navigateursReels::Firefox firefox;
    QVERIFY2(firefox.demarrer(profil), qPrintable(firefox.erreur()));
    QVERIFY(QTest::qWaitFor([&] { return pageNormale(places, signets) == attendu; }, 30000));
    suivre(places);
    QVERIFY(suit(places));
    const std::pair<const char *, const char *> etapes[] = {
        {"bookmarks.insert({parentGuid: PlacesUtils.bookmarks.toolbarGuid, guid: 'suivreAAAAAA', "
         "url: 'https://suivi.example/', title: 'Suivi'})",
         "<DT><A HREF=\"https://suivi.example/\" ADD_DATE=\""},
        {"bookmarks.update({guid: 'suivreAAAAAA', title: 'Renomme'})", "\">Renomme</A>"},
        {"bookmarks.remove('suivreAAAAAA')", nullptr},
        {"history.insert({url: 'https://visite.example/', visits: [{}]})", nullptr},
    };
    for (const auto &[script, lu] : etapes) {
        QCoreApplication::processEvents(); // the last step's rewrite is counted with it
        m_ecritures = 0;
        QCOMPARE(
            firefox
                .executerScript(t("return PlacesUtils.%1.then(() => 'ok', String);").arg(t(script)))
                .toString(),
            t("ok"));
        QVERIFY(QFileInfo(places + t("-wal")).size() > 0);
        QVERIFY(suit(places) && (!lu || pageNormale(places, signets).contains(lu)));
    }
    QTest::qWait(2000); // the visit's log writes have settled by now
    QCOMPARE(m_ecritures, 0);
    arreter();
    QVERIFY2(firefox.quitter(), qPrintable(firefox.erreur()));
    QCOMPARE(pageNormale(places, signets), attendu);
}

QTEST_GUILESS_MAIN(TestSuivre)
#include "test_suivre.moc"
