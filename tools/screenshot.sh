#!/usr/bin/env bash
# Builds signetor, starts it on a virtual X screen with a fresh user folder (so that it shows
# its defaults) and writes a picture of its main window to docs/screenshot.png; then builds the
# page of the example favourites with signetor-cli and writes headless Chromium's picture of it
# to docs/page.png. Run it again whenever the window or the page changes.
set -euo pipefail

# Inside the virtual screen: start the program, wait until its window is painted, then take
# the screen and cut it down to the window. Without a window manager the window is the only
# thing on the black screen, so trimming the black leaves exactly the window.
if [ "${1:-}" = "--inside" ]; then
    program=$2 out=$3
    home=$(mktemp -d)
    trap 'rm -rf "$home"' EXIT
    HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home \
        "$program" &
    pid=$!
    shown=""
    for _ in $(seq 1 60); do
        sleep 0.5
        kill -0 "$pid" 2>/dev/null || break
        import -window root "$home/screen.png"
        size=$(convert "$home/screen.png" -trim -format '%wx%h' info: 2>/dev/null || true)
        if [ "$size" != "" ] && [ "$size" != "1x1" ]; then
            shown=yes
            break
        fi
    done
    if [ -z "$shown" ]; then
        echo "screenshot.sh: the window of $program never appeared" >&2
        kill "$pid" 2>/dev/null || true
        exit 1
    fi
    sleep 1 # let the first painting finish
    import -window root "$home/screen.png"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    convert "$home/screen.png" -trim +repage -bordercolor "#808080" -border 1 \
        -strip -define png:exclude-chunks=date,time "$out"
    exit 0
fi

cd "$(dirname "$0")/.."
SIGNETOR_DEPS_EXTRA="imagemagick ${SIGNETOR_DEPS_EXTRA:-}" bash tools/deps.sh
build=${SIGNETOR_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target signetor signetor-cli
mkdir -p docs
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
    bash tools/screenshot.sh --inside "$(realpath "$build/window/signetor")" "$(pwd)/docs/screenshot.png"
echo "Screenshot written to $(pwd)/docs/screenshot.png"

# The page, in a throwaway Chromium profile and home.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/cli/signetor-cli" examples/Favoris "$work/Favoris.html"
HOME=$work chromium --headless --no-sandbox --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --disable-gpu --hide-scrollbars \
    --user-data-dir="$work/profile" --window-size=900,780 --screenshot="$work/page.png" \
    "file://$work/Favoris.html" 2>/dev/null
convert "$work/page.png" -bordercolor "#808080" -border 1 -strip \
    -define png:exclude-chunks=date,time "$(pwd)/docs/page.png"
echo "Page picture written to $(pwd)/docs/page.png"
