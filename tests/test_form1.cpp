// The main window driven offscreen: its controls and defaults, the save and preview commands,
// closing, the keyboard, and what a run-time error does.

#include "window_fixture.h"

#include "browser/api.h"
#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "platform/runtime_error.h"
#include "platform/virtual_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cerrno>

using MSComDlg::DialogAnswer;
using MSComDlg::DialogKind;

namespace
{

QString caption(const QWidget *w)
{
    if (const auto *box = qobject_cast<const QGroupBox *>(w))
        return box->title();
    return w->property("text").toString();
}

QStringList items(const QComboBox *list)
{
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->itemText(i);
    return all;
}

QStringList sizes(const QString &suffix)
{
    QStringList all;
    for (const char *points : {"7", "8", "9", "10", "12", "14", "16", "18", "24", "36"})
        all << QLatin1String(points) + suffix;
    return all;
}

// The name of the control that has the focus; an editable list's field counts as the list.
QString focusedName()
{
    QWidget *w = QApplication::focusWidget();
    if (w && qobject_cast<QComboBox *>(w->parentWidget()))
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

void showActive(Form1 &form)
{
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controls_data();
    void controls();
    void windowLook();
    void defaults();
    void defaultImage_data();
    void defaultImage();
    void startPageReadOnceAtLoad();

    void save_data();
    void save();
    void cancelledSave();
    void secondSaveProposesFirstPath();
    void startPageOnlyWhenTicked_data();
    void startPageOnlyWhenTicked();

    void previewFileLife();
    void closingDeletesPreview_data();
    void closingDeletesPreview();
    void previewFromReadOnlyInstall();

    void enterSaves_data();
    void enterSaves();
    void tabOrder();
    void typedSize_data();
    void typedSize();

    void runTimeError_data();
    void runTimeError();
    void hourglassKeepsOuterOverride();
    void documentUrl_data();
    void documentUrl();
};

void TestForm1::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<int>("alignment"); // horizontal alignment of a label, 0 for other controls

    const int right = Qt::AlignRight, left = Qt::AlignLeft, centre = Qt::AlignHCenter;
    const QString parcourir = QStringLiteral("Parcourir");
    const auto row = [](const char *name, const QString &text, const QString &tip, int align) {
        QTest::newRow(name) << QString::fromLatin1(name) << text << tip << align;
    };
    row("Lbl_0",
        QStringLiteral("Cet utilitaire génére une page au format HTML à partir des favoris "
                       "d'Internet Explorer, la page crée peut optionnellement être utilisée "
                       "comme page de démarrage."),
        {}, centre);
    row("Cmd_Info", QStringLiteral("Plus d'informations"), {}, 0);
    row("Frame2", QStringLiteral(" Paramétres "), {}, 0);
    row("Lbl_8", QStringLiteral("Chemin du dossier \"Favoris\" :"), {}, right);
    row("Cmd_Favoris_Path", QStringLiteral("..."), parcourir, 0);
    row("Lbl_1", QStringLiteral("Page de démarrage actuelle :"), {}, right);
    row("Lbl_2", QStringLiteral("Image de fond (format GIF) :"), {}, right);
    row("Cmd_Fond_Path", QStringLiteral("..."), parcourir, 0);
    row("Lbl_3", QStringLiteral("Titre de la page :"), {}, right);
    row("Frame3", QStringLiteral(" Choix des couleurs "), {}, 0);
    row("Lbl_7", QStringLiteral("Fond"), {}, left);
    row("Lbl_9", QStringLiteral("Liens"), {}, left);
    row("Lbl_10", QStringLiteral("Liens visités"), {}, left);
    row("Lbl_11", QStringLiteral("Lien pointé"), {}, left);
    row("Lbl_4", QStringLiteral("Titre"), {}, left);
    row("Lbl_5", QStringLiteral("Sous-titres (dossiers)"), {}, left);
    row("Frame4", QStringLiteral(" Choix des tailles de polices "), {}, 0);
    row("Lbl_6", QStringLiteral("Liens"), {}, right);
    row("Lbl_12", QStringLiteral("Titre"), {}, right);
    row("Lbl_13", QStringLiteral("Sous-titres"), {}, right);
    row("Cmb_Link", {}, QStringLiteral("Taille de la police pour les liens"), 0);
    row("Cmb_Titre", {}, QStringLiteral("Taille de la police pour le titre"), 0);
    row("Cmb_Dossier", {}, QStringLiteral("Taille de la police pour les sous-titre (dossiers)"), 0);
    row("Chk_Demarrage", QStringLiteral("Choisir comme page de démarrage"),
        QStringLiteral("Si vous cocher cette option Internet Explorer démarrera sur cette page"),
        0);
    row("Cmd_Recherche_Fichier", QStringLiteral("Enregistrer la page"), {}, 0);
    row("Cmd_Shell_IE", QStringLiteral("Visualisation"),
        QStringLiteral("Lancement d'internet Explorer et visualisation de la page"), 0);
    row("Cmd_Quitter", QStringLiteral("Quitter"), {}, 0);
}

void TestForm1::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(int, alignment);
    WindowFixture f;
    Form1 &form = f.open();
    const QWidget *control = form.findChild<QWidget *>(name);
    QVERIFY(control);
    if (!qobject_cast<const QComboBox *>(control))
        QCOMPARE(caption(control), text);
    QCOMPARE(control->toolTip(), toolTip);
    if (const auto *label = qobject_cast<const QLabel *>(control))
        QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), alignment);
}

