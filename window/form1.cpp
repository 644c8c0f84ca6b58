#include "window/form1.h"

#include "browser/api.h"
#include "favourites/source.h"
#include "favourites/source_error.h"
#include "page/page_builder.h"
#include "page/page_file.h"
#include "platform/paths.h"
#include "platform/runtime_error.h"
#include "platform/termination_signals.h"
#include "platform/virtual_store.h"
#include "window/info.h"
#include "window/seams.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>

#include <csignal>
#include <functional>
#include <new>

#include <unistd.h>

namespace
{

// A colour swatch: a bordered square label that reports a left click.
class Pastille : public QLabel
{
public:
    Pastille(QWidget *parent, std::function<void()> clic) : QLabel(parent), m_clic(std::move(clic))
    {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
        setAutoFillBackground(true);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        // Accepting the press makes the release come here too.
        event->setAccepted(event->button() == Qt::LeftButton);
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            m_clic();
    }

private:
    std::function<void()> m_clic;
};

void peindre(QLabel *swatch, qint32 couleur)
{
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, MSComDlg::colourFromPacked(couleur));
    swatch->setPalette(palette);
}

// The hourglass, for the life of the object; it restores exactly the override it set, so an
// outer override stays in place.
class Sablier
{
public:
    Sablier() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Sablier() { QGuiApplication::restoreOverrideCursor(); }
    Sablier(const Sablier &) = delete;
    Sablier &operator=(const Sablier &) = delete;
};

// A text typed into a size list's field leaves no item selected, even one it spells; the
// typed text stays as typed.
void suivreSaisie(QComboBox *liste)
{
    QObject::connect(liste->lineEdit(), &QLineEdit::textEdited, liste, [liste](const QString &t) {
        if (liste->currentIndex() == -1)
            return;
        const int curseur = liste->lineEdit()->cursorPosition();
        liste->setCurrentIndex(-1);
        liste->setEditText(t);
        liste->lineEdit()->setCursorPosition(curseur);
    });
}

// An absolute program path as the boxes show it and the library takes it: its host path.
// Anything else stays as it is: the default "C:\Windows\Favoris\", which this host cannot
// name, or a start page's address.
QString commeHote(const QString &chemin)
{
    if (!chemin.startsWith(QLatin1Char('\\')))
        return chemin;
    return platform::toHostPath(chemin).value_or(chemin);
}

// The host path at which a page is written. One that this host cannot name is refused as the
// run-time refuses it: a drive's path is not found, any other is a bad file name.
QString fichierHote(const QString &chemin)
{
    if (const std::optional<QString> hote = platform::toHostPath(chemin); hote && !hote->isEmpty())
        return *hote;
    const bool lecteur = chemin.size() >= 2 && chemin.at(1) == QLatin1Char(':');
    throw platform::RuntimeError(lecteur ? platform::RuntimeError::PathNotFound
                                         : platform::RuntimeError::BadFileName);
}

QFont taillePoints(QFont police, double points)
{
    police.setPointSizeF(points);
    return police;
}

} // namespace

// The program's icon in its two window sizes. The resources live in a static library, so
// they are registered here before use.
static QIcon iconeProgramme()
{
    Q_INIT_RESOURCE(signetor);
    QIcon icone;
    icone.addFile(QStringLiteral(":/icons/signetor-16.png"), QSize(16, 16));
    icone.addFile(QStringLiteral(":/icons/signetor-32.png"), QSize(32, 32));
    return icone;
}

Form1::Form1(const QString &programFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      CommonDialog(this), m_programFolder(programFolder)
{
    m_scale = logicalDpiX() / 96.0;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" Signetor"));
    setWindowIcon(iconeProgramme());
    setFont(taillePoints(font(), 8.25));
    setFixedSize(zone(0, 0, 464, 490).size());
    creerCadreHaut();
    creerParametres();
    creerBoutons();
    ordonnerTabulation();
    Form_Load();
    // A termination signal or the end of the desktop session closes the window as "Quitter"
    // does, so that the preview file goes.
    auto *signaux = new platform::TerminationSignals({SIGTERM, SIGHUP, SIGINT}, this);
    connect(signaux, &platform::TerminationSignals::received, this, &QWidget::close);
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this] { executer([this] { supprimerApercu(); }); });
}

QRect Form1::zone(int x, int y, int width, int height) const
{
    const auto s = [this](int v) { return qRound(v * m_scale); };
    return QRect(s(x), s(y), s(width), s(height));
}

