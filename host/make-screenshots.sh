#!/usr/bin/env bash
# Makes the README's screenshots: tagscope-host of a 64-bit Windows build shows
# examples/example.mp3 with the shared menu and toolbar, one picture per tab page of the viewer,
# on a virtual display under Wine.
#   usage: host/make-screenshots.sh [BUILD-DIR] [OUT-DIR]   (defaults: build/win64 docs/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/win64}")
out=$(realpath -m "${2:-$root/docs/screenshots}")
host=$build/host/tagscope-host.exe
[ -f "$host" ] || { echo "$host does not exist: build the win64 preset first" >&2; exit 1; }
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
cd "$root/examples"  # a short file name for the window title
page=0
for name in standard comments pictures urls; do
  WINE_TIMEOUT=120 xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-run.sh" "$host" \
    --share-ui --page $page --screenshot "Z:${out//\//\\}\\host-$name.png" example.mp3
  echo "$out/host-$name.png"
  page=$((page + 1))
done