void TestForm1::windowLook()
{
    WindowFixture f;
    Form1 &form = f.open();
    QCOMPARE(form.windowTitle(), QStringLiteral(" Signetor"));
    const double scale = form.logicalDpiX() / 96.0;
    QCOMPARE(form.minimumSize(), QSize(qRound(464 * scale), qRound(490 * scale)));
    QCOMPARE(form.maximumSize(), form.minimumSize());
    QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    const QList<QSize> iconSizes = form.windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));

    // Read-only boxes and the "..." buttons take focus from the mouse only.
    for (QWidget *w :
         {static_cast<QWidget *>(form.Txt[0]), static_cast<QWidget *>(form.Txt[1]),
          static_cast<QWidget *>(form.Txt[2]), static_cast<QWidget *>(form.Cmd_Favoris_Path),
          static_cast<QWidget *>(form.Cmd_Fond_Path)})
        QCOMPARE(w->focusPolicy(), Qt::ClickFocus);
    for (int i = 0; i < 3; ++i)
        QVERIFY(form.Txt[std::size_t(i)]->isReadOnly());
    QVERIFY(!form.Txt[3]->isReadOnly());
    QCOMPARE(form.Txt[3]->focusPolicy(), Qt::StrongFocus);

    QVERIFY(form.Cmd_Recherche_Fichier->isDefault());
    QVERIFY(form.Frame2->font().bold());
    QVERIFY(!form.Lbl[8]->font().bold() && !form.Lbl[7]->font().bold());
    QCOMPARE(form.Cmd_Fond_Path->font().pointSizeF(), 9.75);
    QCOMPARE(form.Lbl[3]->font().pointSizeF(), 8.25);
    for (const QComboBox *list : {form.Cmb_Link, form.Cmb_Titre, form.Cmb_Dossier}) {
        QVERIFY(list->isEditable());
        QCOMPARE(list->insertPolicy(), QComboBox::NoInsert);
    }
}

