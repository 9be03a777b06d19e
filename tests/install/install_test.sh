#!/usr/bin/env bash
# install_test.sh <build-dir> <work-dir> <C++ compiler> <CMake generator> <example.mp3> [python]
# Installs the build into <work-dir>/prefix, checks that no setting of the build itself reached
# the installed package, and builds the programs in consumer/ against the installed package
# through find_package and through pkg-config; both readers must print the example's tag. The
# editor changes a copy of the example through the public interface alone; the reader and, given
# a Python with mutagen, mutagen must find the change.
# CXX_LAUNCHER (optional) is put before the compiler, as the build does (ccache).
set -euo pipefail
build=$1 work=$2 cxx=$3 generator=$4 example=$5 python=${6:-}
here=$(cd "$(dirname "$0")" && pwd)
source_root=$(cd "$here/../.." && pwd)
launcher=${CXX_LAUNCHER:-}
fail() { echo "FAIL: $*"; exit 1; }

if [ ! -d "$source_root/include/tagscope" ]; then
  echo "SKIP: the public headers are not under include/tagscope yet"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install"

pc=$(find "$prefix" -name tagscope.pc)
[ -n "$pc" ] || fail "no tagscope.pc installed"
config=$(cat "$prefix"/lib*/cmake/tagscope/*.cmake "$pc")
config=${config//$prefix/PREFIX}
for leak in "$source_root" -Wall -Wextra -Wno- WIN32_LEAN_AND_MEAN; do
  if grep -qF -- "$leak" <<<"$config"; then
    fail "the installed package carries a build setting: $leak"
  fi
done

# Every installed header compiles with the installed include folder alone.
find "$prefix/include" -name '*.h' | sort | sed 's/.*/#include "&"/' >"$work/all_headers.cpp"
$launcher "$cxx" -std=c++20 -fsyntax-only -I"$prefix/include" "$work/all_headers.cpp" ||
  fail "the installed headers need headers that were not installed"

expected=$(printf '%s\n' "The Example Artist - Example Song" "image/bmp 16x16")
run_consumer() {  # run_consumer <how> <program> [file]
  local out
  out=$(LD_LIBRARY_PATH="$prefix/lib:${LD_LIBRARY_PATH:-}" "$2" "${3:-$example}") ||
    fail "the $1 consumer failed"
  [ "$out" = "$expected" ] || fail "the $1 consumer printed:"$'\n'"$out"
  echo "ok: $1 consumer"
}

cmake -S "$here/consumer" -B "$work/cmake" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$cxx" ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher"} \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake.log" || fail "configuring with find_package"
grep -q "^tagscope_DIR:PATH=$prefix/" "$work/cmake/CMakeCache.txt" ||
  fail "find_package found another tagscope than the one installed"
cmake --build "$work/cmake" >"$work/cmake-build.log" || fail "building with find_package"
run_consumer find_package "$work/cmake/consumer"

# An edit through the public interface: UTF-8 title, a picture added, the version changed.
title="Grüße aus 東京 — ✓"
edited=$work/edited.mp3
cp "$example" "$edited"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\xff' >"$work/cover.png"
LD_LIBRARY_PATH="$prefix/lib:${LD_LIBRARY_PATH:-}" "$work/cmake/edit" "$edited" "$title" \
  "$work/cover.png" >"$work/edit.log" || fail "the editor failed: $(cat "$work/edit.log")"
expected=$(printf '%s\n' "The Example Artist - $title" "image/bmp 16x16")
run_consumer "find_package (edited file)" "$work/cmake/consumer" "$edited"
if [ -n "$python" ]; then
  "$python" "$here/check_edit.py" "$edited" "$title" "$work/cover.png" ||
    fail "mutagen does not read the edit as made"
  echo "ok: mutagen reads the edit"
else
  echo "note: no Python with mutagen; the edit was checked by reading it back only"
fi
expected=$(printf '%s\n' "The Example Artist - Example Song" "image/bmp 16x16")

flags=$(PKG_CONFIG_PATH="$(dirname "$pc")" pkg-config --cflags --libs tagscope) ||
  fail "pkg-config does not know tagscope"
# shellcheck disable=SC2086  # the flags are words
$launcher "$cxx" -std=c++20 "$here/consumer/main.cpp" $flags -o "$work/pkg-config-consumer" ||
  fail "building with pkg-config"
run_consumer pkg-config "$work/pkg-config-consumer"
