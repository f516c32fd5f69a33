#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a cross-built 32-bit Windows program under the 32-bit Wine loader of the private i386 tree
# that scripts/wine32-sysroot.sh prepares, in the project's own Wine prefix (the one the 64-bit
# loader uses too). CTest calls this as the i686 build's cross-compiling emulator.
#
# The loader runs one of two ways (QUARVINE_WINE32_MODE=native|qemu forces one):
#   native  the kernel runs i386 programs: the loader starts as it is
#   qemu    it does not: qemu-i386 runs the loader against the tree, and a 64-bit wineserver
#           started beforehand serves it (under qemu the loader cannot start one itself)
# Each way is tried with "wine --version", which links the loader against the whole tree.
# "wine32-run.sh --mode" prints the way that works, or "none: REASON" with exit status 3.
here=$(cd "$(dirname "$0")/.." && pwd)
root=${QUARVINE_WINE32_ROOT:-$here/build/i386-wine/root}
loader=$root/usr/lib/wine/wine
export WINEPREFIX="${QUARVINE_WINEPREFIX:-$here/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# One server for 32-bit and 64-bit programs alike: the system's 64-bit one.
export WINESERVER=/usr/lib/wine/wineserver64

choose_mode() {
  if [ ! -f "$root/.ready" ]; then
    echo "none: no 32-bit Wine tree at $root (scripts/wine32-sysroot.sh prepares it)"; return 3
  fi
  if [ ! -x "$WINESERVER" ] || [ ! -x /usr/lib/wine/wine64 ]; then
    echo "none: the 64-bit Wine (packages wine, wine64) is not installed"; return 3
  fi
  forced=${QUARVINE_WINE32_MODE:-}
  if [ "$forced" != qemu ]; then
    if native_error=$("$loader" --version 2>&1 >/dev/null); then echo native; return 0; fi
    native_error="the kernel does not run the i386 loader ($(echo "$native_error" | tail -1))"
  fi
  if [ "$forced" != native ]; then
    if ! command -v qemu-i386 >/dev/null 2>&1; then
      qemu_error="qemu-i386 is missing (package qemu-user)"
    elif qemu_error=$(qemu-i386 -L "$root" "$loader" --version 2>&1 >/dev/null); then
      echo qemu; return 0
    else
      qemu_error="qemu-i386 does not run it (exit status $?: $(echo "$qemu_error" | tail -1))"
    fi
  fi
  echo "none: ${native_error:-}${native_error:+; }${qemu_error:-}"
  return 3
}

run_loader() {
  case "$mode" in
    native) "$loader" "$@" ;;
    qemu)
      # Started here, the server outlives the program by a few seconds, as it would by itself.
      "$WINESERVER" -p5 2>/dev/null
      qemu-i386 -L "$root" "$loader" "$@" ;;
  esac
}

mode=$(choose_mode)
status=$?
if [ "${1:-}" = --mode ]; then echo "$mode"; exit $status; fi
if [ $status -ne 0 ]; then echo "wine32-run: $mode" >&2; exit $status; fi

# The prefix is a 64-bit one, made by the 64-bit loader (a 32-bit loader would make a 32-bit
# prefix, which the 64-bit tests cannot use). Without a 32-bit Wine installed, the 64-bit loader
# leaves the 32-bit half of it empty: the syswow64 folder, and the registry of the 32-bit side
# (COM classes and interface proxies among it, which OLE drag and drop needs). That half is made
# once here as Wine's wineboot makes it: the 32-bit system files, then the Wow64Install section of
# wine.inf run by the 32-bit rundll32.
# The marker names the tree's stamp, which carries the Wine version: after an upgrade the 32-bit
# side is made again from the new files.
marker=$WINEPREFIX/.quarvine-wow64
wanted="32-bit side from $(cat "$root/.ready")"
if [ "$(cat "$marker" 2>/dev/null)" != "$wanted" ]; then
  mkdir -p "$WINEPREFIX"
  exec 9>"$WINEPREFIX/.quarvine-wow64.lock"
  flock 9
  if [ "$(cat "$marker" 2>/dev/null)" != "$wanted" ]; then
    echo "wine32-run: adding the 32-bit side to $WINEPREFIX ($mode)" >&2
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      /usr/lib/wine/wine64 wineboot.exe --init >/dev/null 2>&1
    fi
    syswow64=$WINEPREFIX/drive_c/windows/syswow64
    mkdir -p "$syswow64"
    # Copies, not links: setupapi rewrites these files in place. Every one is replaced, so that
    # none is left from another Wine version.
    find "$syswow64" -maxdepth 1 -type l -delete
    cp -f "$root"/usr/lib/i386-linux-gnu/wine/i386-windows/* "$syswow64"/
    inf=Z:$(printf '%s' "$root/usr/share/wine/wine.inf" | tr / '\\')
    WINELOADERNOEXEC=1 run_loader 'C:\windows\syswow64\rundll32.exe' \
      setupapi.dll,InstallHinfSection Wow64Install 128 "$inf"
    setup_status=$?
    "$WINESERVER" -w
    if [ $setup_status -ne 0 ]; then
      echo "wine32-run: the 32-bit side of $WINEPREFIX could not be installed ($setup_status)" >&2
      exit 1
    fi
    echo "$wanted" >"$marker"
  fi
  exec 9>&-
fi

# Debian's loader has no preloader to re-execute through.
export WINELOADERNOEXEC=1
if [ "$mode" = native ]; then exec "$loader" "$@"; fi
run_loader "$@"