QLabel *Form1::creerLibelle(int index, QWidget *parent, const QString &texte, Qt::Alignment align)
{
    QLabel *libelle = new QLabel(texte, parent);
    libelle->setObjectName(QStringLiteral("Lbl_%1").arg(index));
    libelle->setAlignment(align | Qt::AlignVCenter);
    Lbl[std::size_t(index)] = libelle;
    return libelle;
}

void Form1::creerCadreHaut()
{
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(zone(8, 4, 448, 92));
    creerLibelle(
        0, Frame1,
        QStringLiteral("Cet utilitaire génére une page au format HTML à partir des favoris "
                       "d'Internet Explorer, la page crée peut optionnellement être "
                       "utilisée comme page de démarrage."),
        Qt::AlignHCenter)
        ->setGeometry(zone(8, 12, 432, 44));
    Lbl[0]->setWordWrap(true);
    Cmd_Info = new QPushButton(QStringLiteral("Plus d'informations"), Frame1);
    Cmd_Info->setObjectName(QStringLiteral("Cmd_Info"));
    Cmd_Info->setGeometry(zone(152, 60, 144, 24));
    connect(Cmd_Info, &QPushButton::clicked, this, &Form1::Cmd_Info_Click);
}

void Form1::creerParametres()
{
    Frame2 = new QGroupBox(QStringLiteral(" Paramétres "), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(zone(8, 100, 448, 336));
    QFont gras = font();
    gras.setBold(true);
    Frame2->setFont(gras);
    creerLignes();
    creerCouleurs();
    creerTailles();
    Chk_Demarrage = new QCheckBox(QStringLiteral("Choisir comme page de démarrage"), Frame2);
    Chk_Demarrage->setObjectName(QStringLiteral("Chk_Demarrage"));
    Chk_Demarrage->setToolTip(
        QStringLiteral("Si vous cocher cette option Internet Explorer démarrera sur cette page"));
    Chk_Demarrage->setGeometry(zone(16, 304, 416, 22));
    // Only the frame's caption is bold.
    QFont normal = font();
    normal.setBold(false);
    for (QWidget *enfant : Frame2->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        enfant->setFont(normal);
}

void Form1::creerLignes()
{
    const QString libelles[4] = {QStringLiteral("Chemin du dossier \"Favoris\" :"),
                                 QStringLiteral("Page de démarrage actuelle :"),
                                 QStringLiteral("Image de fond (format GIF) :"),
                                 QStringLiteral("Titre de la page :")};
    const int indices[4] = {8, 1, 2, 3};
    for (int ligne = 0; ligne < 4; ++ligne) {
        const int y = 24 + 28 * ligne;
        creerLibelle(indices[ligne], Frame2, libelles[ligne], Qt::AlignRight)
            ->setGeometry(zone(4, y + 2, 184, 17));
        QLineEdit *boite = new QLineEdit(Frame2);
        boite->setObjectName(QStringLiteral("Txt_%1").arg(ligne));
        const bool avecBouton = ligne == 0 || ligne == 2;
        boite->setGeometry(zone(192, y, avecBouton ? 212 : 244, 21));
        if (ligne < 3) {
            boite->setReadOnly(true);
            boite->setFocusPolicy(Qt::ClickFocus);
        }
        Txt[std::size_t(ligne)] = boite;
    }
    const auto bouton = [this](const QString &nom, int y, void (Form1::*clic)()) {
        QPushButton *b = new QPushButton(QStringLiteral("..."), Frame2);
        b->setObjectName(nom);
        b->setToolTip(QStringLiteral("Parcourir"));
        b->setFocusPolicy(Qt::ClickFocus);
        b->setAutoDefault(true);
        b->setGeometry(zone(408, y, 28, 21));
        connect(b, &QPushButton::clicked, this, clic);
        return b;
    };
    Cmd_Favoris_Path =
        bouton(QStringLiteral("Cmd_Favoris_Path"), 24, &Form1::Cmd_Favoris_Path_Click);
    Cmd_Fond_Path = bouton(QStringLiteral("Cmd_Fond_Path"), 80, &Form1::Cmd_Fond_Path_Click);
}

QLabel *Form1::creerPastille(QWidget *parent, void (Form1::*clic)())
{
    return new Pastille(parent, [this, clic] { (this->*clic)(); });
}

void Form1::creerCouleurs()
{
    Frame3 = new QGroupBox(QStringLiteral(" Choix des couleurs "), Frame2);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setGeometry(zone(8, 140, 432, 84));
    struct Couleur {
        QLabel **swatch;
        const char *nom;
        void (Form1::*clic)();
        int libelle;
        QString texte;
        int x, y, largeur;
    };
    const Couleur couleurs[6] = {
        {&Lbl_Couleur_Fond, "Lbl_Couleur_Fond", &Form1::Lbl_Couleur_Fond_Click, 7,
         QStringLiteral("Fond"), 12, 24, 78},
        {&Lbl_Couleur_Link, "Lbl_Couleur_Link", &Form1::Lbl_Couleur_Link_Click, 9,
         QStringLiteral("Liens"), 116, 24, 78},
        {&Lbl_Couleur_vLink, "Lbl_Couleur_vLink", &Form1::Lbl_Couleur_vLink_Click, 10,
         QStringLiteral("Liens visités"), 220, 24, 78},
        {&Lbl_Couleur_aLink, "Lbl_Couleur_aLink", &Form1::Lbl_Couleur_aLink_Click, 11,
         QStringLiteral("Lien pointé"), 324, 24, 78},
        {&Lbl_Couleur_Titre, "Lbl_Couleur_Titre", &Form1::Lbl_Couleur_Titre_Click, 4,
         QStringLiteral("Titre"), 12, 52, 78},
        {&Lbl_Couleur_Dossier, "Lbl_Couleur_Dossier", &Form1::Lbl_Couleur_Dossier_Click, 5,
         QStringLiteral("Sous-titres (dossiers)"), 116, 52, 200},
    };
    for (const Couleur &c : couleurs) {
        *c.swatch = creerPastille(Frame3, c.clic);
        (*c.swatch)->setObjectName(QLatin1String(c.nom));
        (*c.swatch)->setGeometry(zone(c.x, c.y, 19, 19));
        creerLibelle(c.libelle, Frame3, c.texte, Qt::AlignLeft)
            ->setGeometry(zone(c.x + 25, c.y, c.largeur, 19));
    }
}

QComboBox *Form1::creerListeTailles(QWidget *parent, const QString &nom, const QString &bulle)
{
    QComboBox *liste = new QComboBox(parent);
    liste->setObjectName(nom);
    liste->setToolTip(bulle);
    liste->setEditable(true);
    liste->setInsertPolicy(QComboBox::NoInsert);
    liste->setCompleter(nullptr);
    suivreSaisie(liste);
    return liste;
}

void Form1::creerTailles()
{
    Frame4 = new QGroupBox(QStringLiteral(" Choix des tailles de polices "), Frame2);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Frame4->setGeometry(zone(8, 232, 432, 60));
    creerLibelle(6, Frame4, QStringLiteral("Liens"), Qt::AlignRight)
        ->setGeometry(zone(8, 28, 40, 17));
    Cmb_Link = creerListeTailles(Frame4, QStringLiteral("Cmb_Link"),
                                 QStringLiteral("Taille de la police pour les liens"));
    Cmb_Link->setGeometry(zone(52, 26, 84, 22));
    creerLibelle(12, Frame4, QStringLiteral("Titre"), Qt::AlignRight)
        ->setGeometry(zone(148, 28, 40, 17));
    Cmb_Titre = creerListeTailles(Frame4, QStringLiteral("Cmb_Titre"),
                                  QStringLiteral("Taille de la police pour le titre"));
    Cmb_Titre->setGeometry(zone(192, 26, 84, 22));
    creerLibelle(13, Frame4, QStringLiteral("Sous-titres"), Qt::AlignRight)
        ->setGeometry(zone(280, 28, 64, 17));
    Cmb_Dossier =
        creerListeTailles(Frame4, QStringLiteral("Cmb_Dossier"),
                          QStringLiteral("Taille de la police pour les sous-titre (dossiers)"));
    Cmb_Dossier->setGeometry(zone(348, 26, 80, 22));
}

void Form1::creerBoutons()
{
    const auto bouton = [this](const QString &nom, const QString &texte, int x,
                               void (Form1::*clic)()) {
        QPushButton *b = new QPushButton(texte, this);
        b->setObjectName(nom);
        b->setAutoDefault(true);
        b->setGeometry(zone(x, 448, 140, 30));
        connect(b, &QPushButton::clicked, this, clic);
        return b;
    };
    Cmd_Recherche_Fichier =
        bouton(QStringLiteral("Cmd_Recherche_Fichier"), QStringLiteral("Enregistrer la page"), 12,
               &Form1::Cmd_Recherche_Fichier_Click);
    Cmd_Recherche_Fichier->setDefault(true);
    // Outside a dialog Qt drops the default look of "Enregistrer la page" once it loses the
    // focus, though Enter still saves: give it back unless the focus is on a button that
    // takes Enter itself.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *maintenant) {
        if (!maintenant || maintenant->window() != this)
            return;
        const auto *bouton = qobject_cast<const QPushButton *>(maintenant);
        const bool prendEntree = bouton && bouton->autoDefault();
        Cmd_Recherche_Fichier->setDefault(!prendEntree || bouton == Cmd_Recherche_Fichier);
    });
    Cmd_Shell_IE = bouton(QStringLiteral("Cmd_Shell_IE"), QStringLiteral("Visualisation"), 162,
                          &Form1::Cmd_Shell_IE_Click);
    Cmd_Shell_IE->setToolTip(
        QStringLiteral("Lancement d'internet Explorer et visualisation de la page"));
    Cmd_Quitter = bouton(QStringLiteral("Cmd_Quitter"), QStringLiteral("Quitter"), 312,
                         &Form1::Cmd_Quitter_Click);
    const QFont grand = taillePoints(font(), 9.75);
    Cmd_Favoris_Path->setFont(grand);
    Cmd_Fond_Path->setFont(grand);
}

