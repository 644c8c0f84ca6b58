#pragma once

struct Demande;

// signetor-cli --installer-suivi: makes "--suivre" with the same page request the user's
// one watcher, as a systemd user service started at once when a user systemd answers, else
// as an entry of the session's autostart. A former one is replaced. Returns the exit status.
int installerSuivi(const Demande &demande);

// signetor-cli --retirer-suivi: stops and removes both. Returns the exit status.
int retirerSuivi();
