#include "cli/cli_arguments.h"

#include "browser/profils_navigateurs.h"
#include "page/page_generator.h"
#include "platform/file_system.h"
#include "platform/paths.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace
{

struct OptionCouleur {
    const char *nom;
    qint32 PageOptions::*membre;
    const char *role;
};

const OptionCouleur optionsCouleur[] = {
    {"couleur-fond", &PageOptions::Couleur_Fond, "couleur du fond"},
    {"couleur-titre", &PageOptions::Couleur_Titre, "couleur du titre"},
    {"couleur-dossier", &PageOptions::Couleur_Dossier, "couleur des sous-titres (dossiers)"},
    {"couleur-lien", &PageOptions::Couleur_Link, "couleur des liens"},
    {"couleur-lien-visite", &PageOptions::Couleur_vLink, "couleur des liens visités"},
    {"couleur-lien-pointe", &PageOptions::Couleur_aLink, "couleur du lien pointé"},
};

struct OptionTaille {
    const char *nom;
    int PageOptions::*membre;
    const char *role;
};

const OptionTaille optionsTaille[] = {
    {"taille-liens", &PageOptions::positionLink, "taille des liens"},
    {"taille-titre", &PageOptions::positionTitre, "taille du titre"},
    {"taille-dossiers", &PageOptions::positionDossier, "taille des sous-titres"},
};

const char *const interrupteurs[] = {
    "sans-image", "page-demarrage",  "signets",       "h",     "help", "version", "profils",
    "suivre",     "installer-suivi", "retirer-suivi", "unique"};

QString texte(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// "--titre" for a long name, "-h" for a one-letter one.
QString avecTirets(const QString &nom)
{
    return (nom.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + nom;
}

// The option name in "--name=value" or "-name", dashes and value left out.
QString nomOption(const QString &argument)
{
    QString nom = argument.section(QLatin1Char('='), 0, 0);
    while (nom.startsWith(QLatin1Char('-')))
        nom.remove(0, 1);
    return nom;
}

bool estInterrupteur(const QString &nom)
{
    for (const char *interrupteur : interrupteurs) {
        if (nom == QString::fromLatin1(interrupteur))
            return true;
    }
    return false;
}

QString listeTailles()
{
    QStringList tailles;
    for (int points : taillesPoints)
        tailles << QString::number(points);
    return tailles.join(QLatin1Char(' '));
}

std::optional<qint32> lireCouleur(const QString &valeur)
{
    static const QString chiffres = QStringLiteral("0123456789abcdefABCDEF");
    if (valeur.size() != 7 || valeur.at(0) != QLatin1Char('#'))
        return std::nullopt;
    for (qsizetype i = 1; i < valeur.size(); ++i) {
        if (!chiffres.contains(valeur.at(i)))
            return std::nullopt;
    }
    const auto octet = [&](int i) { return valeur.mid(1 + 2 * i, 2).toInt(nullptr, 16); };
    return RGB(octet(0), octet(1), octet(2));
}

std::optional<int> lirePosition(const QString &valeur)
{
    for (int position = 0; position < 10; ++position) {
        if (valeur == QString::number(taillesPoints[position]))
            return position;
    }
    return std::nullopt;
}

// The length of the valid UTF-8 sequence at the start of bytes, 0 when there is none.
qsizetype sequenceUtf8(QByteArrayView octets)
{
    const uchar tete = uchar(octets.front());
    const qsizetype longueur = tete < 0x80 ? 1 : tete >= 0xF0 ? 4 : tete >= 0xE0 ? 3 : 2;
    if (longueur > octets.size())
        return 0;
    const QByteArrayView sequence = octets.first(longueur);
    const QString texte = QString::fromUtf8(sequence);
    return texte.toUtf8() == sequence && !texte.contains(QChar::ReplacementCharacter) ? longueur
                                                                                      : 0;
}

QString argumentTexte(QByteArrayView octets)
{
    QString texte;
    while (!octets.isEmpty()) {
        const qsizetype longueur = sequenceUtf8(octets);
        if (longueur == 0)
            texte += QChar(0xDC00 + uchar(octets.front()));
        else
            texte += QString::fromUtf8(octets.first(longueur));
        octets = octets.sliced(qMax<qsizetype>(longueur, 1));
    }
    return texte;
}

// A host path made absolute against the working folder, "." and ".." resolved.
QString cheminAbsolu(const QString &cheminHote)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(cheminHote));
}

// A path typed on the command line that this program could not mean exactly: text that the
// host cannot encode back would name another file. Where the path is kept in the program's
// own form, whose separator is "\" (the image in the page, the start page), a "\" in it
// would name another file too.
void verifierChemin(const QString &chemin, const QString &role, bool formeProgramme = false)
{
    if (formeProgramme && chemin.contains(QLatin1Char('\\')))
        throw ErreurSaisie(
            QString::fromUtf8(
                "%1 «\u00a0%2\u00a0» contient «\u00a0\\\u00a0», que Signetor ne peut pas utiliser")
                .arg(role, chemin));
    if (QFile::decodeName(QFile::encodeName(chemin)) != chemin)
        throw ErreurSaisie(
            QString::fromUtf8("%1 «\u00a0%2\u00a0» contient des caractères qui ne sont pas "
                              "de l'UTF-8 valide")
                .arg(role, chemin));
}

class LecteurArguments
{
public:
    LecteurArguments();
    Demande lire(const QStringList &arguments);

private:
    void analyser(const QStringList &arguments);
    QString messageAnalyse(const QStringList &arguments) const;
    void verifierCombinaisons(const QStringList &arguments, const QStringList &positionnels) const;
    void lireCouleurs(PageOptions &options) const;
    void lireTailles(PageOptions &options) const;
    void lireChemins(const QStringList &positionnels, Demande &demande) const;
    QString lireImage() const;
    QString valeur(const char *nom) const { return m_parser.value(QString::fromLatin1(nom)); }
    bool present(const char *nom) const { return m_parser.isSet(QString::fromLatin1(nom)); }

    QCommandLineParser m_parser;
};

LecteurArguments::LecteurArguments()
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QString()});
    m_parser.addOption({QStringLiteral("titre"), QString(), QStringLiteral("TEXTE")});
    m_parser.addOption({QStringLiteral("image"), QString(), QStringLiteral("CHEMIN")});
    m_parser.addOption({QStringLiteral("sans-image"), QString()});
    m_parser.addOption({QStringLiteral("page-demarrage"), QString()});
    m_parser.addOption({QStringLiteral("signets"), QString()});
    m_parser.addOption({QStringLiteral("version"), QString()});
    m_parser.addOption({QStringLiteral("profils"), QString()});
    for (const char *suivi : {"suivre", "installer-suivi", "retirer-suivi", "unique"})
        m_parser.addOption({QString::fromLatin1(suivi), QString()});
    for (const OptionCouleur &option : optionsCouleur)
        m_parser.addOption({QString::fromLatin1(option.nom), QString(), QStringLiteral("#RRGGBB")});
    for (const OptionTaille &option : optionsTaille)
        m_parser.addOption({QString::fromLatin1(option.nom), QString(), QStringLiteral("N")});
}

