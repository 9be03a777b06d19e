#!/usr/bin/env bash
# Runs one Windows program under Wine, quietly and bounded in time; CMake's cross-compiling
# emulator. 32-bit programs run under the 32-bit loader, 64-bit ones under wine64, each kind
# with its own prefix (WINEPREFIX, by default inside the build folder). Needs a display:
# run the tests inside xvfb-run.
set -u
exe=$1
machine=8664  # a Wine tool such as wineboot runs under the 64-bit loader unless WINEARCH says win32
[ "${WINEARCH:-}" = win32 ] && machine=14c
if [ -f "$exe" ]; then
  machine=$(od -An -t x2 -j $(( $(od -An -t u4 -j 60 -N 4 "$exe" | tr -d ' ') + 4 )) -N 2 "$exe" | tr -d ' ')
fi
if [ "$machine" = 8664 ]; then
  loader=/usr/lib/wine/wine64
  export WINEARCH=win64
else
  loader=wine
  export WINEARCH=win32
fi
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix-$WINEARCH}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
exec timeout --kill-after=10 "${WINE_TIMEOUT:-300}" "$loader" "$@"
