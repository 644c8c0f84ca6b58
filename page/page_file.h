#pragma once

#include <QByteArray>
#include <QStringList>

// The bytes of a page file: every line in Windows-1252 followed by CR LF.
QByteArray contenuPage(const QStringList &Page);

// Writes the page to a file (program form), replacing it whole or not at all. Throws
// platform::RuntimeError when the file cannot be written.
void Ecrire_Page(const QString &fichier, const QStringList &Page);
