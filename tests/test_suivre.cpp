#include "platform/folder_watcher.h"
#include "real_browsers.h"
#include "test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

#include <cstdio>

// signetor-cli --suivre run as a process against sources changed under it, the real Firefox
// ESR's included; its page is always compared with what the plain command writes.
class TestSuivre : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dossier;
    QString m_page;
    QProcess m_suivi;
    int m_ecritures = 0;  // the times the page's file was replaced or written
    QByteArray m_erreurs; // the watcher's standard error
    platform::FolderWatcher m_veilleur;

    QString chemin(const QString &nom) const { return m_dossier.filePath(nom); }
    static QByteArray pageNormale(const QString &source, QStringList options = {})
    {
        QProcess cli;
        cli.start(QStringLiteral(SIGNETOR_CLI), options << source << QStringLiteral("-"));
        return cli.waitForFinished(60000) ? cli.readAllStandardOutput() : QByteArray();
    }
    void suivre(const QString &source, const QString &programme = QStringLiteral(SIGNETOR_CLI),
                const QStringList &arguments = {QStringLiteral("--suivre")})
    {
        m_page = chemin(QStringLiteral("page/p.html"));
        QDir().mkpath(chemin(QStringLiteral("page")));
        m_veilleur.watchFolders({chemin(QStringLiteral("page"))});
        m_suivi.start(programme, QStringList(arguments) << source << m_page);
        QVERIFY(m_suivi.waitForStarted());
    }
    // Waits, bounded, for the page to be the plain command's for the same source.
    bool suit(const QString &source)
    {
        const QByteArray attendu = pageNormale(source);
        return QTest::qWaitFor([&] { return support::readFile(m_page) == attendu; }, 20000);
    }
    void arreter()
    {
        ::kill(pid_t(m_suivi.processId()), SIGTERM);
        QVERIFY(m_suivi.waitForFinished(5000));
        QCOMPARE(m_suivi.exitCode(), 0);
        QCOMPARE(QDir(chemin(QStringLiteral("page"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("p.html")});
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dossier.isValid());
        m_ecritures = 0;
        m_erreurs.clear();
        connect(&m_suivi, &QProcess::readyReadStandardError, this,
                [this] { m_erreurs += m_suivi.readAllStandardError(); });
        connect(&m_veilleur, &platform::FolderWatcher::changed, this,
                [this](const QByteArray &nom) { m_ecritures += nom == "p.html"; });
    }
    void cleanup()
    {
        m_veilleur.disconnect(this);
        m_suivi.disconnect(this);
        m_suivi.kill();
        m_suivi.waitForFinished();
        QDir(m_dossier.path()).removeRecursively();
        QDir().mkpath(m_dossier.path());
    }
    void arbreDossiersEtRafale();
    void remplacementsEtDefauts();
    void surveillancesEpuisees();
    void serviceUtilisateur();
    void firefoxReel();
};

// A tree gains a sub-folder with a shortcut and loses one; an idle watcher takes no processor
// time; 1,000 shortcuts written at once give few rewrites and the exact page.
void TestSuivre::arbreDossiersEtRafale()
{
    const QString arbre = chemin(QStringLiteral("Favoris"));
    support::writeFile(arbre + QStringLiteral("/Un.url"), support::shortcut("https://un.example/"));
    suivre(arbre);
    QVERIFY(suit(arbre));
    support::writeFile(arbre + QStringLiteral("/A/B/Deux.url"),
                       support::shortcut("https://deux.example/"));
    QVERIFY(suit(arbre));
    QVERIFY(QFile::remove(arbre + QStringLiteral("/Un.url")));
    QVERIFY(suit(arbre));

    const auto tempsProcesseur = [this] {
        const QStringList champs =
            QString::fromLatin1(
                support::readFile(QStringLiteral("/proc/%1/stat").arg(m_suivi.processId())))
                .section(u')', 1)
                .split(u' ');
        return champs.at(12).toLongLong() + champs.at(13).toLongLong() +
               champs.at(14).toLongLong() + champs.at(15).toLongLong();
    };
    const qint64 avant = tempsProcesseur();
    QTest::qWait(3000);
    QVERIFY2(tempsProcesseur() - avant <= 1, "more than 10 ms of processor time while idle");

    m_ecritures = 0;
    for (int i = 0; i < 1000; ++i)
        support::writeFile(arbre + QStringLiteral("/A/R%1.url").arg(i),
                           support::shortcut("https://r" + QByteArray::number(i) + ".example/"));
    QVERIFY(suit(arbre));
    QVERIFY2(m_ecritures <= 10, qPrintable(QString::number(m_ecritures)));
    arreter();
}

