#!/usr/bin/env bash
# Builds the Windows release bundle, build/release/tagscope-<version>-win.zip: the 32-bit and the
# 64-bit plug-in (tagscope.dll, tagscope64.dll), the command-line tool (tagscope.exe, with
# libmpg123-0.dll and the licences of the audio libraries under licenses/) and the README, then
# checks it with scripts/check-dll.sh. Reuses the win32 and win64 build folders when
# they exist (configured as they are); a missing one is configured for the product alone.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1

for preset in win64 win32; do
  if [ ! -f "build/$preset/CMakeCache.txt" ]; then
    cmake --preset "$preset" -DTAGSCOPE_TESTS=OFF >/dev/null
  fi
  cmake --build --preset "$preset" -j "$jobs" >/dev/null
done
# The 32-bit build's package configuration takes the 64-bit plug-in from build/win64.
cmake build/win32 -DTAGSCOPE_WIN64_BUILD_DIR="$PWD/build/win64" >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/win32/CMakeCache.txt)
zip=build/release/tagscope-$version-win.zip
rm -f "$zip"
cpack --config build/win32/CPackConfig.cmake -B build/release >/dev/null
echo "built $zip"
scripts/check-dll.sh "$zip"
