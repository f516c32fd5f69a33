#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/wine32-sysroot.sh against repositories of our own: a mirror whose index of another
# suite stays broken is left out, while a package the install needs and cannot get stops the
# script with one line that names it. Exit 77 (skipped) where wine64 is not installed.
set -uo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine32-sysroot.sh
version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null || true)
if [ -z "$version" ] || [ ! -x /usr/lib/wine/wine64 ]; then echo "wine64 is not installed"; exit 77; fi

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# deb NAME DEPENDS DIR: an i386 package; wine32 carries what the script patches after unpacking.
deb() {
  local tree=$work/tree-$1
  rm -rf "$tree"; mkdir -p "$tree/DEBIAN"
  printf 'Package: %s\nVersion: %s\nArchitecture: i386\nMaintainer: Test <test@example.invalid>\nDescription: test package\n' \
    "$1" "$([ "$1" = wine32 ] && echo "$version" || echo 1.0)" >"$tree/DEBIAN/control"
  [ -z "$2" ] || echo "Depends: $2" >>"$tree/DEBIAN/control"
  if [ "$1" = wine32 ]; then
    mkdir -p "$tree/usr/lib/wine" "$tree/usr/i686-w64-mingw32/lib" "$tree/usr/lib/i386-linux-gnu/wine/i386-windows"
    cp /bin/true "$tree/usr/lib/wine/wine"
    head -c 256 /dev/urandom >"$tree/usr/i686-w64-mingw32/lib/zlib1.dll"
  fi
  dpkg-deb -Zgzip --root-owner-group -b "$tree" "$3/$1.deb" >/dev/null
}
# release DIR: a Release file with the index's size and hash, as a mirror publishes it.
release() {
  printf 'Origin: test\nDate: %s\nSHA256:\n %s %s Packages\n' "$(LC_ALL=C date -u -R)" \
    "$(sha256sum <"$1/Packages" | cut -d' ' -f1)" "$(stat -c %s "$1/Packages")" >"$1/Release"
}
# repo DIR WINE32-DEPENDS: a flat repository of wine32 and the library it depends on.
repo() {
  mkdir -p "$1"
  deb wine32 "$2" "$1"
  deb libtest ""  "$1"
  local f
  for f in "$1"/*.deb; do
    dpkg-deb -f "$f"
    printf 'Filename: ./%s\nSize: %s\nSHA256: %s\n\n' "$(basename "$f")" "$(stat -c %s "$f")" \
      "$(sha256sum <"$f" | cut -d' ' -f1)"
  done >"$1/Packages"
  release "$1"
}
# run NAME SOURCE-DIRS...: the script with these repositories as its only sources and no waits
# (copy: fetches into the download folder, as from a mirror).
run() {
  local name=$1 dir; shift
  for dir in "$@"; do echo "deb [trusted=yes] copy:$dir ./"; done >"$work/$name.list"
  QUARVINE_APT_SOURCES=$work/$name.list QUARVINE_APT_BACKOFF="0 0" \
    "$script" "$work/$name" >"$work/$name.out" 2>"$work/$name.err"
}

# A mirror in the middle of a sync: its index no longer matches the size and hash its Release gives.
repo "$work/good" libtest
mkdir -p "$work/syncing"; echo "Package: other" >"$work/syncing/Packages"; release "$work/syncing"
echo "Package: other-and-more" >"$work/syncing/Packages"
if ! run ignorable "$work/good" "$work/syncing"; then
  fail "a broken index that wine32 does not come from stopped the script: $(tail -n1 "$work/ignorable.err")"
fi
[ -f "$work/ignorable/root/.ready" ] && [ -x "$work/ignorable/root/usr/lib/wine/wine" ] ||
  fail "the tree was not made despite the ignorable index"
[ "$(grep -c 'trying again' "$work/ignorable.err")" -eq 2 ] || fail "the failing update was not tried again twice"
grep -q "left out.*syncing" "$work/ignorable.err" || fail "the index left out is not named"

# wine32 needs a library that no index has.
repo "$work/incomplete" libmissing
run missing "$work/incomplete" && fail "a wine32 that needs a missing library was reported ready"
last=$(tail -n1 "$work/missing.err")
[[ $last == wine32-sysroot:*"cannot be had"*libmissing* ]] || fail "no clear last line for the missing library: $last"
[ ! -e "$work/missing/root" ] || fail "a tree was made without the library"

# The index names a package that the mirror no longer has.
repo "$work/gone" libtest
rm "$work/gone/libtest.deb"
run gone "$work/gone" && fail "a package missing from the mirror was reported ready"
last=$(tail -n1 "$work/gone.err")
[[ $last == wine32-sysroot:*"cannot be downloaded"*libtest* ]] || fail "no clear last line for the missing package: $last"
[ "$(grep -c 'trying again' "$work/gone.err")" -eq 2 ] || fail "the failing download was not tried again twice"

if [ $failures -ne 0 ]; then
  for f in "$work"/*.err; do echo "--- $f"; cat "$f"; done
  exit 1
fi
echo "wine32-sysroot: ignorable index left out, missing packages named"
