#include "browser/api.h"
#include "page/page_builder.h"
#include "page/page_file.h"
#include "platform/paths.h"
#include "platform/runtime_error.h"
#include "test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(PageOptions)

namespace
{

struct Execution {
    int code = -1;
    QByteArray sortie;
    QString erreurs;
};

Execution lancer(const QStringList &arguments, const QString &dossierTravail,
                 const QString &programme = QStringLiteral(SIGNETOR_CLI))
{
    QProcess processus;
    processus.setWorkingDirectory(dossierTravail);
    processus.start(programme, arguments);
    if (!processus.waitForFinished(120000) || processus.exitStatus() != QProcess::NormalExit)
        qFatal("signetor-cli did not finish normally");
    return {processus.exitCode(), processus.readAllStandardOutput(),
            QString::fromLocal8Bit(processus.readAllStandardError())};
}

// The image the program names by default: defbg.gif beside it when present.
QString imageParDefautDuProgramme()
{
    const QString hote =
        QFileInfo(QStringLiteral(SIGNETOR_CLI)).absolutePath() + QStringLiteral("/defbg.gif");
    return QFileInfo(hote).isFile() ? platform::toProgramPath(hote) : aucuneImage;
}

QStringList lignes(const QByteArray &page)
{
    QStringList resultat = QString::fromLatin1(page).split(QStringLiteral("\r\n"));
    resultat.removeLast(); // after the last CR LF
    return resultat;
}

QStringList contenuDossier(const QString &dossier)
{
    return QDir(dossier).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_racine;
    QString m_favoris; // host path of the favourites tree
    QString m_image;   // host path of an existing GIF file
    QString m_travail; // fresh working folder of the current test

    QByteArray pageAttendue(const PageOptions &options) const
    {
        return contenuPage(Construire_Page(support::programFolder(m_favoris), options));
    }
    static PageOptions optionsParDefaut()
    {
        PageOptions options;
        options.image = imageParDefautDuProgramme();
        return options;
    }

private Q_SLOTS:
    void initTestCase();
    void init();
    void pageEqualsLibraryPage_data();
    void pageEqualsLibraryPage();
    void pathFormsGiveSamePage_data();
    void pathFormsGiveSamePage();
    void optionsReachPage_data();
    void optionsReachPage();
    void dashWritesToStandardOutput();
    void badInputTouchesNothing_data();
    void badInputTouchesNothing();
    void runtimeErrorsExitWithOne_data();
    void runtimeErrorsExitWithOne();
    void startPageWrittenOnlyWhenAsked();
    void defaultImageIsBesideProgram_data();
    void defaultImageIsBesideProgram();
    void helpIsFrenchAndWritesNothing();
};

void TestCli::initTestCase()
{
    QVERIFY(m_racine.isValid());
    m_favoris = m_racine.filePath(QStringLiteral("Favoris"));
    const QString f = m_favoris + QLatin1Char('/');
    const std::pair<const char *, QByteArray> raccourcis[] = {
        {"Wikipédia.url", "https://fr.wikipedia.org/"},
        {"Accueil.URL", "https://www.example.org/?a=1&b=2"},
        {"Actualités/Le Monde.url", "https://www.lemonde.fr/"},
        {"Actualités/Sport/Équipe.url", "https://www.example.com/sport"},
        {"Outils/Web/Html/Référence.url", "https://developer.mozilla.org/fr/"},
        {"Outils/Ελληνικά.url", "https://example.gr/"},
        {"Voyages/Train.url", "https://www.example.net/train"},
    };
    for (const auto &[nom, url] : raccourcis)
        support::writeFile(f + u(nom), support::shortcut(url));
    support::writeFile(f + QStringLiteral("desktop.ini"), "[.ShellClassInfo]\r\n");
    m_image = m_racine.filePath(QStringLiteral("images/fond.gif"));
    support::writeFile(m_image, "GIF89a");
}

void TestCli::init()
{
    m_travail = m_racine.filePath(QString::fromUtf8(QTest::currentTestFunction()) +
                                  QLatin1Char('-') + QString::fromUtf8(QTest::currentDataTag()));
    QDir(m_travail).removeRecursively();
    QVERIFY(QDir().mkpath(m_travail));
}

void TestCli::pageEqualsLibraryPage_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<PageOptions>("attendues");

