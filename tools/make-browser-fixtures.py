#!/usr/bin/env python3
"""Makes the bookmark files of tests/data/browsers with the real browsers.

Firefox ESR (headless, driven through Marionette) and Chromium (headless, driven through
the DevTools protocol on a pipe) each start in a temporary HOME with a fresh profile, erase
their default bookmarks, create the same small tree through their own bookmark services, and
quit cleanly. What they wrote is copied out:

  firefox/places.sqlite    the database Firefox wrote, its WAL folded in (VACUUM INTO)
  firefox/bookmarks.html   Firefox's own export of the same tree
  chromium/Bookmarks       the JSON file Chromium wrote

The tree covers nested folders, an empty folder, a title with markup, a bookmark without a
title, a "\\" in a title, and, in Firefox, a separator, a tag and a place: query.
Usage: tools/make-browser-fixtures.py [OUTPUT_FOLDER]   (default tests/data/browsers)
"""
import json
import os
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

TIMEOUT = 60

# One tree for both browsers: (title, url) for a link, (title, [children]) for a folder.
ACTUALITES = ("Actualités", [
    ("Le Monde", "https://www.lemonde.fr/"),
    ("Sport", [("L'Équipe", "https://www.lequipe.fr/")]),
    ("Vide", []),
])
BARRE = [
    ('<b>&amp; "Gras"</b>', "https://example.org/?a=1&b=2"),
    ("", "https://sans-titre.example/"),
    ("Dos\\Barre", "https://example.com/barre"),
    ("Outils", [("Web", [("MDN", "https://developer.mozilla.org/fr/")])]),
]
AUTRES = [("Autre", "https://autre.example/")]
WIKIPEDIA = ("Wikipédia", "https://fr.wikipedia.org/wiki/Accueil")
# Dates added in Firefox, in seconds since 1970: 2020-01-02 03:04:05 UTC plus the item's rank.
DATE_BASE = 1577934245


def deadline_loop(what, test):
    end = time.time() + TIMEOUT
    while True:
        value = test()
        if value:
            return value
        if time.time() > end:
            sys.exit(f"make-browser-fixtures: {what} took over {TIMEOUT} s")
        time.sleep(0.1)


