#include "cli/service_suivi.h"

#include "cli/cli_arguments.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>

namespace
{

const QString nomService = QStringLiteral("signetor-suivi.service");

QString fichierService()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/systemd/user/") + nomService;
}

QString fichierAutostart()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/signetor-suivi.desktop");
}

void dire(std::FILE *flux, const QString &texte)
{
    const QByteArray octets =
        (QStringLiteral("signetor-cli\u00a0: ") + texte + u'\n').toLocal8Bit();
    std::fwrite(octets.constData(), 1, size_t(octets.size()), flux);
    std::fflush(flux);
}

// One argument in double quotes, as systemd reads it: backslash and '"' escaped, "%" and "$"
// doubled. A desktop entry escapes "$" and "`" too, then every backslash once more, as its
// strings are unescaped before the command is split.
QString guillemets(QString argument, bool systemd)
{
    argument.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""))
        .replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (systemd)
        return u'"' +
               argument.replace(QLatin1Char('\n'), QStringLiteral("\\n"))
                   .replace(QLatin1Char('$'), QStringLiteral("$$")) +
               u'"';
    argument.replace(QLatin1Char('$'), QStringLiteral("\\$"))
        .replace(QLatin1Char('`'), QStringLiteral("\\`"));
    return u'"' + argument.replace(QLatin1Char('\\'), QStringLiteral("\\\\")) + u'"';
}

QString ligneCommande(const Demande &demande, bool systemd)
{
    QStringList ligne{QCoreApplication::applicationFilePath(), QStringLiteral("--suivre")};
    ligne << argumentsPage(demande);
    for (QString &argument : ligne)
        argument = guillemets(argument, systemd);
    return ligne.join(u' ');
}

bool ecrire(const QString &fichier, const QString &texte)
{
    QDir().mkpath(fichier.section(u'/', 0, -2));
    QSaveFile sortie(fichier);
    return sortie.open(QIODevice::WriteOnly) && sortie.write(texte.toUtf8()) >= 0 &&
           sortie.commit();
}

// systemctl --user with these arguments; true when it ran and succeeded.
bool systemctl(const QStringList &arguments)
{
    QProcess processus;
    processus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    processus.setStandardOutputFile(QProcess::nullDevice());
    processus.start(QStringLiteral("systemctl"),
                    QStringList{QStringLiteral("--user")} << arguments);
    return processus.waitForFinished(30000) && processus.exitStatus() == QProcess::NormalExit &&
           processus.exitCode() == 0;
}

// Whether a user systemd instance answers.
bool systemdRepond()
{
    QProcess processus;
    processus.setStandardOutputFile(QProcess::nullDevice());
    processus.setStandardErrorFile(QProcess::nullDevice());
    processus.start(QStringLiteral("systemctl"),
                    {QStringLiteral("--user"), QStringLiteral("show-environment")});
    return processus.waitForFinished(10000) && processus.exitStatus() == QProcess::NormalExit &&
           processus.exitCode() == 0;
}

// Stops and removes the service; true when there was one.
bool retirerService(bool systemd)
{
    if (!QFile::exists(fichierService()))
        return false;
    if (systemd)
        systemctl({QStringLiteral("disable"), QStringLiteral("--now"), nomService});
    QFile::remove(fichierService());
    if (systemd)
        systemctl({QStringLiteral("daemon-reload")});
    return true;
}

QString texteService(const Demande &demande)
{
    return QStringLiteral("[Unit]\n"
                          "Description=Signetor : page des favoris tenue à jour\n"
                          "\n"
                          "[Service]\n"
                          "Type=exec\n"
                          "ExecStart=%1\n"
                          "Restart=on-failure\n"
                          "RestartSec=5\n"
                          "StandardOutput=journal\n"
                          "StandardError=journal\n"
                          "NoNewPrivileges=yes\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=default.target\n")
        .arg(ligneCommande(demande, true));
}

QString texteAutostart(const Demande &demande)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Signetor : page des favoris tenue à jour\n"
                          "Exec=%1\n"
                          "NoDisplay=true\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(ligneCommande(demande, false));
}

} // namespace

int installerSuivi(const Demande &demande)
{
    // The unit is written either way: without a user systemd it stays disabled, the session's
    // autostart then starts the watcher.
    if (!ecrire(fichierService(), texteService(demande))) {
        dire(stderr,
             QStringLiteral("«\u00a0%1\u00a0» n'a pas pu être écrit").arg(fichierService()));
        return 1;
    }
    if (systemdRepond()) {
        QFile::remove(fichierAutostart());
        if (!systemctl({QStringLiteral("daemon-reload")}) ||
            !systemctl({QStringLiteral("enable"), nomService}) ||
            !systemctl({QStringLiteral("restart"), nomService})) {
            dire(stderr, QStringLiteral("systemd n'a pas pu démarrer le service %1 (voir "
                                        "«\u00a0systemctl --user status %1\u00a0»)")
                             .arg(nomService));
            return 1;
        }
        dire(stdout, QStringLiteral("le service %1 tient la page à jour («\u00a0%2\u00a0»)")
                         .arg(nomService, fichierService()));
        return 0;
    }
    if (!ecrire(fichierAutostart(), texteAutostart(demande))) {
        dire(stderr,
             QStringLiteral("«\u00a0%1\u00a0» n'a pas pu être écrit").arg(fichierAutostart()));
        return 1;
    }
    dire(stdout, QStringLiteral("pas de systemd de l'utilisateur\u00a0: le suivi démarrera avec la "
                                "prochaine session, par «\u00a0%1\u00a0»")
                     .arg(fichierAutostart()));
    return 0;
}

int retirerSuivi()
{
    const bool service = retirerService(systemdRepond());
    const bool autostart = QFile::remove(fichierAutostart());
    dire(stdout, service || autostart ? QStringLiteral("le suivi est arrêté et retiré")
                                      : QStringLiteral("aucun suivi n'était installé"));
    return 0;
}