void TestForm1::defaults()
{
    WindowFixture f;
    Form1 form(f.programFolder);
    QVERIFY(form.Nom_Fichier.isEmpty());
    QCOMPARE(form.Chemin_Favoris, QStringLiteral("C:\\Windows\\Favoris\\"));
    QCOMPARE(form.Txt[0]->text(), form.Chemin_Favoris);
    QCOMPARE(form.Txt[3]->text(), QStringLiteral("Internet Explorer - Favoris"));
    QCOMPARE(form.Chk_Demarrage->checkState(), Qt::Unchecked);

    const std::pair<qint32, const QLabel *> colours[] = {
        {0x9FFFFF, form.Lbl_Couleur_Fond},    {0x800000, form.Lbl_Couleur_Titre},
        {0x0000D4, form.Lbl_Couleur_Dossier}, {0x800000, form.Lbl_Couleur_Link},
        {0x800080, form.Lbl_Couleur_vLink},   {0x0000FF, form.Lbl_Couleur_aLink}};
    const qint32 members[] = {form.Couleur_Fond, form.Couleur_Titre, form.Couleur_Dossier,
                              form.Couleur_Link, form.Couleur_vLink, form.Couleur_aLink};
    for (std::size_t i = 0; i < 6; ++i) {
        QCOMPARE(members[i], colours[i].first);
        QCOMPARE(Form1::couleurAffichee(colours[i].second), colours[i].first);
    }

    QCOMPARE(items(form.Cmb_Link), sizes(QStringLiteral(" pt")));
    QCOMPARE(items(form.Cmb_Titre), sizes(QStringLiteral(" pt bold")));
    QCOMPARE(items(form.Cmb_Dossier), sizes(QStringLiteral(" pt bold")));
    QCOMPARE(form.Cmb_Link->currentText(), QStringLiteral("9 pt"));
    QCOMPARE(form.Cmb_Titre->currentText(), QStringLiteral("12 pt bold"));
    QCOMPARE(form.Cmb_Dossier->currentText(), QStringLiteral("9 pt bold"));
    const PageOptions options = form.optionsPage();
    QCOMPARE(options.positionLink, 2);
    QCOMPARE(options.positionTitre, 4);
    QCOMPARE(options.positionDossier, 2);
    QCOMPARE(options.titre, form.Txt[3]->text());
    QCOMPARE(options.image, QStringLiteral("(aucune)"));
}

void TestForm1::defaultImage_data()
{
    QTest::addColumn<QString>("made"); // what lies at "defbg.gif" in the program folder
    QTest::addColumn<bool>("shown");
    QTest::newRow("nothing") << QString() << false;
    QTest::newRow("a file") << QStringLiteral("file") << true;
    QTest::newRow("a folder") << QStringLiteral("folder") << false;
}

void TestForm1::defaultImage()
{
    QFETCH(QString, made);
    QFETCH(bool, shown);
    WindowFixture f;
    if (made == QLatin1String("file"))
        support::writeFile(f.host(QStringLiteral("prog/defbg.gif")), "GIF89a");
    else if (made == QLatin1String("folder"))
        QDir().mkpath(f.host(QStringLiteral("prog/defbg.gif")));
    else if (!made.isEmpty())
        support::writeFile(f.host(QStringLiteral("prog/") + made), "GIF89a");
    Form1 form(f.programFolder);
    QCOMPARE(form.Txt[2]->text(),
             shown ? f.programFolder + QStringLiteral("\\defbg.gif") : QStringLiteral("(aucune)"));
}

void TestForm1::startPageReadOnceAtLoad()
{
    WindowFixture f;
    Ecrire_Page_Demarrage(QStringLiteral("\\ancienne\\page.html"));
    Form1 &form = f.open();
    QCOMPARE(form.Txt[1]->text(), QStringLiteral("\\ancienne\\page.html"));
    form.Chk_Demarrage->setCheckState(Qt::Checked);
    f.answers << DialogAnswer::file(f.program(QStringLiteral("nouvelle.html")));
    form.Cmd_Recherche_Fichier_Click();
    QCOMPARE(Lire_Page_Demarrage(), f.program(QStringLiteral("nouvelle.html")));
    QCOMPARE(form.Txt[1]->text(), QStringLiteral("\\ancienne\\page.html"));
}

void TestForm1::save_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("existed");
    QTest::addColumn<int>("answer"); // to the overwrite question
    QTest::addColumn<bool>("written");
    QTest::newRow("new file, no extension added") << QStringLiteral("page") << false << 1 << true;
    QTest::newRow("existing file, OK") << QStringLiteral("page.html") << true << 1 << true;
    QTest::newRow("existing file, Cancel") << QStringLiteral("page.html") << true << 2 << false;
}

