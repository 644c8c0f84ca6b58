#!/usr/bin/env python3
"""Imports bookmark files into the real Firefox ESR and prints the rows it made of each.

Each FILE.html is imported by Firefox's own HTML import into a fresh profile (headless, driven
through Marionette as in make-browser-fixtures.py), its bookmarks replacing everything, and the
rows it made are written to FILE.rows, one "folder|name|URL" a line in Signetor's row order
(tests/test_bookmark_sources.cpp compares them with Signetor's reading). Folders are joined with
"\\", a "\\" in a folder title becomes "/", a folder without a title takes the name that
Firefox shows for it, and a bookmark without a title is named by its URL; the toolbar's folder
keeps the name the file gives it. place: queries and separators give no row.
Usage: tools/firefox-import-rows.py FILE.html...
"""
import html
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import tempfile

module_spec = importlib.util.spec_from_file_location(
    "fixtures", os.path.join(os.path.dirname(os.path.abspath(__file__)),
                             "make-browser-fixtures.py"))
fixtures = importlib.util.module_from_spec(module_spec)
module_spec.loader.exec_module(fixtures)

SCRIPT = """
const { BookmarkHTMLUtils } = ChromeUtils.importESModule(
    "resource://gre/modules/BookmarkHTMLUtils.sys.mjs");
const { PlacesUIUtils } = ChromeUtils.importESModule(
    "moz-src:///browser/components/places/PlacesUIUtils.sys.mjs");
const B = PlacesUtils.bookmarks;
await B.eraseEverything();
await BookmarkHTMLUtils.importFromFile(args[0], { replace: true });
const rows = [];
const untitled = PlacesUIUtils.getBestTitle({ title: "", type: 6, uri: "" });
const walk = (node, path) => {
    for (const child of node.children || []) {
        if (child.type == PlacesUtils.TYPE_X_MOZ_PLACE_CONTAINER) {
            const title = (child.title || untitled).replaceAll("\\\\", "/");
            walk(child, path ? path + "\\\\" + title : title);
        } else if (child.type == PlacesUtils.TYPE_X_MOZ_PLACE && child.uri &&
                   !child.uri.startsWith("place:")) {
            rows.push([path, child.title || child.uri, child.uri]);
        }
    }
};
const tree = await PlacesUtils.promiseBookmarksTree(B.rootGuid);
for (const root of tree.children) {
    if (root.guid == B.menuGuid || root.guid == B.unfiledGuid) walk(root, "");
    if (root.guid == B.toolbarGuid) walk(root, args[1]);
}
return { rows, untitled };
"""


def main():
    home = tempfile.mkdtemp(prefix="signetor-import-")
    try:
        profile = os.path.join(home, "profile")
        os.makedirs(profile)
        with open(os.path.join(profile, "user.js"), "w") as prefs:
            prefs.write('user_pref("marionette.port", 0);\n')
        firefox = subprocess.Popen(
            ["firefox-esr", "--headless", "--no-remote", "--profile", profile, "--marionette",
             "-remote-allow-system-access"],
            env=dict(os.environ, HOME=home), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            port_file = os.path.join(profile, "MarionetteActivePort")
            port = fixtures.deadline_loop("Firefox's start", lambda: os.path.exists(port_file) and
                                          open(port_file).read().strip())
            marionette = fixtures.Marionette(int(port))
            marionette.command("WebDriver:NewSession", {"capabilities": {}})
            marionette.command("Marionette:SetContext", {"value": "chrome"})
            for path in sys.argv[1:]:
                with open(path, "rb") as f:
                    text = f.read().decode("utf-8", "replace")
                toolbar = re.search(r"<H3[^>]*PERSONAL_TOOLBAR_FOLDER[^>]*>(.*?)</H3>", text,
                                    re.I | re.S)
                toolbar = html.unescape(toolbar.group(1)).strip() if toolbar else "TOOLBAR"
                result = marionette.chrome_script(SCRIPT, os.path.abspath(path),
                                                  toolbar.replace("\\", "/"))
                rows = sorted(result["rows"], key=lambda r: (r[0].lower(), r[1].lower(), r[2]))
                with open(os.path.splitext(path)[0] + ".rows", "w", encoding="utf-8") as out:
                    for row in rows:
                        out.write("|".join(row) + "\n")
                print(f"{path}: {len(rows)} rows (untitled folder: {result['untitled']!r})")
            marionette.command("Marionette:Quit")
            firefox.wait(fixtures.TIMEOUT)
        finally:
            if firefox.poll() is None:
                firefox.kill()
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