    QTest::newRow("defauts") << QStringList() << optionsParDefaut();

    PageOptions toutes;
    toutes.titre = u("Mes favoris & « les autres »");
    toutes.Couleur_Fond = RGB(0x10, 0x20, 0x30);
    toutes.Couleur_Titre = RGB(0xA0, 0xB0, 0xC0);
    toutes.Couleur_Dossier = RGB(0x01, 0x02, 0x03);
    toutes.Couleur_Link = RGB(0xFF, 0xEE, 0xDD);
    toutes.Couleur_vLink = RGB(0x00, 0xFF, 0x00);
    toutes.Couleur_aLink = RGB(0x12, 0x34, 0x56);
    toutes.positionLink = 9;
    toutes.positionTitre = 0;
    toutes.positionDossier = 8;
    toutes.image = aucuneImage;
    QTest::newRow("toutes") << QStringList{QStringLiteral("--titre"),
                                           toutes.titre,
                                           QStringLiteral("--couleur-fond"),
                                           QStringLiteral("#102030"),
                                           QStringLiteral("--couleur-titre"),
                                           QStringLiteral("#a0B0c0"),
                                           QStringLiteral("--couleur-dossier"),
                                           QStringLiteral("#010203"),
                                           QStringLiteral("--couleur-lien"),
                                           QStringLiteral("#FFEEDD"),
                                           QStringLiteral("--couleur-lien-visite"),
                                           QStringLiteral("#00FF00"),
                                           QStringLiteral("--couleur-lien-pointe"),
                                           QStringLiteral("#123456"),
                                           QStringLiteral("--taille-liens"),
                                           QStringLiteral("36"),
                                           QStringLiteral("--taille-titre"),
                                           QStringLiteral("7"),
                                           QStringLiteral("--taille-dossiers"),
                                           QStringLiteral("24"),
                                           QStringLiteral("--sans-image")}
                            << toutes;

    PageOptions avecImage = optionsParDefaut();
    avecImage.image = platform::toProgramPath(m_image);
    QTest::newRow("image") << QStringList{QStringLiteral("--image"), m_image} << avecImage;

    PageOptions sansTitre = optionsParDefaut();
    sansTitre.titre.clear();
    QTest::newRow("titre-vide") << QStringList{QStringLiteral("--titre"), QString()} << sansTitre;
}

// The page file is the library's page for the same options, replacing an older, longer file.
void TestCli::pageEqualsLibraryPage()
{
    QFETCH(QStringList, options);
    QFETCH(PageOptions, attendues);
    const QString page = m_travail + QStringLiteral("/page.html");
    support::writeFile(page, QByteArray(200000, 'x'));

    const Execution execution = lancer(options + QStringList{m_favoris, page}, m_travail);

    QCOMPARE(execution.erreurs, QString());
    QCOMPARE(execution.code, 0);
    QCOMPARE(execution.sortie, QByteArray());
    const QByteArray attendu = pageAttendue(attendues);
    QVERIFY(attendu.contains("&#")); // the Greek name went out as character references
    QCOMPARE(support::readFile(page), attendu);
}

void TestCli::pathFormsGiveSamePage_data()
{
    QTest::addColumn<QString>("favoris");
    QTest::addColumn<QString>("page");

    QTest::newRow("absolus") << m_favoris << QStringLiteral("%TRAVAIL%/sortie/page.html");
    QTest::newRow("separateur-final")
        << m_favoris + QLatin1Char('/') << QStringLiteral("sortie/page.html");
    QTest::newRow("relatifs") << QStringLiteral("../Favoris") << QStringLiteral("sortie/page.html");
    QTest::newRow("points") << QStringLiteral("./../Favoris/./")
                            << QStringLiteral("x/../sortie/page.html");
}

