// The option pickers of the main window and the shared dialog component behind them.

#include "window_fixture.h"

#include "page/page_generator.h"

#include <QComboBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

using MSComDlg::DialogAnswer;
using MSComDlg::DialogKind;

namespace
{

// Every file of that name below a folder, at any depth.
QStringList filesNamed(const QString &folder, const QString &name)
{
    QStringList found;
    QDirIterator it(folder, {name}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

// The page a preview writes now.
QByteArray previewPage(WindowFixture &f)
{
    f.form->Cmd_Shell_IE_Click();
    return support::readFile(f.previewHost());
}

// The six colour members with their swatches, by swatch name.
qint32 &member(Form1 &form, const QString &swatch)
{
    const std::pair<const char *, qint32 *> all[] = {
        {"Lbl_Couleur_Fond", &form.Couleur_Fond},       {"Lbl_Couleur_Titre", &form.Couleur_Titre},
        {"Lbl_Couleur_Dossier", &form.Couleur_Dossier}, {"Lbl_Couleur_Link", &form.Couleur_Link},
        {"Lbl_Couleur_vLink", &form.Couleur_vLink},     {"Lbl_Couleur_aLink", &form.Couleur_aLink}};
    for (const auto &[name, value] : all) {
        if (swatch == QLatin1String(name))
            return *value;
    }
    qFatal("no swatch %s", qPrintable(swatch));
}

// Glob matching as a case-sensitive file system does it.
bool matchesExactly(const QStringList &patterns, const QString &name)
{
    for (const QString &pattern : patterns) {
        const QRegularExpression glob(QRegularExpression::wildcardToRegularExpression(pattern));
        if (glob.match(name).hasMatch())
            return true;
    }
    return false;
}

} // namespace

class TestPickers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void folderPicker_data();
    void folderPicker();
    void imagePicker_data();
    void imagePicker();
    void colourPicker_data();
    void colourPicker();
    void chosenColoursReachPage();
    void settingsDoNotLeak();

    void showAndCancelError();
    void fileDialogSetUp();
};

void TestPickers::folderPicker_data()
{
    QTest::addColumn<QString>("answer"); // below the temporary root; empty for Cancel
    QTest::addColumn<QString>("folder"); // the folder kept: "previous", "default" or a path
    QTest::addColumn<QByteArrayList>("links");
    const QByteArray accueil = "example.org/accueil", recherche = "example.org/recherche";
    QTest::newRow("the proposed name confirmed")
        << QStringLiteral("Favoris/Moteurs/Dummy.url") << QStringLiteral("Favoris/Moteurs/")
        << QByteArrayList{recherche};
    QTest::newRow("a shortcut picked instead")
        << QStringLiteral("Favoris/Moteurs/Recherche.url") << QStringLiteral("Favoris/Moteurs/")
        << QByteArrayList{recherche};
    QTest::newRow("a folder name with dots")
        << QStringLiteral("Favoris/v1.2 test/Dummy.url") << QStringLiteral("Favoris/v1.2 test/")
        << QByteArrayList{};
    QTest::newRow("a folder that does not exist")
        << QStringLiteral("nulle/part/Dummy.url") << QStringLiteral("previous")
        << QByteArrayList{accueil, recherche};
    QTest::newRow("cancel") << QString() << QStringLiteral("default") << QByteArrayList{};
}

void TestPickers::folderPicker()
{
    QFETCH(QString, answer);
    QFETCH(QString, folder);
    QFETCH(QByteArrayList, links);
    WindowFixture f;
    QDir().mkpath(f.host(QStringLiteral("Favoris/v1.2 test")));
    Form1 &form = f.open();
    if (!answer.isEmpty())
        f.answers << DialogAnswer::file(f.program(answer));

    form.Cmd_Favoris_Path->click();

    QCOMPARE(f.dialogs.size(), 1);
    const SeenDialog &seen = f.dialogs.first();
    QCOMPARE(seen.kind, DialogKind::Save);
    QVERIFY(seen.cancelError);
    QCOMPARE(seen.title, QStringLiteral("Choisir le répertoire \"Favoris\""));
    QCOMPARE(seen.filter, QStringLiteral("URL (*.URL)|*.URL|"));
    QCOMPARE(seen.fileName, QStringLiteral("Dummy.url"));
    QCOMPARE(seen.initDir, f.favourites);

    const QString expected = folder == QLatin1String("previous") ? f.favourites
                             : folder == QLatin1String("default")
                                 ? QStringLiteral("C:\\Windows\\Favoris\\")
                                 : f.program(folder);
    QCOMPARE(form.Chemin_Favoris, expected);
    QCOMPARE(form.Txt[0]->text(), expected);
    QVERIFY(filesNamed(f.root.path(), QStringLiteral("Dummy.url")).isEmpty());

    // The next page is built from the folder now shown.
    const QByteArray page = previewPage(f);
    for (const QByteArray &url :
         {QByteArray("example.org/accueil"), QByteArray("example.org/recherche")})
        QCOMPARE(page.contains(url), links.contains(url));
    QVERIFY(f.endings.isEmpty());
}

void TestPickers::imagePicker_data()
{
    QTest::addColumn<QString>("answer"); // below the temporary root; empty for Cancel
    QTest::addColumn<bool>("taken");
    QTest::newRow("a GIF image") << QStringLiteral("images/fond.gif") << true;
    QTest::newRow("a file of another type") << QStringLiteral("images/photo.png") << true;
    QTest::newRow("a name that does not exist") << QStringLiteral("images/absent.gif") << false;
    QTest::newRow("a folder") << QStringLiteral("images") << false;
    QTest::newRow("a hidden file") << QStringLiteral("images/.cache.gif") << false;
    QTest::newRow("cancel") << QString() << false;
}

void TestPickers::imagePicker()
{
    QFETCH(QString, answer);
    QFETCH(bool, taken);
    WindowFixture f;
    for (const char *name : {"ancien.gif", "fond.gif", "photo.png", ".cache.gif"})
        support::writeFile(f.host(QStringLiteral("images/") + QLatin1String(name)), "GIF89a");
    Form1 &form = f.open();
    const QString previous = f.program(QStringLiteral("images/ancien.gif"));
    form.Txt[2]->setText(previous);
    if (!answer.isEmpty())
        f.answers << DialogAnswer::file(f.program(answer));

    form.Cmd_Fond_Path->click();

    QCOMPARE(f.dialogs.size(), 1);
    const SeenDialog &seen = f.dialogs.first();
    QCOMPARE(seen.kind, DialogKind::Open);
    QVERIFY(seen.cancelError);
    QCOMPARE(seen.title, QStringLiteral("Choisir une image de fond (GIF)"));
    QCOMPARE(seen.filter, QStringLiteral("Image GIF (*.GIF)|*.GIF|"));
    QCOMPARE(seen.fileName, QString());
    QCOMPARE(seen.initDir, f.programFolder);

    const QString expected = answer.isEmpty() ? QStringLiteral("(aucune)")
                             : taken          ? f.program(answer)
                                              : previous;
    QCOMPARE(form.Txt[2]->text(), expected);
    if (taken)
        QCOMPARE(form.Txt[2]->cursorPosition(), int(expected.size()));
    QCOMPARE(form.optionsPage().image, expected);
}

void TestPickers::colourPicker_data()
{
    QTest::addColumn<QString>("swatch");
    for (const char *name : {"Lbl_Couleur_Fond", "Lbl_Couleur_Titre", "Lbl_Couleur_Dossier",
                             "Lbl_Couleur_Link", "Lbl_Couleur_vLink", "Lbl_Couleur_aLink"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestPickers::colourPicker()
{
    QFETCH(QString, swatch);
    WindowFixture f;
    Form1 &form = f.open();
    QLabel *label = form.findChild<QLabel *>(swatch);
    const qint32 before = member(form, swatch), chosen = RGB(0x12, 0x34, 0x56);

    // A right click opens nothing; a left click opens the colour dialog on the current colour.
    QTest::mouseClick(label, Qt::RightButton);
    QVERIFY(f.dialogs.isEmpty());
    f.answers << DialogAnswer::colour(chosen);
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(f.dialogs.size(), 1);
    QCOMPARE(std::make_tuple(f.dialogs[0].kind, f.dialogs[0].color, f.dialogs[0].cancelError),
             std::make_tuple(DialogKind::Color, before, true));
    QCOMPARE(member(form, swatch), chosen);
    QCOMPARE(Form1::couleurAffichee(label), chosen);

    // Cancel keeps the colour, and the next dialog receives it.
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(f.dialogs[1].color, chosen);
    QCOMPARE(member(form, swatch), chosen);
    QCOMPARE(Form1::couleurAffichee(label), chosen);
}

void TestPickers::chosenColoursReachPage()
{
    WindowFixture f;
    Form1 &form = f.open();
    QStringList html;
    for (QLabel *swatch : {form.Lbl_Couleur_Fond, form.Lbl_Couleur_Titre, form.Lbl_Couleur_Dossier,
                           form.Lbl_Couleur_Link, form.Lbl_Couleur_vLink, form.Lbl_Couleur_aLink}) {
        const qint32 colour = RGB(0x10 + html.size(), 0xA0, 0x3C);
        f.answers << DialogAnswer::colour(colour);
        html << Couleur_Html(colour);
        QTest::mouseClick(swatch, Qt::LeftButton);
    }
    QCOMPARE(html.first(), QStringLiteral("#10A03C"));
    const QByteArray page = previewPage(f);
    for (const QString &colour : html)
        QVERIFY2(page.contains(colour.toLatin1()), qPrintable(colour));
    for (const char *former : {"#FFFF9F", "#000080", "#D40000", "#800080", "#FF0000"})
        QVERIFY2(!page.contains(former), former);
}

void TestPickers::settingsDoNotLeak()
{
    WindowFixture f;
    Form1 &form = f.open();
    const QString page = f.program(QStringLiteral("page.html"));
    const QString moteurs = f.program(QStringLiteral("Favoris/Moteurs/"));
    f.answers << DialogAnswer::file(page) << DialogAnswer::file(moteurs + QStringLiteral("A.url"))
              << DialogAnswer::colour(RGB(1, 2, 3));
    form.Cmd_Recherche_Fichier_Click();
    form.Cmd_Favoris_Path_Click();
    form.Lbl_Couleur_Titre_Click();
    form.Cmd_Fond_Path_Click();
    form.Cmd_Recherche_Fichier_Click();
    form.Cmd_Favoris_Path_Click();

    // What each dialog showed: a file dialog its title, filter, name and folder, the colour
    // dialog its colour.
    QStringList shown;
    for (const SeenDialog &d : f.dialogs) {
        QVERIFY(d.cancelError);
        shown << (d.kind == DialogKind::Color
                      ? QString::number(d.color)
                      : QStringList{d.title, d.filter, d.fileName, d.initDir}.join(
                            QLatin1Char('|')));
    }
    const QString save = QStringLiteral("Sauvegarde de la page|Page HTML (*.HTML)|*.HTML||");
    const QString favoris =
        QStringLiteral("Choisir le répertoire \"Favoris\"|URL (*.URL)|*.URL||Dummy.url|");
    const QStringList expected = {
        save + QLatin1Char('|') + f.programFolder,
        favoris + f.favourites,
        QString::number(RGB(0, 0, 128)),
        QStringLiteral("Choisir une image de fond (GIF)|Image GIF (*.GIF)|*.GIF|||") +
            f.programFolder,
        save + page + QLatin1Char('|') + f.programFolder,
        favoris + moteurs};
    QCOMPARE(shown, expected);
    QCOMPARE(form.Chemin_Favoris, QStringLiteral("C:\\Windows\\Favoris\\"));
}

void TestPickers::showAndCancelError()
{
    // Only a cancel with CancelError set throws; an answer changes only what it answers.
    for (const DialogKind kind : {DialogKind::Open, DialogKind::Save, DialogKind::Color}) {
        for (const bool cancelError : {false, true}) {
            for (const bool confirmed : {false, true}) {
                MSComDlg::CommonDialog dialog(nullptr);
                dialog.FileName = QStringLiteral("avant.html");
                dialog.Color = RGB(9, 9, 9);
                dialog.CancelError = cancelError;
                const bool file = confirmed && kind != DialogKind::Color;
                dialog.setBackend([&](DialogKind, const MSComDlg::CommonDialog &) {
                    return !confirmed ? DialogAnswer::cancel()
                           : file     ? DialogAnswer::file(QStringLiteral("\\choisi.html"))
                                      : DialogAnswer::colour(RGB(1, 2, 3));
                });
                bool thrown = false;
                try {
                    kind == DialogKind::Open   ? dialog.ShowOpen()
                    : kind == DialogKind::Save ? dialog.ShowSave()
                                               : dialog.ShowColor();
                } catch (const MSComDlg::DialogCancelled &) {
                    thrown = true;
                }
                QCOMPARE(thrown, cancelError && !confirmed);
                QCOMPARE(dialog.FileName,
                         file ? QStringLiteral("\\choisi.html") : QStringLiteral("avant.html"));
                QCOMPARE(dialog.Color, confirmed && !file ? RGB(1, 2, 3) : RGB(9, 9, 9));
            }
        }
    }
}

void TestPickers::fileDialogSetUp()
{
    QTemporaryDir dir;
    MSComDlg::CommonDialog properties(nullptr);
    properties.DialogTitle = QStringLiteral("Sauvegarde de la page");
    properties.Filter = QStringLiteral("Page HTML (*.HTML)|*.HTML|");
    properties.FileName = QStringLiteral("Dummy.url");
    properties.InitDir = support::programFolder(dir.path());
    QFileDialog save;
    save.setOption(QFileDialog::DontUseNativeDialog);
    MSComDlg::configureFileDialog(save, DialogKind::Save, properties);
    QCOMPARE(save.windowTitle(), properties.DialogTitle);
    QCOMPARE(std::make_tuple(save.acceptMode(), save.fileMode(), save.defaultSuffix()),
             std::make_tuple(QFileDialog::AcceptSave, QFileDialog::AnyFile, QString()));
    QVERIFY(save.testOption(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(save.directory(), QDir(dir.path()));
    // The proposed name keeps its case: the filter does not rewrite its extension.
    QCOMPARE(save.selectedFiles(), {QDir(dir.path()).filePath(QStringLiteral("Dummy.url"))});
    // The filter shows its description alone, and lists names in either case.
    const auto *types = save.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    QCOMPARE(types->itemText(0), QStringLiteral("Page HTML (*.HTML)"));
    const QString patterns = save.nameFilters().first().section(QLatin1Char('('), -1).chopped(1);
    for (const char *name : {"a.HTML", "b.html"}) {
        QVERIFY2(matchesExactly(patterns.split(QLatin1Char(' ')), QLatin1String(name)), name);
    }
    QCOMPARE(MSComDlg::nameFilters(QStringLiteral("Images|*.gif;*.JPG|Tout|*.*|")).size(), 2);

    // A full path proposes that file in its own folder; a drive path is left out.
    properties.FileName = platform::toProgramPath(dir.filePath(QStringLiteral("sous/page")));
    properties.InitDir = QStringLiteral("C:\\Windows\\");
    QDir(dir.path()).mkdir(QStringLiteral("sous"));
    QFileDialog open;
    open.setOption(QFileDialog::DontUseNativeDialog);
    MSComDlg::configureFileDialog(open, DialogKind::Open, properties);
    QCOMPARE(open.acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(open.fileMode(), QFileDialog::AnyFile); // a typed name that does not exist comes back
    QCOMPARE(open.selectedFiles(), {dir.filePath(QStringLiteral("sous/page"))});
}

QTEST_MAIN(TestPickers)
#include "test_pickers.moc"