void TestForm1::save()
{
    QFETCH(QString, target);
    QFETCH(bool, existed);
    QFETCH(int, answer);
    QFETCH(bool, written);
    WindowFixture f;
    Form1 &form = f.open();
    const QString host = f.host(QStringLiteral("sortie/") + target);
    const QByteArray former = "ancien contenu qui doit disparaître";
    if (existed)
        support::writeFile(host, former);
    else
        QDir().mkpath(f.host(QStringLiteral("sortie")));
    const QString chosen = f.program(QStringLiteral("sortie/") + target);
    f.answers << DialogAnswer::file(chosen);
    f.boxAnswer = answer;

    form.Cmd_Recherche_Fichier_Click();

    QCOMPARE(f.dialogs.size(), 1);
    const SeenDialog &seen = f.dialogs.first();
    QCOMPARE(seen.kind, DialogKind::Save);
    QVERIFY(seen.cancelError);
    QCOMPARE(seen.title, QStringLiteral("Sauvegarde de la page"));
    QCOMPARE(seen.filter, QStringLiteral("Page HTML (*.HTML)|*.HTML|"));
    QCOMPARE(seen.fileName, QString());
    QCOMPARE(seen.initDir, f.programFolder);

    QCOMPARE(f.boxes.size(), existed ? 1 : 0);
    if (existed) {
        QCOMPARE(f.boxes.first().prompt,
                 QStringLiteral("Ce fichier existe, voulez-vous le remplacer?"));
        QCOMPARE(f.boxes.first().style, 33);
        QVERIFY(f.boxes.first().title.isEmpty());
        QCOMPARE(f.boxes.first().owner, &form);
    }
    QCOMPARE(form.Nom_Fichier, written ? chosen : QString());
    const QByteArray page = support::readFile(host);
    if (written) {
        QVERIFY(page.contains("http://example.org/recherche"));
        QVERIFY(!page.contains(former));
        QVERIFY(page.endsWith("</html>\r\n"));
    } else {
        QCOMPARE(page, former);
    }
    QCOMPARE(QDir(f.host(QStringLiteral("sortie"))).entryList(QDir::Files), QStringList{target});
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(f.endings.isEmpty());
}