void Form1::ordonnerTabulation()
{
    // The read-only boxes and the "..." buttons keep their place in the chain but take
    // focus only from the mouse.
    QWidget *const ordre[] = {Cmd_Recherche_Fichier,
                              Cmd_Shell_IE,
                              Cmd_Quitter,
                              Cmd_Info,
                              Txt[0],
                              Cmd_Favoris_Path,
                              Txt[1],
                              Txt[2],
                              Cmd_Fond_Path,
                              Txt[3],
                              Cmb_Link,
                              Cmb_Titre,
                              Cmb_Dossier,
                              Chk_Demarrage};
    for (std::size_t i = 0; i + 1 < std::size(ordre); ++i)
        setTabOrder(ordre[i], ordre[i + 1]);
    Cmd_Recherche_Fichier->setFocus();
}

void Form1::remplirTailles(QComboBox *liste, const QString &suffixe, int selection)
{
    for (const int points : {7, 8, 9, 10, 12, 14, 16, 18, 24, 36})
        liste->addItem(QString::number(points) + suffixe);
    liste->setCurrentIndex(selection);
    liste->setEditText(liste->itemText(selection));
}

void Form1::Form_Load()
{
    Nom_Fichier.clear();
    const PageOptions defauts;
    const std::pair<qint32 *, QLabel *> couleurs[6] = {
        {&Couleur_Fond, Lbl_Couleur_Fond},       {&Couleur_Titre, Lbl_Couleur_Titre},
        {&Couleur_Dossier, Lbl_Couleur_Dossier}, {&Couleur_Link, Lbl_Couleur_Link},
        {&Couleur_vLink, Lbl_Couleur_vLink},     {&Couleur_aLink, Lbl_Couleur_aLink}};
    const qint32 valeurs[6] = {defauts.Couleur_Fond, defauts.Couleur_Titre, defauts.Couleur_Dossier,
                               defauts.Couleur_Link, defauts.Couleur_vLink, defauts.Couleur_aLink};
    for (std::size_t i = 0; i < 6; ++i) {
        *couleurs[i].first = valeurs[i];
        peindre(couleurs[i].second, valeurs[i]);
    }
    Chemin_Favoris = cheminFavorisParDefaut;
    if (!platform::folderHasEntries(Chemin_Favoris)) {
        const QString favoris = favorisDuNavigateurParDefaut();
        if (!favoris.isEmpty())
            Chemin_Favoris = platform::toProgramPath(favoris);
    }
    afficherFavoris();
    Txt[1]->setText(commeHote(Lire_Page_Demarrage()));
    const QString image = m_programFolder + QStringLiteral("\\defbg.gif");
    Txt[2]->setText(platform::plainFileExists(image) ? commeHote(image) : aucuneImage);
    Txt[3]->setText(defauts.titre);
    remplirTailles(Cmb_Link, QStringLiteral(" pt"), 2);
    remplirTailles(Cmb_Titre, QStringLiteral(" pt bold"), 4);
    remplirTailles(Cmb_Dossier, QStringLiteral(" pt bold"), 2);
}