Demande LecteurArguments::lire(const QStringList &arguments)
{
    analyser(arguments);
    Demande demande;
    demande.aide = present("help");
    demande.version = present("version");
    demande.profils = present("profils");
    if (demande.aide || demande.version || demande.profils)
        return demande;
    const QStringList positionnels = m_parser.positionalArguments();
    if (present("retirer-suivi")) {
        if (arguments.size() != 2)
            throw ErreurSaisie(texte("--retirer-suivi s'emploie seul"));
        demande.retirerSuivi = true;
        return demande;
    }
    verifierCombinaisons(arguments, positionnels);
    lireCouleurs(demande.options);
    lireTailles(demande.options);
    if (present("titre"))
        demande.options.titre = valeur("titre");
    lireChemins(positionnels, demande);
    demande.options.image = lireImage();
    demande.pageDemarrage = present("page-demarrage");
    demande.signets = present("signets");
    demande.suivre = present("suivre");
    demande.installerSuivi = present("installer-suivi");
    demande.unique = present("unique");
    return demande;
}

void LecteurArguments::analyser(const QStringList &arguments)
{
    if (!m_parser.parse(arguments))
        throw ErreurSaisie(messageAnalyse(arguments));
}

// The parser's own messages are English: say the same thing in French.
QString LecteurArguments::messageAnalyse(const QStringList &arguments) const
{
    const QStringList inconnues = m_parser.unknownOptionNames();
    if (!inconnues.isEmpty())
        return QStringLiteral("option inconnue\u00a0: %1").arg(avecTirets(inconnues.first()));
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QStringLiteral("--"))
            break;
        if (argument.startsWith(QLatin1Char('-')) && argument.contains(QLatin1Char('=')) &&
            estInterrupteur(nomOption(argument)))
            return QStringLiteral("l'option %1 ne prend pas de valeur")
                .arg(avecTirets(nomOption(argument)));
    }
    return QStringLiteral("l'option %1 attend une valeur").arg(arguments.last());
}

