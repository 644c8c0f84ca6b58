#pragma once

#include "favourites/lien.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace platform
{
class ByteReader;
}

// What the three bookmark readers share: how a bookmark becomes a row, and how a whole file
// is read in bounded memory.

// A folder title as one step of the folder column: a "\" would make a folder that does not
// exist, so it becomes "/". A folder without a title is named as Firefox shows it.
QString titreDossier(const QString &titre);

// "parent\titre", or titre alone at the top.
QString dossierEnfant(const QString &parent, const QString &titre);

// Whether a link's address starts with a scheme: browsers import no relative one.
bool adresseAbsolue(const QString &url);

// Adds the row of one bookmark: named by its title, a "\" kept, or by its URL when it has
// none. A bookmark without a URL and a "place:" query give no row.
void ajouterSignet(TableLiens &liens, const QString &dossier, const QString &titre,
                   const QString &url, qint64 date);

// Opens a source file (host path) for reading. Throws ErreurSource when it is not a regular
// file that can be read, or is larger than maxOctets.
std::unique_ptr<platform::ByteReader> ouvrirFichierSignets(const QString &fichier,
                                                           qint64 maxOctets);

// The bytes of a whole source file (host path). Throws ErreurSource when it is not a
// regular file that can be read, or is larger than maxOctets.
QByteArray lireFichierEntier(const QString &fichier, qint64 maxOctets);

// Folders nested deeper than this make a bookmark file refused as too deeply nested, whatever its
// kind: no browser makes such trees, and each level costs the readers stack and memory.
constexpr int profondeurMaxSignets = 500;

// Whole-file readers (the HTML and JSON ones) refuse files larger than this.
constexpr qint64 tailleMaxSignets = qint64(256) << 20;