// However the folders are named, the page is the one of the absolute favourites folder.
void TestCli::pathFormsGiveSamePage()
{
    QFETCH(QString, favoris);
    QFETCH(QString, page);
    QVERIFY(QDir().mkpath(m_travail + QStringLiteral("/sortie")));
    QVERIFY(QDir().mkpath(m_travail + QStringLiteral("/x")));
    page.replace(QStringLiteral("%TRAVAIL%"), m_travail);
    const QString enTravail =
        m_racine.filePath(QStringLiteral("Favoris/../%1").arg(QFileInfo(m_travail).fileName()));

    const Execution execution = lancer({favoris, page}, enTravail);

    QCOMPARE(execution.erreurs, QString());
    QCOMPARE(execution.code, 0);
    QCOMPARE(support::readFile(m_travail + QStringLiteral("/sortie/page.html")),
             pageAttendue(optionsParDefaut()));
}

void TestCli::optionsReachPage_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("ligne");
    QTest::addColumn<QString>("fragment");

    const auto ligne = [](const char *nom, const char *option, const char *valeur, int numero,
                          const char *fragment) {
        QTest::newRow(nom) << QStringList{u(option), u(valeur)} << numero << u(fragment);
    };
    ligne("couleur-fond", "--couleur-fond", "#102030", 16, "<body bgcolor=\"#102030\"");
    ligne("couleur-minuscules", "--couleur-lien-pointe", "#0a0b0c", 9, "color: #0A0B0C;");
    ligne("taille-liens", "--taille-liens", "36", 7, "font-size: 36pt}");
    ligne("taille-dossiers", "--taille-dossiers", "7", 10, "font-size: 7pt; font-weight");
    ligne("titre", "--titre", "Mes liens", 2, "<title>Mes liens</title>");
}

void TestCli::optionsReachPage()
{
    QFETCH(QStringList, options);
    QFETCH(int, ligne);
    QFETCH(QString, fragment);

    const Execution execution =
        lancer(options + QStringList{m_favoris, QStringLiteral("-")}, m_travail);

    QCOMPARE(execution.code, 0);
    const QString texte = lignes(execution.sortie).value(ligne);
    QVERIFY2(texte.contains(fragment), qPrintable(texte));
}

void TestCli::dashWritesToStandardOutput()
{
    const Execution execution = lancer({m_favoris, QStringLiteral("-")}, m_travail);

    QCOMPARE(execution.erreurs, QString());
    QCOMPARE(execution.code, 0);
    QCOMPARE(execution.sortie, pageAttendue(optionsParDefaut()));
    QCOMPARE(contenuDossier(m_travail), QStringList());
}

