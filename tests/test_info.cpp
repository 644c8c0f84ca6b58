#include "window/common_dialog.h"
#include "window/info.h"
#include "window/seams.h"
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

// The about window, and what the program says of itself: its version, its French whatever
// the session's language (this test runs under LANG=C), and its words without a display.
class TestInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { seams::setShellExecuteHandler({}); }

    // A gesture is a control to click or else a key sequence; keys close the window, clicks on
    // Aide and the links leave it open. A right click, or a release off the control, is no click.
    void gestures_closeOrOpenLinks_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("Esc") << QString();
        QTest::newRow("Return") << QString(); // presses Fermer, which holds the focus
        QTest::newRow("Cmd_Help") << QString();
        QTest::newRow("Lbl_email") << "Open|mailto: signetor@example.org||";
        QTest::newRow("Lbl_Web") << "Open|https://signetor.example.org/||";
    }
    void gestures_closeOrOpenLinks()
    {
        QFETCH(QString, call);
        const QLatin1String gesture(QTest::currentDataTag());
        Info info;
        QStringList calls;
        seams::setShellExecuteHandler([&](const seams::ShellExecuteCall &c) {
            QVERIFY(c.owner == &info && c.showCommand == 3); // maximised
            calls << QStringList{c.operation, c.file, c.parameters, c.directory}.join(u'|');
        });
        info.show();
        QVERIFY(QTest::qWaitForWindowActive(&info));
        QWidget *target = info.findChild<QWidget *>(gesture);
        if (!target)
            QTest::keySequence(info.windowHandle(), QKeySequence(gesture));
        else {
            QTest::mouseClick(target, Qt::RightButton);
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(-5, -5));
            QTest::mouseClick(target, Qt::LeftButton);
        }
        QCOMPARE(info.isVisible(), target != nullptr);
        QCOMPARE(calls.join(u'\n'), call);
    }

    void fileDialogInFrench();
    void withoutDisplay_data();
    void withoutDisplay();
    void versionAndSizeLists();
};

// Qt's own file dialog, opened as the window opens it on a folder holding each kind of file:
// its detail view gives each entry's size, type and date in French.
void TestInfo::fileDialogInFrench()
{
    QTemporaryDir dossier;
    QVERIFY(QDir(dossier.path()).mkdir(QStringLiteral("Sous-dossier")));
    for (const auto &[nom, octets] : {std::pair{"notes.txt", QByteArray(649, 'a')},
                                      {"favoris.html", "<html>" + QByteArray(2264, ' ')},
                                      {"places.sqlite", QByteArray("SQLite format 3", 16)},
                                      {"defbg.gif", QByteArray("GIF89a")}})
        support::writeFile(dossier.filePath(QString::fromLatin1(nom)), octets);
    MSComDlg::CommonDialog proprietes(nullptr);
    proprietes.InitDir = platform::toProgramPath(dossier.path());
    QStringList lignes;
    QTimer::singleShot(0, [&] {
        auto *dialogue = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        dialogue->setViewMode(QFileDialog::Detail);
        const auto *vue = dialogue->findChild<QTreeView *>(QStringLiteral("treeView"));
        const auto ligne = [vue](int n) {
            QStringList textes;
            for (int colonne = 0; colonne < 4; ++colonne)
                textes << vue->model()->index(n, colonne, vue->rootIndex()).data().toString();
            return textes.join(u'|');
        };
        // Qt reads the folder, then the types, on its own thread; the rows say if it did not.
        (void)QTest::qWaitFor([&] {
            return vue->model()->rowCount(vue->rootIndex()) == 5 && !ligne(4).contains(u"||");
        });
        for (int n = 0; n < vue->model()->rowCount(vue->rootIndex()); ++n)
            lignes << ligne(n);
        dialogue->reject();
    });
    MSComDlg::showQtDialog(MSComDlg::DialogKind::Open, proprietes);
    lignes.sort();
    const QString date = QStringLiteral("\\|\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d\n");
    QVERIFY2(QRegularExpression(QString::fromUtf8("^Sous-dossier\\|\\|Dossier%1"
                                                  "defbg.gif\\|6 octets\\|image GIF%1"
                                                  "favoris.html\\|2,22 Kio\\|document HTML%1"
                                                  "notes.txt\\|649 octets\\|document texte brut%1"
                                                  "places.sqlite\\|16 octets\\|base de données "
                                                  "SQLite3%1$")
                                    .arg(date))
                 .match(lignes.join(u'\n') + u'\n')
                 .hasMatch(),
             qPrintable(lignes.join(u'\n')));
}

void TestInfo::withoutDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("sortie"); // the start of standard output and error together
    const QString usage = QString::fromUtf8("Usage\u00a0: signetor [--help | --version]\n");
    const QString absent = QString::fromUtf8("signetor\u00a0: la fenêtre de Signetor a besoin "
                                             "d'un affichage graphique");
    const auto cas = [](const char *nom, const char *display, int code, const QString &sortie) {
        const QString argument = QString::fromLatin1(nom).section(u',', 0, 0);
        QTest::newRow(nom) << QString::fromLatin1(display)
                           << (argument.startsWith(u'-') ? argument : QString()) << code << sortie;
    };
    cas("--help", "", 0, usage);
    cas("-h, display unreachable", ":99", 0, usage);
    cas("--version", "", 0, QStringLiteral("signetor " SIGNETOR_VERSION "\n"));
    cas("no display", "", 1, absent);
    cas("display unreachable", ":99", 1, absent);
}

// The window run from a terminal without a display: help and version answer, and the window
// says in French that it needs a display.
void TestInfo::withoutDisplay()
{
    QFETCH(QString, display);
    QFETCH(QString, argument);
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
    processus.start(QStringLiteral(SIGNETOR_WINDOW),
                    argument.isEmpty() ? QStringList() : QStringList{argument});
    QVERIFY(processus.waitForFinished(60000));
    QVERIFY2(QString::fromUtf8(processus.readAll()).startsWith(sortie), qPrintable(sortie));
    QCOMPARE(processus.exitCode(), code);
}

// The about window shows the version where its layout has nothing. Enter in a size list's
// field keeps its ten sizes: what was typed is not added to them.
void TestInfo::versionAndSizeLists()
{
    Info info;
    const auto *version = info.findChild<QLabel *>(QStringLiteral("Lbl_Version"));
    QCOMPARE(version->text(), QStringLiteral("Version " SIGNETOR_VERSION));
    QVERIFY(version->sizeHint().width() <= version->width());
    for (const QWidget *autre : info.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY(autre == version || !autre->geometry().intersects(version->geometry()));

    WindowFixture fixture;
    for (QComboBox *tailles : fixture.open().findChildren<QComboBox *>()) {
        QTest::keyClicks(tailles->lineEdit(), QStringLiteral("99"));
        QTest::keyClick(tailles->lineEdit(), Qt::Key_Return);
        QCOMPARE(tailles->count(), 10);
    }
}

int main(int argc, char **argv)
{
    qputenv("LANG", "C");
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LC_NUMERIC", "LC_TIME", "LANGUAGE"})
        qunsetenv(variable);
    QApplication application(argc, argv);
    installerTraductionQt();
    TestInfo test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_info.moc"