// Chromium's rename, twice; a bookmark file deleted, then damaged, then repaired: the page is
// never worse than the last good one, and each trouble is said once.
void TestSuivre::remplacementsEtDefauts()
{
    const QString source = chemin(QStringLiteral("Default/Bookmarks"));
    const QByteArray original =
        support::readFile(QStringLiteral(SIGNETOR_DATA "/browsers/chromium/Bookmarks"));
    support::writeFile(source, original);
    suivre(source);
    QVERIFY(suit(source));
    for (const char *titre : {"Premier", "Second"}) {
        support::writeFile(source + QStringLiteral(".tmp"),
                           QByteArray(original).replace("\"MDN\"", '"' + QByteArray(titre) + '"'));
        QCOMPARE(std::rename(qPrintable(source + QStringLiteral(".tmp")), qPrintable(source)), 0);
        QVERIFY(suit(source));
        QVERIFY(support::readFile(m_page).contains(titre));
    }
    const QByteArray bonne = support::readFile(m_page);
    const auto dit = [&](const char *texte) {
        return QTest::qWaitFor([&] { return m_erreurs.contains(texte); }, 20000);
    };
    QVERIFY(QFile::remove(source));
    QVERIFY(dit("introuvable"));
    support::writeFile(source, "{ pas du JSON");
    QVERIFY(dit("fichier"));
    support::writeFile(source, "{ pas du JSON");
    QCOMPARE(support::readFile(m_page), bonne);
    support::writeFile(source, original);
    QVERIFY(suit(source));
    const QList<QByteArray> lignes = m_erreurs.trimmed().split('\n');
    QCOMPARE(lignes.size(), 2);
    arreter();
}

// Without enough inotify watches (a user namespace of its own lets the test lower them), the
// watcher says so once and still writes the page.
void TestSuivre::surveillancesEpuisees()
{
    const QString arbre = chemin(QStringLiteral("Favoris"));
    for (const char *dossier : {"A", "B", "C", "D", "A/E", "A/F"})
        support::writeFile(arbre + u'/' + QLatin1String(dossier) + QStringLiteral("/L.url"),
                           support::shortcut("https://l.example/"));
    QProcess essai;
    essai.start(QStringLiteral("unshare"),
                {QStringLiteral("-r"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("echo 3 > /proc/sys/user/max_inotify_watches")});
    if (!essai.waitForFinished() || essai.exitCode() != 0)
        QSKIP("this kernel does not let a test lower its inotify watches");
    suivre(arbre, QStringLiteral("unshare"),
           {QStringLiteral("-r"), QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("echo 3 > /proc/sys/user/max_inotify_watches && exec \"$0\" --suivre "
                           "\"$@\""),
            QStringLiteral(SIGNETOR_CLI)});
    QVERIFY(suit(arbre));
    QVERIFY(QTest::qWaitFor([&] { return m_erreurs.contains("max_user_watches"); }, 20000));
    QCOMPARE(m_erreurs.count("signetor-cli"), 1);
    arreter();
}

// The unit passes systemd-analyze verify and its command line keeps the page; a second
// install replaces the first; --retirer-suivi removes both files.
void TestSuivre::serviceUtilisateur()
{
    const QString arbre = chemin(QStringLiteral("Mes favoris"));
    support::writeFile(arbre + QStringLiteral("/Un.url"), support::shortcut("https://un.example/"));
    const QString config =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_CONFIG_HOME"));
    const QString unite = config + QStringLiteral("/systemd/user/signetor-suivi.service");
    const QString autostart = config + QStringLiteral("/autostart/signetor-suivi.desktop");
    const auto cli = [&](const QStringList &arguments) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nulle"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SIGNETOR_CLI), arguments);
        return p.waitForFinished(60000) && p.exitCode() == 0;
    };
    const QStringList options{QStringLiteral("--titre"),
                              QStringLiteral("Mes \"favoris\" à 100% \\")};
    QVERIFY(cli(QStringList{QStringLiteral("--installer-suivi"), QStringLiteral("--sans-image"),
                            arbre, QStringLiteral("p.html")}));
    QVERIFY(cli(QStringList{QStringLiteral("--installer-suivi")}
                << options << arbre << chemin(QStringLiteral("page/p.html"))));
    QVERIFY(QFileInfo::exists(autostart));
    QProcess verification;
    verification.start(QStringLiteral("systemd-analyze"), {QStringLiteral("verify"), unite});
    QVERIFY(verification.waitForFinished(60000));
    QVERIFY2(verification.exitCode() == 0, verification.readAllStandardError().constData());

    const QString ligne = QString::fromUtf8(support::readFile(unite))
                              .section(QStringLiteral("ExecStart="), 1)
                              .section(u'\n', 0, 0);
    QVERIFY(!ligne.contains(QStringLiteral("sans-image")));
    suivre(QString(), QStringLiteral("sh"),
           {QStringLiteral("-c"),
            QStringLiteral("exec ") +
                QString(ligne).replace(QStringLiteral("%%"), QStringLiteral("%"))});
    QVERIFY(QTest::qWaitFor(
        [&] { return support::readFile(m_page) == pageNormale(arbre, options); }, 20000));
    arreter();
    QVERIFY(cli({QStringLiteral("--retirer-suivi")}));
    QVERIFY(!QFileInfo::exists(unite) && !QFileInfo::exists(autostart));
}