// Whether a value can be what the user meant for the option: one that does not fit it, or
// that names a folder, was most likely meant as the favourites folder or the page.
bool valeurPlausible(const QString &nom, const QString &valeur)
{
    const QFileInfo chemin(cheminAbsolu(valeur));
    if (chemin.isDir())
        return false;
    for (const OptionCouleur &option : optionsCouleur) {
        if (nom == QString::fromLatin1(option.nom))
            return lireCouleur(valeur).has_value();
    }
    for (const OptionTaille &option : optionsTaille) {
        if (nom == QString::fromLatin1(option.nom))
            return lirePosition(valeur).has_value();
    }
    return nom != QStringLiteral("image") || chemin.isFile();
}

// The last option given its value as the next argument ("--titre T"), with that value, when
// that value was most likely meant as the folder or the page that is missing.
std::optional<std::pair<QString, QString>> valeurPriseAuxChemins(const QStringList &arguments)
{
    std::optional<std::pair<QString, QString>> derniere;
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QStringLiteral("--"))
            break;
        if (argument.size() < 2 || !argument.startsWith(QLatin1Char('-')) ||
            argument.contains(QLatin1Char('=')) || estInterrupteur(nomOption(argument)))
            continue;
        derniere.emplace(nomOption(argument), arguments.at(++i));
    }
    if (!derniere || valeurPlausible(derniere->first, derniere->second))
        return std::nullopt;
    derniere->first = avecTirets(derniere->first);
    return derniere;
}

void LecteurArguments::verifierCombinaisons(const QStringList &arguments,
                                            const QStringList &positionnels) const
{
    if (positionnels.size() < 2) {
        if (const auto option = valeurPriseAuxChemins(arguments))
            throw ErreurSaisie(
                texte("l'option %1 attend une valeur\u00a0: «\u00a0%2\u00a0» a été pris pour "
                      "elle, et il manque alors %3")
                    .arg(option->first, option->second,
                         positionnels.isEmpty() ? texte("le dossier des favoris")
                                                : texte("le fichier de la page")));
    }
    if (positionnels.isEmpty())
        throw ErreurSaisie(texte("il manque le dossier des favoris et le fichier de la page"));
    if (positionnels.size() == 1)
        throw ErreurSaisie(
            texte("il manque le fichier de la page («\u00a0-\u00a0» pour la sortie standard)"));
    if (positionnels.size() > 2)
        throw ErreurSaisie(
            texte("argument de trop\u00a0: «\u00a0%1\u00a0»").arg(positionnels.at(2)));
    if (present("signets") && present("page-demarrage"))
        throw ErreurSaisie(texte("les options --signets et --page-demarrage s'excluent"));
    const int suivis = int(present("suivre")) + int(present("installer-suivi"));
    if (suivis > 0 && (suivis > 1 || present("signets")))
        throw ErreurSaisie(
            texte("les options --suivre, --installer-suivi et --signets s'excluent"));
    if (present("unique") && !present("suivre"))
        throw ErreurSaisie(texte("l'option --unique ne s'emploie qu'avec --suivre"));
    if (suivis > 0 && positionnels.at(1) == QStringLiteral("-"))
        throw ErreurSaisie(texte("le suivi demande un fichier : la sortie standard ne peut pas "
                                 "être tenue à jour"));
    if (present("image") && present("sans-image"))
        throw ErreurSaisie(texte("les options --image et --sans-image s'excluent"));
    if (present("page-demarrage") && positionnels.at(1) == QStringLiteral("-"))
        throw ErreurSaisie(
            texte("--page-demarrage demande un fichier\u00a0: la sortie standard ne peut pas "
                  "devenir la page de démarrage"));
}

void LecteurArguments::lireCouleurs(PageOptions &options) const
{
    for (const OptionCouleur &option : optionsCouleur) {
        if (!present(option.nom))
            continue;
        const std::optional<qint32> couleur = lireCouleur(valeur(option.nom));
        if (!couleur)
            throw ErreurSaisie(
                texte("--%1\u00a0: «\u00a0%2\u00a0» n'est pas une couleur de la forme #RRGGBB")
                    .arg(QString::fromLatin1(option.nom), valeur(option.nom)));
        options.*option.membre = *couleur;
    }
}

