#include "window/common_dialog.h"
#include "window/info.h"
#include "window/traduction_qt.h"
#include "window_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTreeView>
#include <QtTest>

// The program speaks French whatever the session's language: this test runs under LANG=C.
class TestFrancais : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileDialogInFrench();
    void withoutDisplay_data();
    void withoutDisplay();
    void versionInAFreePlaceOfTheAboutWindow();
    void sizeListsAddNothingTyped_data();
    void sizeListsAddNothingTyped();
};

// Qt's own file dialog, opened as the window opens it on a folder holding each kind of file:
// its detail view gives each entry's size, type and date in French.
void TestFrancais::fileDialogInFrench()
{
    QTemporaryDir dossier;
    QVERIFY(QDir(dossier.path()).mkdir(QStringLiteral("Sous-dossier")));
    support::writeFile(dossier.filePath(QStringLiteral("notes.txt")), QByteArray(649, 'a'));
    support::writeFile(dossier.filePath(QStringLiteral("favoris.html")),
                       "<html>" + QByteArray(2264, ' '));
    support::writeFile(dossier.filePath(QStringLiteral("places.sqlite")),
                       QByteArray("SQLite format 3", 16));
    support::writeFile(dossier.filePath(QStringLiteral("defbg.gif")), "GIF89a");
    MSComDlg::CommonDialog proprietes(nullptr);
    proprietes.InitDir = platform::toProgramPath(dossier.path());
    proprietes.Filter = QStringLiteral("Tous|*.*|");

    QStringList lignes, dates;
    QTimer::singleShot(0, [&] {
        QFileDialog *dialogue = nullptr;
        for (QWidget *fenetre : QApplication::topLevelWidgets())
            dialogue = dialogue ? dialogue : qobject_cast<QFileDialog *>(fenetre);
        if (!dialogue)
            return;
        dialogue->setViewMode(QFileDialog::Detail);
        const auto *vue = dialogue->findChild<QTreeView *>(QStringLiteral("treeView"));
        const auto texte = [vue](int ligne, int colonne) {
            return vue->model()->index(ligne, colonne, vue->rootIndex()).data().toString();
        };
        // The folder is read, then the types found, on Qt's own thread; the rows say if not.
        (void)QTest::qWaitFor([&] {
            const int n = vue->model()->rowCount(vue->rootIndex());
            for (int ligne = 0; ligne < n; ++ligne) {
                if (texte(ligne, 2).isEmpty())
                    return false;
            }
            return n == 5;
        });
        for (int ligne = 0; ligne < vue->model()->rowCount(vue->rootIndex()); ++ligne) {
            lignes << texte(ligne, 0) + u'|' + texte(ligne, 1) + u'|' + texte(ligne, 2);
            dates << texte(ligne, 3);
        }
        dialogue->reject();
    });
    MSComDlg::showQtDialog(MSComDlg::DialogKind::Open, proprietes);
    lignes.sort();
    QCOMPARE(lignes.join(u'\n'), QString::fromUtf8("Sous-dossier||Dossier\n"
                                                   "defbg.gif|6 octets|image GIF\n"
                                                   "favoris.html|2,22 Kio|document HTML\n"
                                                   "notes.txt|649 octets|document texte brut\n"
                                                   "places.sqlite|16 octets|base de données "
                                                   "SQLite3"));
    for (const QString &date : dates)
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d$"))
                     .match(date)
                     .hasMatch(),
                 qPrintable(date));
}

