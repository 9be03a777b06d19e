#!/usr/bin/env bash
# Checks the plug-in DLLs and the Windows release bundle:
#   scripts/check-dll.sh [BUILD-DIR | DLL | tagscope-<version>-win.zip]...   (default: build/win32)
# A build folder stands for its plugin/tagscope.dll. tagscope64.dll and the DLL of a 64-bit build
# must be 64-bit; every other tagscope.dll must be 32-bit, as 32-bit hosts load it. Each DLL:
#  - is a Windows DLL of that architecture;
#  - exports exactly CreateViewerWindow, ShowFile, DestroyViewerWindow and GetLastErrorText,
#    by their plain names (no @N decoration), with the ordinals 4, 3, 2 and 1;
#  - imports from system DLLs only (no libgcc, libstdc++, libwinpthread, zlib or libjpeg DLL);
#  - carries a version resource naming the product, its version (the build's or the bundle's)
#    and the file name it is released under (tagscope.dll or tagscope64.dll).
# A release bundle holds exactly tagscope.dll (32-bit), tagscope64.dll (64-bit), tagscope.exe
# (a 32-bit program with system imports only) and README.md, in one top folder; where the tool
# measures loudness, also libmpg123-0.dll (32-bit, system imports only), the one other DLL the
# tool may import, and the licences licenses/libmpg123.txt and licenses/libebur128.txt.
# Prints each check; exits non-zero when one fails.
set -u
failed=0
pass() { echo "ok:   $*"; }
fail() { echo "FAIL: $*"; failed=1; }
objdump_for() {  # objdump_for <bits>
  if [ "$1" = 64 ]; then echo x86_64-w64-mingw32-objdump; else echo i686-w64-mingw32-objdump; fi
}

# check_pe <file> <bits> <kind>: the file format; prints nothing and fails when it is wrong.
check_pe() {
  local format
  format=$($(objdump_for "$2") -f "$1" 2>/dev/null | sed -n 's/.*file format //p')
  [ -z "$format" ] && format=$($(objdump_for 64) -f "$1" 2>/dev/null | sed -n 's/.*file format //p')
  local want=pei-i386
  [ "$2" = 64 ] && want=pei-x86-64
  if [ "$format" = "$want" ]; then
    pass "$1 is a $2-bit Windows $3"
  else
    fail "$1 is no $2-bit Windows $3 (${format:-not a PE file})"
    return 1
  fi
}

# check_imports <file> <objdump -p output> [DLL...]: system DLLs only, and the DLLs named.
check_imports() {
  local allowed="kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll shell32.dll msvcrt.dll advapi32.dll ${*:3}"
  local imports bad="" name
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$2" | tr 'A-Z' 'a-z' | sort -u)
  for name in $imports; do
    case " $allowed " in *" $name "*) ;; *) bad="$bad $name" ;; esac
  done
  if [ -z "$imports" ]; then
    fail "$1: no import table found"
  elif [ -z "$bad" ]; then
    pass "$1 imports only system DLLs: $(tr '\n' ' ' <<<"$imports")"
  else
    fail "$1 imports DLLs that are not part of Windows:$bad"
  fi
}

# check_dll <dll> <bits> [version]
check_dll() {
  local dll=$1 bits=$2 want_version=${3:-}
  if [ ! -f "$dll" ]; then
    fail "$dll does not exist (build the plugin first)"
    return
  fi
  check_pe "$dll" "$bits" DLL || return
  local dump
  dump=$($(objdump_for "$bits") -p "$dll")

  # Exports: the name table lists "[index] name"; an export's ordinal is the base plus its index.
  local base exports expected
  base=$(sed -n 's/^Ordinal Base[[:space:]]*\([0-9]*\).*/\1/p' <<<"$dump" | head -1)
  exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
    sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\(.*\)$/\2 \1/p' |
    while read -r name index; do echo "$name $((base + index))"; done | sort)
  expected=$(printf '%s\n' "CreateViewerWindow 4" "DestroyViewerWindow 2" "GetLastErrorText 1" \
    "ShowFile 3" | sort)
  if [ -n "$base" ] && [ "$exports" = "$expected" ]; then
    pass "$dll exports exactly: $(tr '\n' ' ' <<<"$exports")"
  else
    fail "$dll: exports are not the four plain names with ordinals 4, 3, 2, 1:"
    echo "$exports" | sed 's/^/      /'
  fi

  check_imports "$dll" "$dump"

  # Version resource: a top-level resource directory entry of type RT_VERSION (16) and its strings.
  local texts version original
  texts=$(strings -el "$dll")
  if grep -qE '^[0-9a-f]+   Entry: ID: 0x000010,' <<<"$dump" && grep -qx 'ProductName' <<<"$texts" &&
     grep -qx 'tagscope' <<<"$texts" && grep -qx 'ProductVersion' <<<"$texts"; then
    version=$(grep -A1 -x 'ProductVersion' <<<"$texts" | tail -1)
    original=$(grep -A1 -x 'OriginalFilename' <<<"$texts" | tail -1)
    local want_name=tagscope.dll
    [ "$bits" = 64 ] && want_name=tagscope64.dll
    if [ -n "$want_version" ] && [ "$version" != "$want_version" ]; then
      fail "$dll: version resource says $version, the build is $want_version"
    elif [ "$original" != "$want_name" ]; then
      fail "$dll: version resource names the file $original, not $want_name"
    else
      pass "$dll: version resource: product tagscope, version $version, file $original"
    fi
  else
    fail "$dll: no version resource naming the product and its version"
  fi
}

