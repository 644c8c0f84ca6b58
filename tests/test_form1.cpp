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
#include <QPushButton>

#include <cerrno>

using MSComDlg::DialogAnswer;
using MSComDlg::DialogKind;

namespace
{

QStringList items(const QComboBox *list)
{
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->itemText(i);
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
    void controls();
    void defaults();
    void defaultImage_data();
    void defaultImage();
    void save_data();
    void save();
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
    void documentUrl();
};

void TestForm1::controls()
{
    struct Control {
        const char *name, *text, *toolTip;
        int align; // of a label's text, 0 for other controls
    };
    const int r = Qt::AlignRight, l = Qt::AlignLeft;
    const Control all[] = {
        {"Lbl_0",
         "Cet utilitaire génére une page au format HTML à partir des favoris d'Internet Explorer, "
         "la page crée peut optionnellement être utilisée comme page de démarrage.",
         "", Qt::AlignHCenter},
        {"Cmd_Info", "Plus d'informations", "", 0},
        {"Frame2", " Paramétres ", "", 0},
        {"Lbl_8", "Chemin du dossier \"Favoris\" :", "", r},
        {"Cmd_Favoris_Path", "...", "Parcourir", 0},
        {"Lbl_1", "Page de démarrage actuelle :", "", r},
        {"Lbl_2", "Image de fond (format GIF) :", "", r},
        {"Cmd_Fond_Path", "...", "Parcourir", 0},
        {"Lbl_3", "Titre de la page :", "", r},
        {"Frame3", " Choix des couleurs ", "", 0},
        {"Lbl_7", "Fond", "", l},
        {"Lbl_9", "Liens", "", l},
        {"Lbl_10", "Liens visités", "", l},
        {"Lbl_11", "Lien pointé", "", l},
        {"Lbl_4", "Titre", "", l},
        {"Lbl_5", "Sous-titres (dossiers)", "", l},
        {"Frame4", " Choix des tailles de polices ", "", 0},
        {"Lbl_6", "Liens", "", r},
        {"Lbl_12", "Titre", "", r},
        {"Lbl_13", "Sous-titres", "", r},
        {"Cmb_Link", "9 pt", "Taille de la police pour les liens", 0},
        {"Cmb_Titre", "12 pt bold", "Taille de la police pour le titre", 0},
        {"Cmb_Dossier", "9 pt bold", "Taille de la police pour les sous-titre (dossiers)", 0},
        {"Chk_Demarrage", "Choisir comme page de démarrage",
         "Si vous cocher cette option Internet Explorer démarrera sur cette page", 0},
        {"Cmd_Recherche_Fichier", "Enregistrer la page", "", 0},
        {"Cmd_Shell_IE", "Visualisation",
         "Lancement d'internet Explorer et visualisation de la page", 0},
        {"Cmd_Quitter", "Quitter", "", 0},
    };
    WindowFixture f;
    Form1 &form = f.open();
    for (const Control &c : all) {
        const QWidget *w = form.findChild<QWidget *>(QLatin1String(c.name));
        QVERIFY2(w, c.name);
        const char *property = qobject_cast<const QGroupBox *>(w)   ? "title"
                               : qobject_cast<const QComboBox *>(w) ? "currentText"
                                                                    : "text";
        QCOMPARE(w->property(property).toString(), QString::fromUtf8(c.text));
        QCOMPARE(w->toolTip(), QString::fromUtf8(c.toolTip));
        if (const auto *label = qobject_cast<const QLabel *>(w))
            QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), c.align);
    }
}

