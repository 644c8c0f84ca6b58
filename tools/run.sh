#!/usr/bin/env bash
# Builds Signetor and starts its window. Without a graphical display, it says so and shows
# what the program does with the command-line front end on the example favourites instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
build=${SIGNETOR_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target signetor signetor-cli

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    exec "$build/window/signetor"
fi

echo "No graphical display here (DISPLAY is not set): the window cannot open."
echo "Building the example page with signetor-cli instead:"
out="$build/Favoris.html"
"$build/cli/signetor-cli" examples/Favoris "$out"
echo "Page written to $(realpath "$out")"
echo "On a desktop, run: $build/window/signetor   (or: xvfb-run $build/window/signetor)"
