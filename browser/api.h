#pragma once

#include "browser/profils_navigateurs.h"

#include <QList>
#include <QString>

// The browser's start page. The value "Start Page" of the current user's key
// Software\Microsoft\Internet Explorer\Main stands for the start page of the user's browser
// profiles: a write sets it in every Firefox and Chromium-family profile found, as the page's
// file:// URL, and in the program's own store; a read gives the start page of the default
// browser. A store or profile that cannot be used is skipped: the write names the profiles
// left as they were, listesProfilsIllisibles() the profile lists it could not read.

// The read: the page that the default browser opens, from profilDeReference(), a file:// URL
// shown as its program path; empty when it opens no page (New Tab page, restored session).
// The program's own store when no browser profile is found at all.
QString Lire_Page_Demarrage();

// The write. Gives the profiles left as they were (unreadable, unwritable, or a Chromium
// running on them), for a caller that reports them; the window ignores them.
QList<ProfilNavigateur> Ecrire_Page_Demarrage(const QString &path);
