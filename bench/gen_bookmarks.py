#!/usr/bin/env python3
"""Builds the same synthetic bookmarks in the three file kinds for the benchmark.

Usage: gen_bookmarks.py DESTINATION BOOKMARKS FOLDERS [SEED]

Writes DESTINATION/places.sqlite (Firefox's schema, taken from the places.sqlite that Firefox
made in tests/data/browsers), DESTINATION/Bookmarks (Chromium's JSON) and
DESTINATION/bookmarks.html (the Netscape format), each holding BOOKMARKS links in FOLDERS
folders nested three levels deep below the toolbar, with the titles, URLs and folder shape of
gen_tree.py.
"""
import html
import json
import os
import random
import shutil
import sqlite3
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_tree import WORDS, folder_paths, url_for  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEMPLATE = os.path.join(ROOT, "tests", "data", "browsers", "firefox", "places.sqlite")
DATE = 1577934245  # seconds since 1970


def tree(bookmarks, folders, seed):
    """{relative folder path: [(title, url)]}, folders in breadth-first order, root first."""
    rng = random.Random(seed)
    paths = [""] + folder_paths(folders, rng)
    content = {path: [] for path in paths}
    for i in range(bookmarks):
        title = "%s %s %d" % (rng.choice(WORDS).capitalize(), rng.choice(WORDS), i)
        content[paths[rng.randrange(len(paths))]].append((title, url_for(rng, i)))
    return content


def write_places(path, content):
    shutil.copy(TEMPLATE, path)
    db = sqlite3.connect(path, isolation_level=None)
    db.execute("PRAGMA journal_mode = DELETE")
    db.execute("BEGIN")
    db.execute("DELETE FROM moz_bookmarks WHERE id > 6")
    db.execute("DELETE FROM moz_places")
    toolbar = db.execute("SELECT id FROM moz_bookmarks WHERE guid = 'toolbar_____'").fetchone()[0]
    next_id = [100]
    places, marks = [], []
    ids = {"": toolbar}
    positions = {}

    def add(parent, kind, title, fk=None):
        next_id[0] += 1
        position = positions.get(parent, 0)
        positions[parent] = position + 1
        marks.append((next_id[0], kind, fk, parent, position, title, DATE * 1000000,
                      DATE * 1000000, "b%011d" % next_id[0]))
        return next_id[0]

    for folder in content:
        if folder:
            parent, _, name = folder.rpartition(os.sep)
            ids[folder] = add(ids[parent], 2, name)
        for title, url in content[folder]:
            place = len(places) + 1
            host = url.split("/")[2]
            places.append((place, url, title, host[::-1] + ".", "p%011d" % place, place))
            add(ids[folder], 1, title, place)
    db.executemany("INSERT INTO moz_places (id, url, title, rev_host, guid, url_hash, frecency, "
                   "foreign_count) VALUES (?, ?, ?, ?, ?, ?, 100, 1)", places)
    db.executemany("INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, dateAdded, "
                   "lastModified, guid) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", marks)
    db.execute("COMMIT")
    db.execute("VACUUM")
    db.execute("PRAGMA journal_mode = WAL")
    db.close()


def nested(content):
    """The folders as a tree: {name: (links, {sub-folders})}, the root under ""."""
    root = ([], {})
    for folder, links in content.items():
        node = root
        for name in folder.split(os.sep) if folder else []:
            node = node[1].setdefault(name, ([], {}))
        node[0].extend(links)
    return root


def write_chromium(path, content):
    next_id = [10]
    chromium_date = str((DATE + 11644473600) * 1000000)

    def node(name, links, folders):
        children = [node(sub, *folders[sub]) for sub in folders]
        for title, url in links:
            next_id[0] += 1
            children.append({"date_added": chromium_date, "guid": "%036d" % next_id[0],
                             "id": str(next_id[0]), "name": title, "type": "url", "url": url})
        next_id[0] += 1
        return {"children": children, "date_added": chromium_date, "date_modified": "0",
                "guid": "%036d" % next_id[0], "id": str(next_id[0]), "name": name,
                "type": "folder"}

    bar = node("Bookmarks bar", *nested(content))
    other = node("Other bookmarks", [], {})
    synced = node("Mobile bookmarks", [], {})
    with open(path, "w", encoding="utf-8") as f:
        json.dump({"checksum": "0" * 32, "roots": {"bookmark_bar": bar, "other": other,
                   "synced": synced}, "version": 1}, f, ensure_ascii=False, indent=3)


def write_netscape(path, content):
    lines = ["<!DOCTYPE NETSCAPE-Bookmark-file-1>",
             '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">',
             "<TITLE>Bookmarks</TITLE>", "<H1>Bookmarks</H1>", "<DL><p>"]

    def folder(links, folders, depth):
        indent = "    " * depth
        for name, sub in folders.items():
            lines.append('%s<DT><H3 ADD_DATE="%d">%s</H3>' % (indent, DATE, html.escape(name)))
            lines.append(indent + "<DL><p>")
            folder(*sub, depth + 1)
            lines.append(indent + "</DL><p>")
        for title, url in links:
            lines.append('%s<DT><A HREF="%s" ADD_DATE="%d">%s</A>'
                         % (indent, html.escape(url), DATE, html.escape(title)))

    folder(*nested(content), 1)
    lines.append("</DL><p>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    destination = sys.argv[1]
    seed = int(sys.argv[4]) if len(sys.argv) == 5 else 1
    content = tree(int(sys.argv[2]), int(sys.argv[3]), seed)
    os.makedirs(destination, exist_ok=True)
    write_places(os.path.join(destination, "places.sqlite"), content)
    write_chromium(os.path.join(destination, "Bookmarks"), content)
    write_netscape(os.path.join(destination, "bookmarks.html"), content)


if __name__ == "__main__":
    main()
