#include "browser/api.h"
#include "page/page_builder.h"
#include "page/page_file.h"
#include "platform/paths.h"
#include "test_support.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// Every run is of a copy of signetor-cli with defbg.gif beside it, in a fresh working
// folder beside the favourites tree.
class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_racine;
    QString m_favoris, m_programme, m_travail, m_erreurs;
    QByteArray m_sortie;

    // Runs the program with these arguments, separated by blanks; "%BAD" stands for a last
    // argument with a byte that is not UTF-8. As root, asNobody runs it as user nobody.
    int lancer(const QString &arguments, bool asNobody = false)
    {
        QProcess processus;
        if (asNobody)
            support::runAsNobody(processus);
        QStringList liste = arguments.split(QLatin1Char(' '));
        const QString script = liste.removeAll(QStringLiteral("%BAD"))
                                   ? QStringLiteral("exec \"$0\" \"$@\" \"$(printf 'bad\\377')\"")
                                   : QStringLiteral("exec \"$0\" \"$@\"");
        processus.start(QStringLiteral("/bin/sh"),
                        QStringList{QStringLiteral("-c"), script, m_programme} + liste);
        processus.waitForFinished(120000);
        m_sortie = processus.readAllStandardOutput();
        m_erreurs = QString::fromUtf8(processus.readAllStandardError());
        return processus.exitStatus() == QProcess::NormalExit ? processus.exitCode() : -1;
    }
    QByteArray pageDe(const PageOptions &options) const
    {
        return contenuPage(Construire_Page(m_favoris, options));
    }

private Q_SLOTS:
    void initTestCase();
    void init();
    void pageAsTheLibraryMakesIt();
    void otherRunsTouchNothing_data();
    void otherRunsTouchNothing();
    void replacedPageKeepsOwnerAndMode();
    void linkInStickyFolder_runAsNobodyForASecondUser_data();
    void linkInStickyFolder_runAsNobodyForASecondUser();
};

void TestCli::initTestCase()
{
    m_favoris = m_racine.filePath(QStringLiteral("Favoris"));
    for (const char *nom : {"Wikipédia.url", "Actualités/Sport/Équipe.URL", "Outils/Ελληνικά.url"})
        support::writeFile(m_favoris + QLatin1Char('/') + QString::fromUtf8(nom),
                           support::shortcut("https://example.org/?a=1&b=2"));
    support::writeFile(m_racine.filePath(QStringLiteral("fond.gif")), "GIF89a");
    support::writeFile(m_racine.filePath(QStringLiteral("Bookmarks")), "{\"roots\": {\"other\": {");
    support::writeFile(m_racine.filePath(QStringLiteral("Bookmarks-wal")), "journal");
    support::writeFile(m_racine.filePath(QStringLiteral("prog/defbg.gif")), "GIF89a");
    m_programme = m_racine.filePath(QStringLiteral("prog/signetor-cli"));
    QVERIFY(chmod(QFile::encodeName(m_racine.path()).constData(), 0755) == 0);
    QVERIFY(QFile::copy(QStringLiteral(SIGNETOR_CLI), m_programme));
}

// Each test starts in an empty working folder beside the tree, with a known start page.
void TestCli::init()
{
    static int numero = 0;
    m_travail = m_racine.filePath(QString::number(++numero));
    QVERIFY(QDir().mkpath(m_travail) && QDir::setCurrent(m_travail));
    Ecrire_Page_Demarrage(QStringLiteral("\\ancienne.html"));
}

