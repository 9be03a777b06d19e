#!/usr/bin/env bash
# Builds a static libjpeg for Windows from Debian's libjpeg-turbo source package with the
# mingw-w64 toolchain of TRIPLET (default i686-w64-mingw32, 32-bit; x86_64-w64-mingw32 for
# 64-bit), and installs it into PREFIX (lib/libjpeg.a, include/). The sources
# and the build live next to PREFIX, in PREFIX-src. Does nothing when PREFIX already holds the
# library. Needs a deb-src entry (scripts/setup.sh adds one) and dpkg-dev.
#   usage: scripts/build-mingw-jpeg.sh PREFIX [TRIPLET]
set -euo pipefail
. "$(dirname "$0")/mingw-source.sh"

mingw_arguments "$@"
case "$triplet" in
  x86_64-*) processor=AMD64 ;;
  *) processor=X86 ;;
esac
if [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi

enter_work

unpack_source libjpeg-turbo CMakeLists.txt

cat > toolchain.cmake <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $processor)
set(CMAKE_C_COMPILER $triplet-gcc-posix)
set(CMAKE_RC_COMPILER $triplet-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triplet)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
TOOLCHAIN

# Only the classic libjpeg API, static, without the assembler code (no nasm needed).
generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S "$src" -B build "${generator[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF -DWITH_JPEG8=OFF -DWITH_12BIT=OFF \
  >build.log 2>&1 || { tail -n 30 build.log >&2; exit 1; }
cmake --build build -j2 --target jpeg-static >>build.log 2>&1 || { tail -n 30 build.log >&2; exit 1; }

# Install by hand: the static library and the four headers its users include.
mkdir -p "$prefix/lib" "$prefix/include"
cp build/libjpeg.a "$prefix/lib/libjpeg.a.tmp"
for h in jpeglib.h jmorecfg.h jerror.h; do cp "$src/$h" "$prefix/include/"; done
cp build/jconfig.h "$prefix/include/"
mv "$prefix/lib/libjpeg.a.tmp" "$prefix/lib/libjpeg.a"
echo "libjpeg for Windows installed in $prefix"
