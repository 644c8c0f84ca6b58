// The option pickers of the main window and the shared dialog component behind them.

#include "window_fixture.h"

#include "page/page_generator.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

const QByteArray signets =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"http://b/\">B</A></DL>";

class TestPickers : public QObject
{
    Q_OBJECT

private Q_SLOTS:

    void folderAndImagePickers()
    {
        // Each picker sets up the shared dialog afresh, whatever the one before left on it; a name
        // that does not exist changes nothing, and Cancel restores the default. The boxes show
        // host paths, the page names its image in program form; the default shows as written and
        // gives the empty page.
        WindowFixture f;
        Form1 &form = f.open();
        const QString moteurs = f.program(QStringLiteral("Favoris/Moteurs/"));
        const QString image = moteurs + QStringLiteral("recherche.url"); // any plain file will do
        f.answers << DialogAnswer::file(image) << DialogAnswer::file(image)
                  << DialogAnswer::cancel()
                  << DialogAnswer::file(f.program(QStringLiteral("nulle/part/Dummy.url")))
                  << DialogAnswer::file(moteurs + QStringLiteral("absente.gif"));
        form.Cmd_Favoris_Path_Click(); // the folder is cut at the last "\"
        form.Cmd_Fond_Path_Click();
        form.Cmd_Shell_IE_Click(); // the page now comes from the folder picked
        const QByteArray apercu = support::readFile(f.previewHost());
        QVERIFY(apercu.count("example.org/") == 1 &&
                apercu.contains("background=\"" + image.toUtf8()));
        form.Cmd_Recherche_Fichier_Click();
        form.Cmd_Favoris_Path_Click();
        form.Cmd_Fond_Path_Click();
        QCOMPARE(form.Txt[0]->text() + form.Txt[2]->text(),
                 platform::toHostPath(moteurs + image).value());
        // The dialogs, each as tests/data/window/choix.txt gives it, "@P@" the program's folder.
        QCOMPARE(f.dialogs.join(u'\n') + u'\n',
                 QString::fromUtf8(support::dataFile("window/choix.txt"))
                     .replace(QStringLiteral("@P@"), f.programFolder));

        form.Cmd_Favoris_Path_Click();
        form.Cmd_Fond_Path_Click();
        QCOMPARE(form.Chemin_Favoris + form.Txt[2]->text() + form.Txt[0]->text() +
                     form.optionsPage().image,
                 QStringLiteral("C:\\Windows\\Favoris\\(aucune)").repeated(2));
        form.Cmd_Shell_IE_Click();
        QVERIFY(!support::readFile(f.previewHost()).contains("<a ") && f.boxes.isEmpty());
    }

    void colourPickers()
    {
        // Only a left click opens the colour dialog, on the swatch's colour; Cancel keeps it, and
        // a chosen colour reaches the page.
        WindowFixture f;
        Form1 &form = f.open();
        QTest::mouseClick(form.Lbl_Couleur_Fond, Qt::RightButton);
        QList<qint32> choisies;
        for (QLabel *swatch :
             {form.Lbl_Couleur_Fond, form.Lbl_Couleur_Titre, form.Lbl_Couleur_Dossier,
              form.Lbl_Couleur_Link, form.Lbl_Couleur_vLink, form.Lbl_Couleur_aLink}) {
            f.answers << DialogAnswer::colour(choisies.size() + 1);
            QTest::mouseClick(swatch, Qt::LeftButton);
            QTest::mouseClick(swatch, Qt::LeftButton);
            QCOMPARE(f.dialogs.last(), QString::number(Form1::couleurAffichee(swatch)));
            choisies << choisies.size() + 1;
        }
        const PageOptions o = form.optionsPage();
        QCOMPARE((QList<qint32>{o.Couleur_Fond, o.Couleur_Titre, o.Couleur_Dossier, o.Couleur_Link,
                                o.Couleur_vLink, o.Couleur_aLink, qint32(f.dialogs.size())}),
                 choisies << 12);
        form.Cmd_Shell_IE_Click();
        QVERIFY(support::readFile(f.previewHost()).contains(Couleur_Html(1).toLatin1()));
    }

