#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what this machine is missing for building and testing Quarvine (Debian packages).
# Usage: scripts/install-deps.sh [demo|package|bench|all]
#   demo:    what the native products need (the plug-ins, the LV2 bundle and the tools)
#   package: those, the Windows cross compilers and what scripts/package.sh packs and checks with
#   bench: the renderer's packages, Google Benchmark, the peer plug-ins the benchmarks compare with,
#          FFTW and matplotlib for the sound report
#   all:   everything for building and testing every product, the benchmarks included
set -euo pipefail

profile=${1:-all}
# libeigen3-dev: the header-only FFT of a response's loudness (dsp/ir_loudness.cpp), and the
# reference of the convolver's own FFT in its test.
packages=(cmake g++ make pkg-config libsndfile1-dev libcli11-dev libx11-dev lv2-dev libeigen3-dev)
cross_packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64)
# CPack's Debian generator computes the dependencies with dpkg-shlibdeps (dpkg-dev); the Debian
# changelog is written by a Python script; lintian checks the package.
package_packages=("${cross_packages[@]}" git dpkg-dev python3 lintian)
if [ "$profile" = package ] || [ "$profile" = all ]; then
  packages+=("${package_packages[@]}")
fi
# Peers for the speed comparison: guitarix's gx_amp (LV2, loaded through lilv) and ZamTube (VST 2).
# FFTW and matplotlib for the sound report and its aliasing plot (scripts/sound-report.sh).
# KISS FFT and FFTW: yardsticks for the convolver's FFT (bench/convolver_bench.cpp).
bench_packages=(libbenchmark-dev liblilv-dev guitarix-lv2 zam-plugins libfftw3-dev python3-matplotlib libkissfft-dev)
if [ "$profile" = bench ] || [ "$profile" = all ]; then
  packages+=("${bench_packages[@]}")
fi
if [ "$profile" = all ]; then
  packages+=(libgtest-dev libgmock-dev googletest
             xvfb xauth libxtst-dev x11-utils wine wine64 dpf-plugins-vst
             patchelf qemu-user  # these two for the private 32-bit Wine (scripts/wine32-sysroot.sh)
             lilv-utils jalv jackd2 serdi imagemagick xdotool ardour python3-numpy  # LV2 hosts for scripts/lv2-hosts.sh (numpy lines up their output)
             sordi  # sord_validate, which lv2_validate runs on the bundle's Turtle
             strace  # the renderer test that watches its file be synced before the rename
             clang libclang-rt-14-dev)  # libFuzzer and the sanitizer runtimes for the fuzz targets
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
. "$(dirname "$0")/apt-retry.sh"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# An index that stays broken (a mirror in the middle of a sync) is left out: the packages wanted
# may well come from the others, and the install below says so when they do not.
apt_update_retrying install-deps "$log" "${sudo_cmd[@]}" apt-get update -q || true
# wine32 is never wanted: it breaks the 64-bit loader. The 32-bit Wine comes from a private tree
# (scripts/wine32-sysroot.sh), and the i386 architecture is not added to dpkg, so that wine64's
# recommendation of wine32 cannot be followed.
install() { DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"; }
# A package fetch that fails mid-sync is tried again with the lists made anew.
refresh_and_install() { "${sudo_cmd[@]}" apt-get update -q || true; install; }
if ! install >"$log" 2>&1 && ! apt_retrying install-deps "$log" refresh_and_install; then
  echo "install-deps: cannot install ${missing[*]}: $(apt_first_error "$log")" >&2
  exit 1
fi
