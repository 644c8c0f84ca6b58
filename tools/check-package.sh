#!/usr/bin/env bash
# Builds the Debian package and checks it as a distribution would: cpack without a warning,
# lintian --pedantic without an error or a warning, and the menu entry and AppStream metadata
# that the package ships valid (appstreamcli checks no address over the network, as the
# metadata names none). About half a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
SIGNETOR_DEPS_EXTRA="lintian ${SIGNETOR_DEPS_EXTRA:-}" bash tools/deps.sh
build=${SIGNETOR_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target signetor signetor-cli manual_pages changelog

rm -f "$build"/signetor_*.deb
(cd "$build" && cpack -G DEB) 2>&1 | tee "$build/cpack.log"
if grep -qi 'warning' "$build/cpack.log"; then
    echo "check-package.sh: cpack printed a warning" >&2
    exit 1
fi
deb=$(echo "$build"/signetor_*.deb)
lintian --pedantic --fail-on error,warning "$deb"

files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
dpkg-deb -x "$deb" "$files"
appstreamcli validate "$files"/usr/share/metainfo/*.metainfo.xml
desktop-file-validate "$files"/usr/share/applications/*.desktop
echo "check-package.sh: $deb is clean"
