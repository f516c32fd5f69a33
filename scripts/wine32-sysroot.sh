#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prepares a private 32-bit Wine for running the 32-bit DLL and its tests, without installing
# anything system-wide: the i386 packages of Debian's 32-bit Wine loader (the same version as the
# installed wine64) and everything they depend on are downloaded with a private apt state and
# unpacked into DEST/root. The package wine32 itself is never installed: on these machines it
# breaks the 64-bit loader. Nor is the i386 architecture added to the system's dpkg, so that no
# later install of wine64 pulls wine32 in through its recommendations.
#
# Usage: scripts/wine32-sysroot.sh [DEST]      (default: build/i386-wine)
#   DEST/debs   the downloaded packages, kept so that a second run fetches nothing
#   DEST/root   the unpacked tree; cmake/wine32-run.sh runs programs from it
# QUARVINE_APT_SOURCES names a sources.list to use instead of the system's (a nearby mirror; the
# tests' own repositories). A mirror in the middle of a sync is tried again after a back-off
# (scripts/apt-retry.sh); an index that still fails is left out, and only a package of the
# install that cannot be resolved or fetched without it stops the script, with one line saying so.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/apt-retry.sh"
dest=${1:-$here/build/i386-wine}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
root=$dest/root

version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null || true)
if [ -z "$version" ] || [ ! -x /usr/lib/wine/wine64 ]; then
  echo "wine32-sysroot: wine64 is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
# One run at a time per DEST: the lists, the downloads and the tree are shared between runs.
exec 8>"$dest/.lock"
flock 8
# The loader is patched with absolute paths into the tree: a tree that moved is made again.
stamp="wine32 $version in $root, with zlib1.dll and the loader pointed at the tree"
if [ -f "$root/.ready" ] && [ "$(cat "$root/.ready")" = "$stamp" ]; then
  echo "wine32-sysroot: $root is ready ($stamp)"
  exit 0
fi

# apt with a state of its own: i386 as the only architecture, nothing installed, lists and
# downloads under DEST. The system's sources and keys are used as they are. apt's own locks then
# fall under DEST too, away from the system's.
apt_state=$dest/apt
mkdir -p "$apt_state/lists/partial" "$apt_state/cache" "$dest/debs/partial"
: >"$apt_state/status"
apt_opts=(-o APT::Architecture=i386 -o APT::Architectures::=i386
          -o Dir::State::Lists="$apt_state/lists" -o Dir::State::status="$apt_state/status"
          -o Dir::Cache="$apt_state/cache" -o Dir::Cache::archives="$dest/debs"
          -o APT::Sandbox::User=root -q)
if [ -n "${QUARVINE_APT_SOURCES:-}" ]; then
  apt_opts+=(-o Dir::Etc::SourceList="$QUARVINE_APT_SOURCES" -o Dir::Etc::SourceParts="$apt_state/no-parts")
fi

echo "wine32-sysroot: resolving wine32 $version for i386"
refreshed=0
refresh() {
  apt_update_retrying wine32-sysroot "$dest/apt-update.log" apt-get "${apt_opts[@]}" update || true
  refreshed=1
}
# Prints name=version for each package of the install; nothing when apt cannot resolve it.
resolve() {
  local plan
  plan=$(apt-get "${apt_opts[@]}" install -s --no-install-recommends "wine32=$version" 2>&1) || true
  printf '%s\n' "$plan" >"$dest/apt-resolve.log"
  awk '/^Inst / { sub(/^\(/, "", $3); print $2 "=" $3 }' <<<"$plan"
}
# Prints, for each resolved package, the file apt keeps it in and the SHA256 that the signed
# package index gives for it.
expected_files() {
  # shellcheck disable=SC2086
  apt-cache "${apt_opts[@]}" show --no-all-versions $packages |
    awk -v dir="$dest/debs" '
      /^Package: /      { name = $2 }
      /^Version: /      { ver = $2; gsub(/:/, "%3a", ver) }
      /^Architecture: / { arch = $2 }
      /^SHA256: /       { sum = $2 }
      /^$/ { if (name != "") print dir "/" name "_" ver "_" arch ".deb", sum; name = sum = "" }
      END  { if (name != "") print dir "/" name "_" ver "_" arch ".deb", sum }'
}
# Deletes every kept file that does not match its index entry (apt accepts a kept file by its
# size alone); answers whether all were there and matched.
check_kept() {
  local file sum all=0
  while read -r file sum; do
    if [ -z "$sum" ]; then echo "wine32-sysroot: no SHA256 in the index for $file" >&2; return 2; fi
    [ -f "$file" ] || { all=1; continue; }
    if [ "$(sha256sum <"$file" | cut -d' ' -f1)" != "$sum" ]; then
      echo "wine32-sysroot: $(basename "$file") does not match the package index: fetched again" >&2
      rm -f "$file"
      all=1
    fi
  done <<<"$files"
  return $all
}
# Already downloaded packages are kept in DEST/debs and not fetched again.
download() {
  apt-get "${apt_opts[@]}" install -y --download-only --no-install-recommends "wine32=$version"
}
# The package lists are fetched once and again only when they no longer serve: when wine32
# cannot be resolved from them, or a package they name is gone from the archive.
[ -n "$(ls "$apt_state/lists" | grep -v '^partial$' || true)" ] || refresh
packages=$(resolve)
if [ -z "$packages" ] && [ $refreshed -eq 0 ]; then refresh; packages=$(resolve); fi
if [ -z "$packages" ]; then
  reason=$(grep -m1 -E ' : Depends: |^E: ' "$dest/apt-resolve.log" | tr -s ' ' ' ' || true)
  echo "wine32-sysroot: wine32 $version for i386 cannot be had:${reason:- apt resolved nothing} (apt's answer: $dest/apt-resolve.log)" >&2
  exit 1
