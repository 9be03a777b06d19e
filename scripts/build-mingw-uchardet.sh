#!/usr/bin/env bash
# Builds a static libuchardet (character set detection) for Windows from Debian's uchardet
# source package with the mingw-w64 toolchain of TRIPLET (default i686-w64-mingw32, 32-bit;
# x86_64-w64-mingw32 for 64-bit), and installs it into PREFIX (lib/libuchardet.a,
# include/uchardet/uchardet.h). The sources and the build live next to PREFIX, in PREFIX-src.
# Does nothing when PREFIX already holds the library. Needs a deb-src entry (scripts/setup.sh
# adds one) and dpkg-dev.
#   usage: scripts/build-mingw-uchardet.sh PREFIX [TRIPLET]
set -euo pipefail
. "$(dirname "$0")/mingw-source.sh"

mingw_arguments "$@"
if [ -f "$prefix/lib/libuchardet.a" ] && [ -f "$prefix/include/uchardet/uchardet.h" ]; then
  exit 0
fi

enter_work

unpack_source uchardet src/uchardet.cpp

# The library is the detector's C++ files and its language models, with no configuration of
# its own; without UCHARDET_SHARED its functions carry no DLL import/export marks.
mkdir -p build
rm -f build/*.o
for file in "$src"/src/*.cpp "$src"/src/LangModels/*.cpp; do
  object="build/$(basename "$file" .cpp).o"
  "$triplet-g++-posix" -O2 -DNDEBUG -I"$src/src" -c "$file" -o "$object" 2>>build.log \
    || { tail -n 30 build.log >&2; exit 1; }
done
rm -f build/libuchardet.a
"$triplet-ar" rcs build/libuchardet.a build/*.o

# Installed last, so that an interrupted build is not taken for a finished one.
mkdir -p "$prefix/lib" "$prefix/include/uchardet"
cp "$src/src/uchardet.h" "$prefix/include/uchardet/"
cp build/libuchardet.a "$prefix/lib/libuchardet.a.tmp"
mv "$prefix/lib/libuchardet.a.tmp" "$prefix/lib/libuchardet.a"
echo "libuchardet for Windows installed in $prefix"
