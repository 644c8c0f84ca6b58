#!/usr/bin/env bash
# Times signetor-cli end to end on synthetic favourites trees against the floor of the same
# work: listing the tree and reading every file once, by read_all (one reused buffer) and by
# find + cat. Reports the median ratios per size, in elapsed and in processor time (the
# latter steadier on a shared machine), the growth of the per-link cost between sizes and
# the peak memory, also for a tree of 1,000 links to one shortcut with a 1 MB URL.
#
# Environment: SIGNETOR_BENCH_RUNS (default 5), SIGNETOR_BENCH_DIR (default
# /tmp/signetor-bench), SIGNETOR_BENCH_BUILD_DIR (default build-bench, a Release build).
set -euo pipefail
cd "$(dirname "$0")/.."
SIGNETOR_DEPS_EXTRA="python3" bash tools/deps.sh

runs=${SIGNETOR_BENCH_RUNS:-5}
work=${SIGNETOR_BENCH_DIR:-/tmp/signetor-bench}
build=${SIGNETOR_BENCH_BUILD_DIR:-build-bench}
sizes=("10000 500" "100000 5000")

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DSIGNETOR_GUI=OFF >/dev/null
cmake --build "$build" --target signetor-cli >/dev/null
cli=$(realpath "$build/cli/signetor-cli")
read_all="$(realpath "$build")/read_all"
measure="$(realpath "$build")/measure"
g++ -O2 -std=c++17 bench/read_all.cpp -o "$read_all"
g++ -O2 -std=c++17 bench/measure.cpp -o "$measure"
mkdir -p "$work"

# Builds the tree once per size; a marker file records the parameters it was built with.
tree_for() {
    local links=$1 folders=$2 tree="$work/favoris-$1"
    if [ "$(cat "$tree.params" 2>/dev/null)" != "$links $folders" ]; then
        echo "Building $tree ($links shortcuts, $folders folders)..." >&2
        python3 bench/gen_tree.py "$tree" "$links" "$folders"
        echo "$links $folders" >"$tree.params"
    fi
    echo "$tree"
}

# Runs a command; prints "elapsed_seconds peak_kb processor_seconds".
measure() { "$measure" "$@"; }

floor() { find "$1" -type f -exec cat {} + >/dev/null; }
export -f floor

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A per_link
for size in "${sizes[@]}"; do
    read -r links folders <<<"$size"
    tree=$(tree_for "$links" "$folders")
    page="$work/page-$links.html"
    # Warm the page cache for both alike before timing.
    floor "$tree"
    "$cli" "$tree" "$page"
    "$read_all" "$tree" >/dev/null
    : >"$work/floor.txt"
    : >"$work/tight.txt"
    : >"$work/cli.txt"
    for ((r = 1; r <= runs; r++)); do
        measure bash -c 'floor "$0"' "$tree" >>"$work/floor.txt"
        measure "$read_all" "$tree" >>"$work/tight.txt"
        measure "$cli" "$tree" "$page" >>"$work/cli.txt"
    done
    floor_median=$(cut -d' ' -f1 "$work/floor.txt" | median)
    cli_median=$(cut -d' ' -f1 "$work/cli.txt" | median)
    tight_median=$(cut -d' ' -f1 "$work/tight.txt" | median)
    ratio_median=$(paste -d' ' "$work/cli.txt" "$work/floor.txt" | awk '{ print $1 / $4 }' | median)
    tight_ratio=$(paste -d' ' "$work/cli.txt" "$work/tight.txt" | awk '{ print $1 / $4 }' | median)
    cpu_ratio=$(paste -d' ' "$work/cli.txt" "$work/tight.txt" |
        awk '{ print ($6 > 0 ? $3 / $6 : 0) }' | median)
    peak_kb=$(cut -d' ' -f2 "$work/cli.txt" | sort -n | tail -n 1)
    links_found=$(grep -c '<span class="lien">' "$page" || true)
    if [ "$links_found" -ne "$links" ]; then
        echo "the page holds $links_found links instead of $links: the tree is not what it claims" >&2
        exit 1
    fi
    per_link[$links]=$(awk -v t="$cli_median" -v n="$links" 'BEGIN { printf "%.9f", t / n }')
    printf '%d shortcuts in %d folders (+%d other files), %d runs, %d links on the page\n' \
        "$links" "$folders" $((links / 10)) "$runs" "$links_found"
    printf '  floor (find + cat)  median %.3f s\n' "$floor_median"
    printf '  read_all            median %.3f s\n' "$tight_median"
    printf '  signetor-cli        median %.3f s\n' "$cli_median"
    printf '  median ratio        %.2f against read_all (target <= 1.2), %.2f in processor time;\n' \
        "$tight_ratio" "$cpu_ratio"
    printf '                      %.2f against find + cat\n' "$ratio_median"
    printf '  peak memory         %.1f MB  (target < 64 MB at 100,000)\n' \
        "$(awk -v kb="$peak_kb" 'BEGIN { print kb / 1024 }')"
