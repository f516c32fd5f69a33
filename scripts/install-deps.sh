#!/usr/bin/env bash
# Installs what this machine is missing for building and testing Quarvine (Debian packages).
# Usage: scripts/install-deps.sh [demo|all]   (demo: only what the native renderer needs)
set -euo pipefail

profile=${1:-all}
packages=(cmake g++ make pkg-config libsndfile1-dev libcli11-dev libx11-dev)
if [ "$profile" = all ]; then
  packages+=(libgtest-dev libgmock-dev googletest libbenchmark-dev
             g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
             xvfb xauth libxtst-dev x11-utils wine wine64 dpf-plugins-vst
             patchelf qemu-user)  # the last two for the private 32-bit Wine (scripts/wine32-sysroot.sh)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: nothing missing"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -qq
# wine32 is never wanted: it breaks the 64-bit loader. The 32-bit Wine comes from a private tree
# (scripts/wine32-sysroot.sh), and the i386 architecture is not added to dpkg, so that wine64's
# recommendation of wine32 cannot be followed.
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