void TestForm1::cancelledSave()
{
    WindowFixture f;
    Form1 &form = f.open();
    support::writeFile(f.previewHost(), "aperçu");
    form.Nom_Fichier = QStringLiteral("\\avant\\page.html");
    bool previewGoneAtDialog = false;
    f.onDialog = [&] { previewGoneAtDialog = !QFile::exists(f.previewHost()); };

    form.Cmd_Recherche_Fichier_Click();

    QCOMPARE(f.dialogs.size(), 1);
    QCOMPARE(f.dialogs.first().fileName, QStringLiteral("\\avant\\page.html"));
    QVERIFY(previewGoneAtDialog);
    QVERIFY(form.Nom_Fichier.isEmpty());
    QVERIFY(f.boxes.isEmpty());
    QCOMPARE(QDir(f.host(QStringLiteral("prog"))).entryList(QDir::Files), QStringList());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestForm1::secondSaveProposesFirstPath()
{
    WindowFixture f;
    Form1 &form = f.open();
    const QString first = f.program(QStringLiteral("un.html"));
    f.answers << DialogAnswer::file(first)
              << DialogAnswer::file(f.program(QStringLiteral("deux.html")));
    form.Cmd_Recherche_Fichier_Click();
    form.Cmd_Recherche_Fichier_Click();
    QCOMPARE(f.dialogs.size(), 2);
    QCOMPARE(f.dialogs[1].fileName, first);
    QCOMPARE(form.Nom_Fichier, f.program(QStringLiteral("deux.html")));
    // The second file exists now: the third save asks before replacing it.
    f.answers << DialogAnswer::file(f.program(QStringLiteral("deux.html")));
    f.boxAnswer = 2;
    form.Cmd_Recherche_Fichier_Click();
    QCOMPARE(f.boxes.size(), 1);
    QVERIFY(form.Nom_Fichier.isEmpty());
}

void TestForm1::startPageOnlyWhenTicked_data()
{
    QTest::addColumn<Qt::CheckState>("state");
    QTest::addColumn<bool>("registered");
    QTest::newRow("not ticked") << Qt::Unchecked << false;
    QTest::newRow("greyed") << Qt::PartiallyChecked << false;
    QTest::newRow("ticked") << Qt::Checked << true;
}

void TestForm1::startPageOnlyWhenTicked()
{
    QFETCH(Qt::CheckState, state);
    QFETCH(bool, registered);
    WindowFixture f;
    Ecrire_Page_Demarrage(QStringLiteral("avant"));
    Form1 &form = f.open();
    form.Chk_Demarrage->setCheckState(state);
    const QString chosen = f.program(QStringLiteral("demarrage.html"));
    f.answers << DialogAnswer::file(chosen);
    form.Cmd_Recherche_Fichier_Click();
    QVERIFY(QFile::exists(f.host(QStringLiteral("demarrage.html"))));
    QCOMPARE(Lire_Page_Demarrage(), registered ? chosen : QStringLiteral("avant"));

    // A cancelled save registers nothing, ticked or not.
    Ecrire_Page_Demarrage(QStringLiteral("avant"));
    form.Cmd_Recherche_Fichier_Click();
    QCOMPARE(Lire_Page_Demarrage(), QStringLiteral("avant"));
}

void TestForm1::previewFileLife()
{
    WindowFixture f;
    Form1 &form = f.open();
    QVERIFY(!QFile::exists(f.previewHost()));

    form.Cmd_Shell_IE->click();
    QVERIFY(support::readFile(f.previewHost()).contains("http://example.org/accueil"));
    QCOMPARE(f.shells.size(), 1);
    const seams::ShellExecuteCall &call = f.shells.first();
    QCOMPARE(call.owner, &form);
    QCOMPARE(call.operation, QStringLiteral("open"));
    QCOMPARE(call.file, f.programFolder + QStringLiteral("\\TEMP.HTML"));
    QVERIFY(call.parameters.isEmpty() && call.directory.isEmpty());
    QCOMPARE(call.showCommand, 0);
    QCOMPARE(f.cursorAtShell, Qt::ArrowCursor); // the hourglass is gone before the browser starts
    QVERIFY(f.dialogs.isEmpty());

    // Each preview is built from scratch and rewrites the file in place.
    support::writeFile(f.host(QStringLiteral("Favoris/Nouveau.url")),
                       support::shortcut("http://example.org/nouveau"));
    form.Cmd_Shell_IE->click();
    QVERIFY(support::readFile(f.previewHost()).contains("http://example.org/nouveau"));
    QCOMPARE(f.shells.size(), 2);

    // The next save removes it, even when cancelled.
    form.Cmd_Recherche_Fichier->click();
    QVERIFY(!QFile::exists(f.previewHost()));
    // With no preview file, a save and a closing have nothing to delete.
    f.answers << DialogAnswer::file(f.program(QStringLiteral("page.html")));
    form.Cmd_Recherche_Fichier->click();
    QVERIFY(QFile::exists(f.host(QStringLiteral("page.html"))));
    form.close();
    QVERIFY(f.endings.isEmpty());
}

void TestForm1::closingDeletesPreview_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Quitter") << QStringLiteral("button");
    QTest::newRow("close box") << QStringLiteral("close event");
    QTest::newRow("Escape") << QStringLiteral("escape");
}

void TestForm1::closingDeletesPreview()
{
    QFETCH(QString, how);
    WindowFixture f;
    Form1 &form = f.open();
    showActive(form);
    form.Cmd_Shell_IE->click();
    QVERIFY(QFile::exists(f.previewHost()));
    if (how == QLatin1String("button")) {
        form.Cmd_Quitter->click();
    } else if (how == QLatin1String("escape")) {
        form.Txt[3]->setFocus();
        QTest::keyClick(form.Txt[3], Qt::Key_Escape);
    } else {
        QCloseEvent event;
        QApplication::sendEvent(&form, &event);
        QVERIFY(event.isAccepted());
        form.hide();
    }
    QVERIFY(!form.isVisible());
    QVERIFY(!QFile::exists(f.previewHost()));
    QVERIFY(f.endings.isEmpty());
}

