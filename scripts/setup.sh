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
  strace  # kills a write at each of its steps in the kill tests
  mp3val  # an oracle for the check tests: the damaged files it warns about
  libuchardet-dev  # finds the character set of misread texts (fix-encoding)
  fonts-wqy-microhei  # CJK glyphs for the Win32 tests and screenshots under Wine
  libmpg123-dev libebur128-dev  # decode MP3 audio and measure its loudness (loudness)
  loudgain  # an oracle for the loudness tests and benchmark
)

need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_i386=1
fi

# Source packages are needed to cross-build libjpeg for Windows. Their entries repeat the
# machine's own binary sources with the type deb-src, so they go wherever the machine already
# fetches packages from, whatever mirror that is. The files written here are rewritten when
# the machine's sources change, and left alone when nothing changed.
apt_sources=/etc/apt/sources.list.d
own_sources="$apt_sources/tagscope-src.sources"
own_list="$apt_sources/tagscope-src.list"
machine_files=()
for f in /etc/apt/sources.list "$apt_sources"/*.list "$apt_sources"/*.sources; do
  [ -f "$f" ] && [ "$f" != "$own_sources" ] && [ "$f" != "$own_list" ] && machine_files+=("$f")
done
# Each enabled deb822 stanza whose types include deb, as a deb-src stanza.
derive_stanzas() {
  awk '
    function flush() {
      if (deb && !off && body != "") printf "%sTypes: deb-src\n%s", (n++ ? "\n" : ""), body
      body = ""; deb = 0; off = 0
    }
    FNR == 1 { flush() }
    /^[ \t]*#/ { next }
    /^[ \t]*$/ { flush(); next }
    /^Types:/ { if ($0 ~ /[ \t]deb([ \t]|$)/) deb = 1; next }
    /^Enabled:[ \t]*[Nn]o/ { off = 1 }
    { body = body $0 "\n" }
    END { flush() }' "$@"
}
# Each one-line "deb" entry as a "deb-src" entry.
derive_lines() {
  awk '$1 == "deb" { $1 = "deb-src"; print }' "$@"
}
# Writes a derived entry file when its content differs from what is there (or removes it when
# nothing was derived for it); says whether it changed anything.
put_entries() {
  local file="$1" content="$2"
  if [ -z "$content" ]; then
    [ -e "$file" ] || return 1
    $SUDO rm -f "$file"
    return 0
  fi
  if [ -f "$file" ] && [ "$(cat "$file")" = "$content" ]; then return 1; fi
  printf '%s\n' "$content" | $SUDO tee "$file" >/dev/null
}
deb822_files=() line_files=()
for f in "${machine_files[@]}"; do
  case "$f" in *.sources) deb822_files+=("$f") ;; *) line_files+=("$f") ;; esac
done
if ! grep -qsE '^[[:space:]]*(deb-src|Types:.*deb-src)' "${machine_files[@]}" /dev/null; then
  stanzas="" lines=""
  [ "${#deb822_files[@]}" -gt 0 ] && stanzas="$(derive_stanzas "${deb822_files[@]}")"
  [ "${#line_files[@]}" -gt 0 ] && lines="$(derive_lines "${line_files[@]}")"
  if [ -z "$stanzas$lines" ]; then
    echo "setup.sh: the machine has no binary package source to derive a source entry from" >&2
    exit 1
  fi
  if put_entries "$own_sources" "$stanzas"; then need_i386=1; fi
  if put_entries "$own_list" "$lines"; then need_i386=1; fi
fi

missing=()
for p in "${packages[@]}"; do
  arch_p="$p"
  [ "$p" = wine32 ] && arch_p="wine32:i386"
  if ! dpkg-query -W -f='${Status}' "$arch_p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$arch_p")
  fi
done

# A mirror caught in the middle of a sync fails an index or two for a few minutes: try again,
# and in the end go on with the lists there are (the install says what it cannot find).
update_lists() {
  $SUDO apt-get update -qq && return 0
  sleep 15
  $SUDO apt-get update -qq && return 0
  echo "setup.sh: apt-get update failed twice; going on with the package lists there are" >&2
}
install_missing() {
  $SUDO apt-get install -y -qq --no-install-recommends "$@" && return 0
  update_lists
  $SUDO apt-get install -y -qq --no-install-recommends "$@" && return 0
  # 32-bit Wine needs the 32-bit C library at the very version of the 64-bit one, which a
  # mirror in the middle of a sync may not offer yet: without it only the 32-bit tests are lost.
  local rest=() p
  for p in "$@"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
  [ "${#rest[@]}" -lt "$#" ] || return 1
  echo "setup.sh: 32-bit Wine cannot be installed now; the 32-bit build's tests will not run" >&2
  [ "${#rest[@]}" -eq 0 ] || $SUDO apt-get install -y -qq --no-install-recommends "${rest[@]}"
}

if [ "${#missing[@]}" -gt 0 ] || [ "$need_i386" -eq 1 ]; then
  update_lists
fi
if [ "${#missing[@]}" -gt 0 ]; then
  install_missing "${missing[@]}"
fi