// The page is, byte for byte, the library's page of the absolute favourites folder with the
// same look, on standard output or in a file; the start page changes only when asked.
// --profils lists the profiles.
void TestCli::pageAsTheLibraryMakesIt()
{
    const QString page = m_travail + QStringLiteral("/p");
    PageOptions o;
    o.image = platform::toProgramPath(m_racine.filePath(QStringLiteral("prog/defbg.gif")));
    // A "\\" is part of a host name, here that of a link to the tree.
    const QString lien = m_racine.filePath(QStringLiteral("Fav\\oris"));
    QVERIFY(QFile::exists(lien) || QFile::link(m_favoris, lien));
    QCOMPARE(lancer(lien + QStringLiteral(" -")), 0);
    QCOMPARE(m_sortie, pageDe(o));
    QVERIFY(QDir(m_travail).isEmpty());

    o.image = platform::toProgramPath(m_racine.filePath(QStringLiteral("fond.gif")));
    QCOMPARE(lancer(QStringLiteral("--image ../fond.gif ./../Favoris/./ x/../c:\\p")), 0);
    QCOMPARE(support::readFile(m_travail + QStringLiteral("/c:\\p")), pageDe(o));
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("\\ancienne.html"));

    PageOptions toutes{0x302010, 0xC0B0A0, 0x030201, 0xDDEEFF, 0x00FF00, 0x563412, 0, 8, 9};
    toutes.titre = QString::fromUtf8("T&«é»");
    toutes.image = aucuneImage;
    const QString options = QString::fromUtf8(
        "--titre T&«é» --couleur-fond #102030 --couleur-titre #a0B0c0 --couleur-dossier #010203 "
        "--couleur-lien #FFEEDD --couleur-lien-visite #00FF00 --couleur-lien-pointe #123456 "
        "--taille-liens 36 --taille-titre 7 --taille-dossiers 24 --sans-image --page-demarrage");
    QCOMPARE(lancer(options + QStringLiteral(" ../Favoris p")), 0);
    QCOMPARE(support::readFile(page), pageDe(toutes));
    QCOMPARE(Lire_Page_Demarrage(), platform::toProgramPath(page));

    // A profile that a running Chromium holds is not written, and the run says so.
    const QString chromium = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/chromium");
    QVERIFY(QDir().mkpath(chromium + QStringLiteral("/Default")));
    QVERIFY(QFile::link(QSysInfo::machineHostName() + QLatin1Char('-') +
                            QString::number(QCoreApplication::applicationPid()),
                        chromium + QStringLiteral("/SingletonLock")));
    QCOMPARE(lancer(QStringLiteral("--page-demarrage ../Favoris p")), 0);
    QCOMPARE(m_erreurs, QString::fromUtf8("signetor-cli\u00a0: avertissement\u00a0: la page de "
                                          "démarrage n'a pas pu être inscrite dans le profil "
                                          "«\u00a0Default\u00a0» de Chromium.\n"));
    // --profils gives each profile's bookmark file, the path to pass as SOURCE, or "(aucun)".
    const QString firefox =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/mozilla/firefox");
    support::copyTree(QStringLiteral(SIGNETOR_DATA "/firefox-un-profil"), firefox);
    QCOMPARE(lancer(QStringLiteral("--profils")), 0);
    QCOMPARE(QString::fromUtf8(m_sortie), QStringLiteral("Firefox\ta\t%1/a/places.sqlite\n"
                                                         "Chromium\tDefault\t(aucun)\n")
                                              .arg(firefox));
    QVERIFY(QDir(chromium).removeRecursively() &&
            QDir(firefox + QStringLiteral("/../..")).removeRecursively());
}

void TestCli::otherRunsTouchNothing_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QByteArray lignes = support::dataFile("cli/refus.txt");
    QVERIFY(lignes.contains('\t'));
    for (const QByteArray &ligne : lignes.split('\n')) {
        const QList<QByteArray> champs = ligne.split('\t');
        if (champs.size() == 3 && !ligne.startsWith('#'))
            QTest::newRow(champs[1].constData())
                << QString::fromUtf8(champs[1]) << champs[0].toInt()
                << QString::fromUtf8(champs[2])
                       .replace(u'~', QChar(0xA0))
                       .replace(QStringLiteral("\\n"), QStringLiteral("\n"))
                       .replace(QStringLiteral("%V"), QStringLiteral(SIGNETOR_VERSION))
                       .replace(QStringLiteral("%D"), QStringLiteral(SIGNETOR_DATA));
    }
}

