#!/usr/bin/env bash
# Times signetor-cli on 100,000 bookmarks in each kind of bookmark file (places.sqlite,
# Chromium's Bookmarks, bookmarks.html; bench/gen_bookmarks.py) and reports its peak memory.
# Reading places.sqlite (bench/read_source: the reader alone, with its private copy of the
# database) is set against the sqlite3 command running the equivalent join (every bookmark and
# folder with its place's URL, in tree order); so is the whole signetor-cli run, which also
# sorts the rows and writes the page. Reading Bookmarks is set against jq printing every
# bookmark's URL. Ratios are medians of the per-run ratios. Each command is warmed once, then
# timed SIGNETOR_BENCH_RUNS times, alternating. Targets: the whole run on places.sqlite within
# 1.5x of sqlite3, on Bookmarks within 0.15x of jq; every source under 64 MB peak.
#
# Environment: SIGNETOR_BENCH_RUNS (default 5), SIGNETOR_BENCH_DIR (default
# /tmp/signetor-bench), SIGNETOR_BENCH_BUILD_DIR (default build-bench, a Release build).
set -euo pipefail
cd "$(dirname "$0")/.."
SIGNETOR_DEPS_EXTRA="python3 sqlite3 jq" bash tools/deps.sh

runs=${SIGNETOR_BENCH_RUNS:-5}
work=${SIGNETOR_BENCH_DIR:-/tmp/signetor-bench}
build=${SIGNETOR_BENCH_BUILD_DIR:-build-bench}
bookmarks=100000
folders=5000

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DSIGNETOR_GUI=OFF -DSIGNETOR_BENCH=ON >/dev/null
cmake --build "$build" --target signetor-cli read_source >/dev/null
cli=$(realpath "$build/cli/signetor-cli")
reader=$(realpath "$build/bench/read_source")
measure="$(realpath "$build")/measure"
g++ -O2 -std=c++17 bench/measure.cpp -o "$measure"
mkdir -p "$work"
# The bookmarks.html baseline: Python's own HTML parser, counting the A elements.
cat >"$work/count_links.py" <<'PY'
import sys
from html.parser import HTMLParser
class Links(HTMLParser):
    count = 0
    def handle_starttag(self, tag, attrs):
        if tag == "a":
            self.count += 1
parser = Links()
with open(sys.argv[1], encoding="utf-8", errors="replace") as f:
    for block in iter(lambda: f.read(1 << 16), ""):
        parser.feed(block)
parser.close()
print(parser.count)
PY

files="$work/bookmarks-$bookmarks"
if [ "$(cat "$files.params" 2>/dev/null)" != "$bookmarks $folders" ]; then
    echo "Building $files ($bookmarks bookmarks, $folders folders)..." >&2
    python3 bench/gen_bookmarks.py "$files" "$bookmarks" "$folders"
    echo "$bookmarks $folders" >"$files.params"
fi

join="SELECT b.id, b.parent, b.type, b.title, p.url, b.dateAdded FROM moz_bookmarks b
      LEFT JOIN moz_places p ON p.id = b.fk ORDER BY b.parent, b.position"
urls='.. | objects | select(.type == "url") | .url'

# Runs a command; prints "elapsed_seconds peak_kb exit_status processor_seconds".
measure() {
    local status=0 out
    out=$("$measure" "$@" 2>"$work/stderr.out") || status=$?
    awk -v st=$status '{ printf "%s %s %d %s\n", $1, $2, st, $3 }' <<<"$out"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mb() { awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }'; }

report() { # name, file of measures
    local failed
    failed=$(awk '$3 != 0' "$2" | wc -l)
    printf '  %-28s median %.3f s, peak %s MB%s\n' "$1" "$(cut -d' ' -f1 "$2" | median)" \
        "$(mb "$(cut -d' ' -f2 "$2" | sort -n | tail -n 1)")" \
        "$([ "$failed" -eq 0 ] || echo " ($failed runs FAILED: $(head -c 200 "$work/stderr.out"))")"
}

echo "$bookmarks bookmarks in $folders folders, $runs runs each"
for kind in places.sqlite Bookmarks bookmarks.html; do
    source="$files/$kind"
    echo "$kind ($(mb $(($(stat -c %s "$source") / 1024))) MB)"
    "$cli" "$source" "$work/page.html" >/dev/null 2>&1 || true
    "$cli" --signets "$source" "$work/signets.html" >/dev/null 2>&1 || true
    : >"$work/page.txt"
    : >"$work/export.txt"
    : >"$work/sqlite3.txt"
    : >"$work/jq.txt"
    : >"$work/reader.txt"
    : >"$work/python.txt"
    for ((r = 1; r <= runs; r++)); do
        if [ "$kind" = places.sqlite ]; then
            measure sqlite3 -readonly "$source" "$join" >>"$work/sqlite3.txt"
        fi
        if [ "$kind" = Bookmarks ]; then
            measure jq -r "$urls" "$source" >>"$work/jq.txt"
        fi
        if [ "$kind" = bookmarks.html ]; then
            measure python3 "$work/count_links.py" "$source" >>"$work/python.txt"
        fi
        measure "$reader" "$source" >>"$work/reader.txt"
        measure "$cli" "$source" "$work/page.html" >>"$work/page.txt"
        measure "$cli" --signets "$source" "$work/signets.html" >>"$work/export.txt"
    done
    if [ "$kind" = places.sqlite ]; then
        report "sqlite3 join" "$work/sqlite3.txt"
    fi
    if [ "$kind" = Bookmarks ]; then
        report "jq printing the URLs" "$work/jq.txt"
    fi
    if [ "$kind" = bookmarks.html ]; then
        report "python html.parser" "$work/python.txt"
    fi
    report "reader alone" "$work/reader.txt"
    report "signetor-cli (page)" "$work/page.txt"
    report "signetor-cli --signets" "$work/export.txt"
    # Elapsed time, and processor time (field 4), steadier on a shared machine.
    ratio() { paste -d' ' "$1" "$2" | awk -v f="$3" '{ print $f / $(f + 4) }' | median; }
    ratios() { # baseline, its name, target of the whole run
        printf '  ratio to %s, elapsed (processor): reading %.2f (%.2f);\n' "$2" \
            "$(ratio "$work/reader.txt" "$1" 1)" "$(ratio "$work/reader.txt" "$1" 4)"
        printf '    whole run (target <= %s): page %.2f (%.2f), --signets %.2f (%.2f)\n' "$3" \
            "$(ratio "$work/page.txt" "$1" 1)" "$(ratio "$work/page.txt" "$1" 4)" \
            "$(ratio "$work/export.txt" "$1" 1)" "$(ratio "$work/export.txt" "$1" 4)"
    }
    if [ "$kind" = places.sqlite ]; then
        ratios "$work/sqlite3.txt" sqlite3 1.5
    fi
    if [ "$kind" = Bookmarks ]; then
        ratios "$work/jq.txt" jq 0.15
    fi
    if [ "$kind" = bookmarks.html ]; then
        ratios "$work/python.txt" "python html.parser" 0.2
    fi
    printf '  links on the page: %d\n' "$(grep -c '<span class="lien">' "$work/page.html" || true)"
done
echo "Targets: peak memory < 64 MB for every source."
