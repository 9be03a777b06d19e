#!/usr/bin/env bash
# Makes the README's screenshots: tagscope-host of a 64-bit Windows build shows
# examples/example.mp3 with the shared menu and toolbar, one picture per tab page of the viewer,
# on a virtual display under Wine.
# A last one shows the Standard page of a copy whose title is Japanese and whose artist is
# Cyrillic (set by the Windows tagscope.exe), with a CJK font linked into the prefix.
# The Details page is shown for a copy with chapters, both kinds of lyrics, a rating and a
# Japanese title (written with mutagen).
#   usage: host/make-screenshots.sh [BUILD-DIR] [OUT-DIR] [SUFFIX]
#   (defaults: build/win64 docs/screenshots, no suffix); DETAILS_ONLY=1 makes only the Details
#   picture, host-details$SUFFIX.png, as for a 32-bit build: DETAILS_ONLY=1
#   host/make-screenshots.sh build/win32 docs/screenshots -win32
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build/win64}")
out=$(realpath -m "${2:-$root/docs/screenshots}")
suffix=${3:-}
host=$build/host/tagscope-host.exe
[ -f "$host" ] || { echo "$host does not exist: build the win64 preset first" >&2; exit 1; }
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
xvfb-run -a "$root/scripts/wine-cjk-fonts.sh"

# shoot PAGE NAME FILE [HOST-OPTION...]: one picture; Wine now and then refuses the first start
# after a prefix change, so a start is tried three times.
shoot() {
  for _ in 1 2 3; do
    WINE_TIMEOUT=120 xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-run.sh" "$host" \
      --share-ui --page "$1" "${@:4}" --screenshot "Z:${out//\//\\}\\host-$2$suffix.png" "$3" &&
      break
  done
  echo "$out/host-$2$suffix.png"
}

# details_example OUT: the example's tag and what the Details page lists over 3:21 of silent
# MPEG audio (128 kbit/s, 44.1 kHz), a scratch file of 3.2 MB.
details_example() {
  /usr/bin/python3 - "$root/examples/example.mp3" "$1" <<'PY'
import sys
from mutagen.id3 import (CHAP, CTOC, ID3, PCNT, POPM, SYLT, TIT2, TPE1, TXXX, USLT, CTOCFlags,
                         Encoding)
with open(sys.argv[2], "wb") as out:
    out.write((b"\xff\xfb\x90\x64" + bytes(413)) * 7700)
tag = ID3(sys.argv[1])
tag.delall("TIT2")
tag.add(TIT2(encoding=Encoding.UTF8, text=["夜明けの歌"]))
tag.add(TPE1(encoding=Encoding.UTF8, text=["The Example Artist"]))
chapters = [("ch0", 0, 61000, "Intro"), ("ch1", 61000, 142500, "夜明け"), ("ch2", 142500, 201000, "Outro")]
for eid, start, end, title in chapters:
    tag.add(CHAP(element_id=eid, start_time=start, end_time=end,
                 sub_frames=[TIT2(encoding=Encoding.UTF8, text=[title])]))
tag.add(CTOC(element_id="toc", flags=CTOCFlags.TOP_LEVEL | CTOCFlags.ORDERED,
             child_element_ids=[c[0] for c in chapters], sub_frames=[TIT2(text=["Chapters"])]))
tag.add(USLT(encoding=Encoding.UTF8, lang="jpn", desc="",
             text="夜が明ける\nThe night is over\nA new day begins"))
tag.add(SYLT(encoding=Encoding.UTF8, lang="eng", format=2, type=1, desc="",
             text=[("The night is over", 1500), ("A new day begins", 61000)]))
tag.add(POPM(email="listener@example.com", rating=196, count=12))
tag.add(PCNT(count=12))
tag.add(TXXX(encoding=Encoding.UTF8, desc="MusicBrainz Album Id",
             text=["0b1e5c9a-6f1d-4f3e-9b4a-2f7d6c8e1a23"]))
tag.save(sys.argv[2], v2_version=4)
PY
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
details_example "$scratch/details.mp3"
# Row 23 holds the lyrics: selected, they show in full below the list, the chapters above them.
(cd "$scratch" && shoot 4 details details.mp3 --row 23)
[ -n "${DETAILS_ONLY:-}" ] && exit 0

cd "$root/examples"  # a short file name for the window title
page=0
for name in standard comments pictures urls; do
  shoot $page $name example.mp3
  page=$((page + 1))
done

tool=$build/cli/tagscope.exe
if [ -f "$tool" ]; then
  cp example.mp3 "$scratch/unicode.mp3"
  cd "$scratch"
  LC_ALL=C.UTF-8 "$root/scripts/wine-run.sh" "$tool" set unicode.mp3 \
    --title "七人の侍" --artist "Кино" --album "Группа крови"
  shoot 0 unicode unicode.mp3
fi
