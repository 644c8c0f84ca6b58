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

    void showAndCancelError_data();
    void showAndCancelError();
    void fileDialogSetUp();
    void filtersMatchBothCases_data();
    void filtersMatchBothCases();
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
    QVERIFY(label);
    const qint32 before = member(form, swatch);
    const qint32 chosen = RGB(0x12, 0x34, 0x56);
    const qint32 othersBefore = form.Couleur_Fond ^ form.Couleur_Titre ^ form.Couleur_Dossier ^
                                form.Couleur_Link ^ form.Couleur_vLink ^ form.Couleur_aLink;

    // A right click opens nothing; a left click opens the colour dialog on the current colour.
    QTest::mouseClick(label, Qt::RightButton);
    QVERIFY(f.dialogs.isEmpty());
    f.answers << DialogAnswer::colour(chosen);
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(f.dialogs.size(), 1);
    QCOMPARE(f.dialogs[0].kind, DialogKind::Color);
    QCOMPARE(f.dialogs[0].color, before);
    QVERIFY(f.dialogs[0].cancelError);
    QCOMPARE(member(form, swatch), chosen);
    QCOMPARE(Form1::couleurAffichee(label), chosen);
    const qint32 othersAfter = form.Couleur_Fond ^ form.Couleur_Titre ^ form.Couleur_Dossier ^
                               form.Couleur_Link ^ form.Couleur_vLink ^ form.Couleur_aLink;
    QCOMPARE(othersAfter, othersBefore ^ before ^ chosen);

    // Cancel keeps the colour, and the next dialog receives it.
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(f.dialogs.size(), 2);
    QCOMPARE(f.dialogs[1].color, chosen);
    QCOMPARE(member(form, swatch), chosen);
    QCOMPARE(Form1::couleurAffichee(label), chosen);
}

void TestPickers::chosenColoursReachPage()
{
    WindowFixture f;
    Form1 &form = f.open();
    QLabel *const swatches[] = {form.Lbl_Couleur_Fond,    form.Lbl_Couleur_Titre,
                                form.Lbl_Couleur_Dossier, form.Lbl_Couleur_Link,
                                form.Lbl_Couleur_vLink,   form.Lbl_Couleur_aLink};
    QStringList html;
    for (int i = 0; i < 6; ++i) {
        const qint32 colour = RGB(0x10 + i, 0xA0 + i, 0x3C + i);
        f.answers << DialogAnswer::colour(colour);
        html << Couleur_Html(colour);
        QTest::mouseClick(swatches[i], Qt::LeftButton);
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
    const QString moteurs = f.program(QStringLiteral("Favoris/Moteurs")) + QLatin1Char('\\');
    f.answers << DialogAnswer::file(page)                                      // save
              << DialogAnswer::file(moteurs + QStringLiteral("Recherche.url")) // folder
              << DialogAnswer::colour(RGB(1, 2, 3))                            // colour
              << DialogAnswer::cancel()                                        // image
              << DialogAnswer::cancel()                                        // save
              << DialogAnswer::cancel();                                       // folder
    form.Cmd_Recherche_Fichier_Click();
    form.Cmd_Favoris_Path_Click();
    form.Lbl_Couleur_Titre_Click();
    form.Cmd_Fond_Path_Click();
    form.Cmd_Recherche_Fichier_Click();
    form.Cmd_Favoris_Path_Click();

    QCOMPARE(f.dialogs.size(), 6);
    const auto file = [&](int i, DialogKind kind, const QString &fileName, const QString &initDir) {
        QCOMPARE(f.dialogs[i].kind, kind);
        QCOMPARE(f.dialogs[i].fileName, fileName);
        QCOMPARE(f.dialogs[i].initDir, initDir);
        QVERIFY(f.dialogs[i].cancelError);
    };
    file(1, DialogKind::Save, QStringLiteral("Dummy.url"), f.favourites);
    QCOMPARE(f.dialogs[2].kind, DialogKind::Color);
    QCOMPARE(f.dialogs[2].color, RGB(0, 0, 128));
    file(3, DialogKind::Open, QString(), f.programFolder);
    QCOMPARE(f.dialogs[3].title, QStringLiteral("Choisir une image de fond (GIF)"));
    QCOMPARE(f.dialogs[3].filter, QStringLiteral("Image GIF (*.GIF)|*.GIF|"));
    file(4, DialogKind::Save, page, f.programFolder);
    QCOMPARE(f.dialogs[4].title, QStringLiteral("Sauvegarde de la page"));
    QCOMPARE(f.dialogs[4].filter, QStringLiteral("Page HTML (*.HTML)|*.HTML|"));
    file(5, DialogKind::Save, QStringLiteral("Dummy.url"), moteurs);
    QCOMPARE(form.Chemin_Favoris, QStringLiteral("C:\\Windows\\Favoris\\"));
}

void TestPickers::showAndCancelError_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<bool>("confirmed");
    for (const int kind : {int(DialogKind::Open), int(DialogKind::Save), int(DialogKind::Color)}) {
        for (const bool cancelError : {false, true}) {
            for (const bool confirmed : {false, true}) {
                QTest::addRow("kind %d, CancelError %d, %s", kind, cancelError,
                              confirmed ? "confirmed" : "cancelled")
                    << kind << cancelError << confirmed;
            }
        }
    }
}