// Help on standard output; bad input: exit 2 and a French message. The old page and the
// start page keep all.
void TestCli::otherRunsTouchNothing()
{
    QFETCH(QString, arguments);
    QFETCH(int, code);
    QFETCH(QString, message);
    support::writeFile(m_travail + QStringLiteral("/p"), "ancienne");
    arguments.replace(QStringLiteral("%C"), m_racine.filePath(QStringLiteral("Bookmarks")))
        .replace(QStringLiteral("%D"), QStringLiteral(SIGNETOR_DATA));
    QCOMPARE(lancer(arguments.replace(QStringLiteral("%F"), m_favoris)), code);
    QVERIFY2((code ? m_erreurs : QString::fromUtf8(m_sortie) + m_erreurs).contains(message),
             qPrintable(m_erreurs));
    QCOMPARE(m_erreurs.contains(QString::fromUtf8("Pour l'aide\u00a0: signetor-cli --help")),
             code == 2);
    QCOMPARE(QDir(m_travail).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("p")});
    QCOMPARE(support::readFile(m_travail + QStringLiteral("/p")), "ancienne");
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("\\ancienne.html"));
    QCOMPARE(support::readFile(m_racine.filePath(QStringLiteral("Bookmarks-wal"))), "journal");
}

// A replaced page keeps its mode, group and owner. Where only the file, not its folder, can be
// written, the page is rewritten in place, and a longer former page leaves nothing behind.
void TestCli::replacedPageKeepsOwnerAndMode()
{
    const QString page = m_travail + QStringLiteral("/p");
    support::writeFile(page, QByteArray(100000, 'x'));
    const QByteArray hote = QFile::encodeName(page);
    const bool root = geteuid() == 0;
    const uid_t proprietaire = root ? 65534 : geteuid();
    const gid_t groupe = root ? 33 : getegid();
    QVERIFY(chown(hote.constData(), proprietaire, groupe) == 0 &&
            chmod(hote.constData(), 0640) == 0);
    QVERIFY(chmod(QFile::encodeName(m_travail).constData(), 0555) == 0);
    const auto rendre = qScopeGuard([&] { chmod(QFile::encodeName(m_travail).constData(), 0755); });
    QCOMPARE(lancer(QStringLiteral("../Favoris p"), true), 0);
    QVERIFY(support::readFile(page).startsWith("<html>") &&
            support::readFile(page).endsWith("</html>\r\n"));
    QCOMPARE(lancer(QStringLiteral("../Favoris p")), 0);
    struct stat st;
    QVERIFY(stat(hote.constData(), &st) == 0);
    QCOMPARE(std::make_tuple(st.st_uid, st.st_gid, st.st_mode & 07777),
             std::make_tuple(proprietaire, groupe, mode_t(0640)));
    QCOMPARE(QDir(m_travail).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("p")});
}

void TestCli::linkInStickyFolder_runAsNobodyForASecondUser_data()
{
    QTest::addColumn<uid_t>("linkOwner");
    QTest::addColumn<bool>("followed");
    // Not root: the run is by this user, who owns the folder too, and no other link owner
    // can be planted.
    const uid_t moi = geteuid() ? geteuid() : 65534;
    QTest::newRow("the user's own link") << moi << true;
    if (geteuid() != 0) {
        qInfo("not root: the rows of a second user's link are left out");
        return;
    }
    QTest::newRow("another user's link") << uid_t(1) << false;
    QTest::newRow("the folder owner's link") << uid_t(0) << true;
}

// Run as nobody, a page named through a link in a sticky folder that everyone may write is
// written through only when the link is nobody's own or the folder owner's (root's); another
// user's link is refused with a run-time error and its target keeps its bytes.
void TestCli::linkInStickyFolder_runAsNobodyForASecondUser()
{
    QFETCH(uid_t, linkOwner);
    QFETCH(bool, followed);
    const QString cible = m_travail + QStringLiteral("/victime/.bashrc");
    QCOMPARE(
        std::system(qPrintable(
            QStringLiteral("cd '%1' && chmod 755 . && mkdir -m 1777 partage && mkdir victime && "
                           "echo a > victime/.bashrc && chown -R %3 victime && "
                           "ln -s \"$PWD/victime/.bashrc\" partage/p && chown -h %2 partage/p")
                .arg(m_travail)
                .arg(linkOwner)
                .arg(geteuid() ? geteuid() : 65534))),
        0);
    QCOMPARE(lancer(QStringLiteral("../Favoris partage/p"), true), followed ? 0 : 1);
    QCOMPARE(support::readFile(cible).startsWith("<html>"), followed);
    QVERIFY(m_erreurs.contains(QStringLiteral("Erreur d'exécution '70'")) != followed);
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