// The real Firefox ESR changes its bookmarks through its own PlacesUtils while it runs: the
// page follows each change, and visits, which only touch history, leave the page's file alone.
void TestSuivre::firefoxReel()
{
    const QString profil = chemin(QStringLiteral("profil"));
    QVERIFY(QDir().mkpath(profil));
    navigateursReels::Firefox firefox;
    QVERIFY2(firefox.demarrer(profil), qPrintable(firefox.erreur()));
    const QString places = profil + QStringLiteral("/places.sqlite");
    QVERIFY(QTest::qWaitFor([&] { return !pageNormale(places).isEmpty(); }, 30000));
    suivre(places);
    QVERIFY(suit(places));
    const QString changements[] = {
        QStringLiteral(
            "PlacesUtils.bookmarks.insert({parentGuid: PlacesUtils.bookmarks.toolbarGuid,"
            " guid: 'suivreAAAAAA', url: 'https://suivi.example/', title: 'Suivi'})"),
        QStringLiteral("PlacesUtils.bookmarks.update({guid: 'suivreAAAAAA', title: 'Renommé'})"),
        QStringLiteral("PlacesUtils.bookmarks.remove('suivreAAAAAA')"),
    };
    const char *attendus[] = {"Suivi", "Renomm", nullptr};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(firefox
                     .executerScript(QStringLiteral("return ") + changements[i] +
                                     QStringLiteral(".then(() => 'ok', e => String(e));"))
                     .toString(),
                 QStringLiteral("ok"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QByteArray page = support::readFile(m_page);
                return attendus[i] ? page.contains(attendus[i]) : !page.contains("suivi.example");
            },
            20000));
        QVERIFY(suit(places));
    }
    m_ecritures = 0;
    QCOMPARE(
        firefox
            .executerScript(QStringLiteral(
                "return PlacesUtils.history.insert({url: 'https://visite.example/', visits: [{}]})"
                ".then(() => 'ok', e => String(e));"))
            .toString(),
        QStringLiteral("ok"));
    QTest::qWait(2000);
    QCOMPARE(m_ecritures, 0);
    arreter();
    QVERIFY2(firefox.quitter(), qPrintable(firefox.erreur()));
}

QTEST_GUILESS_MAIN(TestSuivre)
#include "test_suivre.moc"