done

# 1,000 links to one shortcut whose URL is 1 MB: each would weigh a megabyte on the page.
links_tree="$work/liens-1000"
if [ ! -e "$links_tree/999.url" ]; then
    rm -rf "$links_tree"
    mkdir -p "$links_tree"
    python3 -c 'import sys; sys.stdout.buffer.write(b"[InternetShortcut]\r\nURL=http://" + b"u" * 1000000 + b"\r\n")' \
        >"$links_tree/cible.url"
    for ((i = 0; i < 1000; i++)); do ln -s cible.url "$links_tree/$i.url"; done
fi
"$cli" "$links_tree" "$work/page-liens.html"
read -r _ links_kb _ < <(measure "$cli" "$links_tree" "$work/page-liens.html")
printf '1,000 links to one shortcut with a 1 MB URL: peak memory %.1f MB, page %d bytes\n' \
    "$(awk -v kb="$links_kb" 'BEGIN { print kb / 1024 }')" "$(stat -c %s "$work/page-liens.html")"

awk -v small="${per_link[10000]}" -v large="${per_link[100000]}" 'BEGIN {
    bound = log(100000) / log(10000)
    printf "per-link cost, 100,000 over 10,000: %.2f  (n log n allows %.2f)\n", large / small, bound
}'

# Large URLs: 1,000 symbolic links to one shortcut whose URL is 1,000,000 bytes long (beyond
# the 64 KiB a URL may have: no link at all) and 60,000 bytes long (just under it: a page of
# about 57 MB). The page is written as it is generated: the peak is the link table (its texts
# in UTF-16, about twice the page) plus a bounded buffer; building the page whole first added
# its lines and its bytes on top.
for url_bytes in 1000000 60000; do
    big="$work/liens-$url_bytes"
    if [ ! -f "$big.done" ]; then
        rm -rf "$big" && mkdir -p "$big/Favoris"
        { printf '[InternetShortcut]\r\nURL=https://example.org/'
          head -c $((url_bytes - 20)) /dev/zero | tr '\0' 'a'; printf '\r\n'; } >"$big/cible.url"
        for ((i = 1; i <= 1000; i++)); do ln -s ../cible.url "$big/Favoris/lien$i.url"; done
        touch "$big.done"
    fi
    : >"$work/big.txt"
    for ((r = 1; r <= runs; r++)); do
        measure "$cli" "$big/Favoris" "$work/page-longue.html" >>"$work/big.txt"
    done
    page_mb=$(awk -v b="$(stat -c %s "$work/page-longue.html")" 'BEGIN { print b / 1048576 }')
    big_kb=$(cut -d' ' -f2 "$work/big.txt" | sort -n | tail -n 1)
    printf '1,000 links to a %d-byte URL: page %.1f MB, peak memory %.1f MB\n' \
        "$url_bytes" "$page_mb" "$(awk -v kb="$big_kb" 'BEGIN { print kb / 1024 }')"
done
