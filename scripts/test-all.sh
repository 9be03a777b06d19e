#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test:
# native, native under ASan/UBSan (with the fuzz corpus replays), and the Windows cross-builds
# under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
# Compiler cache shared by every checkout of the project on this machine.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-5G}
build() {  # build <preset> [extra cmake args...]
  local preset=$1; shift
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
}

echo "== native"
build linux
ctest --preset linux -j "$jobs"

echo "== native, ASan + UBSan"
build linux-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset linux-asan -j "$jobs"

# Wine runs a 64-bit build everywhere; the 32-bit build's tests run too where this machine
# can execute 32-bit programs at all.
wine_tests() {  # wine_tests <preset>
  local preset=$1
  build "$preset"
  local prefix=$PWD/build/$preset/wineprefix
  [ "$preset" = win32 ] && export WINEARCH=win32
  WINEPREFIX=$prefix timeout 300 xvfb-run -a scripts/wine-run.sh wineboot -i >/dev/null 2>&1 || true
  WINEPREFIX=$prefix timeout 300 xvfb-run -a scripts/wine-cjk-fonts.sh || true
  xvfb-run -a ctest --preset "$preset" -j "$jobs"
}

echo "== Windows 64-bit under Wine"
wine_tests win64

echo "== Windows 32-bit"
if scripts/can-run-i386.sh &&
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  wine_tests win32
else
  echo "This machine cannot execute 32-bit programs (or has no 32-bit Wine); building the 32-bit product only."
  build win32 -DTAGSCOPE_TESTS=OFF
fi
scripts/check-dll.sh build/win32 build/win64

echo "== Windows release bundle"
JOBS=$jobs scripts/make-release.sh
