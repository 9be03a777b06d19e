#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12. Safe to run twice.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake ninja-build ccache g++ clang libclang-rt-14-dev clang-format
  zlib1g-dev libjpeg62-turbo-dev libspng-dev libgif-dev pkgconf
  libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev libcli11-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine32 wine64 xvfb xauth x11-apps imagemagick
  python3-mutagen python3-pil python3-jsonschema libtag1-dev libjpeg-turbo-progs giflib-tools netpbm dpkg-dev
  ffmpeg  # makes real MP3 audio for the audio facts tests
  acl  # setfacl: access lists that the writer must keep through a rewrite
  libuchardet-dev  # finds the character set of misread texts (fix-encoding)
  fonts-wqy-microhei  # CJK glyphs for the Win32 tests and screenshots under Wine
)

need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_i386=1
fi

# Source packages are needed to cross-build libjpeg for Windows.
src_list=/etc/apt/sources.list.d/tagscope-src.sources
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    | $SUDO tee "$src_list" >/dev/null
  need_i386=1
fi

missing=()
for p in "${packages[@]}"; do
  arch_p="$p"
  [ "$p" = wine32 ] && arch_p="wine32:i386"
  if ! dpkg-query -W -f='${Status}' "$arch_p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$arch_p")
  fi
done

if [ "${#missing[@]}" -gt 0 ] || [ "$need_i386" -eq 1 ]; then
  $SUDO apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
