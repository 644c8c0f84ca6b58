// The option pickers of the main window and the shared dialog component behind them.

#include "window_fixture.h"

#include "page/page_generator.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

class TestPickers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void folderAndImagePickers();
    void colourPickers();
    void folderPickerDialog();
    void bookmarkFiles();
};

void TestPickers::folderAndImagePickers()
{
    // Each picker sets up the shared dialog afresh, whatever the one before left on it; a name
    // that does not exist changes nothing, and Cancel restores the default.
    WindowFixture f;
    Form1 &form = f.open();
    const QString moteurs = f.program(QStringLiteral("Favoris/Moteurs/"));
    const QString image = moteurs + QStringLiteral("recherche.url"); // any plain file will do
    f.answers << DialogAnswer::file(image) << DialogAnswer::file(image) << DialogAnswer::cancel()
              << DialogAnswer::file(f.program(QStringLiteral("nulle/part/Dummy.url")))
              << DialogAnswer::file(moteurs + QStringLiteral("absente.gif"));
    form.Cmd_Favoris_Path_Click(); // the folder is cut at the last "\"
    form.Cmd_Fond_Path_Click();
    form.Cmd_Shell_IE_Click(); // the page now comes from the folder picked
    QCOMPARE(support::readFile(f.previewHost()).count("example.org/"), 1); // Moteurs' one link
    form.Cmd_Recherche_Fichier_Click();
    form.Cmd_Favoris_Path_Click();
    form.Cmd_Fond_Path_Click();
    QCOMPARE(form.Txt[0]->text() + form.Txt[2]->text(), moteurs + image);
    const QString favoris = QStringLiteral("1|Choisir le répertoire \"Favoris\"|Dummy.url|");
    const QString fond = QStringLiteral("0|Choisir une image de fond (GIF)||");
    const QString save = QStringLiteral("1|Sauvegarde de la page||");
    QCOMPARE(f.dialogs,
             (QStringList{favoris + f.program(QStringLiteral("Favoris/")), fond + f.programFolder,
                          save + f.programFolder, favoris + moteurs, fond + f.programFolder}));

    form.Cmd_Favoris_Path_Click();
    form.Cmd_Fond_Path_Click();
    QCOMPARE(form.Chemin_Favoris + form.Txt[2]->text() + form.Txt[0]->text() +
                 form.optionsPage().image,
             QStringLiteral("C:\\Windows\\Favoris\\(aucune)").repeated(2));
}

void TestPickers::colourPickers()
{
    // Only a left click opens the colour dialog, on the swatch's colour; Cancel keeps it, and
    // a chosen colour reaches the page.
    WindowFixture f;
    Form1 &form = f.open();
    QTest::mouseClick(form.Lbl_Couleur_Fond, Qt::RightButton);
    QLabel *const swatches[] = {form.Lbl_Couleur_Fond,    form.Lbl_Couleur_Titre,
                                form.Lbl_Couleur_Dossier, form.Lbl_Couleur_Link,
                                form.Lbl_Couleur_vLink,   form.Lbl_Couleur_aLink};
    for (qint32 i = 0; i < 6; ++i) {
        f.answers << DialogAnswer::colour(i + 1);
        QTest::mouseClick(swatches[i], Qt::LeftButton);
        QTest::mouseClick(swatches[i], Qt::LeftButton);
        QCOMPARE(f.dialogs.last(), QString::number(Form1::couleurAffichee(swatches[i])));
    }
    QCOMPARE(f.dialogs.size(), 12);
    const PageOptions o = form.optionsPage();
    QCOMPARE((QList<qint32>{o.Couleur_Fond, o.Couleur_Titre, o.Couleur_Dossier, o.Couleur_Link,
                            o.Couleur_vLink, o.Couleur_aLink}),
             (QList<qint32>{1, 2, 3, 4, 5, 6}));
    form.Cmd_Shell_IE_Click();
    QVERIFY(support::readFile(f.previewHost()).contains(Couleur_Html(1).toLatin1()));
}

void TestPickers::folderPickerDialog()
{
    // The dialog that the folder picker shows for real: a save dialog that asks nothing about
    // an existing shortcut and adds no extension, proposing "Dummy.url" as it is, its filter
    // listing names in both cases.
    WindowFixture f;
    f.open().Cmd_Favoris_Path_Click();
    QFileDialog save;
    MSComDlg::configureFileDialog(save, MSComDlg::DialogKind::Save, f.form->CommonDialog);
    QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(save.testOption(QFileDialog::DontConfirmOverwrite) && save.defaultSuffix().isEmpty());
    QCOMPARE(save.selectedFiles(), QStringList(f.host(QStringLiteral("Favoris/Dummy.url"))));
    QCOMPARE(save.nameFilters(),
             QStringList({QStringLiteral("URL (*.URL) (*.URL *.url)"),
                          QStringLiteral("Marque-pages (bookmarks.html, places.sqlite, Bookmarks) "
                                         "(*.html *.HTML *.htm *.HTM places.sqlite PLACES.SQLITE "
                                         "Bookmarks BOOKMARKS bookmarks)")}));
}

void TestPickers::bookmarkFiles()
{
    // A bookmark file picked goes in the box as it is and gives the page; one that cannot be
    // read gives a message naming it and no page, and the program goes on.
    WindowFixture f;
    Form1 &form = f.open();
    support::writeFile(
        f.host(QStringLiteral("signets/favoris.html")),
        "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"http://b/\">B</A></DL>");
    support::writeFile(f.host(QStringLiteral("signets/Bookmarks")), "{\"roots\": {");
    const QString html = f.program(QStringLiteral("signets/favoris.html"));
    const QString json = f.program(QStringLiteral("signets/Bookmarks"));
    f.answers << DialogAnswer::file(html) << DialogAnswer::file(json);
    form.Cmd_Favoris_Path_Click();
    QCOMPARE(form.Txt[0]->text(), html);
    form.Cmd_Shell_IE_Click();
    QVERIFY(support::readFile(f.previewHost()).contains("<a href=\"http://b/\">B</a>"));
    QVERIFY(QFile::remove(f.previewHost()));

    form.Cmd_Favoris_Path_Click(); // opens in the folder of the file in the box
    QCOMPARE(f.dialogs.last().section(u'|', 3), f.program(QStringLiteral("signets/")));
    QCOMPARE(form.Chemin_Favoris, json);
    form.Cmd_Shell_IE_Click();
    QCOMPARE(f.boxes.size(), 1);
    QCOMPARE(f.boxes[0].title, QStringLiteral("Signetor"));
    QVERIFY(f.boxes[0].prompt.contains(QStringLiteral("«\u00a0%1\u00a0»").arg(json)));
    QVERIFY(!QFile::exists(f.previewHost()) && f.shells.size() == 1 && f.endings.isEmpty());
}

QTEST_MAIN(TestPickers)
#include "test_pickers.moc"
