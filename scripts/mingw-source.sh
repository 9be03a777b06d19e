# Sourced by the scripts/build-mingw-*.sh. unpack_source PACKAGE FILE: Debian's source package
# PACKAGE, unpacked once into the current folder (a folder PACKAGE-VERSION); sets `src` to that
# folder, or stops the script when FILE, a path inside it, is not there.
unpack_source() {
  local package=$1 file=$2
  src=$(find . -maxdepth 1 -type d -name "$package-*" | head -n 1)
  if [ -z "$src" ]; then
    apt-get source -qq "$package" >/dev/null 2>apt.log || { cat apt.log >&2; exit 1; }
    src=$(find . -maxdepth 1 -type d -name "$package-*" | head -n 1)
  fi
  if [ -z "$src" ] || [ ! -f "$src/$file" ]; then
    echo "$0: could not unpack the $package sources in $PWD" >&2
    exit 1
  fi
}
