#!/usr/bin/env python3
"""Loads Chromium `Bookmarks` files into the real Chromium and writes the rows it made of each.

Each FILE becomes Default/Bookmarks of a fresh user-data-dir in a temporary HOME; Chromium
starts headless on it (driven through the DevTools protocol on a pipe, as in
make-browser-fixtures.py), its bookmark manager page reads the tree through
chrome.bookmarks.getTree(), and the rows are written to FILE.rows, one "folder|name|URL" a line,
sorted (tests/test_bookmark_sources.cpp compares them with Signetor's reading). The three
permanent folders take Signetor's French names, folders are joined with "\\", a "\\" in a
folder title becomes "/", a folder without a title is "(sans titre)" and a bookmark without a
title is named by its URL, whose text stays as the file writes it (Chromium's canonical form
is reported). The file's own count of folders and bookmarks must match what Chromium loaded;
otherwise the file is reported and its .rows left alone (Chromium drops a node it cannot read,
and a whole file without "version": 1 or one of its three roots).
Usage: tools/chromium-bookmarks-rows.py FILE...
"""
import importlib.util
import json
import os
import shutil
import sys
import tempfile

module_spec = importlib.util.spec_from_file_location(
    "fixtures", os.path.join(os.path.dirname(os.path.abspath(__file__)),
                             "make-browser-fixtures.py"))
fixtures = importlib.util.module_from_spec(module_spec)
module_spec.loader.exec_module(fixtures)

ROOTS = {"bookmarks-bar": "Barre de favoris", "other": "Autres favoris",
         "mobile": "Favoris sur mobile"}
ROOT_KEYS = {"bookmark_bar": "bookmarks-bar", "other": "other", "synced": "mobile"}

# Permanent folders are told apart by folderType, or by their place in the tree before it.
SCRIPT = """
(async roots => {
    const [top] = await chrome.bookmarks.getTree();
    const rows = [], folders = {};
    const walk = (node, path, kind) => {
        for (const child of node.children || []) {
            if (child.url === undefined) {
                folders[kind]++;
                const title = (child.title || "(sans titre)").replaceAll("\\\\", "/");
                walk(child, path + "\\\\" + title, kind);
            } else {
                rows.push([kind, path, child.title, child.url]);
            }
        }
    };
    top.children.forEach((root, i) => {
        const kind = root.folderType || ["bookmarks-bar", "other", "mobile"][i];
        folders[kind] = 0;
        walk(root, roots[kind] || root.title, kind);
    });
    return {rows, folders};
})(%s)"""


def file_counts(path):
    """Folders and bookmarks' addresses under each permanent folder of the file, in order."""
    with open(path, "rb") as f:
        roots = json.loads(f.read().decode("utf-8-sig")).get("roots", {})
    counts = {}

    def walk(node, kind):
        for child in node.get("children", []) if isinstance(node, dict) else []:
            if not isinstance(child, dict):
                continue
            if child.get("type") == "url":
                counts[kind]["links"].append(child.get("url"))
            elif child.get("type") == "folder":
                counts[kind]["folders"] += 1
                walk(child, kind)

    for key, kind in ROOT_KEYS.items():
        counts[kind] = {"folders": 0, "links": []}
        walk(roots.get(key, {}), kind)
    return counts


def load(path):
    """Chromium's rows and counts of one file, and its version."""
    home = tempfile.mkdtemp(prefix="signetor-chromium-")
    try:
        data = os.path.join(home, "chromium")
        os.makedirs(os.path.join(data, "Default"))
        shutil.copy(path, os.path.join(data, "Default", "Bookmarks"))
        return fixtures.bookmark_manager(data, home, SCRIPT % json.dumps(ROOTS))
    finally:
        shutil.rmtree(home, ignore_errors=True)


def main():
    failed = False
    for path in sys.argv[1:]:
        result, version = load(path)
        print(f"{path}: {version}, {len(result['rows'])} rows")
        rows, whole = [], True
        for kind, held in file_counts(path).items():
            made = [row[1:] for row in result["rows"] if row[0] == kind]
            loaded = (result["folders"].get(kind, 0), len(made))
            if loaded != (held["folders"], len(held["links"])):
                whole = False
                print(f"{path}: {kind} holds {held['folders']} folders and {len(held['links'])}"
                      f" bookmarks, Chromium loaded {loaded[0]} and {loaded[1]}", file=sys.stderr)
            # The row keeps the address as the file writes it; Chromium shows it canonical.
            for (folder, title, url), written in zip(made, held["links"]):
                if url != written:
                    print(f"{path}: Chromium made {written!r} {url!r}", file=sys.stderr)
                rows.append("|".join((folder, title or written, written)))
        if not whole:
            failed = True
            print(f"{path}: not wholly loaded, its rows are left as they were", file=sys.stderr)
            continue
        with open(os.path.splitext(path)[0] + ".rows", "w", encoding="utf-8") as out:
            out.writelines(row + "\n" for row in sorted(rows))
    sys.exit(1 if failed else 0)

if __name__ == "__main__":
    main()
