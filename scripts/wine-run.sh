#!/usr/bin/env bash
# Runs one Windows program under Wine with a private prefix, quietly and bounded in time.
# Used as CMake's cross-compiling emulator; expects a display (run the tests inside xvfb-run).
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/win32/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
mkdir -p "$WINEPREFIX"
exec timeout --kill-after=10 "${WINE_TIMEOUT:-300}" wine "$@"
