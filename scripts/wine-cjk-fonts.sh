#!/usr/bin/env bash
# Links a CJK font into the dialog fonts of a Wine prefix, as the fonts Windows ships are linked
# there, so that Japanese, Chinese and Korean text shows in the controls instead of boxes.
#   usage: WINEPREFIX=... scripts/wine-cjk-fonts.sh   (after wineboot; needs fonts-wqy-microhei)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
[ -f "$font" ] || { echo "$font is missing: run scripts/setup.sh" >&2; exit 1; }
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in Tahoma "Microsoft Sans Serif"; do
  WINE_TIMEOUT=120 "$here/wine-run.sh" reg add "$key" /v "$face" /t REG_MULTI_SZ \
    /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f
done
# Wine writes the registry out when its server stops.
WINE_TIMEOUT=60 "$here/wine-run.sh" wineboot --shutdown >/dev/null 2>&1 || true
WINEARCH=${WINEARCH:-win64} wineserver -w 2>/dev/null || true
