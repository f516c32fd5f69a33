#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Inspects a cross-built quarvine.dll: machine type, the two entry names at one address,
# the bitmap resources, the version resource (product, company and the build's version, read
# from the CMakeCache.txt beside the DLL) and no dependency beyond the system's own DLLs.
# Usage: scripts/check-dll.sh DLL i386|x86-64
set -euo pipefail
dll=$1
arch=$2
case "$arch" in
  i386) objdump=i686-w64-mingw32-objdump; format=pei-i386 ;;
  x86-64) objdump=x86_64-w64-mingw32-objdump; format=pei-x86-64 ;;
  *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

headers=$($objdump -p "$dll")
if grep -q "file format $format" <<<"$headers"; then pass "$dll is $format"; else fail "$dll is not $format"; fi

names=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | awk '/\[/ { print $NF }')
rvas=$(sed -n '/Export Address Table -- Ordinal Base/,/^$/p' <<<"$headers" | awk '/Export RVA/ { print $(NF-2) }' | sort -u)
if grep -qx VSTPluginMain <<<"$names" && grep -qx main <<<"$names"; then
  pass "exports VSTPluginMain and main"
  if [ "$(wc -l <<<"$rvas")" -eq 1 ]; then pass "both names lead to one function ($rvas)"; else fail "VSTPluginMain and main differ: $rvas"; fi
else
  fail "missing export; names: $names"
fi

allowed='^(KERNEL32|USER32|GDI32|ole32|OLEAUT32|SHELL32|msvcrt|ADVAPI32|msimg32|api-ms-win-.*)\.dll$'
while read -r name; do
  if [[ "$name" =~ $allowed ]]; then pass "imports $name"; else fail "depends on $name, which is not part of Windows"; fi
done < <(awk '/DLL Name:/ { print $3 }' <<<"$headers")

if [ "${CHECK_RESOURCES:-1}" = 1 ]; then
  # The editor's bitmaps, read from the .rsrc directory of the PE file itself.
  bitmaps=$(python3 "$(dirname "$0")/pe_resources.py" "$dll" 2>&1) || fail "resource directory unreadable: $bitmaps"
  for expected in "101 680 120 24" "102 50 12800 8" "103 90 54 24"; do
    id=${expected%% *}
    if grep -qx "$expected" <<<"$bitmaps"; then pass "bitmap resource $id is ${expected#* } (width height bits)"
    else fail "bitmap resource $id missing or wrong: $(grep "^$id " <<<"$bitmaps" || echo absent)"; fi
  done
  # What the file's properties show.
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$(dirname "$dll")/CMakeCache.txt" 2>/dev/null)
  for expected in "ProductName Quarvine" "CompanyName Orn" ${version:+"ProductVersion $version" "FileVersion $version"}; do
    if grep -qx "version $expected" <<<"$bitmaps"; then pass "version resource: $expected"
    else fail "version resource lacks $expected: $(grep '^version ' <<<"$bitmaps" | tr '\n' ';')"; fi
  done
fi

if [ "$failures" -gt 0 ]; then echo "check-dll: $failures failure(s) in $dll"; exit 1; fi
echo "check-dll: $dll passed"
