#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds every product and runs every test:
#   native build with AddressSanitizer and UndefinedBehaviorSanitizer: all unit and module tests
#   native build with ThreadSanitizer: the threading tests
#   clang build with libFuzzer, ASan and UBSan: each fuzz target for about a minute
#   native release build: the renderer, the validator run on the plug-in, the benchmarks (built),
#   the LV2 bundle in real hosts (scripts/lv2-hosts.sh)
#   the kernel objects of the Debug and Release builds checked for shared code; the dsp tests
#   with the fast chain's plain (non-SIMD) forms
#   64-bit and 32-bit Windows DLLs cross-built and inspected, each with its tests and the demo
#   phrase run under Wine of its own width (the 32-bit Wine from a private i386 tree)
#   the packages made (scripts/package.sh), the Debian package installed, checked as a host would
#   and removed (scripts/check-packages.sh)
# Usage: scripts/build-and-test.sh [all|native|windows]   (default all; windows builds of the
#   native products only the renderer that the demo-phrase comparison needs)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc)}
out=${QUARVINE_BUILD_ROOT:-$root/build}
declare -a summary=()
status=0

step() { echo; echo "=== $*"; }
record() { # record NAME EXIT-CODE
  if [ "$2" -eq 0 ]; then summary+=("PASS  $1"); else summary+=("FAIL  $1"); status=1; fi
}
skip() { # skip NAME REASON: the step could not run on this machine; reported, not failed
  echo "SKIP: $1: $2"
  summary+=("SKIP  $1 ($2)")
}
configure_and_build() { # dir, cmake args..., -- targets...
  local dir=$1; shift
  local args=() targets=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  targets=("$@")
  cmake -S "$root" -B "$dir" "${args[@]}" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" -j"$jobs" --target "${targets[@]}"
  else
    cmake --build "$dir" -j"$jobs"
  fi
}

# A virtual screen for the programs that open real windows (the editor tests, Wine). Xvfb picks a
# free display itself and tells its number once it accepts connections (-displayfd): no number is
# raced for with servers that start beside it, and nothing is waited for longer than that takes
# (at most 30 s). -noreset: by default the server resets whenever its last client leaves and cuts
# off those connecting meanwhile, as test programs running side by side do.
display=""
xvfb_pid=""
start_display() {
  [ -n "$xvfb_pid" ] && return 0
  local n=""
  coproc XVFB { exec Xvfb -displayfd 1 -noreset -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null; }
  xvfb_pid=$XVFB_PID
  if read -r -t 30 -u "${XVFB[0]}" n && [ -n "$n" ]; then display=":$n"; return 0; fi
  echo "Xvfb did not start"
  stop_display
  return 1
}
# Wine's server for the project's prefix ends a few seconds after its last program: it is waited
# for (at most 30 s, then ended) before the display goes, so that neither outlives the run.
stop_display() {
  local prefix=${QUARVINE_WINEPREFIX:-$root/build/wineprefix}
  if [ -x /usr/lib/wine/wineserver64 ] && [ -d "$prefix" ]; then
    WINEPREFIX=$prefix timeout 30 /usr/lib/wine/wineserver64 -w || WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k
  fi
  [ -n "$xvfb_pid" ] || return 0
  kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
  display=""
}
trap stop_display EXIT

stages=${1:-all}
case "$stages" in
  all|native|windows) ;;
  *) echo "usage: $0 [all|native|windows]" >&2; exit 2 ;;
esac

step "Installing missing packages"
scripts/install-deps.sh all || { echo "package installation failed"; exit 1; }
mkdir -p "$out"

if [ "$stages" != windows ]; then

step "Native build with AddressSanitizer + UndefinedBehaviorSanitizer"
configure_and_build "$out/asan" -DCMAKE_BUILD_TYPE=Debug -DQUARVINE_SANITIZE=address,undefined
rc=$?
if [ $rc -eq 0 ]; then
  # The editor tests open real X11 windows: a virtual screen of this run's own.
  start_display
  (cd "$out/asan" && DISPLAY=$display ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
     UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j"$jobs" -LE thread_tests)
  rc=$?
  stop_display
fi
record "native tests (ASan+UBSan)" $rc
scripts/check-kernel-symbols.sh "$out/asan"
record "kernel builds share no code (Debug)" $?