void TestForm1::defaults()
{
    WindowFixture f;
    Form1 form(f.programFolder);
    QCOMPARE(form.windowTitle(), QStringLiteral(" Signetor"));
    const double scale = form.logicalDpiX() / 96.0;
    QCOMPARE(form.minimumSize(), QSize(qRound(464 * scale), qRound(490 * scale)));
    QCOMPARE(form.maximumSize(), form.minimumSize());
    QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    const QList<QSize> iconSizes = form.windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));
    QVERIFY(form.Frame2->font().bold() && !form.Lbl[8]->font().bold());
    QCOMPARE(form.Cmd_Fond_Path->font().pointSizeF(), 9.75);
    QCOMPARE(form.Lbl[3]->font().pointSizeF(), 8.25);
    for (int i = 0; i < 3; ++i)
        QVERIFY(form.Txt[std::size_t(i)]->isReadOnly());
    QVERIFY(!form.Txt[3]->isReadOnly());

    QVERIFY(form.Nom_Fichier.isEmpty());
    QCOMPARE(form.Chemin_Favoris, QStringLiteral("C:\\Windows\\Favoris\\"));
    QCOMPARE(form.Txt[0]->text(), form.Chemin_Favoris);
    QCOMPARE(form.Txt[3]->text(), QStringLiteral("Internet Explorer - Favoris"));
    QCOMPARE(form.Chk_Demarrage->checkState(), Qt::Unchecked);
    const std::tuple<qint32, qint32, const QLabel *> colours[] = {
        {0x9FFFFF, form.Couleur_Fond, form.Lbl_Couleur_Fond},
        {0x800000, form.Couleur_Titre, form.Lbl_Couleur_Titre},
        {0x0000D4, form.Couleur_Dossier, form.Lbl_Couleur_Dossier},
        {0x800000, form.Couleur_Link, form.Lbl_Couleur_Link},
        {0x800080, form.Couleur_vLink, form.Lbl_Couleur_vLink},
        {0x0000FF, form.Couleur_aLink, form.Lbl_Couleur_aLink}};
    for (const auto &[expected, member, swatch] : colours) {
        QCOMPARE(member, expected);
        QCOMPARE(Form1::couleurAffichee(swatch), expected);
    }
    QStringList points;
    for (const char *p : {"7", "8", "9", "10", "12", "14", "16", "18", "24", "36"})
        points << QLatin1String(p) + QStringLiteral(" pt");
    QCOMPARE(items(form.Cmb_Link), points);
    QCOMPARE(items(form.Cmb_Titre),
             points.replaceInStrings(QStringLiteral("pt"), QStringLiteral("pt bold")));
    QCOMPARE(items(form.Cmb_Dossier), points);
    const PageOptions options = form.optionsPage();
    QCOMPARE(std::make_tuple(options.positionLink, options.positionTitre, options.positionDossier),
             std::make_tuple(2, 4, 2));
}

void TestForm1::defaultImage_data()
{
    QTest::addColumn<QString>("made"); // what lies at "defbg.gif" in the program folder
    QTest::newRow("nothing") << QString();
    QTest::newRow("a file") << QStringLiteral("file");
    QTest::newRow("a folder") << QStringLiteral("folder");
}

void TestForm1::defaultImage()
{
    QFETCH(QString, made);
    WindowFixture f;
    const QString image = f.host(QStringLiteral("prog/defbg.gif"));
    if (made == QLatin1String("file"))
        support::writeFile(image, "GIF89a");
    else if (made == QLatin1String("folder"))
        QDir().mkpath(image);
    Form1 form(f.programFolder);
    QCOMPARE(form.Txt[2]->text(), made == QLatin1String("file")
                                      ? f.programFolder + QStringLiteral("\\defbg.gif")
                                      : QStringLiteral("(aucune)"));
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
    const QByteArray former = "ancien contenu";
    support::writeFile(existed ? host : f.host(QStringLiteral("sortie/autre")), former);
    const QString chosen = f.program(QStringLiteral("sortie/") + target);
    f.answers << DialogAnswer::file(chosen);
    f.boxAnswer = answer;

    form.Cmd_Recherche_Fichier_Click();
    const SeenDialog &seen = f.dialogs.first();
    QCOMPARE(seen.kind, DialogKind::Save);
    QVERIFY(seen.cancelError);
    QCOMPARE(seen.title, QStringLiteral("Sauvegarde de la page"));
    QCOMPARE(seen.filter, QStringLiteral("Page HTML (*.HTML)|*.HTML|"));
    QCOMPARE(seen.fileName, QString());
    QCOMPARE(seen.initDir, f.programFolder);
    QCOMPARE(f.boxes.size(), int(existed));
    if (existed) {
        const seams::MsgBoxCall &box = f.boxes.first();
        QCOMPARE(box.prompt, QStringLiteral("Ce fichier existe, voulez-vous le remplacer?"));
        QCOMPARE(std::make_tuple(box.style, box.title, box.owner),
                 std::make_tuple(33, QString(), static_cast<QWidget *>(&form)));
    }
    QCOMPARE(form.Nom_Fichier, written ? chosen : QString());
    const QByteArray page = support::readFile(host);
    QVERIFY(written ? page.contains("http://example.org/recherche") && page.endsWith("</html>\r\n")
                    : page == former);
    QVERIFY(!QGuiApplication::overrideCursor());

    // The next dialog proposes this result; cancelling it writes nothing and empties the name.
    form.Cmd_Recherche_Fichier_Click();
    QCOMPARE(f.dialogs.size(), 2);
    QCOMPARE(f.dialogs[1].fileName, written ? chosen : QString());
    QVERIFY(form.Nom_Fichier.isEmpty());
    QCOMPARE(QDir(f.host(QStringLiteral("sortie"))).entryList(QDir::Files).size(), existed ? 1 : 2);
    QVERIFY(f.endings.isEmpty());
}

