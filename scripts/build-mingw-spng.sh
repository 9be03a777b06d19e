#!/usr/bin/env bash
# Builds a static libspng for Windows from Debian's libspng source package with the mingw-w64
# toolchain of TRIPLET (default i686-w64-mingw32, 32-bit; x86_64-w64-mingw32 for 64-bit), and
# installs it into PREFIX (lib/libspng.a, include/spng.h). It inflates through the toolchain's
# static zlib (libz-mingw-w64-dev: /usr/TRIPLET/lib/libz.a), which the program links as well.
# The sources and the build live next to PREFIX, in PREFIX-src. Does nothing when PREFIX already
# holds the library. Needs a deb-src entry (scripts/setup.sh adds one) and dpkg-dev.
#   usage: scripts/build-mingw-spng.sh PREFIX [TRIPLET]
set -euo pipefail
. "$(dirname "$0")/mingw-source.sh"

mingw_arguments "$@"
if [ -f "$prefix/lib/libspng.a" ] && [ -f "$prefix/include/spng.h" ]; then
  exit 0
fi
if [ ! -f "/usr/$triplet/include/zlib.h" ]; then
  echo "$0: no zlib for $triplet (install libz-mingw-w64-dev)" >&2
  exit 1
fi

enter_work

unpack_source libspng spng/spng.c

# The library is one C file; SPNG_STATIC leaves its functions without DLL import/export marks
# (the programs that include spng.h define it too). Its SSE2 filters are used without asking
# the processor, which every 64-bit one has; the 32-bit build leaves them out, as the 32-bit
# hosts may run where SSE2 is missing.
opt=()
case "$triplet" in
  x86_64-*) ;;
  *) opt=(-DSPNG_DISABLE_OPT) ;;
esac
mkdir -p build
"$triplet-gcc-posix" -std=c99 -O2 -DNDEBUG -DSPNG_STATIC "${opt[@]}" -I"/usr/$triplet/include" \
  -c "$src/spng/spng.c" -o build/spng.o 2>build.log || { tail -n 30 build.log >&2; exit 1; }
rm -f build/libspng.a
"$triplet-ar" rcs build/libspng.a build/spng.o

# Installed last, so that an interrupted build is not taken for a finished one.
mkdir -p "$prefix/lib" "$prefix/include"
cp "$src/spng/spng.h" "$prefix/include/"
cp build/libspng.a "$prefix/lib/libspng.a.tmp"
mv "$prefix/lib/libspng.a.tmp" "$prefix/lib/libspng.a"
echo "libspng for Windows installed in $prefix"
