#include "cli/service_suivi.h"

#include "cli/cli_arguments.h"
#include "platform/instance_lock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>
#include <optional>

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

// The folder of the watcher's lock and of the log of the watcher started by the install.
QString dossierEtat()
{
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    return (QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + QStringLiteral("/.local/state")) +
           QStringLiteral("/signetor");
}

QString fichierJournal()
{
    return dossierEtat() + QStringLiteral("/suivi.log");
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

QStringList argumentsSuivi(const Demande &demande)
{
    QStringList arguments;
    for (const QByteArray &marque : argumentsSuiviUnique())
        arguments << QString::fromLatin1(marque);
    return arguments << argumentsPage(demande);
}

QString ligneCommande(const Demande &demande, bool systemd)
{
    QStringList ligne{QCoreApplication::applicationFilePath()};
    ligne << argumentsSuivi(demande);
    for (QString &argument : ligne)
        argument = guillemets(argument, systemd);
    return ligne.join(u' ');
}

// Writes the file whole; false, said on standard error, when it could not be.
bool ecrire(const QString &fichier, const QString &texte)
{
    QDir().mkpath(fichier.section(u'/', 0, -2));
    QSaveFile sortie(fichier);
    if (sortie.open(QIODevice::WriteOnly) && sortie.write(texte.toUtf8()) >= 0 && sortie.commit())
        return true;
    dire(stderr, QStringLiteral("«\u00a0%1\u00a0» n'a pas pu être écrit").arg(fichier));
    return false;
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

// Stops the installed watcher that runs: true when one was stopped, false when none ran,
// nullopt (said on standard error) when the process that holds its lock is not one to stop.
std::optional<bool> arreterSuivi()
{
    platform::InstanceLock verrou(fichierVerrouSuivi());
    const pid_t pid = verrou.holder();
    switch (verrou.stopHolder(argumentsSuiviUnique())) {
    case platform::InstanceLock::Stop::NoHolder:
        return false;
    case platform::InstanceLock::Stop::Stopped:
        return true;
    default:
        dire(stderr, QStringLiteral("le processus %1, qui tient «\u00a0%2\u00a0», n'a pas pu être "
                                    "arrêté")
                         .arg(pid)
                         .arg(fichierVerrouSuivi()));
        return std::nullopt;
    }
}

int demarrerService()
{
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

// Without a user systemd, the watcher starts now too, apart from this command, in a session of
// its own; its messages go to the log file.
int demarrerDansLaSession(const Demande &demande)
{
    QDir().mkpath(dossierEtat());
    QProcess processus;
    processus.setProgram(QCoreApplication::applicationFilePath());
    processus.setArguments(argumentsSuivi(demande));
    processus.setStandardInputFile(QProcess::nullDevice());
    processus.setStandardOutputFile(QProcess::nullDevice());
    processus.setStandardErrorFile(fichierJournal());
    processus.setWorkingDirectory(QDir::homePath());
    qint64 pid = 0;
    if (!processus.startDetached(&pid) ||
        !platform::InstanceLock(fichierVerrouSuivi()).waitForHolder(pid_t(pid))) {
        dire(stderr, QStringLiteral("le suivi n'a pas pu démarrer (voir «\u00a0%1\u00a0»)")
                         .arg(fichierJournal()));
        return 1;
    }
    dire(stdout,
         QStringLiteral("pas de systemd de l'utilisateur\u00a0: le suivi tourne (processus %1, "
                        "messages dans «\u00a0%2\u00a0») et démarrera avec chaque session, par "
                        "«\u00a0%3\u00a0»")
             .arg(pid)
             .arg(fichierJournal(), fichierAutostart()));
    return 0;
}

} // namespace

QString fichierVerrouSuivi()
{
    return dossierEtat() + QStringLiteral("/suivi.lock");
}

QByteArrayList argumentsSuiviUnique()
{
    return {"--suivre", "--unique"};
}

int installerSuivi(const Demande &demande)
{
    // The unit is written either way: without a user systemd it stays disabled, and the autostart
    // entry starts the watcher with each session.
    const bool systemd = systemdRepond();
    if (!ecrire(fichierService(), texteService(demande)) ||
        (!systemd && !ecrire(fichierAutostart(), texteAutostart(demande))))
        return 1;
    if (systemd)
        QFile::remove(fichierAutostart());
    if (!arreterSuivi())
        return 1;
    return systemd ? demarrerService() : demarrerDansLaSession(demande);
}

int retirerSuivi()
{
    const bool service = retirerService(systemdRepond());
    const bool autostart = QFile::remove(fichierAutostart());
    const std::optional<bool> arrete = arreterSuivi();
    if (!arrete)
        return 1;
    dire(stdout, service || autostart || *arrete ? QStringLiteral("le suivi est arrêté et retiré")
                                                 : QStringLiteral("aucun suivi n'était installé"));
    return 0;
}