void TestPickers::showAndCancelError()
{
    QFETCH(int, kind);
    QFETCH(bool, cancelError);
    QFETCH(bool, confirmed);
    MSComDlg::CommonDialog dialog(nullptr);
    dialog.FileName = QStringLiteral("avant.html");
    dialog.Color = RGB(9, 9, 9);
    dialog.CancelError = cancelError;
    const bool colour = DialogKind(kind) == DialogKind::Color;
    dialog.setBackend([&](DialogKind, const MSComDlg::CommonDialog &) {
        if (!confirmed)
            return DialogAnswer::cancel();
        return colour ? DialogAnswer::colour(RGB(1, 2, 3))
                      : DialogAnswer::file(QStringLiteral("\\choisi.html"));
    });
    bool thrown = false;
    try {
        if (DialogKind(kind) == DialogKind::Open)
            dialog.ShowOpen();
        else if (DialogKind(kind) == DialogKind::Save)
            dialog.ShowSave();
        else
            dialog.ShowColor();
    } catch (const MSComDlg::DialogCancelled &) {
        thrown = true;
    }
    QCOMPARE(thrown, cancelError && !confirmed);
    QCOMPARE(dialog.FileName,
             confirmed && !colour ? QStringLiteral("\\choisi.html") : QStringLiteral("avant.html"));
    QCOMPARE(dialog.Color, confirmed && colour ? RGB(1, 2, 3) : RGB(9, 9, 9));
}

void TestPickers::fileDialogSetUp()
{
    QTemporaryDir dir;
    MSComDlg::CommonDialog properties(nullptr);
    properties.DialogTitle = QStringLiteral("Choisir le répertoire \"Favoris\"");
    properties.Filter = QStringLiteral("URL (*.URL)|*.URL|");
    properties.FileName = QStringLiteral("Dummy.url");
    properties.InitDir = support::programFolder(dir.path());

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    MSComDlg::configureFileDialog(dialog, DialogKind::Save, properties);
    QCOMPARE(dialog.windowTitle(), properties.DialogTitle);
    QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(dialog.fileMode(), QFileDialog::AnyFile);
    QVERIFY(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    QVERIFY(dialog.defaultSuffix().isEmpty());
    QCOMPARE(dialog.directory().absolutePath(), QDir(dir.path()).absolutePath());
    // The proposed name keeps its case: the filter does not rewrite its extension.
    QCOMPARE(dialog.selectedFiles(),
             QStringList{QDir(dir.path()).filePath(QStringLiteral("Dummy.url"))});
    // The filter list shows the description alone.
    const QComboBox *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    QCOMPARE(types->itemText(0), QStringLiteral("URL (*.URL)"));

    // A full path proposes that file in its own folder; a drive path is left out.
    properties.FileName = platform::toProgramPath(dir.filePath(QStringLiteral("sous/page")));
    properties.InitDir = QStringLiteral("C:\\Windows\\");
    QDir(dir.path()).mkdir(QStringLiteral("sous"));
    QFileDialog open;
    open.setOption(QFileDialog::DontUseNativeDialog);
    MSComDlg::configureFileDialog(open, DialogKind::Open, properties);
    QCOMPARE(open.acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(open.fileMode(), QFileDialog::AnyFile); // a name typed that does not exist comes back
    QCOMPARE(open.selectedFiles(), QStringList{dir.filePath(QStringLiteral("sous/page"))});
}

void TestPickers::filtersMatchBothCases_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<QStringList>("matching");
    QTest::addColumn<QStringList>("notMatching");
    QTest::newRow("page") << QStringLiteral("Page HTML (*.HTML)|*.HTML|")
                          << QStringList{QStringLiteral("Page HTML (*.HTML)")}
                          << QStringList{QStringLiteral("a.HTML"), QStringLiteral("b.html")}
                          << QStringList{QStringLiteral("c.htm"), QStringLiteral("html")};
    QTest::newRow("two types, two patterns")
        << QStringLiteral("Images|*.gif;*.JPG|Tout|*.*|")
        << QStringList{QStringLiteral("Images"), QStringLiteral("Tout")}
        << QStringList{QStringLiteral("a.GIF"), QStringLiteral("b.jpg")}
        << QStringList{QStringLiteral("c.png")};
    QTest::newRow("none") << QString() << QStringList() << QStringList() << QStringList();
}

void TestPickers::filtersMatchBothCases()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, descriptions);
    QFETCH(QStringList, matching);
    QFETCH(QStringList, notMatching);
    // A Qt name filter is a text followed by its patterns in brackets.
    static const QRegularExpression form(QStringLiteral("^(.*) \\(([^()]*)\\)$"));
    const QStringList filters = MSComDlg::nameFilters(filter);
    QCOMPARE(filters.size(), descriptions.size());
    for (int i = 0; i < filters.size(); ++i) {
        const auto m = form.match(filters[i]);
        QVERIFY2(m.hasMatch(), qPrintable(filters[i]));
        QCOMPARE(m.captured(1), descriptions[i]);
    }
    if (filters.isEmpty())
        return;
    const QStringList patterns =
        form.match(filters.first()).captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &name : matching)
        QVERIFY2(matchesExactly(patterns, name), qPrintable(name));
    for (const QString &name : notMatching)
        QVERIFY2(!matchesExactly(patterns, name), qPrintable(name));
}

QTEST_MAIN(TestPickers)
#include "test_pickers.moc"
