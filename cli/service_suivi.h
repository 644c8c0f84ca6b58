#pragma once

#include <QByteArrayList>
#include <QString>

struct Demande;

// The lock that the user's one installed watcher, "--suivre --unique", holds while it runs.
QString fichierVerrouSuivi();
// The arguments that mark that watcher's command line.
QByteArrayList argumentsSuiviUnique();

// signetor-cli --installer-suivi: makes "--suivre" with the same page request the user's
// one watcher, as a systemd user service when a user systemd answers, else as an entry of the
// session's autostart; either way it runs at once. The former one is stopped and replaced.
// Returns the exit status.
int installerSuivi(const Demande &demande);

// signetor-cli --retirer-suivi: removes both and stops the watcher that runs. Returns the exit
// status.
int retirerSuivi();