void TestForm1::startPageOnlyWhenTicked_data()
{
    QTest::addColumn<Qt::CheckState>("state");
    QTest::newRow("not ticked") << Qt::Unchecked;
    QTest::newRow("greyed") << Qt::PartiallyChecked;
    QTest::newRow("ticked") << Qt::Checked;
}

void TestForm1::startPageOnlyWhenTicked()
{
    QFETCH(Qt::CheckState, state);
    WindowFixture f;
    const QString before = QStringLiteral("\\ancienne\\page.html");
    Ecrire_Page_Demarrage(before);
    Form1 &form = f.open();
    QCOMPARE(form.Txt[1]->text(), before);
    form.Chk_Demarrage->setCheckState(state);
    const QString chosen = f.program(QStringLiteral("demarrage.html"));
    f.answers << DialogAnswer::file(chosen);
    form.Cmd_Recherche_Fichier_Click();
    QVERIFY(QFile::exists(f.host(QStringLiteral("demarrage.html"))));
    QCOMPARE(Lire_Page_Demarrage(), state == Qt::Checked ? chosen : before);
    QCOMPARE(form.Txt[1]->text(), before); // read once, when the window opens
}

void TestForm1::previewFileLife()
{
    WindowFixture f;
    Form1 &form = f.open();
    form.Cmd_Shell_IE->click();
    QVERIFY(support::readFile(f.previewHost()).contains("http://example.org/accueil"));
    QCOMPARE(f.shells.size(), 1);
    const seams::ShellExecuteCall &call = f.shells.first();
    QCOMPARE(std::make_tuple(call.owner, call.operation, call.file, call.showCommand),
             std::make_tuple(static_cast<QWidget *>(&form), QStringLiteral("open"),
                             f.programFolder + QStringLiteral("\\TEMP.HTML"), 0));
    QVERIFY(call.parameters.isEmpty() && call.directory.isEmpty());
    QCOMPARE(f.cursorAtShell, Qt::ArrowCursor); // the hourglass is gone before the browser starts
    QVERIFY(f.dialogs.isEmpty());

    // Each preview is built from scratch and rewrites the file in place.
    support::writeFile(f.host(QStringLiteral("Favoris/Nouveau.url")),
                       support::shortcut("http://example.org/nouveau"));
    form.Cmd_Shell_IE->click();
    QVERIFY(support::readFile(f.previewHost()).contains("http://example.org/nouveau"));

    // The next save removes it before its dialog opens, even when then cancelled.
    bool goneAtDialog = false;
    f.onDialog = [&] { goneAtDialog = !QFile::exists(f.previewHost()); };
    form.Cmd_Recherche_Fichier->click();
    QVERIFY(goneAtDialog);
    QVERIFY(QDir(f.host(QStringLiteral("prog"))).isEmpty());
    form.close(); // nothing left to delete
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
}

