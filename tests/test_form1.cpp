// The main window driven offscreen: its defaults, the save and preview commands, closing, and
// the keyboard.

#include "window_fixture.h"

#include "browser/api.h"
#include "page/page_generator.h"
#include "platform/virtual_store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

class TestForm1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:

    void defaults()
    {
        // The default look is the page's default look; a "defbg.gif" beside the program is the
        // default image. Where "C:\Windows\Favoris\" names nothing, the window starts on the
        // default browser's bookmarks and shows the start page set in that browser.
        WindowFixture f;
        Form1 &form = f.open();
        QCOMPARE(Generer_Page({}, form.optionsPage()), Generer_Page({}, PageOptions()));
        support::writeFile(f.host(QStringLiteral("defbg.gif")), "GIF89a");
        const QString firefox = QDir::homePath() + QStringLiteral("/.mozilla/firefox");
        support::copyTree(QStringLiteral(SIGNETOR_DATA "/firefox-un-profil"), firefox);
        form.Form_Load();
        QCOMPARE(QStringList({form.Chemin_Favoris, form.Txt[0]->text(), form.Txt[1]->text(),
                              form.Txt[2]->text()}),
                 QStringList({platform::toProgramPath(firefox + QStringLiteral("/a/places.sqlite")),
                              firefox + QStringLiteral("/a/places.sqlite"),
                              QStringLiteral("https://exemple.fr/"),
                              f.host(QStringLiteral("defbg.gif"))}));
        QVERIFY(QDir(firefox).removeRecursively());
    }

    void save_data()
    {
        QTest::addColumn<QString>("name"); // below the temporary folder, or as it stands
        QTest::addColumn<int>("answer");   // to the overwrite question: 0 none, 1 OK, 2 Cancel
        QTest::addColumn<Qt::CheckState>("startPage");
        QTest::addColumn<QString>("box"); // style and prompt of the message box, if any
        const QString remplacer = QStringLiteral("33|Ce fichier existe, voulez-vous le remplacer?");
        QTest::newRow("new file, ticked") << "page" << 0 << Qt::Checked << QString();
        QTest::newRow("existing file, OK, greyed")
            << "page" << 1 << Qt::PartiallyChecked << remplacer;
        QTest::newRow("existing file, Cancel, ticked") << "page" << 2 << Qt::Checked << remplacer;
        // A page path that this host cannot name ends the program as the run-time would.
        const QString erreur = QStringLiteral("16|Erreur d'exécution '%1'");
        QTest::newRow("a drive alone") << "C:" << 0 << Qt::Checked << erreur.arg(76);
        QTest::newRow("a lone surrogate")
            << QStringLiteral("\\p") + QChar(0xD800) << 0 << Qt::Checked << erreur.arg(52);
    }

    void save()
    {
        QFETCH(QString, name);
        QFETCH(int, answer);
        QFETCH(Qt::CheckState, startPage);
        QFETCH(QString, box);
        WindowFixture f;
        const QString before = QStringLiteral("\\ancienne\\page.html"),
                      chosen = name == u"page" ? f.program(name) : name;
        Ecrire_Page_Demarrage(before);
        Form1 &form = f.open();
        form.Chk_Demarrage->setCheckState(startPage);
        if (answer)
            support::writeFile(f.host(QStringLiteral("page")), "ancien");
        f.answers << DialogAnswer::file(chosen);
        f.boxAnswer = answer;

        form.Cmd_Recherche_Fichier_Click();
        const bool written = answer < 2 && name == u"page";
        QCOMPARE(f.boxes.size(), int(!box.isEmpty()));
        QVERIFY2(box.isEmpty() ||
                     (QString::number(f.boxes[0].style) + u'|' + f.boxes[0].prompt).startsWith(box),
                 qPrintable(f.boxes.value(0).prompt));
        QCOMPARE(f.endings, QList<int>(box.startsWith(u"16") ? 1 : 0, 1));
        const QByteArray page = support::readFile(f.host(QStringLiteral("page")));
        QVERIFY(written
                    ? page.contains("example.org/Moteurs/recherche") && page.endsWith("</html>\r\n")
                    : page == (answer ? "ancien" : ""));
        QCOMPARE(Lire_Page_Demarrage(), written && startPage == Qt::Checked ? chosen : before);

        // The next dialog proposes this result, with no extension added; cancelling it writes
        // nothing and empties the name.
        form.Cmd_Recherche_Fichier_Click();
        QCOMPARE(f.dialogs.last().section(u'|', 2, 2), answer < 2 ? chosen : QString());
        QVERIFY(form.Nom_Fichier.isEmpty());
        QCOMPARE(QDir(f.root.path()).entryList(QDir::Files),
                 written || answer ? QStringList(QStringLiteral("page")) : QStringList());
    }

    void previewFileLife()
    {
        WindowFixture f;
        Form1 &form = f.open();
        form.Cmd_Shell_IE->click();
        QVERIFY(support::readFile(f.previewHost()).contains("example.org/accueil"));
        QCOMPARE(f.shells.value(0).operation + u' ' + f.shells.value(0).file,
                 QStringLiteral("open ") + f.programFolder + QStringLiteral("\\TEMP.HTML"));
        // The next save removes it, even when its dialog is cancelled; so does closing the window.
        form.Cmd_Recherche_Fichier->click();
        QVERIFY(!QFile::exists(f.previewHost()));
        form.Cmd_Shell_IE->click();
        QVERIFY(form.close() && !QFile::exists(f.previewHost()));
        // So does a termination signal, through the same closing.
        form.show();
        form.Cmd_Shell_IE->click();
        std::raise(SIGTERM);
        QTRY_VERIFY(!form.isVisible());
        QVERIFY(!QFile::exists(f.previewHost()));
        // Where the program's folder cannot be written, the file lives in the user's store, where
        // the browser is pointed; closing removes it.
        platform::setProgramFolderWritableForTesting(false);
        const auto restore = qScopeGuard([] { platform::setProgramFolderWritableForTesting({}); });
        Form1 ailleurs;
        ailleurs.Cmd_Shell_IE_Click();
        const QString stored = seams::documentUrl(f.shells.last().file).toLocalFile();
        QVERIFY(stored.startsWith(QDir::homePath()) && QFile::exists(stored));
        ailleurs.close();
        QVERIFY(!QFile::exists(stored));
    }

    void dialogsInHomeOfOrdinaryUser()
    {
        // Where the user cannot write the program's folder, the page and image dialogs open in
        // the user's home folder, and a page saved there lands there. Root may write anywhere:
        // as root, the test runs again as user nobody.
        if (geteuid() == 0) {
            const QByteArray echec =
                support::rerunAsNobody(QString::fromLatin1(QTest::currentTestFunction()));
            QVERIFY2(echec.isEmpty(), echec.constData());
            return;
        }
        WindowFixture f;
        const QByteArray dossier = QFile::encodeName(f.root.path());
        const auto rendre = qScopeGuard([&] { chmod(dossier.constData(), 0755); });
        QVERIFY(chmod(dossier.constData(), 0555) == 0);
        const QString maison = platform::toProgramPath(QDir::homePath());
        f.answers << DialogAnswer::cancel()
                  << DialogAnswer::file(maison + QStringLiteral("\\p.html"));
        f.open().Cmd_Fond_Path_Click();
        f.form->Cmd_Recherche_Fichier_Click();
        QCOMPARE(f.dialogs.replaceInStrings(QRegularExpression(QStringLiteral("^.*\\|(.*)\\|1$")),
                                            QStringLiteral("\\1")),
                 QStringList({maison, maison}));
        QVERIFY(support::readFile(QDir::homePath() + QStringLiteral("/p.html"))
                    .endsWith("</html>\r\n"));
    }

    void keyboard()
    {
        WindowFixture f;
        Form1 &form = f.open();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        // A typed size selects no item, not even the one it spells; the text stays as typed.
        form.Cmb_Link->clearEditText();
        QTest::keyClicks(form.Cmb_Link, QStringLiteral("24 pt"));
        QCOMPARE(form.optionsPage().positionLink, -1);
        QCOMPARE(form.Cmb_Link->currentText(), QStringLiteral("24 pt"));
        // The save button keeps its default look once it has lost the focus to a text box.
        form.Cmd_Recherche_Fichier->setFocus();
        form.Txt[2]->setFocus();
        QVERIFY(form.Cmd_Recherche_Fichier->isDefault());
        // Enter saves wherever the focus is but on another button.
        const QWidgetList ailleurs{form.Txt[2], form.Txt[3], form.Cmb_Link, form.Chk_Demarrage,
                                   form.Cmd_Shell_IE};
        for (QWidget *w : ailleurs) {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Return);
        }
        QCOMPARE(f.dialogs.size(), ailleurs.size() - 1);
        // Escape quits.
        QTest::keyClick(form.Txt[3], Qt::Key_Escape);
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