void TestForm1::previewFromReadOnlyInstall()
{
    // Where the executable's folder cannot be written, the preview file lives in the user's
    // store; the browser is pointed there, and closing removes it.
    WindowFixture f;
    platform::setProgramFolderWritableForTesting(false);
    {
        Form1 form;
        form.Chemin_Favoris = f.favourites;
        form.Cmd_Shell_IE_Click();
        QCOMPARE(f.shells.size(), 1);
        const QString preview = platform::programFolder() + QStringLiteral("\\TEMP.HTML");
        QCOMPARE(f.shells.first().file, preview);
        const QUrl url = seams::documentUrl(preview);
        QVERIFY(url.isLocalFile());
        QVERIFY(url.toLocalFile().startsWith(QDir::homePath()));
        QVERIFY(support::readFile(url.toLocalFile()).contains("http://example.org/accueil"));
        form.close();
        QVERIFY(!QFile::exists(url.toLocalFile()));
    }
    platform::setProgramFolderWritableForTesting(std::nullopt);
    QVERIFY(f.endings.isEmpty());
}

void TestForm1::enterSaves_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("the window itself") << QStringLiteral("Form1");
    QTest::newRow("the save button") << QStringLiteral("Cmd_Recherche_Fichier");
    QTest::newRow("the title box") << QStringLiteral("Txt_3");
    QTest::newRow("the check box") << QStringLiteral("Chk_Demarrage");
    QTest::newRow("a read-only box") << QStringLiteral("Txt_0");
}

void TestForm1::enterSaves()
{
    QFETCH(QString, focus);
    WindowFixture f;
    Form1 &form = f.open();
    showActive(form);
    QWidget *target = focus == form.objectName() ? &form : form.findChild<QWidget *>(focus);
    QVERIFY(target);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(f.dialogs.size(), 1);
    QCOMPARE(f.dialogs.first().kind, DialogKind::Save);
    QVERIFY(form.isVisible());
}

void TestForm1::tabOrder()
{
    WindowFixture f;
    Form1 &form = f.open();
    showActive(form);
    QCOMPARE(focusedName(), QStringLiteral("Cmd_Recherche_Fichier"));
    const QStringList expected = {QStringLiteral("Cmd_Shell_IE"),
                                  QStringLiteral("Cmd_Quitter"),
                                  QStringLiteral("Cmd_Info"),
                                  QStringLiteral("Txt_3"),
                                  QStringLiteral("Cmb_Link"),
                                  QStringLiteral("Cmb_Titre"),
                                  QStringLiteral("Cmb_Dossier"),
                                  QStringLiteral("Chk_Demarrage"),
                                  QStringLiteral("Cmd_Recherche_Fichier")};
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << focusedName();
    }
    QCOMPARE(seen, expected);

    // The mouse still reaches a box that Tab skips.
    QTest::mouseClick(form.Txt[2], Qt::LeftButton);
    QCOMPARE(focusedName(), QStringLiteral("Txt_2"));
}

void TestForm1::typedSize_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("index");
    QTest::newRow("a size not in the list") << QStringLiteral("11 pt") << -1;
    QTest::newRow("an item spelt exactly") << QStringLiteral("14 pt") << 5;
    QTest::newRow("an item in another case") << QStringLiteral("14 PT") << -1;
    QTest::newRow("a prefix of an item") << QStringLiteral("1") << -1;
    QTest::newRow("nothing") << QStringLiteral("") << -1;
}

void TestForm1::typedSize()
{
    QFETCH(QString, typed);
    QFETCH(int, index);
    WindowFixture f;
    Form1 &form = f.open();
    showActive(form);
    QLineEdit *field = form.Cmb_Link->lineEdit();
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
    QCOMPARE(form.Cmb_Link->currentIndex(), index);
    QCOMPARE(form.Cmb_Link->currentText(), typed);
    QCOMPARE(form.optionsPage().positionLink, index);
    QCOMPARE(form.Cmb_Titre->currentIndex(), 4);
}

