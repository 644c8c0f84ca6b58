#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The browser profiles of the current user, as the browsers themselves lay them out in the
// home folder, and the desktop's default browser. Paths here are host paths.

enum class FamilleNavigateur { Firefox, Chromium };

struct ProfilNavigateur {
    FamilleNavigateur famille = FamilleNavigateur::Firefox;
    QString navigateur; // as a French user sees it: "Firefox", "Chromium", "Google Chrome"
    QString nom;        // the profile's name in the browser
    QString dossier;    // absolute folder of the profile
};

// Every Firefox profile listed in a profiles.ini (~/.mozilla/firefox, the XDG folder, snap
// and Flatpak), each root's default profile first: the one installs.ini names, else the
// one marked Default=1. Folders that do not exist are left out.
QList<ProfilNavigateur> profilsFirefox();

// Every Chromium and Google Chrome profile ("Default", "Profile N", and those that
// "Local State" names), "Default" first in each browser's folder.
QList<ProfilNavigateur> profilsChromium();

// The profile lists (profiles.ini, installs.ini, Local State) that exist but cannot be read:
// too large, not a regular file, or unreadable. The profiles they name are skipped.
QStringList listesProfilsIllisibles();

// The desktop's default web browser ("Firefox", "Chromium", "Google Chrome"), empty when
// unknown: the user's mimeapps.list for x-scheme-handler/http, else xdg-settings.
QString navigateurParDefaut();

// The profile whose start page and bookmarks stand for the user's: the default browser's
// first profile, else the first Firefox profile, else the first Chromium-family one.
std::optional<ProfilNavigateur> profilDeReference();

// The bookmarks of profilDeReference(): places.sqlite of a Firefox profile, Bookmarks of
// Chromium's "Default" profile; empty when there is no such file.
QString favorisDuNavigateurParDefaut();

// A whole regular file of at most `maximum` bytes. Never blocks (a FIFO or device is
// refused); nullopt when the file is missing, not regular, too large or unreadable.
std::optional<QByteArray> lireFichierBorne(const QString &chemin, qint64 maximum);