void LecteurArguments::lireTailles(PageOptions &options) const
{
    for (const OptionTaille &option : optionsTaille) {
        if (!present(option.nom))
            continue;
        const std::optional<int> position = lirePosition(valeur(option.nom));
        if (!position)
            throw ErreurSaisie(
                texte("--%1\u00a0: «\u00a0%2\u00a0» n'est pas une taille de la liste (%3)")
                    .arg(QString::fromLatin1(option.nom), valeur(option.nom), listeTailles()));
        options.*option.membre = *position;
    }
}

void LecteurArguments::lireChemins(const QStringList &positionnels, Demande &demande) const
{
    const QString &favoris = positionnels.at(0);
    const QString &page = positionnels.at(1);
    if (favoris.isEmpty())
        throw ErreurSaisie(texte("le chemin du dossier des favoris est vide"));
    if (page.isEmpty())
        throw ErreurSaisie(texte("le chemin du fichier de la page est vide"));
    verifierChemin(favoris, texte("le dossier des favoris"));
    if (page != QStringLiteral("-"))
        verifierChemin(page, texte("le fichier de la page"), present("page-demarrage"));
    if (!QFileInfo::exists(favoris))
        throw ErreurSaisie(
            texte("le dossier des favoris «\u00a0%1\u00a0» n'existe pas").arg(favoris));
    demande.cheminFavoris = cheminAbsolu(favoris);
    demande.saisieFavoris = favoris;
    if (page != QStringLiteral("-"))
        demande.fichierPage = cheminAbsolu(page);
    demande.saisiePage = page;
}

QString LecteurArguments::lireImage() const
{
    if (present("sans-image"))
        return aucuneImage;
    if (!present("image"))
        return imageParDefaut();
    const QString hote = valeur("image");
    verifierChemin(hote, texte("l'image de fond"), true);
    const QFileInfo fichier(cheminAbsolu(hote));
    if (hote.isEmpty() || !fichier.isFile() || fichier.fileName().startsWith(QLatin1Char('.')))
        throw ErreurSaisie(
            texte("l'image de fond «\u00a0%1\u00a0» n'est pas un fichier existant").arg(hote));
    return platform::toProgramPath(fichier.filePath());
}

} // namespace

QStringList argumentsLigne(int argc, const char *const *argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << argumentTexte(QByteArrayView(argv[i]));
    return arguments;
}

Demande lireDemande(const QStringList &arguments)
{
    return LecteurArguments().lire(arguments);
}

QStringList argumentsPage(const Demande &demande)
{
    const PageOptions defauts;
    const PageOptions &options = demande.options;
    QStringList arguments;
    if (options.titre != defauts.titre)
        arguments << QStringLiteral("--titre") << options.titre;
    if (options.image != imageParDefaut()) {
        if (options.image == aucuneImage)
            arguments << QStringLiteral("--sans-image");
        else
            arguments << QStringLiteral("--image")
                      << platform::toHostPath(options.image).value_or(QString());
    }
    for (const OptionCouleur &option : optionsCouleur) {
        if (options.*option.membre != defauts.*option.membre)
            arguments << QStringLiteral("--%1").arg(QString::fromLatin1(option.nom))
                      << Couleur_Html(options.*option.membre);
    }
    for (const OptionTaille &option : optionsTaille) {
        if (options.*option.membre != defauts.*option.membre)
            arguments << QStringLiteral("--%1").arg(QString::fromLatin1(option.nom))
                      << QString::number(taillesPoints[options.*option.membre]);
    }
    if (demande.pageDemarrage)
        arguments << QStringLiteral("--page-demarrage");
    QString source = demande.cheminFavoris;
    if (source.size() > 1 && source.endsWith(QLatin1Char('/')))
        source.chop(1);
    return arguments << QStringLiteral("--") << source << demande.fichierPage;
}