PageOptions Form1::optionsPage() const
{
    PageOptions options;
    options.Couleur_Fond = Couleur_Fond;
    options.Couleur_Titre = Couleur_Titre;
    options.Couleur_Dossier = Couleur_Dossier;
    options.Couleur_Link = Couleur_Link;
    options.Couleur_vLink = Couleur_vLink;
    options.Couleur_aLink = Couleur_aLink;
    options.positionTitre = Cmb_Titre->currentIndex();
    options.positionDossier = Cmb_Dossier->currentIndex();
    options.positionLink = Cmb_Link->currentIndex();
    options.titre = Txt[3]->text();
    // The page names its image in program form.
    const QString image = Txt[2]->text();
    options.image = image == aucuneImage ? image : platform::toProgramPath(image);
    return options;
}

QString Form1::fichierApercu() const
{
    return m_programFolder + QStringLiteral("\\TEMP.HTML");
}

QString Form1::dossierDialogues() const
{
    const std::optional<QByteArray> dossier = platform::toHostBytes(m_programFolder);
    if (dossier && access(dossier->isEmpty() ? "/" : dossier->constData(), W_OK) == 0)
        return m_programFolder;
    return platform::toProgramPath(QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
}

QString Form1::sourceHote() const
{
    if (const std::optional<QString> hote = platform::toHostPath(Chemin_Favoris))
        return *hote;
    return Chemin_Favoris.endsWith(QLatin1Char('\\')) ? QString() : Chemin_Favoris;
}

void Form1::afficherFavoris()
{
    Txt[0]->setText(commeHote(Chemin_Favoris));
}

qint32 Form1::couleurAffichee(const QLabel *swatch)
{
    return MSComDlg::packedFromColour(swatch->palette().color(QPalette::Window));
}

// Runs a command; a run-time error it raises is reported and ends the program.
template <typename Command> void Form1::executer(Command command)
{
    try {
        command();
    } catch (const ErreurSource &erreur) {
        // Nothing is written: an unreadable source never passes for an empty page.
        seams::MsgBox({this, erreur.message(), 48, QStringLiteral("Signetor")});
    } catch (const platform::RuntimeError &error) {
        erreurExecution(error);
    } catch (const std::bad_alloc &) {
        const int numero = platform::RuntimeError::OutOfMemory;
        erreurExecution(platform::RuntimeError(numero, platform::RuntimeError::describe(numero)));
    } catch (const platform::Interrupted &) {
        // A termination signal stopped the command, its page file unwritten; the signal's own
        // event closes the window next.
    }
}

void Form1::erreurExecution(const platform::RuntimeError &error)
{
    seams::MsgBox({this, error.message(), 16, QString()});
    seams::Terminate(1);
}

void Form1::supprimerApercu()
{
    if (platform::plainFileExists(fichierApercu()))
        platform::deleteFile(fichierApercu());
}

QString Form1::Choisir_Fichier()
{
    CommonDialog.CancelError = true;
    CommonDialog.DialogTitle = QStringLiteral("Sauvegarde de la page");
    CommonDialog.Filter = QStringLiteral("Page HTML (*.HTML)|*.HTML|");
    CommonDialog.FileName = Nom_Fichier;
    CommonDialog.FilterIndex = 1;
    try {
        CommonDialog.InitDir = dossierDialogues();
        CommonDialog.ShowSave();
        const QString nom = CommonDialog.FileName;
        if (platform::plainFileExists(nom) &&
            seams::MsgBox({this, QStringLiteral("Ce fichier existe, voulez-vous le remplacer?"), 33,
                           QString()}) == 2)
            return QString();
        return nom;
    } catch (const std::exception &) {
        return QString();
    }
}

void Form1::Cmd_Recherche_Fichier_Click()
{
    executer([this] {
        supprimerApercu();
        Nom_Fichier = Choisir_Fichier();
        if (Nom_Fichier.isEmpty())
            return;
        repaint();
        const Sablier sablier;
        Enregistrer_Page(fichierHote(Nom_Fichier), sourceHote(), optionsPage());
        if (Chk_Demarrage->checkState() == Qt::Checked)
            Ecrire_Page_Demarrage(Nom_Fichier);
    });
}

void Form1::Cmd_Shell_IE_Click()
{
    executer([this] {
        repaint();
        const QString chemin = fichierApercu();
        {
            const Sablier sablier;
            Enregistrer_Page(fichierHote(platform::writablePath(chemin)), sourceHote(),
                             optionsPage());
        }
        seams::ShellExecuteA({this, QStringLiteral("open"), chemin, QString(), QString(), 0});
    });
}

void Form1::Cmd_Quitter_Click()
{
    close();
}

void Form1::Cmd_Info_Click()
{
    Info(this).exec();
}

void Form1::closeEvent(QCloseEvent *event)
{
    executer([this] { supprimerApercu(); });
    event->accept();
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Cmd_Recherche_Fichier->click();
        break;
    case Qt::Key_Escape:
        Cmd_Quitter->click();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void Form1::Cmd_Favoris_Path_Click()
{
    CommonDialog.CancelError = true;
    CommonDialog.DialogTitle = QStringLiteral("Choisir le répertoire \"Favoris\"");
    CommonDialog.Filter = QStringLiteral("URL (*.URL)|*.URL|"
                                         "Marque-pages (bookmarks.html, places.sqlite, Bookmarks)|"
                                         "*.html;*.htm;places.sqlite;Bookmarks|");
    // Opens in the favourites folder; on a bookmark file, in its folder with the second
    // filter and the file's name.
    const qsizetype coupe = Chemin_Favoris.lastIndexOf(QLatin1Char('\\')) + 1;
    const bool surFichier = coupe < Chemin_Favoris.size();
    CommonDialog.FileName = surFichier ? Chemin_Favoris.mid(coupe) : QStringLiteral("Dummy.url");
    CommonDialog.FilterIndex = surFichier ? 2 : 1;
    try {
        CommonDialog.InitDir = Chemin_Favoris.left(coupe);
        CommonDialog.ShowSave();
        const QString &choix = CommonDialog.FileName;
        // A bookmark file is itself the source, and so is any file picked by the second
        // filter: the save then says what it is.
        const QString hote = commeHote(choix);
        if (typeFichierSignets(hote) ||
            (CommonDialog.FilterIndex == 2 && QFileInfo(hote).isFile())) {
            Chemin_Favoris = choix;
            afficherFavoris();
            return;
        }
        const QString dossier = choix.left(choix.lastIndexOf(QLatin1Char('\\')) + 1);
        if (platform::folderHasEntries(dossier)) {
            Chemin_Favoris = dossier;
            afficherFavoris();
        }
    } catch (const std::exception &) {
        Chemin_Favoris = cheminFavorisParDefaut;
        afficherFavoris();
    }
}

void Form1::Cmd_Fond_Path_Click()
{
    CommonDialog.CancelError = true;
    CommonDialog.DialogTitle = QStringLiteral("Choisir une image de fond (GIF)");
    // Every browser shows these as a page's background.
    CommonDialog.Filter = QStringLiteral("Image GIF, PNG, JPEG, WebP ou SVG|"
                                         "*.GIF;*.PNG;*.JPG;*.JPEG;*.WEBP;*.SVG|");
    CommonDialog.FileName = QString();
    CommonDialog.FilterIndex = 1;
    try {
        CommonDialog.InitDir = dossierDialogues();
        CommonDialog.ShowOpen();
        const QString image = CommonDialog.FileName;
        if (platform::plainFileExists(image))
            Txt[2]->setText(commeHote(image));
    } catch (const std::exception &) {
        Txt[2]->setText(aucuneImage);
    }
}

void Form1::choisirCouleur(qint32 &couleur, QLabel *swatch)
{
    CommonDialog.Color = couleur;
    CommonDialog.CancelError = true;
    try {
        CommonDialog.ShowColor();
        couleur = CommonDialog.Color;
    } catch (const std::exception &) {
        // The colour stays as it was.
    }
    peindre(swatch, couleur);
}

void Form1::Lbl_Couleur_Fond_Click()
{
    choisirCouleur(Couleur_Fond, Lbl_Couleur_Fond);
}

void Form1::Lbl_Couleur_Titre_Click()
{
    choisirCouleur(Couleur_Titre, Lbl_Couleur_Titre);
}

void Form1::Lbl_Couleur_Dossier_Click()
{
    choisirCouleur(Couleur_Dossier, Lbl_Couleur_Dossier);
}

void Form1::Lbl_Couleur_Link_Click()
{
    choisirCouleur(Couleur_Link, Lbl_Couleur_Link);
}

void Form1::Lbl_Couleur_vLink_Click()
{
    choisirCouleur(Couleur_vLink, Lbl_Couleur_vLink);
}

void Form1::Lbl_Couleur_aLink_Click()
{
    choisirCouleur(Couleur_aLink, Lbl_Couleur_aLink);
}