void TestFrancais::withoutDisplay_data()
{
    QTest::addColumn<QString>("programme");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("display");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("sortie"); // the start of standard output and error together
    // "~" stands for a no-break space.
    const auto cas = [](const char *nom, const char *programme, const char *argument,
                        const char *display, int code, const char *sortie) {
        QTest::newRow(nom) << QString::fromLatin1(programme) << QString::fromLatin1(argument)
                           << QString::fromLatin1(display) << code
                           << QString::fromUtf8(sortie).replace(u'~', QChar(0xA0));
    };
    cas("window help", SIGNETOR_WINDOW, "--help", "", 0, "Usage~: signetor [--help | --version]\n");
    cas("window -h", SIGNETOR_WINDOW, "-h", ":99", 0, "Usage~: signetor [--help | --version]\n");
    cas("window version", SIGNETOR_WINDOW, "--version", "", 0, "signetor " SIGNETOR_VERSION "\n");
    cas("no display", SIGNETOR_WINDOW, "", "", 1,
        "signetor~: la fenêtre de Signetor a besoin d'un affichage graphique");
    cas("display unreachable", SIGNETOR_WINDOW, "", ":99", 1,
        "signetor~: la fenêtre de Signetor a besoin d'un affichage graphique");
    cas("cli help", SIGNETOR_CLI, "--help", "", 0, "Usage~: signetor-cli [options] SOURCE");
    cas("cli version", SIGNETOR_CLI, "--version", "", 0, "signetor-cli " SIGNETOR_VERSION "\n");
}

// Run as from a terminal without any display: help and version answer, and the window says
// in French that it needs a display.
void TestFrancais::withoutDisplay()
{
    QFETCH(QString, programme);
    QFETCH(QString, argument);
    QFETCH(QString, display);
    QFETCH(int, code);
    QFETCH(QString, sortie);
    QProcessEnvironment environnement = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"})
        environnement.remove(QString::fromLatin1(variable));
    if (!display.isEmpty())
        environnement.insert(QStringLiteral("DISPLAY"), display);
    QProcess processus;
    processus.setProcessEnvironment(environnement);
    processus.setProcessChannelMode(QProcess::MergedChannels);
    processus.start(programme, argument.isEmpty() ? QStringList() : QStringList{argument});
    QVERIFY(processus.waitForFinished(60000));
    const QString texte = QString::fromUtf8(processus.readAll());
    QVERIFY2(texte.startsWith(sortie), qPrintable(texte));
    QCOMPARE(processus.exitStatus(), QProcess::NormalExit);
    QCOMPARE(processus.exitCode(), code);
}

// The version stands where the about window's layout has nothing: no other control covers
// it, and its text fits.
void TestFrancais::versionInAFreePlaceOfTheAboutWindow()
{
    Info info;
    const auto *version = info.findChild<QLabel *>(QStringLiteral("Lbl_Version"));
    QVERIFY(version && info.rect().contains(version->geometry()));
    QCOMPARE(version->text(), QStringLiteral("Version " SIGNETOR_VERSION));
    QVERIFY(version->sizeHint().width() <= version->width());
    for (const QWidget *autre : info.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY2(autre == version || !autre->geometry().intersects(version->geometry()),
                 qPrintable(autre->objectName()));
}

void TestFrancais::sizeListsAddNothingTyped_data()
{
    QTest::addColumn<QString>("liste");
    for (const char *nom : {"Cmb_Link", "Cmb_Titre", "Cmb_Dossier"})
        QTest::newRow(nom) << QString::fromLatin1(nom);
}

// Enter in a size list's field keeps its ten sizes: what was typed is not added to them.
void TestFrancais::sizeListsAddNothingTyped()
{
    QFETCH(QString, liste);
    WindowFixture fixture;
    QComboBox *tailles = fixture.open().findChild<QComboBox *>(liste);
    QVERIFY(tailles);
    const int avant = tailles->count();
    tailles->lineEdit()->clear();
    QTest::keyClicks(tailles->lineEdit(), QStringLiteral("99 pt"));
    QTest::keyClick(tailles->lineEdit(), Qt::Key_Return);
    QCOMPARE(tailles->count(), avant);
    QCOMPARE(tailles->findText(QStringLiteral("99 pt")), -1);
}

int main(int argc, char **argv)
{
    qputenv("LANG", "C");
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LC_NUMERIC", "LC_TIME", "LANGUAGE"})
        qunsetenv(variable);
    QApplication application(argc, argv);
    installerTraductionQt();
    TestFrancais test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_francais.moc"