void TestForm1::runTimeError_data()
{
    QTest::addColumn<QString>("command"); // save, preview or close
    QTest::addColumn<QString>("target");  // the saved file, below the temporary root
    QTest::addColumn<int>("fault");       // a failing file operation, -1 for none
    QTest::addColumn<int>("number");      // of the run-time error shown

    const int none = -1, write = int(platform::FaultPoint::Write),
              remove = int(platform::FaultPoint::Delete);
    const int busy = platform::RuntimeError::fromErrno(EBUSY).number();
    QTest::newRow("save into a missing folder")
        << QStringLiteral("save") << QStringLiteral("absent/page.html") << none << 76;
    QTest::newRow("preview beside a missing program")
        << QStringLiteral("preview") << QString() << none << 76;
    QTest::newRow("disk full while saving")
        << QStringLiteral("save") << QStringLiteral("page.html") << write
        << platform::RuntimeError::fromErrno(ENOSPC).number();
    QTest::newRow("preview file held open at a save")
        << QStringLiteral("save") << QStringLiteral("page.html") << remove << busy;
    QTest::newRow("preview file held open at closing")
        << QStringLiteral("close") << QString() << remove << busy;
}

void TestForm1::runTimeError()
{
    QFETCH(QString, command);
    QFETCH(QString, target);
    QFETCH(int, fault);
    QFETCH(int, number);
    WindowFixture f;
    if (command == QLatin1String("preview"))
        f.programFolder = f.program(QStringLiteral("absent"));
    Form1 &form = f.open();
    support::writeFile(f.previewHost(), "aperçu");
    if (!target.isEmpty())
        f.answers << DialogAnswer::file(f.program(target));
    if (fault >= 0)
        platform::injectFault(platform::FaultPoint(fault),
                              fault == int(platform::FaultPoint::Write) ? ENOSPC : EBUSY);
    if (command == QLatin1String("save")) {
        form.Cmd_Recherche_Fichier_Click();
    } else if (command == QLatin1String("preview")) {
        form.Cmd_Shell_IE_Click();
    } else {
        QCloseEvent event;
        QApplication::sendEvent(&form, &event);
        QVERIFY(event.isAccepted()); // the closing goes on all the same
    }
    platform::clearFaults();

    QCOMPARE(f.boxes.size(), 1);
    QCOMPARE(f.boxes.first().style, 16);
    QVERIFY(f.boxes.first().title.isEmpty());
    const QString heading = QStringLiteral("Erreur d'exécution '%1' :").arg(number);
    QVERIFY2(f.boxes.first().prompt.startsWith(heading), qPrintable(f.boxes.first().prompt));
    QCOMPARE(f.hourglassAtBox, QList<bool>{false});
    QCOMPARE(f.endings, QList<int>{1});
    QVERIFY(f.shells.isEmpty());
    QVERIFY(!QGuiApplication::overrideCursor());
    // A failed deletion stops the save before its dialog; a failed write leaves no page.
    QCOMPARE(f.dialogs.size(),
             fault == int(platform::FaultPoint::Delete) ? 0 : int(!target.isEmpty()));
    if (!target.isEmpty())
        QVERIFY(!QFile::exists(f.host(target)));
}

void TestForm1::hourglassKeepsOuterOverride()
{
    WindowFixture f;
    Form1 &form = f.open();
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    form.Cmd_Shell_IE_Click();
    QCOMPARE(f.cursorAtShell, Qt::BusyCursor);
    f.answers << DialogAnswer::file(f.program(QStringLiteral("absent/page.html")));
    form.Cmd_Recherche_Fichier_Click(); // fails: the override is restored on the way out
    QCOMPARE(f.endings, QList<int>{1});
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QGuiApplication::restoreOverrideCursor();
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestForm1::documentUrl_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QUrl>("url");
    QTest::newRow("a file") << QStringLiteral("\\tmp\\mes pages\\TEMP.HTML")
                            << QUrl::fromLocalFile(QStringLiteral("/tmp/mes pages/TEMP.HTML"));
    QTest::newRow("a mail address") << QStringLiteral("mailto: ana@example.org")
                                    << QUrl(QStringLiteral("mailto:ana@example.org"));
    QTest::newRow("a web address") << QStringLiteral("http://example.org/signetor")
                                   << QUrl(QStringLiteral("http://example.org/signetor"));
    QTest::newRow("a drive path") << QStringLiteral("C:\\Windows\\TEMP.HTML") << QUrl();
}

void TestForm1::documentUrl()
{
    QFETCH(QString, file);
    QFETCH(QUrl, url);
    QCOMPARE(seams::documentUrl(file), url);
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
