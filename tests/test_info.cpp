// The about window, the look of both windows, and what the program says of itself: its
// version, its French whatever the session's language (this test runs under LANG=C), and its
// words without a display.

#include "window_fixture.h"

#include "browser/api.h"
#include "window/info.h"
#include "window/traduction_qt.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeView>
#include <QtTest>

// Every named control of a window, one line each, indented by depth: class, name, geometry,
// the properties that make its look, font and colours where they differ from its parent's,
// a list's items.
static void decrire(const QWidget *w, QStringList &lignes, const QString &retrait = {})
{
    QStringList champs{
        retrait + QString::fromLatin1(w->metaObject()->className()), w->objectName(),
        QStringLiteral("%1,%2 %3x%4").arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height())};
    for (const char *nom : {"windowTitle", "title", "text", "currentText", "toolTip", "alignment",
                            "wordWrap", "readOnly", "focusPolicy", "default", "autoDefault",
                            "insertPolicy", "autoFillBackground", "cursor", "frameShape"}) {
        const QVariant v = w->property(nom);
        const QString texte =
            v.typeId() == QMetaType::QCursor
                ? QString::number(v.value<QCursor>().shape())
                : v.toString().replace(QStringLiteral(SIGNETOR_VERSION), QStringLiteral("*"));
        if (!QStringList{QString(), QStringLiteral("0"), QStringLiteral("false"),
                         QStringLiteral("NoFrame")}
                 .contains(texte))
            champs << QString::fromLatin1(nom) + u'=' + texte;
    }
    const QWidget *parent = w->parentWidget();
    if (!parent || w->font() != parent->font())
        champs << QStringLiteral("font=") + w->font().toString();
    for (const auto role : {QPalette::WindowText, QPalette::Window})
        if (!parent || w->palette().color(role) != parent->palette().color(role))
            champs << QStringLiteral("couleur%1=").arg(role) + w->palette().color(role).name();
    if (const auto *liste = qobject_cast<const QComboBox *>(w))
        for (int i = 0; i < liste->count(); ++i)
            champs << liste->itemText(i);
    lignes << champs.join(u'|');
    for (const QWidget *enfant : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (!enfant->objectName().isEmpty())
            decrire(enfant, lignes, retrait + QStringLiteral("  "));
}

class TestInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { seams::setShellExecuteHandler({}); }

    // A gesture is a control to click or else a key sequence; keys close the window, clicks on
    // Aide and the links leave it open. A right click, or a release off the control, is no click.
    void gestures_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("Esc") << QString();
        QTest::newRow("Return") << QString(); // presses Fermer, which holds the focus
        QTest::newRow("Cmd_Help") << QString();
        QTest::newRow("Lbl_email") << "Open|mailto: signetor@example.org||";
        QTest::newRow("Lbl_Web") << "Open|https://signetor.example.org/||";
    }

    void gestures()
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

    // The look of both windows, as tests/data/window/fenetres.txt holds it (a size list's
    // insertPolicy among it: Enter in its field adds nothing).
    void apparence()
    {
        WindowFixture fixture;
        Ecrire_Page_Demarrage(QStringLiteral("\\ancienne\\page.html"));
        QStringList lignes;
        decrire(&fixture.open(), lignes);
        decrire(std::make_unique<Info>().get(), lignes);
        const QString attendu = QString::fromUtf8(support::dataFile("window/fenetres.txt"));
        QCOMPARE(lignes, attendu.split(u'\n', Qt::SkipEmptyParts));
    }

    // Qt's own file dialog, opened as the window opens it on tests/data/window/dossier, which holds
    // each kind of file:
    // its detail view gives each entry's size, type and date in French, and its buttons speak it.
    void fileDialogInFrench()
    {
        MSComDlg::CommonDialog proprietes(nullptr);
        proprietes.InitDir =
            platform::toProgramPath(QStringLiteral(SIGNETOR_DATA "/window/dossier"));
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
            lignes << dialogue->findChild<QDialogButtonBox *>()
                          ->button(QDialogButtonBox::Cancel)
                          ->text();
            dialogue->reject();
        });
        MSComDlg::showQtDialog(MSComDlg::DialogKind::Open, proprietes);
        lignes.sort();
        lignes.replaceInStrings(
            QRegularExpression(QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d$")),
            QStringLiteral("jj/mm/aaaa hh:mm"));
        QCOMPARE(lignes, QString::fromUtf8(support::dataFile("window/dialogue.txt"))
                             .split(u'\n', Qt::SkipEmptyParts));
    }

    void withoutDisplay_data()
    {
        QTest::addColumn<QString>("display"); // empty: none
        QTest::addColumn<QString>("sortie");  // the start of standard output and error together
        QTest::addColumn<int>("code");
        const QString usage = QString::fromUtf8("Usage\u00a0: signetor [--help | --version]\n");
        const QString absent = QString::fromUtf8("signetor\u00a0: la fenêtre de Signetor a besoin "
                                                 "d'un affichage graphique");
        QTest::newRow("--help") << QString() << usage << 0;
        QTest::newRow("-h") << ":99" << usage << 0; // display unreachable
        QTest::newRow("--version") << QString() << "signetor " SIGNETOR_VERSION "\n" << 0;
        QTest::newRow("no display") << QString() << absent << 1;
        QTest::newRow("display unreachable") << ":99" << absent << 1;
    }

    // The window run from a terminal without a display: help and version answer, and the window
    // says in French that it needs a display.
    void withoutDisplay()
    {
        QFETCH(QString, display);
        QFETCH(QString, sortie);
        QFETCH(int, code);
        QProcessEnvironment environnement = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"})
            environnement.remove(QString::fromLatin1(variable));
        if (!display.isEmpty())
            environnement.insert(QStringLiteral("DISPLAY"), display);
        QProcess processus;
        processus.setProcessEnvironment(environnement);
        processus.setProcessChannelMode(QProcess::MergedChannels);
        const QString argument = QString::fromLatin1(QTest::currentDataTag());
        processus.start(QStringLiteral(SIGNETOR_WINDOW),
                        argument.startsWith(u'-') ? QStringList{argument} : QStringList());
        QVERIFY(processus.waitForFinished(60000));
        QVERIFY2(QString::fromUtf8(processus.readAll()).startsWith(sortie), qPrintable(sortie));
        QCOMPARE(processus.exitCode(), code);
    }
};

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