void TestCli::badInputTouchesNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString fav = QStringLiteral("%FAV%");
    const QString page = QStringLiteral("page.html");
    const QString demarrage = QStringLiteral("--page-demarrage");
    const auto ligne = [&](const char *nom, QStringList options, const char *message) {
        QTest::newRow(nom) << options << u(message);
    };
    ligne("option-inconnue", {QStringLiteral("--couleur"), QStringLiteral("#000000"), fav, page},
          "option inconnue : --couleur");
    ligne("couleur-sans-diese",
          {demarrage, QStringLiteral("--couleur-fond"), QStringLiteral("FFFF9F"), fav, page},
          "« FFFF9F » n'est pas une couleur de la forme #RRGGBB");
    ligne("couleur-courte", {QStringLiteral("--couleur-lien"), QStringLiteral("#FFF"), fav, page},
          "--couleur-lien : « #FFF »");
    ligne("couleur-non-hexa",
          {QStringLiteral("--couleur-dossier"), QStringLiteral("#GG0000"), fav, page},
          "n'est pas une couleur");
    ligne("taille-hors-liste",
          {demarrage, QStringLiteral("--taille-liens"), QStringLiteral("11"), fav, page},
          "« 11 » n'est pas une taille de la liste (7 8 9 10 12 14 16 18 24 36)");
    ligne("taille-zero-devant", {QStringLiteral("--taille-titre"), QStringLiteral("09"), fav, page},
          "n'est pas une taille");
    ligne("taille-avec-unite",
          {QStringLiteral("--taille-dossiers"), QStringLiteral("9pt"), fav, page},
          "n'est pas une taille");
    ligne("aucun-argument", {}, "il manque le dossier des favoris et le fichier de la page");
    ligne("page-manquante", {demarrage, fav}, "il manque le fichier de la page");
    ligne("argument-de-trop", {fav, page, QStringLiteral("autre.html")},
          "argument de trop : « autre.html »");
    ligne("valeur-manquante", {fav, page, QStringLiteral("--titre")},
          "l'option --titre attend une valeur");
    ligne("interrupteur-avec-valeur", {QStringLiteral("--sans-image=oui"), fav, page},
          "l'option --sans-image ne prend pas de valeur");
    ligne("image-et-sans-image",
          {QStringLiteral("--image"), QStringLiteral("%IMG%"), QStringLiteral("--sans-image"), fav,
           page},
          "--image et --sans-image s'excluent");
    ligne("demarrage-sur-sortie", {demarrage, fav, QStringLiteral("-")},
          "la sortie standard ne peut pas devenir la page de démarrage");
    ligne("dossier-absent", {demarrage, QStringLiteral("absent"), page},
          "le dossier des favoris « absent » n'existe pas");
    ligne("dossier-vide", {QString(), page}, "le chemin du dossier des favoris est vide");
    ligne("dossier-fichier", {QStringLiteral("%IMG%"), page}, "n'existe pas");
    ligne("image-absente",
          {demarrage, QStringLiteral("--image"), QStringLiteral("absente.gif"), fav, page},
          "l'image de fond « absente.gif » n'est pas un fichier existant");
    ligne("image-dossier", {QStringLiteral("--image"), QStringLiteral("%FAV%"), fav, page},
          "n'est pas un fichier existant");
}

// Exit 2 and a French message; the existing page, the folder and the start page keep all.
void TestCli::badInputTouchesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    arguments.replaceInStrings(QStringLiteral("%FAV%"), m_favoris);
    arguments.replaceInStrings(QStringLiteral("%IMG%"), m_image);
    const QByteArray ancienne = "<html>ancienne page</html>\r\n";
    support::writeFile(m_travail + QStringLiteral("/page.html"), ancienne);
    Ecrire_Page_Demarrage(QStringLiteral("\\ancienne\\demarrage.html"));

    const Execution execution = lancer(arguments, m_travail);

    QCOMPARE(execution.code, 2);
    QVERIFY2(execution.erreurs.startsWith(QStringLiteral("signetor-cli : ")),
             qPrintable(execution.erreurs));
    QVERIFY2(execution.erreurs.contains(message), qPrintable(execution.erreurs));
    QVERIFY(execution.erreurs.contains(QStringLiteral("signetor-cli --help")));
    QCOMPARE(execution.sortie, QByteArray());
    QCOMPARE(contenuDossier(m_travail), QStringList{QStringLiteral("page.html")});
    QCOMPARE(support::readFile(m_travail + QStringLiteral("/page.html")), ancienne);
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("\\ancienne\\demarrage.html"));
}

void TestCli::runtimeErrorsExitWithOne_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("numero"); // -1: any number

    QTest::newRow("dossier-de-la-page-absent")
        << QStringLiteral("absent/page.html") << int(platform::RuntimeError::PathNotFound);
    QTest::newRow("page-est-un-dossier") << QStringLiteral("dossier") << -1;
}

