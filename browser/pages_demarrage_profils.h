#pragma once

#include "browser/profils_navigateurs.h"

#include <QString>

// The start page as each browser keeps it in its profile: user.js and prefs.js for Firefox,
// Preferences for the Chromium family.

// Makes url the profile's start page. False when the profile was left exactly as it was: a
// file that cannot be read, parsed or replaced, or a Chromium that runs on this profile.
bool ecrirePageDemarrageProfil(const ProfilNavigateur &profil, const QString &url);

// The start page in force in the profile (the first one when it holds several), empty when
// it sets none.
QString lirePageDemarrageProfil(const ProfilNavigateur &profil);
