#!/usr/bin/env python3
"""Builds a synthetic favourites tree of realistic Internet shortcuts for the benchmark.

Usage: gen_tree.py DESTINATION SHORTCUTS FOLDERS [SEED]

The folders nest three levels deep below the root, at most ten sub-folders each after the
first level, so every folder is found by a breadth-first walk of the first thousand. A tenth
as many files that are not shortcuts (desktop.ini, notes, icons) are spread among them.
"""
import hashlib
import os
import random
import shutil
import sys

WORDS = ("actualités", "outils", "voyages", "cuisine", "musique", "jardin", "lecture", "sport",
         "cinéma", "sciences", "histoire", "photo", "montagne", "mer", "recettes", "desserts",
         "informatique", "programmation", "réseau", "banque", "santé", "école", "théâtre",
         "peinture", "randonnée", "vélo", "météo", "cartes", "presse", "radio", "télévision",
         "bricolage", "maison", "famille", "enfants", "jeux", "livres", "musées", "trains")
TLDS = ("org", "com", "net", "fr")


def check_search_limit(paths, limit=1000):
    """Every folder must be found: all that hold sub-folders are among the first `limit`
    folders of a breadth-first walk (the root included), whatever order a level is listed in."""
    depths = [path.count(os.sep) + 1 for path in paths]
    searched = 1 + sum(1 for depth in depths if depth < max(depths, default=0))
    if searched > limit:
        sys.exit("%d folders would need searching, more than the scan's %d" % (searched, limit))


def folder_paths(count, rng):
    """Relative folder paths in breadth-first order, the root excluded."""
    first_level = max(10, count // 100)
    paths, queue = [], [""]
    while len(paths) < count:
        parent = queue.pop(0)
        children = first_level if parent == "" else 10
        for i in range(min(children, count - len(paths))):
            name = "%s %d" % (rng.choice(WORDS).capitalize(), i + 1)
            path = os.path.join(parent, name)
            paths.append(path)
            queue.append(path)
    return paths


def url_for(rng, index):
    host = "www.%s%d.example.%s" % (rng.choice(WORDS), index % 997, rng.choice(TLDS))
    path = "/".join(rng.choice(WORDS) for _ in range(rng.randint(0, 3)))
    query = "?id=%d&lang=fr" % index if rng.random() < 0.2 else ""
    return "https://%s/%s%s" % (host, path, query)


def shortcut(url, rng):
    digest = hashlib.sha1(url.encode()).hexdigest().upper()
    lines = ["[DEFAULT]", "BASEURL=" + url, "[InternetShortcut]", "URL=" + url]
    lines += ["IDList=", "HotKey=0"]
    if rng.random() < 0.5:
        lines.append("IconFile=https://%s/favicon.ico" % url.split("/")[2])
    lines += ["IconIndex=%d" % rng.randint(0, 1), "Modified=%sD901%s" % (digest[:14], digest[14:16])]
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def other_file(rng, index, folder):
    kind = index % 3
    if kind == 0 and not os.path.exists(os.path.join(folder, "desktop.ini")):
        return "desktop.ini", b"[.ShellClassInfo]\r\nIconResource=shell32.dll,-173\r\n"
    if kind != 2:
        note = "Penser à relire ces liens (%d).\r\nÀ trier plus tard.\r\n" % index
        return "Notes %d.txt" % index, note.encode("utf-8")
    return "icone %d.ico" % index, bytes(rng.getrandbits(8) for _ in range(1150))


def build(destination, shortcuts, folders, seed):
    rng = random.Random(seed)
    shutil.rmtree(destination, ignore_errors=True)
    paths = folder_paths(folders, rng)
    check_search_limit(paths)
    relative = [""] + paths
    for path in relative:
        os.makedirs(os.path.join(destination, path), exist_ok=True)
    for i in range(shortcuts):
        folder = relative[rng.randrange(len(relative))]
        name = "%s %s %d.url" % (rng.choice(WORDS).capitalize(), rng.choice(WORDS), i)
        with open(os.path.join(destination, folder, name), "wb") as f:
            f.write(shortcut(url_for(rng, i), rng))
    for i in range(shortcuts // 10):
        folder = os.path.join(destination, relative[rng.randrange(len(relative))])
        name, content = other_file(rng, i, folder)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    seed = int(sys.argv[4]) if len(sys.argv) == 5 else 1
    build(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), seed)


if __name__ == "__main__":
    main()
