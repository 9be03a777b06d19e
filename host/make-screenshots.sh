#!/usr/bin/env bash
# Makes the README's screenshots: tagscope-host of a 64-bit Windows build shows
# examples/example.mp3 with the shared menu and toolbar, one picture per tab page of the viewer,
# on a virtual display under Wine.
# A last one shows the Standard page of a copy whose title is Japanese and whose artist is
# Cyrillic (set by the Windows tagscope.exe), with a CJK font linked into the prefix.
#   usage: host/make-screenshots.sh [BUILD-DIR] [OUT-DIR]   (defaults: build/win64 docs/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/win64}")
out=$(realpath -m "${2:-$root/docs/screenshots}")
host=$build/host/tagscope-host.exe
[ -f "$host" ] || { echo "$host does not exist: build the win64 preset first" >&2; exit 1; }
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
xvfb-run -a "$root/scripts/wine-cjk-fonts.sh"

# shoot PAGE NAME FILE: one picture; Wine now and then refuses the first start after a prefix
# change, so a start is tried three times.
shoot() {
  for _ in 1 2 3; do
    WINE_TIMEOUT=120 xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-run.sh" "$host" \
      --share-ui --page "$1" --screenshot "Z:${out//\//\\}\\host-$2.png" "$3" && break
  done
  echo "$out/host-$2.png"
}

cd "$root/examples"  # a short file name for the window title
page=0
for name in standard comments pictures urls; do
  shoot $page $name example.mp3
  page=$((page + 1))
done

tool=$build/cli/tagscope.exe
if [ -f "$tool" ]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  cp example.mp3 "$scratch/unicode.mp3"
  cd "$scratch"
  LC_ALL=C.UTF-8 "$root/scripts/wine-run.sh" "$tool" set unicode.mp3 \
    --title "七人の侍" --artist "Кино" --album "Группа крови"
  shoot 0 unicode unicode.mp3
fi
