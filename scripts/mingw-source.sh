# Sourced by the scripts/build-mingw-*.sh. unpack_source PACKAGE FILE: Debian's source package
# PACKAGE, unpacked once into the current folder (a folder PACKAGE-VERSION); sets `src` to that
# folder, or stops the script when FILE, a path inside it, is not there.
unpack_source() {
  local package=$1 file=$2
  src=$(find . -maxdepth 1 -type d -name "$package-*" | head -n 1)
  if [ -z "$src" ]; then
    if ! apt-get source -qq "$package" >/dev/null 2>apt.log; then
      unpack_fetched "$package" || { cat apt.log >&2; exit 1; }
    fi
    src=$(find . -maxdepth 1 -type d -name "$package-*" | head -n 1)
  fi
  if [ -z "$src" ] || [ ! -f "$src/$file" ]; then
    echo "$0: could not unpack the $package sources in $PWD" >&2
    exit 1
  fi
}

# unpack_fetched PACKAGE: where a mirror lacks a part of a source package (the signature of its
# original tarball, its Debian part), apt-get fetches the rest and stops. Each file fetched is
# checked against the checksums its .dsc lists; then the package is unpacked without the
# signature, or, without a Debian part, its original tarball alone.
unpack_fetched() {
  local package=$1 dsc orig upstream sums
  dsc=$(find . -maxdepth 1 -name "${package}_*.dsc" | head -n 1)
  [ -n "$dsc" ] || return 1
  sums=$(awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on { print $1 "  " $3 }' \
    "$dsc")
  [ -n "$sums" ] || return 1
  orig=""
  while read -r sum name; do
    [ -f "$name" ] || continue
    echo "$sum  $name" | sha256sum -c --quiet - >&2 || return 1
    case "$name" in *.orig.tar.*.asc) ;; *.orig.tar.*) orig=$name ;; esac
  done <<<"$sums"
  [ -n "$orig" ] || return 1
  if dpkg-source -x --no-check "$dsc" >/dev/null 2>>apt.log; then
    return 0
  fi
  upstream=$(sed -n 's/^Version: \(.*:\)\{0,1\}\([^-]*\).*/\2/p' "$dsc" | head -n 1)
  mkdir -p "$package-$upstream"
  tar -xf "$orig" -C "$package-$upstream" --strip-components=1
}

# Reads a build script's arguments PREFIX [TRIPLET] into $prefix (absolute) and $triplet
# (default i686-w64-mingw32, 32-bit; x86_64-w64-mingw32 for 64-bit), or stops with its usage.
mingw_arguments() {
  if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 PREFIX [TRIPLET]" >&2
    exit 2
  fi
  prefix=$(realpath -m "$1")
  triplet=${2:-i686-w64-mingw32}
}

# Goes into the folder the sources and the build live in ($work), next to the prefix.
enter_work() {
  work="$prefix-src"
  mkdir -p "$work"
  cd "$work"
}
