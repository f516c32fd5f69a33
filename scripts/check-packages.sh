#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the packages scripts/package.sh made as a user and a host would: the Windows zip holds
# the very DLLs the Windows tests ran (when their build folder is given); the Debian package
# installs with apt-get, after which LV2 hosts find the plug-in, the validator passes the VST
# module, the tools answer with the package's version, the manual pages render and the renderer
# finds the installed plug-in by itself; removed again, it leaves none of its files behind.
# Needs root or sudo. The package is removed on failure too.
# Usage: scripts/check-packages.sh DIST-DIR [TESTED-BUILD-ROOT]
#   TESTED-BUILD-ROOT holds win32/quarvine.dll and win64/quarvine.dll as the Windows tests ran them.
set -uo pipefail
dist=${1:?usage: $0 DIST-DIR [TESTED-BUILD-ROOT]}
tested=${2:-}
fail() { echo "check-packages: $*" >&2; exit 1; }
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

debs=("$dist"/quarvine_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "not one Debian package in $dist"
deb=$(cd "$(dirname "${debs[0]}")" && pwd)/$(basename "${debs[0]}")
version=$(dpkg-deb -f "$deb" Version) || fail "cannot read $deb"
work=$(mktemp -d "${TMPDIR:-/tmp}/quarvine-check-packages.XXXXXX")
installed=0
cleanup() {
  [ $installed -eq 1 ] && "${as_root[@]}" apt-get purge -y -q quarvine >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

if [ -n "$tested" ]; then
  zip=$dist/quarvine-$version-windows.zip
  [ -f "$zip" ] || fail "no $zip"
  (cd "$work" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
  for width in 32 64; do
    packed=$(find "$work" -path "*/$width-bit/quarvine.dll")
    [ -n "$packed" ] || fail "the zip holds no $width-bit/quarvine.dll"
    cmp -s "$packed" "$tested/win$width/quarvine.dll" ||
      fail "the zip's $width-bit DLL is not the one the Windows tests ran ($tested/win$width/quarvine.dll)"
  done
  echo "check-packages: the zip's DLLs are byte for byte the ones the Windows tests ran"
fi

dpkg-query -W -f='${Status}' quarvine 2>/dev/null | grep -q 'install ok installed' &&
  fail "quarvine is installed already: remove it first (apt-get purge quarvine)"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' >"$work/files"
installed=1
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get cannot install $deb"; }
echo "check-packages: $(basename "$deb") installed with apt-get ($(wc -l <"$work/files") files)"

(unset LV2_PATH; lv2ls) | grep -qx 'urn:orn:quarvine' || fail "lv2ls does not list urn:orn:quarvine"
[ "$(quarvine-render --version)" = "quarvine-render $version" ] || fail "quarvine-render --version is not $version"
[ "$(quarvine-validate --version)" = "quarvine-validate $version" ] || fail "quarvine-validate --version is not $version"
for tool in quarvine-render quarvine-validate; do
  MANWIDTH=80 man -P cat "$tool" 2>/dev/null | grep -q "^NAME" || fail "man $tool renders nothing"
done
gui=()
[ -n "${DISPLAY:-}" ] || gui=(--skip-gui)
quarvine-validate /usr/lib/vst/libquarvine.so --strict "${gui[@]}" >"$work/validate.log" 2>&1 ||
  { tail -30 "$work/validate.log"; fail "the validator fails /usr/lib/vst/libquarvine.so"; }
(cd "$work" && quarvine-render -o demo.wav >render.log 2>&1 && grep -q '\[/usr/lib/vst/libquarvine.so\]' render.log) ||
  { cat "$work/render.log"; fail "the installed renderer does not play the demo through /usr/lib/vst/libquarvine.so"; }
echo "check-packages: lv2ls lists urn:orn:quarvine; the validator passes /usr/lib/vst/libquarvine.so;" \
  "both tools answer $version; the manual pages render; the demo plays through the installed plug-in"

DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get purge -y -q quarvine >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get cannot remove quarvine"; }
installed=0
left=0
while IFS= read -r path; do
  [ -e "$path" ] && { echo "left behind: $path"; left=1; }
done <"$work/files"
for folder in /usr/lib/lv2/quarvine.lv2 /usr/share/doc/quarvine; do
  [ -e "$folder" ] && { echo "left behind: $folder"; left=1; }
done
[ $left -eq 0 ] || fail "removing the package left files behind"
echo "check-packages: removed again, with none of its files left"
