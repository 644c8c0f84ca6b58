#!/usr/bin/env bash
# Builds Signetor and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
build=${SIGNETOR_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target signetor-cli
out="$build/Favoris.html"
"$build/cli/signetor-cli" examples/Favoris "$out"
echo "Page written to $(realpath "$out")"
