#!/usr/bin/env bash
# Times signetor-cli --suivre from a change of its source to the rewritten page, against one
# normal run of signetor-cli on the same source, measured in the same run: a shortcut tree of
# 10,000 and of 100,000 shortcuts (one shortcut added, then removed) and a places.sqlite of
# 100,000 bookmarks (one bookmark added through sqlite3, then removed). Each figure is the
# median of SIGNETOR_BENCH_RUNS changes (default 5). Target: a change reaches the page within
# one normal run plus 100 ms.
#
# Environment: SIGNETOR_BENCH_RUNS, SIGNETOR_BENCH_DIR (default /tmp/signetor-bench),
# SIGNETOR_BENCH_BUILD_DIR (default build-bench, a Release build).
set -euo pipefail
cd "$(dirname "$0")/.."
SIGNETOR_DEPS_EXTRA="python3 sqlite3" bash tools/deps.sh

runs=${SIGNETOR_BENCH_RUNS:-5}
work=${SIGNETOR_BENCH_DIR:-/tmp/signetor-bench}
build=${SIGNETOR_BENCH_BUILD_DIR:-build-bench}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DSIGNETOR_GUI=OFF >/dev/null
cmake --build "$build" --target signetor-cli -j2 >/dev/null
cli=$(realpath "$build/cli/signetor-cli")
mkdir -p "$work"

for size in "10000 500" "100000 5000"; do
    read -r links folders <<<"$size"
    tree="$work/favoris-$links"
    if [ "$(cat "$tree.params" 2>/dev/null)" != "$links $folders" ]; then
        echo "Building $tree ($links shortcuts, $folders folders)..." >&2
        python3 bench/gen_tree.py "$tree" "$links" "$folders"
        echo "$links $folders" >"$tree.params"
    fi
done
files="$work/bookmarks-100000"
if [ "$(cat "$files.params" 2>/dev/null)" != "100000 5000" ]; then
    echo "Building $files (100000 bookmarks, 5000 folders)..." >&2
    python3 bench/gen_bookmarks.py "$files" 100000 5000
    echo "100000 5000" >"$files.params"
fi
# The watched database is a copy, so that the changes never reach the generated one.
cp "$files/places.sqlite" "$work/suivi-places.sqlite"

python3 - "$cli" "$work" "$runs" <<'PY'
import os, signal, sqlite3, statistics, subprocess, sys, time

cli, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
page = os.path.join(work, "suivi-page.html")

def normal_run(source):
    start = time.monotonic()
    subprocess.run([cli, source, os.path.join(work, "normal.html")], check=True)
    return time.monotonic() - start

def identity():
    try:
        st = os.stat(page)
        return (st.st_ino, st.st_mtime_ns, st.st_size)
    except FileNotFoundError:
        return None

# Waits for the page to hold the marker (or to have lost it): the file is read only when it
# has been replaced, so that the wait takes little of the processor the watcher needs.
def wait_for(marker, present, seen=None):
    while True:
        now = identity()
        if now is not None and now != seen:
            seen = now
            with open(page, "rb") as f:
                if (marker in f.read()) == present:
                    return
        time.sleep(0.001)

def tree_change(tree):
    target = os.path.join(tree, next(e for e in sorted(os.listdir(tree))
                                     if os.path.isdir(os.path.join(tree, e))), "Suivi banc.url")
    def change(n, add):
        if add:
            with open(target, "w") as f:
                f.write("[InternetShortcut]\r\nURL=https://suivi%d.example/\r\n" % n)
        else:
            os.remove(target)
    return change

def places_change(database):
    def change(n, add):
        db = sqlite3.connect(database)
        with db:
            if add:
                db.execute("INSERT INTO moz_places (url, title) VALUES (?, 'banc')",
                           ("https://suivi%d.example/" % n,))
                db.execute("INSERT INTO moz_bookmarks (type, fk, parent, position, title) "
                           "SELECT 1, last_insert_rowid(), id, 0, 'Suivi banc' FROM moz_bookmarks "
                           "WHERE guid = 'toolbar_____'")
            else:
                db.execute("DELETE FROM moz_bookmarks WHERE title = 'Suivi banc'")
                db.execute("DELETE FROM moz_places WHERE title = 'banc'")
        db.close()
    return change

cases = [("shortcut tree, 10,000 shortcuts", os.path.join(work, "favoris-10000"), tree_change),
         ("shortcut tree, 100,000 shortcuts", os.path.join(work, "favoris-100000"), tree_change),
         ("places.sqlite, 100,000 bookmarks", os.path.join(work, "suivi-places.sqlite"),
          places_change)]
print("%d changes each; medians" % runs)
for name, source, make in cases:
    change = make(source)
    normal_run(source)
    if os.path.exists(page):
        os.remove(page)
    watcher = subprocess.Popen([cli, "--suivre", source, page])
    wait_for(b"</html>", True)
    # Normal runs and changes alternate, so that both meet the same load of the machine.
    normals, latencies = [], []
    for n in range(runs):
        normals.append(normal_run(source))
        for add in (True, False):
            marker = b"https://suivi%d.example/" % n
            # Each change is timed from a quiet watcher: whatever the last one set going (a
            # database closing, say) is over.
            time.sleep(2 * normals[-1] + 0.2)
            start = time.monotonic()
            change(n, add)
            wait_for(marker, add)
            if add:
                latencies.append(time.monotonic() - start)
    watcher.send_signal(signal.SIGTERM)
    status = watcher.wait()
    normal, latency = statistics.median(normals), statistics.median(latencies)
    extra = statistics.median(l - r for l, r in zip(latencies, normals))
    print("%-34s normal run %.3f s, change to page %.3f s (per change, normal + %+.0f ms; "
          "target <= +100)%s" % (name, normal, latency, extra * 1000,
             "" if status == 0 else ", watcher exit status %d" % status))
PY
