#!/usr/bin/env bash
# Builds libmpg123 (MPEG audio decoding) for Windows as a DLL from Debian's mpg123 source package
# with the mingw-w64 toolchain of TRIPLET (default i686-w64-mingw32, 32-bit; x86_64-w64-mingw32
# for 64-bit), and installs it into PREFIX: bin/libmpg123-0.dll, lib/libmpg123.dll.a (its import
# library), include/mpg123.h and fmt123.h, share/licenses/libmpg123/COPYING. libmpg123 is under
# the LGPL 2.1: the tool links it as a DLL beside it, so that a user can put in another build.
# The sources and the build live next to PREFIX, in PREFIX-src. Does nothing when PREFIX already
# holds the library. Needs a deb-src entry (scripts/setup.sh adds one) and dpkg-dev.
#   usage: scripts/build-mingw-mpg123.sh PREFIX [TRIPLET]
set -euo pipefail
. "$(dirname "$0")/mingw-source.sh"

mingw_arguments "$@"
if [ -f "$prefix/bin/libmpg123-0.dll" ] && [ -f "$prefix/lib/libmpg123.dll.a" ] &&
  [ -f "$prefix/include/mpg123.h" ]; then
  exit 0
fi

enter_work

unpack_source mpg123 src/libmpg123/libmpg123.c

# The decoding library alone, without the player, its output modules and the network code. The
# DLL carries its own C run-time parts (-static-libgcc), so that it needs only system DLLs.
mkdir -p build
cd build
if [ ! -f config.status ]; then
  CC="$triplet-gcc-posix" LDFLAGS="-static-libgcc" "../$src/configure" --host="$triplet" \
    --prefix="$PWD/stage" --enable-shared --disable-static --disable-components \
    --enable-libmpg123 --disable-modules --with-network=none >configure.log 2>&1 ||
    { tail -n 30 configure.log >&2; exit 1; }
fi
make -j"$(nproc)" install >make.log 2>&1 || { tail -n 30 make.log >&2; exit 1; }
cd ..

# Installed last, so that an interrupted build is not taken for a finished one.
mkdir -p "$prefix/bin" "$prefix/lib" "$prefix/include" "$prefix/share/licenses/libmpg123"
cp build/stage/include/mpg123.h build/stage/include/fmt123.h "$prefix/include/"
cp "$src/COPYING" "$prefix/share/licenses/libmpg123/COPYING"
cp build/stage/lib/libmpg123.dll.a "$prefix/lib/"
cp build/stage/bin/libmpg123-0.dll "$prefix/bin/libmpg123-0.dll.tmp"
mv "$prefix/bin/libmpg123-0.dll.tmp" "$prefix/bin/libmpg123-0.dll"
echo "libmpg123 for Windows installed in $prefix"