// A page that cannot be written: the run-time error's number and description, exit 1, and
// the start page left as it was.
void TestCli::runtimeErrorsExitWithOne()
{
    QFETCH(QString, page);
    QFETCH(int, numero);
    QVERIFY(QDir(m_travail).mkdir(QStringLiteral("dossier")));
    Ecrire_Page_Demarrage(QStringLiteral("\\ancienne\\demarrage.html"));

    const Execution execution =
        lancer({QStringLiteral("--page-demarrage"), m_favoris, page}, m_travail);

    QCOMPARE(execution.code, 1);
    if (numero >= 0) {
        const platform::RuntimeError erreur(numero, platform::RuntimeError::describe(numero));
        QCOMPARE(execution.erreurs, erreur.message() + QLatin1Char('\n'));
    }
    QVERIFY2(execution.erreurs.startsWith(u("Erreur d'exécution '")),
             qPrintable(execution.erreurs));
    QVERIFY(!execution.erreurs.trimmed().endsWith(QLatin1Char(':'))); // a description follows
    QCOMPARE(contenuDossier(m_travail), QStringList{QStringLiteral("dossier")});
    QCOMPARE(contenuDossier(m_travail + QStringLiteral("/dossier")), QStringList());
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("\\ancienne\\demarrage.html"));
}

void TestCli::startPageWrittenOnlyWhenAsked()
{
    const QString page = m_travail + QStringLiteral("/Ma page.html");
    Ecrire_Page_Demarrage(QStringLiteral("\\ancienne\\demarrage.html"));

    QCOMPARE(lancer({m_favoris, page}, m_travail).code, 0);
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("\\ancienne\\demarrage.html"));

    QCOMPARE(lancer({m_favoris, QStringLiteral("Ma page.html"), QStringLiteral("--page-demarrage")},
                    m_travail)
                 .code,
             0);
    QCOMPARE(Lire_Page_Demarrage(), platform::toProgramPath(page));
    QCOMPARE(support::readFile(page), pageAttendue(optionsParDefaut()));
}

void TestCli::defaultImageIsBesideProgram_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("avecFond");

    QTest::newRow("par-defaut") << QStringList() << true;
    QTest::newRow("sans-image") << QStringList{QStringLiteral("--sans-image")} << false;
}

// A copy of the program with defbg.gif beside it names that file unless told otherwise.
void TestCli::defaultImageIsBesideProgram()
{
    QFETCH(QStringList, options);
    QFETCH(bool, avecFond);
    const QString programme = m_travail + QStringLiteral("/programme/signetor-cli");
    QVERIFY(QDir().mkpath(QFileInfo(programme).absolutePath()));
    QVERIFY(QFile::copy(QStringLiteral(SIGNETOR_CLI), programme));
    const QString fond = m_travail + QStringLiteral("/programme/defbg.gif");
    support::writeFile(fond, "GIF89a");

    const Execution execution =
        lancer(options + QStringList{m_favoris, QStringLiteral("-")}, m_travail, programme);

    QCOMPARE(execution.code, 0);
    const QString attendue = avecFond
                                 ? QStringLiteral("<body bgcolor=\"#FFFF9F\" background=\"%1\">")
                                       .arg(platform::toProgramPath(fond))
                                 : QStringLiteral("<body bgcolor=\"#FFFF9F\">");
    QCOMPARE(lignes(execution.sortie).value(16), attendue);
}

void TestCli::helpIsFrenchAndWritesNothing()
{
    for (const QString &option : {QStringLiteral("-h"), QStringLiteral("--help")}) {
        const Execution execution = lancer({option}, m_travail);
        QCOMPARE(execution.code, 0);
        const QString aide = QString::fromLocal8Bit(execution.sortie);
        QVERIFY(aide.startsWith(
            QStringLiteral("Usage : signetor-cli [options] DOSSIER_FAVORIS FICHIER_PAGE\n")));
        for (const char *nom : {"--titre", "--image", "--sans-image", "--couleur-fond",
                                "--couleur-titre", "--couleur-dossier", "--couleur-lien",
                                "--couleur-lien-visite", "--couleur-lien-pointe", "--taille-liens",
                                "--taille-titre", "--taille-dossiers", "--page-demarrage"})
            QVERIFY2(aide.contains(QString::fromLatin1(nom) + QLatin1Char(' ')), nom);
        QVERIFY(aide.contains(u("par défaut #FFFF9F")));
        QVERIFY(aide.contains(u("par défaut « Internet Explorer - Favoris »")));
    }
    QCOMPARE(contenuDossier(m_travail), QStringList());
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
