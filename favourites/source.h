#pragma once

#include "favourites/lien.h"

#include <QString>

#include <optional>

// The kinds of favourites source that the favourites path may name.
enum class TypeSource {
    Dossier,  // a folder tree of Internet shortcuts
    Netscape, // a bookmark file in the Netscape format (bookmarks.html)
    Firefox,  // Firefox's places.sqlite
    Chromium, // a Chromium-family Bookmarks file
};

struct Source {
    TypeSource type = TypeSource::Dossier;
    TableLiens liens;       // sorted exactly as the scan sorts shortcuts
    bool incomplet = false; // a Netscape file cut short: liens holds what it holds
};

// Called with a French message naming the file when lireSource reads a bookmark file that
// seems cut short (the command line prints it); by default, nothing is told.
void definirAvertissementSource(void (*avertir)(const QString &message));

// What a file holds (host path), told by its content: nullopt when it is none of the three
// bookmark files, or cannot be read. Never throws.
std::optional<TypeSource> typeFichierSignets(const QString &fichier);

// Reads the favourites at a host path into one sorted link table. A folder is scanned as a
// shortcut tree; so is a path ending with "/" that names nothing, and the empty path, which
// stands for a folder this host cannot name (both give no link). A file is read by the reader
// of its kind. Throws ErreurSource (favourites/source_error.h) when the file cannot be read,
// names nothing, is of no known kind, or is damaged: an unreadable file never passes for an
// empty one. A shortcut tree's rows carry their files' dates only when asked.
Source lireSource(const QString &chemin, DatesLiens dates = DatesLiens::Omises);
