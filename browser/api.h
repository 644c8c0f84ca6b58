#pragma once

#include <QString>

// The browser's start page: the value "Start Page" of the current user's key
// Software\Microsoft\Internet Explorer\Main. Neither routine reports a failure: a store
// that cannot be opened reads as empty and takes no write.
QString Lire_Page_Demarrage();
void Ecrire_Page_Demarrage(const QString &path);
