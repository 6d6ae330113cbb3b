#!/usr/bin/env bash
# Draws the PNG icons (the window's and the installed ones) from the SVG.
# Run it after changing resources/desktop/flitto.svg, and commit the PNGs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
command -v rsvg-convert >/dev/null || "$root/tools/install-deps.sh" librsvg2-bin
cd "$root/resources/desktop"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "flitto-$size.png" flitto.svg
done
