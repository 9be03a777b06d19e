#!/usr/bin/env bash
# Builds a static libebur128 (loudness measurement) for Windows from Debian's libebur128 source
# package with the mingw-w64 toolchain of TRIPLET (default i686-w64-mingw32, 32-bit;
# x86_64-w64-mingw32 for 64-bit), and installs it into PREFIX (lib/libebur128.a,
# include/ebur128.h, share/licenses/libebur128/COPYING). The sources and the build live next to
# PREFIX, in PREFIX-src. Does nothing when PREFIX already holds the library. Needs a deb-src entry
# (scripts/setup.sh adds one) and dpkg-dev.
#   usage: scripts/build-mingw-ebur128.sh PREFIX [TRIPLET]
set -euo pipefail
. "$(dirname "$0")/mingw-source.sh"

mingw_arguments "$@"
if [ -f "$prefix/lib/libebur128.a" ] && [ -f "$prefix/include/ebur128.h" ]; then
  exit 0
fi

enter_work

unpack_source libebur128 ebur128/ebur128.c

# The library is one C file. It lists its blocks with the BSD <sys/queue.h>, which mingw-w64
# lacks: the copy that comes with it serves. Its M_PI is mingw-w64's only when asked for.
mkdir -p build
"$triplet-gcc-posix" -std=c99 -O2 -DNDEBUG -D_USE_MATH_DEFINES -I"$src/ebur128" -I"$src/ebur128/queue" \
  -c "$src/ebur128/ebur128.c" -o build/ebur128.o 2>build.log || { tail -n 30 build.log >&2; exit 1; }
rm -f build/libebur128.a
"$triplet-ar" rcs build/libebur128.a build/ebur128.o

# Installed last, so that an interrupted build is not taken for a finished one.
mkdir -p "$prefix/lib" "$prefix/include" "$prefix/share/licenses/libebur128"
cp "$src/ebur128/ebur128.h" "$prefix/include/"
cp "$src/COPYING" "$prefix/share/licenses/libebur128/COPYING"
cp build/libebur128.a "$prefix/lib/libebur128.a.tmp"
mv "$prefix/lib/libebur128.a.tmp" "$prefix/lib/libebur128.a"
echo "libebur128 for Windows installed in $prefix"