QString texteAide()
{
    const PageOptions defauts;
    QString aide = texte(
        "Usage\u00a0: signetor-cli [options] SOURCE FICHIER_PAGE\n"
        "        signetor-cli --signets SOURCE FICHIER\n"
        "        signetor-cli --suivre [options] SOURCE FICHIER_PAGE\n"
        "        signetor-cli --installer-suivi [options] SOURCE FICHIER_PAGE\n"
        "        signetor-cli --retirer-suivi | --profils | --version | --help\n"
        "\n"
        "Construit la page HTML des favoris de SOURCE et l'écrit dans FICHIER_PAGE, octet\n"
        "pour octet comme «\u00a0Enregistrer la page\u00a0» de Signetor avec les mêmes options.\n"
        "Avec «\u00a0-\u00a0» pour FICHIER_PAGE, la page va sur la sortie standard.\n"
        "SOURCE est un dossier de raccourcis Internet (.URL) ou un fichier de\n"
        "marque-pages\u00a0: un bookmarks.html, le places.sqlite de Firefox ou le fichier\n"
        "Bookmarks de Chromium (--profils donne ceux des profils trouvés).\n"
        "Avec --signets, écrit à la place les liens de SOURCE dans FICHIER, un fichier de\n"
        "signets au format Netscape (UTF-8) que les navigateurs importent\u00a0; «\u00a0-\u00a0»\n"
        "l'écrit sur la sortie standard.\n"
        "\n"
        "Options\u00a0:\n");
    const auto ligne = [&aide](const QString &option, const QString &role) {
        aide += QStringLiteral("  %1 %2\n").arg(option, -30).arg(role);
    };
    ligne(QStringLiteral("--titre TEXTE"),
          texte("titre de la page (par défaut «\u00a0%1\u00a0»)").arg(defauts.titre));
    ligne(QStringLiteral("--image CHEMIN"),
          texte("image de fond (par défaut defbg.gif près du programme, s'il existe)"));
    ligne(QStringLiteral("--sans-image"), texte("pas d'image de fond"));
    for (const OptionCouleur &option : optionsCouleur)
        ligne(QStringLiteral("--%1 #RRGGBB").arg(QString::fromLatin1(option.nom)),
              texte("%1 (par défaut %2)")
                  .arg(texte(option.role), Couleur_Html(defauts.*option.membre)));
    for (const OptionTaille &option : optionsTaille)
        ligne(QStringLiteral("--%1 N").arg(QString::fromLatin1(option.nom)),
              texte("%1 en points (par défaut %2)")
                  .arg(texte(option.role))
                  .arg(taillesPoints[defauts.*option.membre]));
    ligne(QString(), texte("tailles possibles\u00a0: %1").arg(listeTailles()));
    ligne(QStringLiteral("--page-demarrage"),
          texte("fait aussi de FICHIER_PAGE la page de démarrage"));
    ligne(QString(), texte("de chaque profil de Firefox et de Chromium"));
    ligne(QStringLiteral("--signets"),
          texte("écrit les liens en fichier de signets au lieu de la page"));
    ligne(QStringLiteral("--suivre"),
          texte("écrit la page, puis la récrit à chaque changement de la source"));
    ligne(QStringLiteral("--unique"),
          texte("avec --suivre\u00a0: arrête le suivi --unique qui tourne, s'il y en a"));
    ligne(QString(), texte("un, et prend sa place (c'est le suivi installé)"));
    ligne(QStringLiteral("--installer-suivi"),
          texte("fait de --suivre un service de l'utilisateur (systemd ou session)"));
    ligne(QStringLiteral("--retirer-suivi"), texte("arrête et retire ce service"));
    ligne(QStringLiteral("--profils"), texte("liste les profils trouvés, chacun avec"));
    ligne(QString(), texte("son fichier de marque-pages"));
    ligne(QStringLiteral("--version"), texte("affiche la version"));
    ligne(QStringLiteral("-h, --help"), texte("affiche cette aide"));
    aide += texte("\nCodes de sortie\u00a0: 0 réussite, 1 erreur d'exécution (fichier, numéro et "
                  "description\nsur la sortie d'erreur), 2 ligne de commande incorrecte ou fichier "
                  "de favoris\nillisible (rien n'est écrit).\n");
    return aide;
}

QString texteVersion()
{
    return QStringLiteral("signetor-cli " SIGNETOR_VERSION "\n");
}

QString texteProfils()
{
    QString liste;
    for (const ProfilNavigateur &profil : profilsFirefox() + profilsChromium()) {
        const QString fichier = QDir(profil.dossier)
                                    .filePath(profil.famille == FamilleNavigateur::Firefox
                                                  ? QStringLiteral("places.sqlite")
                                                  : QStringLiteral("Bookmarks"));
        liste += QStringList{profil.navigateur, profil.nom,
                             QFileInfo(fichier).isFile() ? fichier : QStringLiteral("(aucun)")}
                     .join(QLatin1Char('\t')) +
                 QLatin1Char('\n');
    }
    return liste;
}
