#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the release packages of the committed tree with CPack, into dist/ (or OUT-DIR):
#   quarvine_VERSION_amd64.deb            the Debian package (plug-ins in /usr/lib/vst and /usr/lib/lv2)
#   quarvine-VERSION-linux-x86_64.tar.gz  the same files under a folder of their own
#   quarvine-VERSION-windows.zip          both DLLs (32-bit/ and 64-bit/), README, LICENSE
# The sources are the commit's (git archive: uncommitted changes are left out, and said so), built
# from scratch; every time stamp is the commit's (SOURCE_DATE_EPOCH), so two runs on one commit
# give the same bytes. The Debian package is checked with lintian, which must find no error.
# Usage: scripts/package.sh [OUT-DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dist=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
jobs=${JOBS:-$(nproc)}

scripts/install-deps.sh package
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "package: uncommitted changes are not packaged; the packages hold $(git rev-parse --short HEAD)"
fi
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
work=$(mktemp -d "${TMPDIR:-/tmp}/quarvine-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
git archive --format=tar HEAD | tar -x -C "$work" --one-top-level=src
# A file's mode comes from git; its time from the commit, not from the unpacking.
find "$work/src" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

build() { # build DIR CMAKE-ARGS... -- TARGETS...
  local dir=$work/$1; shift
  local args=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
  shift
  cmake -S "$work/src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQUARVINE_TESTS=OFF "${args[@]}" >"$dir.log" 2>&1 &&
    cmake --build "$dir" -j"$jobs" --target "$@" >>"$dir.log" 2>&1 || { tail -30 "$dir.log"; echo "package: the $(basename "$dir") build failed" >&2; exit 1; }
}

echo "package: building the Linux products"
build linux -- all
echo "package: building the Windows DLLs"
build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DQUARVINE_TOOLS=OFF -- quarvine
build win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DQUARVINE_TOOLS=OFF -- quarvine

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/linux/CMakeCache.txt")
(cd "$work/linux" && cpack -G DEB -B "$work/packages" && cpack -G TGZ -B "$work/packages") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
(cd "$work" && QUARVINE_WIN32_BUILD="$work/win32" QUARVINE_WIN64_BUILD="$work/win64" \
  cpack --config src/packaging/windows-zip.cmake -B "$work/packages") >>"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }

made=("quarvine_${version}_amd64.deb" "quarvine-$version-linux-x86_64.tar.gz" "quarvine-$version-windows.zip")
for package in "${made[@]}"; do
  [ -f "$work/packages/$package" ] || { cat "$work/cpack.log"; echo "package: CPack made no $package" >&2; exit 1; }
  cp "$work/packages/$package" "$dist/"
done

echo "package: lintian on the Debian package"
lintian --fail-on error "$dist/${made[0]}"
for package in "${made[@]}"; do
  echo "package: $dist/$package  $(sha256sum "$dist/$package" | cut -c1-16)"
done
