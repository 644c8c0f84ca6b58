#!/usr/bin/env bash
# Renders the icon's PNG sizes from data/icons/signetor.svg. Run it after editing the SVG and
# commit the PNGs with it. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
if ! command -v rsvg-convert >/dev/null; then
    echo "make-icons.sh: rsvg-convert is missing; install the package librsvg2-bin" >&2
    exit 1
fi
for size in 16 32 48; do
    rsvg-convert --width "$size" --height "$size" signetor.svg --output "signetor-$size.png"
done
echo "Icons written to $(pwd)"