step "Native build with ThreadSanitizer: threading tests"
configure_and_build "$out/tsan" -DCMAKE_BUILD_TYPE=Debug -DQUARVINE_SANITIZE=thread -DQUARVINE_TEST_DIRS=host \
  -- thread_tests quarvine quarvine-validate
rc=$?
if [ $rc -eq 0 ]; then
  (cd "$out/tsan" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -L thread_tests)
  rc=$?
fi
record "threading tests (TSan)" $rc
if [ $rc -eq 0 ]; then
  # The validator's threaded checks: automation and the editor from other threads. --strict: our
  # plug-in fails on advice too, where another plug-in would only be warned.
  for check in automation editor; do
    TSAN_OPTIONS=halt_on_error=1 "$out/tsan/tools/validate/quarvine-validate" "$out/tsan/libquarvine.so" --only $check --strict
    record "validator $check checks under TSan" $?
  done
fi

step "Fuzzing with libFuzzer (clang, ASan + UBSan): dispatcher, processing, editor events, IR files, saved states"
# Bounded: the build, then about a minute per target (QUARVINE_FUZZ_SECONDS to change it).
configure_and_build "$out/fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVINE_SANITIZE=address,undefined -DQUARVINE_FUZZ=ON \
  -DQUARVINE_TOOLS=OFF -DQUARVINE_TEST_DIRS=fuzz -- fuzz_dispatcher fuzz_processing fuzz_editor fuzz_ir_file \
  fuzz_plugin_state
rc=$?
record "fuzz targets built (clang, libFuzzer)" $rc
if [ $rc -eq 0 ]; then
  for target in dispatcher processing editor ir_file plugin_state; do
    scripts/run-fuzzer.sh "$out/fuzz" $target "${QUARVINE_FUZZ_SECONDS:-60}"
    record "fuzzing $target for ${QUARVINE_FUZZ_SECONDS:-60} s" $?
  done
fi

step "Native release build: plug-in, tools, benchmarks"
configure_and_build "$out/release" -DCMAKE_BUILD_TYPE=Release -DQUARVINE_TESTS=OFF -DQUARVINE_BENCH=ON
release_rc=$?
record "native release build" $release_rc
if [ $release_rc -eq 0 ]; then
  scripts/check-kernel-symbols.sh "$out/release"
  record "kernel builds share no code (Release)" $?
fi

step "Fast chain without SIMD: the plain forms other processors build, dsp tests"
configure_and_build "$out/scalar" -DCMAKE_BUILD_TYPE=Release -DQUARVINE_SCALAR_KERNEL=ON -DQUARVINE_TOOLS=OFF \
  -DQUARVINE_TEST_DIRS=dsp -- dsp_tests
rc=$?
if [ $rc -eq 0 ]; then
  (cd "$out/scalar" && timeout 600 ctest --output-on-failure -j"$jobs" -L dsp_tests)
  rc=$?
fi
record "dsp tests with the scalar fast chain" $rc
if [ $release_rc -eq 0 ] && [ -x "$out/release/tools/validate/quarvine-validate" ]; then
  step "Validator on the native plug-in"
  "$out/release/tools/validate/quarvine-validate" "$out/release/libquarvine.so" --strictness 8 --strict
  record "quarvine-validate libquarvine.so" $?