class Marionette:
    """Marionette's protocol: length-prefixed JSON messages over TCP."""

    def __init__(self, port):
        def connect():
            try:
                return socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT)
            except OSError:
                return None

        self.sock = deadline_loop("connecting to Marionette", connect)
        self.buffer = b""
        self.last_id = 0
        self.receive()  # the server's greeting

    def receive(self):
        while b":" not in self.buffer:
            self.read_more()
        size, rest = self.buffer.split(b":", 1)
        self.buffer = rest
        while len(self.buffer) < int(size):
            self.read_more()
        message, self.buffer = self.buffer[: int(size)], self.buffer[int(size):]
        return json.loads(message)

    def read_more(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            sys.exit("make-browser-fixtures: Firefox closed the Marionette connection")
        self.buffer += chunk

    def command(self, name, params=None):
        self.last_id += 1
        data = json.dumps([0, self.last_id, name, params or {}]).encode()
        self.sock.sendall(str(len(data)).encode() + b":" + data)
        while True:
            reply = self.receive()
            if reply[1] == self.last_id:
                break
        if reply[2]:
            sys.exit(f"make-browser-fixtures: Marionette {name}: {reply[2]}")
        return reply[3]

    def chrome_script(self, body, *args):
        """Runs an async function body in Firefox's chrome context; returns its value."""
        script = ("const done = arguments[arguments.length - 1];"
                  f"(async (...args) => {{ {body} }})(...Array.from(arguments).slice(0, -1))"
                  ".then(done, e => done('ERROR ' + e));")
        value = self.command("WebDriver:ExecuteAsyncScript",
                             {"script": script, "args": list(args)})["value"]
        if isinstance(value, str) and value.startswith("ERROR "):
            sys.exit(f"make-browser-fixtures: Firefox: {value}")
        return value


def firefox_tree(node, rank):
    title, content = node
    rank[0] += 1
    item = {"title": title, "dateAdded": (DATE_BASE + rank[0]) * 1000}
    if isinstance(content, list):
        item["children"] = [firefox_tree(child, rank) for child in content]
    else:
        item["url"] = content
    return item


def make_firefox(out):
    home = tempfile.mkdtemp(prefix="signetor-firefox-")
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
            port = deadline_loop("Firefox's start", lambda: os.path.exists(port_file) and
                                 open(port_file).read().strip())
            marionette = Marionette(int(port))
            marionette.command("WebDriver:NewSession", {"capabilities": {}})
            marionette.command("Marionette:SetContext", {"value": "chrome"})
            rank = [0]
            menu = [firefox_tree(ACTUALITES, rank), firefox_tree(WIKIPEDIA, rank)]
            toolbar = [firefox_tree(node, rank) for node in BARRE]
            unfiled = [firefox_tree(node, rank) for node in AUTRES]
            marionette.chrome_script("""
                const [menu, toolbar, unfiled] = args;
                const B = PlacesUtils.bookmarks;
                const complete = items => items.forEach(i => {
                    i.dateAdded = new Date(i.dateAdded);
                    i.type = i.children ? B.TYPE_FOLDER : B.TYPE_BOOKMARK;
                    if (i.children) complete(i.children);
                });
                [menu, toolbar, unfiled].forEach(complete);
                await B.eraseEverything();
                menu.splice(1, 0, {type: B.TYPE_SEPARATOR},
                            {title: "Récents", url: "place:sort=8&maxResults=10"});
                await B.insertTree({guid: B.menuGuid, children: menu});
                await B.insertTree({guid: B.toolbarGuid, children: toolbar});
                await B.insertTree({guid: B.unfiledGuid, children: unfiled});
                PlacesUtils.tagging.tagURI(Services.io.newURI("https://www.lemonde.fr/"),
                                           ["presse"]);
                const { BookmarkHTMLUtils } = ChromeUtils.importESModule(
                    "resource://gre/modules/BookmarkHTMLUtils.sys.mjs");
                await BookmarkHTMLUtils.exportToFile(args[3]);
                return "ok";
            """, menu, toolbar, unfiled, os.path.join(home, "bookmarks.html"))
            marionette.command("Marionette:Quit")
            firefox.wait(TIMEOUT)
        finally:
            if firefox.poll() is None:
                firefox.kill()
        os.makedirs(os.path.join(out, "firefox"), exist_ok=True)
        places = os.path.join(out, "firefox", "places.sqlite")
        if os.path.exists(places):
            os.remove(places)
        # Folds the WAL in and leaves out the free pages Firefox keeps for growth; small pages
        # keep the file small. It stays in WAL mode, as Firefox keeps it.
        database = sqlite3.connect(os.path.join(profile, "places.sqlite"))
        database.execute("VACUUM INTO ?", (places,))
        database.close()
        database = sqlite3.connect(places, isolation_level=None)
        database.execute("PRAGMA page_size = 1024")
        database.execute("VACUUM")
        database.execute("PRAGMA journal_mode = WAL")
        database.close()
        shutil.copy(os.path.join(home, "bookmarks.html"), os.path.join(out, "firefox"))
    finally:
        shutil.rmtree(home, ignore_errors=True)


class DevTools:
    """Chromium's DevTools protocol on --remote-debugging-pipe: NUL-terminated JSON."""

    def __init__(self, writer, reader):
        self.writer, self.reader = writer, reader
        self.buffer = b""
        self.last_id = 0

    def command(self, method, params=None, session=None):
        self.last_id += 1
        message = {"id": self.last_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        self.writer.write(json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in self.buffer:
                chunk = self.reader.read(65536)
                if not chunk:
                    sys.exit("make-browser-fixtures: Chromium closed its DevTools pipe")
                self.buffer += chunk
            reply, self.buffer = self.buffer.split(b"\0", 1)
            reply = json.loads(reply)
            if reply.get("id") == self.last_id:
                if "error" in reply:
                    sys.exit(f"make-browser-fixtures: Chromium {method}: {reply['error']}")
                return reply["result"]


def bookmark_manager(data, home, script):
    """Starts a headless Chromium on the user data folder data, evaluates script in its bookmark
    manager (a page with the chrome.bookmarks API) until it gives a value, and closes Chromium
    cleanly, so that it writes its files. Returns that value and Chromium's version."""
    to_chromium, from_us = os.pipe()
    to_us, from_chromium = os.pipe()

    def pipes():
        os.dup2(to_chromium, 3)
        os.dup2(from_chromium, 4)

    chromium = subprocess.Popen(
        ["chromium", "--headless", "--no-sandbox", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-gpu", "--remote-debugging-pipe", "--user-data-dir=" + data,
         "about:blank"],
        pass_fds=(3, 4), preexec_fn=pipes, env=dict(os.environ, HOME=home),
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(to_chromium)
    os.close(from_chromium)
    try:
        tools = DevTools(os.fdopen(from_us, "wb", buffering=0),
                         os.fdopen(to_us, "rb", buffering=0))
        version = tools.command("Browser.getVersion")["product"]
        target = tools.command("Target.createTarget", {"url": "chrome://bookmarks/"})
        session = tools.command("Target.attachToTarget",
                                {"targetId": target["targetId"], "flatten": True})["sessionId"]

        def run():
            reply = tools.command("Runtime.evaluate", {"expression": script,
                                  "awaitPromise": True, "returnByValue": True}, session)
            return reply.get("result", {}).get("value")

        result = deadline_loop("Chromium's bookmark manager", run)
        tools.command("Browser.close")
        chromium.wait(TIMEOUT)
    finally:
        if chromium.poll() is None:
            chromium.kill()
    return result, version


def make_chromium(out):
    home = tempfile.mkdtemp(prefix="signetor-chromium-")
    try:
        data = os.path.join(home, "chromium")
        script = """
            (async (bar, other) => {
                const add = async (parentId, [title, content]) => {
                    if (typeof content === "string")
                        return chrome.bookmarks.create({parentId, title, url: content});
                    const folder = await chrome.bookmarks.create({parentId, title});
                    for (const child of content) await add(folder.id, child);
                };
                for (const node of bar) await add("1", node);
                for (const node of other) await add("2", node);
                return "ok";
            })(%s, %s)""" % (json.dumps(BARRE + [ACTUALITES, WIKIPEDIA]), json.dumps(AUTRES))
        bookmark_manager(data, home, script)
        os.makedirs(os.path.join(out, "chromium"), exist_ok=True)
        shutil.copy(os.path.join(data, "Default", "Bookmarks"), os.path.join(out, "chromium"))
    finally:
        shutil.rmtree(home, ignore_errors=True)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "tests", "data", "browsers")
    for browser in ("firefox-esr", "chromium"):
        if not shutil.which(browser):
            sys.exit(f"make-browser-fixtures: {browser} is missing (bash tools/deps.sh)")
    make_firefox(out)
    make_chromium(out)
    print(f"Bookmark files written to {out}")


if __name__ == "__main__":
    main()