# The bits and version of a build folder, from its cache.
build_bits() {
  if grep -q '^CMAKE_TOOLCHAIN_FILE:.*x86_64' "$1/CMakeCache.txt" 2>/dev/null; then echo 64; else echo 32; fi
}
build_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$1/CMakeCache.txt" 2>/dev/null
}

check_bundle() {
  local zip=$1 version
  version=$(basename "$zip" | sed -n 's/^tagscope-\(.*\)-win\.zip$/\1/p')
  if [ ! -f "$zip" ] || [ -z "$version" ]; then
    fail "$zip is no release bundle tagscope-<version>-win.zip"
    return
  fi
  local top=tagscope-$version-win names expected audio
  names=$(python3 -m zipfile -l "$zip" | awk 'NR > 1 { print $1 }' | grep -v '/$' | sort)
  expected=$(printf "$top/%s\n" README.md tagscope.dll tagscope.exe tagscope64.dll | sort)
  # A tool that measures loudness comes with libmpg123's DLL and the licences of both libraries.
  audio=$(printf "$top/%s\n" README.md tagscope.dll tagscope.exe tagscope64.dll libmpg123-0.dll \
    licenses/libmpg123.txt licenses/libebur128.txt | sort)
  if [ "$names" = "$expected" ] || [ "$names" = "$audio" ]; then
    pass "$zip holds $(sed "s|$top/||" <<<"$names" | tr '\n' ' ')in $top/"
  else
    fail "$zip does not hold exactly tagscope.dll, tagscope64.dll, tagscope.exe, README.md" \
      "(and libmpg123-0.dll with licenses/libmpg123.txt and licenses/libebur128.txt):"
    echo "$names" | sed 's/^/      /'
  fi
  local dir
  dir=$(mktemp -d)
  python3 -m zipfile -e "$zip" "$dir"
  pushd "$dir" >/dev/null || { fail "cannot unpack $zip"; return; }
  check_dll "$top/tagscope.dll" 32 "$version"
  check_dll "$top/tagscope64.dll" 64 "$version"
  local exe=$top/tagscope.exe mpg123=$top/libmpg123-0.dll
  if [ -f "$mpg123" ]; then
    if check_pe "$mpg123" 32 DLL; then
      check_imports "$mpg123" "$($(objdump_for 32) -p "$mpg123")" shlwapi.dll
    fi
    if [ -f "$exe" ] && check_pe "$exe" 32 program; then
      check_imports "$exe" "$($(objdump_for 32) -p "$exe")" libmpg123-0.dll
    fi
  elif [ -f "$exe" ] && check_pe "$exe" 32 program; then
    check_imports "$exe" "$($(objdump_for 32) -p "$exe")"
  fi
  popd >/dev/null || exit 1
  rm -rf "$dir"
}

[ $# -eq 0 ] && set -- build/win32
for target in "$@"; do
  if [ -d "$target" ]; then
    check_dll "$target/plugin/tagscope.dll" "$(build_bits "$target")" "$(build_version "$target")"
  elif [[ "$target" == *.zip ]]; then
    check_bundle "$target"
  elif [[ "$(basename "$target")" == *64.dll ]]; then
    check_dll "$target" 64
  else
    check_dll "$target" 32
  fi
done
exit $failed