fi
# Sets files from packages, or stops with the reason.
describe() {
  if [ -z "$packages" ] || ! files=$(expected_files) ||
     [ "$(wc -l <<<"$files")" -ne "$(wc -w <<<"$packages")" ]; then
    echo "wine32-sysroot: the package index does not describe every package of wine32 $version" >&2
    exit 1
  fi
}
describe
: >"$dest/apt-download.log"
kept=0
check_kept || kept=$?
[ $kept -ne 2 ] || exit 1
# A download that fails from fresh lists is a mirror in the middle of a sync, tried again later;
# from old lists it may name a package the archive has since replaced: the lists are made anew.
if [ $kept -ne 0 ] && ! download >"$dest/apt-download.log" 2>&1; then
  if [ $refreshed -eq 0 ]; then
    refresh
    packages=$(resolve)
    describe
    check_kept || [ $? -ne 2 ] || exit 1
  fi
  apt_retrying wine32-sysroot "$dest/apt-download.log" download || {
    echo "wine32-sysroot: the i386 packages of wine32 $version cannot be downloaded: $(apt_first_error "$dest/apt-download.log") (apt's answer: $dest/apt-download.log)" >&2
    exit 1
  }
fi
# Whatever is unpacked here runs as the tests' user: every file must be the one the index names.
if ! check_kept; then
  echo "wine32-sysroot: the downloaded packages do not match the package index" >&2
  exit 1
fi
echo "wine32-sysroot: $(wc -w <<<"$packages") packages, $(grep -E '^(Fetched|Need to get)' "$dest/apt-download.log" | tail -1 || echo "all kept")"

rm -rf "$root.tmp"
mkdir -p "$root.tmp"
while read -r deb _; do
  dpkg-deb -x "$deb" "$root.tmp"
done <<<"$files"

# What libwine's installation script would do: Wine's user32 needs the mingw zlib1.dll, which
# goes into the builtin DLL folder marked as a builtin.
zlib=$root.tmp/usr/i686-w64-mingw32/lib/zlib1.dll
builtin=$root.tmp/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
{ head -c 64 "$zlib"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$zlib"; } >"$builtin"

# The loader asks for /lib/ld-linux.so.2, which this system need not have: it is pointed at the
# tree's own dynamic linker and libraries instead, so that it runs as an ordinary program (and
# knows its own place, from which it finds its libraries, data files and the wine64 beside it).
patchelf --set-interpreter "$root/lib/ld-linux.so.2" --force-rpath \
  --set-rpath "$root/lib/i386-linux-gnu:$root/usr/lib/i386-linux-gnu" "$root.tmp/usr/lib/wine/wine"

# A 32-bit process that starts a 64-bit one (the desktop, wineboot) execs the loader named
# wine64 beside its own: that is the system's.
ln -sfn /usr/lib/wine/wine64 "$root.tmp/usr/lib/wine/wine64"
[ -x "$root.tmp/usr/lib/wine/wine" ] || { echo "wine32-sysroot: no 32-bit loader in the packages" >&2; exit 1; }

rm -rf "$root"
mv "$root.tmp" "$root"
echo "$stamp" >"$root/.ready"
echo "wine32-sysroot: $root is ready ($stamp)"