fi
if [ $release_rc -eq 0 ]; then
  # The LV2 bundle in real hosts; each stage starts and stops what it needs.
  for host in lv2apply jalv ardour; do
    step "LV2 bundle in $host"
    timeout -k 10 600 scripts/lv2-hosts.sh "$out/release" $host
    record "quarvine.lv2 in $host" $?
  done
  step "LV2 bundle's Turtle in lv2_validate (the LV2 specifications' own rules)"
  lv2_validate "$out/release/quarvine.lv2"/*.ttl 2>&1 | grep -v '^Skipping file\|^Reading\|^Validating'
  record "quarvine.lv2 in lv2_validate" "${PIPESTATUS[0]}"
fi

fi

finish() {
  step "Summary"
  printf '%s\n' "${summary[@]}"
  if [ $status -eq 0 ]; then echo "ALL PASSED"; else echo "SOME STEPS FAILED"; fi
  exit $status
}
[ "$stages" = native ] && finish

renderer="$out/release/tools/render/quarvine-render"
if [ "$stages" = windows ] && [ ! -x "$renderer" ]; then
  step "Native renderer for the demo-phrase comparisons"
  configure_and_build "$out/release" -DCMAKE_BUILD_TYPE=Release -DQUARVINE_TESTS=OFF -- quarvine-render
  record "native renderer built" $?
fi

# demo_compare BUILD-DIR RUNNER: the native renderer's dry demo phrase through the build's
# quarvine.dll under Wine, sample by sample against the native plug-in's rendering of it.
demo_compare() {
  if [ ! -x "$renderer" ]; then echo "no native renderer at $renderer"; return 1; fi
  mkdir -p "$1/audio"
  "$renderer" -o "$1/audio/native.wav" --dry "$1/audio/dry.wav" >/dev/null &&
    DISPLAY=$display "$2" "$1/tests/win32/win32_render_compare.exe" "$1/audio/native.wav" "$1/audio/windows.f32" \
      --dry "$1/audio/dry.wav"
}

# cross_build DIR TOOLCHAIN ARCH: the DLL and the Windows tests, then the DLL inspected.
# Fails when the build fails (an inspection failure is recorded, but the tests still run).
cross_build() {
  configure_and_build "$out/$1" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="cmake/$2" \
    -DQUARVINE_TESTS=ON -DQUARVINE_TOOLS=ON "-DQUARVINE_TEST_DIRS=host;win32;cabinet" || {
    record "quarvine.dll $3 built and inspected" 1
    return 1
  }
  scripts/check-dll.sh "$out/$1/quarvine.dll" "$3"
  record "quarvine.dll $3 built and inspected" $?
}

step "Windows 64-bit cross build"
if cross_build win64 mingw-w64-x86_64.cmake x86-64; then
  start_display
  step "Windows tests under 64-bit Wine (64-bit DLL, editor opened and driven)"
  (cd "$out/win64" && DISPLAY=$display ctest --output-on-failure)
  record "Windows tests under 64-bit Wine" $?

  step "Demo phrase: 64-bit DLL under 64-bit Wine against the native plug-in"
  demo_compare "$out/win64" cmake/wine-run.sh
  record "demo phrase: 64-bit DLL equals native within 1e-6" $?
fi

step "Windows 32-bit cross build"
if cross_build win32 mingw-w64-i686.cmake i386; then
  step "32-bit Wine from a private i386 tree (the wine32 package is never installed)"
  # The i386 packages are kept under the build folder: a second run fetches nothing.
  export QUARVINE_WINE32_ROOT="$out/i386-wine/root"
  scripts/wine32-sysroot.sh "$out/i386-wine"
  rc=$?
  record "32-bit Wine tree prepared" $rc
  if [ $rc -eq 0 ]; then
    way=$(cmake/wine32-run.sh --mode)
    if [ $? -ne 0 ]; then
      skip "Windows tests under 32-bit Wine" "${way#none: }"
      skip "demo phrase: 32-bit DLL" "${way#none: }"
    else
      case "$way" in
        native) echo "32-bit Wine runs natively: this kernel runs i386 programs" ;;
        qemu) echo "32-bit Wine runs under qemu-i386: this kernel does not run i386 programs" ;;
      esac
      start_display
      step "Windows tests under 32-bit Wine, $way (32-bit DLL, editor opened and driven)"
      (cd "$out/win32" && DISPLAY=$display ctest --output-on-failure)
      record "Windows tests under 32-bit Wine ($way)" $?

      step "Demo phrase: 32-bit DLL under 32-bit Wine ($way) against the native plug-in"
      demo_compare "$out/win32" cmake/wine32-run.sh
      record "demo phrase: 32-bit DLL equals native within 1e-6 ($way)" $?
    fi
  fi
fi
if [ "$stages" = all ]; then
  step "Packages: Debian package, Linux tarball, Windows zip; the Debian package installed, checked and removed"
  scripts/package.sh "$out/dist" && DISPLAY=$display scripts/check-packages.sh "$out/dist" "$out"
  record "packages made, installed as a user would, checked and removed" $?
fi
stop_display
finish
