#!/usr/bin/env bash
# Checks the built plug-in, <build-dir>/plugin/tagscope.dll (the 32-bit one by default):
#  - it is a 32-bit Windows DLL (or 64-bit when the build folder holds that build);
#  - it exports exactly CreateViewerWindow, ShowFile, DestroyViewerWindow and GetLastErrorText,
#    by their plain names (no @N decoration), with the ordinals 4, 3, 2 and 1;
#  - it imports from system DLLs only (no libgcc, libstdc++, libwinpthread, zlib or libjpeg DLL);
#  - it carries a version resource naming the product and its version.
# Prints each check; exits non-zero when one fails.
set -u
build=${1:-build/win32}
dll=$build/plugin/tagscope.dll
failed=0
pass() { echo "ok:   $*"; }
fail() { echo "FAIL: $*"; failed=1; }

if [ ! -f "$dll" ]; then
  echo "FAIL: $dll does not exist (build the plugin first)"
  exit 1
fi
objdump=i686-w64-mingw32-objdump
format=$($objdump -f "$dll" 2>/dev/null | sed -n 's/.*file format //p')
[ -z "$format" ] &&
  format=$(x86_64-w64-mingw32-objdump -f "$dll" 2>/dev/null | sed -n 's/.*file format //p')
case "$format" in
  pei-i386) pass "$dll is a 32-bit Windows DLL" ;;
  pei-x86-64) objdump=x86_64-w64-mingw32-objdump; pass "$dll is a 64-bit Windows DLL" ;;
  *) fail "$dll is no Windows DLL ($format)"; exit 1 ;;
esac
dump=$($objdump -p "$dll")

# Exports: the name table lists "[index] name"; an export's ordinal is the base plus its index.
base=$(sed -n 's/^Ordinal Base[[:space:]]*\([0-9]*\).*/\1/p' <<<"$dump" | head -1)
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
  sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\(.*\)$/\2 \1/p' |
  while read -r name index; do echo "$name $((base + index))"; done | sort)
expected=$(printf '%s\n' "CreateViewerWindow 4" "DestroyViewerWindow 2" "GetLastErrorText 1" \
  "ShowFile 3" | sort)
if [ -n "$base" ] && [ "$exports" = "$expected" ]; then
  pass "exports exactly: $(tr '\n' ' ' <<<"$exports")"
else
  fail "exports are not the four plain names with ordinals 4, 3, 2, 1:"
  echo "$exports" | sed 's/^/      /'
fi

# Imports: system DLLs only.
allowed="kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll shell32.dll msvcrt.dll advapi32.dll"
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
bad=""
for name in $imports; do
  case " $allowed " in *" $name "*) ;; *) bad="$bad $name" ;; esac
done
if [ -z "$imports" ]; then
  fail "no import table found"
elif [ -z "$bad" ]; then
  pass "imports only system DLLs: $(tr '\n' ' ' <<<"$imports")"
else
  fail "imports DLLs that are not part of Windows:$bad"
fi

# Version resource: a top-level resource directory entry of type RT_VERSION (16) and its strings.
if grep -qE '^[0-9a-f]+   Entry: ID: 0x000010,' <<<"$dump" &&
   strings -el "$dll" | grep -qx 'ProductName' && strings -el "$dll" | grep -qx 'tagscope' &&
   strings -el "$dll" | grep -qx 'ProductVersion'; then
  version=$(strings -el "$dll" | grep -A1 -x 'ProductVersion' | tail -1)
  pass "version resource: product tagscope, version $version"
else
  fail "no version resource naming the product and its version"
fi

exit $failed