    void folderPickerDialog()
    {
        // The dialog that the folder picker shows for real: a save dialog that asks nothing about
        // an existing shortcut and adds no extension, proposing "Dummy.url" as it is, its filters
        // (tests/data/window/filtres.txt) listing names in both cases; the filter the user leaves
        // it on is the one it reports.
        WindowFixture f;
        f.open().Cmd_Favoris_Path_Click();
        QFileDialog save;
        MSComDlg::configureFileDialog(save, MSComDlg::DialogKind::Save, f.form->CommonDialog);
        QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(save.testOption(QFileDialog::DontConfirmOverwrite) &&
                save.defaultSuffix().isEmpty());
        QCOMPARE(save.selectedFiles(), QStringList(f.host(QStringLiteral("Favoris/Dummy.url"))));
        QCOMPARE(save.nameFilters().join(u'\n') + u'\n',
                 QString::fromUtf8(support::dataFile("window/filtres.txt")));
        f.form->CommonDialog.FilterIndex = 2;
        QTimer::singleShot(
            0, [] { qobject_cast<QDialog *>(QApplication::activeModalWidget())->accept(); });
        const DialogAnswer answer =
            MSComDlg::showQtDialog(MSComDlg::DialogKind::Save, f.form->CommonDialog);
        QCOMPARE(answer.fileName + QString::number(answer.filterIndex),
                 f.program(QStringLiteral("Favoris/Dummy.url2")));
    }

    void bookmarkFiles_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: a bookmark file, gone once picked
        QTest::addColumn<QString>("said"); // by the message box; empty when the page is written
        QTest::newRow("bookmark file") << signets << QString();
        QTest::newRow("damaged") << QByteArray("{\"roots\": {") << QStringLiteral("est endommagé");
        QTest::newRow("web page") << QByteArray("<html><p>Bonjour</p></html>")
                                  << QStringLiteral("n'est pas un fichier de favoris reconnu");
        QTest::newRow("gone") << QByteArray() << QStringLiteral("ne peut pas être lu");
    }

    void bookmarkFiles()
    {
        // A file picked through "Marque-pages" goes in the box as it is, and a bookmark file gives
        // the page; one that cannot be read, holds no bookmarks or is gone gives a message naming
        // it as the box shows it, no page, and the program goes on. The picker reopens on the
        // file: in its folder, through "Marque-pages", its name proposed.
        QFETCH(QByteArray, content);
        QFETCH(QString, said);
        WindowFixture f;
        Form1 &form = f.open();
        const QString fichier = f.host(QStringLiteral("signets/favoris.html"));
        support::writeFile(fichier, content.isEmpty() ? signets : content);
        // A bookmark file is taken through either filter: here the first.
        f.answers << DialogAnswer::file(platform::toProgramPath(fichier), said.isEmpty() ? 1 : 2)
                  << DialogAnswer::file(platform::toProgramPath(fichier));
        form.Cmd_Favoris_Path_Click();
        QCOMPARE(form.Txt[0]->text(), fichier);
        QVERIFY(!content.isEmpty() || QFile::remove(fichier));
        form.Cmd_Shell_IE_Click();
        QCOMPARE(f.boxes.size() + f.endings.size(), int(!said.isEmpty()));
        QVERIFY(said.isEmpty() || (f.boxes[0].title == QStringLiteral("Signetor") &&
                                   f.boxes[0].prompt.contains(
                                       QStringLiteral("«\u00a0%1\u00a0» ").arg(fichier) + said)));
        QCOMPARE(support::readFile(f.previewHost()).contains("http://b/"), said.isEmpty());
        form.Cmd_Favoris_Path_Click();
        QCOMPARE(f.dialogs.last().section(u'|', 2),
                 QStringLiteral("favoris.html|%1|2").arg(f.program(QStringLiteral("signets/"))));
    }
};

QTEST_MAIN(TestPickers)
#include "test_pickers.moc"