void TestForm1::previewFromReadOnlyInstall()
{
    // Where the executable's folder cannot be written, the preview file lives in the user's
    // store; the browser is pointed there, and closing removes it.
    WindowFixture f;
    platform::setProgramFolderWritableForTesting(false);
    Form1 form;
    form.Chemin_Favoris = f.favourites;
    form.Cmd_Shell_IE_Click();
    const QString preview = platform::programFolder() + QStringLiteral("\\TEMP.HTML");
    QCOMPARE(f.shells.first().file, preview);
    const QString stored = seams::documentUrl(preview).toLocalFile();
    QVERIFY(stored.startsWith(QDir::homePath()));
    QVERIFY(support::readFile(stored).contains("http://example.org/accueil"));
    form.close();
    QVERIFY(!QFile::exists(stored));
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
    QStringList seen{focusedName()};
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << focusedName();
    }
    QCOMPARE(seen.join(QLatin1Char(' ')),
             QStringLiteral("Cmd_Recherche_Fichier Cmd_Shell_IE Cmd_Quitter Cmd_Info Txt_3 "
                            "Cmb_Link Cmb_Titre Cmb_Dossier Chk_Demarrage Cmd_Recherche_Fichier"));
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
    QTest::newRow("nothing") << QString() << -1;
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
    QCOMPARE(form.optionsPage().positionTitre, 4);
}

void TestForm1::runTimeError_data()
{
    QTest::addColumn<QString>("command"); // save, preview or close
    QTest::addColumn<QString>("target");  // the saved file, below the temporary root
    QTest::addColumn<int>("fault");       // the errno of a failing deletion, 0 for none
    QTest::addColumn<int>("number");      // of the run-time error shown
    const int busy = platform::RuntimeError::fromErrno(EBUSY).number();
    QTest::newRow("save into a missing folder")
        << QStringLiteral("save") << QStringLiteral("absent/page.html") << 0 << 76;
    QTest::newRow("preview beside a missing program")
        << QStringLiteral("preview") << QString() << 0 << 76;
    QTest::newRow("preview file held open at a save")
        << QStringLiteral("save") << QStringLiteral("page.html") << EBUSY << busy;
    QTest::newRow("preview file held open at closing")
        << QStringLiteral("close") << QString() << EBUSY << busy;
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
    if (fault)
        platform::injectFault(
            fault == ENOSPC ? platform::FaultPoint::Write : platform::FaultPoint::Delete, fault);
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
    QCOMPARE(std::make_tuple(f.boxes.first().style, f.boxes.first().title),
             std::make_tuple(16, QString()));
    const QString heading = QStringLiteral("Erreur d'exécution '%1' :").arg(number);
    QVERIFY2(f.boxes.first().prompt.startsWith(heading), qPrintable(f.boxes.first().prompt));
    QCOMPARE(f.hourglassAtBox, QList<bool>{false});
    QCOMPARE(f.endings, QList<int>{1});
    QVERIFY(f.shells.isEmpty());
    // A failed deletion stops a save before its dialog; a failed write leaves no page.
    QCOMPARE(f.dialogs.size(), fault ? 0 : int(!target.isEmpty()));
    QVERIFY(target.isEmpty() || !QFile::exists(f.host(target)));
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
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QGuiApplication::restoreOverrideCursor();
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestForm1::documentUrl()
{
    QCOMPARE(seams::documentUrl(QStringLiteral("\\tmp\\mes pages\\TEMP.HTML")),
             QUrl::fromLocalFile(QStringLiteral("/tmp/mes pages/TEMP.HTML")));
    QCOMPARE(seams::documentUrl(QStringLiteral("mailto: ana@example.org")),
             QUrl(QStringLiteral("mailto:ana@example.org")));
    QCOMPARE(seams::documentUrl(QStringLiteral("http://example.org/")),
             QUrl(QStringLiteral("http://example.org/")));
    QCOMPARE(seams::documentUrl(QStringLiteral("C:\\Windows\\TEMP.HTML")), QUrl());
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
