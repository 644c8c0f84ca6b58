#pragma once

#include "page/page_options.h"
#include "platform/file_system.h"
#include "window/common_dialog.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace platform
{
class RuntimeError;
}

// The program's main window: it shows and holds every option of the page, runs the save and
// preview commands and the option pickers. Controls and option values are public, under the
// names the rest of the program uses for them.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // The program folder holds "defbg.gif" and the preview file "TEMP.HTML" (program form,
    // no final "\"); it is the executable's folder unless a test gives another.
    explicit Form1(const QString &programFolder = platform::programFolder(),
                   QWidget *parent = nullptr);

    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4;
    std::array<QLabel *, 14> Lbl;
    std::array<QLineEdit *, 4> Txt; // 0: favourites folder, 1: start page, 2: image, 3: title
    QPushButton *Cmd_Info, *Cmd_Favoris_Path, *Cmd_Fond_Path;
    QPushButton *Cmd_Recherche_Fichier, *Cmd_Shell_IE, *Cmd_Quitter;
    QLabel *Lbl_Couleur_Fond, *Lbl_Couleur_Titre, *Lbl_Couleur_Dossier;
    QLabel *Lbl_Couleur_Link, *Lbl_Couleur_vLink, *Lbl_Couleur_aLink;
    QComboBox *Cmb_Link, *Cmb_Titre, *Cmb_Dossier;
    QCheckBox *Chk_Demarrage;
    MSComDlg::CommonDialog CommonDialog;

    QString Chemin_Favoris; // a folder, ending with "\", or a bookmark file
    QString Nom_Fichier;    // the page file last chosen, empty after a cancel
    qint32 Couleur_Fond = 0;
    qint32 Couleur_Titre = 0;
    qint32 Couleur_Dossier = 0;
    qint32 Couleur_Link = 0;
    qint32 Couleur_vLink = 0;
    qint32 Couleur_aLink = 0;

    void Form_Load();
    QString Choisir_Fichier();

    void Cmd_Recherche_Fichier_Click();
    void Cmd_Shell_IE_Click();
    void Cmd_Quitter_Click();
    void Cmd_Info_Click();
    void Cmd_Favoris_Path_Click();
    void Cmd_Fond_Path_Click();
    void Lbl_Couleur_Fond_Click();
    void Lbl_Couleur_Titre_Click();
    void Lbl_Couleur_Dossier_Click();
    void Lbl_Couleur_Link_Click();
    void Lbl_Couleur_vLink_Click();
    void Lbl_Couleur_aLink_Click();

    // The look of the page as the window holds it now.
    PageOptions optionsPage() const;
    // The program folder and "\TEMP.HTML".
    QString fichierApercu() const;
    // Where the page and image dialogs open: the program folder, or the user's home folder
    // when the user cannot write there (program form).
    QString dossierDialogues() const;
    // The favourites as the library reads them: the host path of Chemin_Favoris; a folder
    // that this host cannot name ("C:\Windows\Favoris\") is the empty path.
    QString sourceHote() const;
    // The packed colour a swatch shows.
    static qint32 couleurAffichee(const QLabel *swatch);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void creerCadreHaut();
    void creerParametres();
    void creerLignes();
    void creerCouleurs();
    void creerTailles();
    void creerBoutons();
    void ordonnerTabulation();
    QRect zone(int x, int y, int width, int height) const;
    QLabel *creerLibelle(int index, QWidget *parent, const QString &texte, Qt::Alignment align);
    QLabel *creerPastille(QWidget *parent, void (Form1::*clic)());
    QComboBox *creerListeTailles(QWidget *parent, const QString &nom, const QString &bulle);

    void remplirTailles(QComboBox *liste, const QString &suffixe, int selection);
    void choisirCouleur(qint32 &couleur, QLabel *swatch);
    void supprimerApercu();
    void afficherFavoris();
    template <typename Command> void executer(Command command);
    void erreurExecution(const platform::RuntimeError &error);

    QString m_programFolder;
    double m_scale = 1.0;
};
