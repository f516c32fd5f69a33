#!/bin/sh
# Runs a cross-built 32-bit Windows program under the 32-bit Wine loader of the private i386 tree
# that scripts/wine32-sysroot.sh prepares, in the project's own Wine prefix (the one the 64-bit
# loader uses too). CTest calls this as the i686 build's cross-compiling emulator.
#
# Two ways to run the i386 loader, tried in this order (QUARVINE_WINE32_MODE=native|qemu forces one):
#   native  the kernel runs i386 programs: the tree's own dynamic linker starts the loader
#   qemu    it does not: qemu-i386 runs the loader against the tree, and a 64-bit wineserver
#           started beforehand serves it (under qemu the loader cannot start one itself)
# "wine32-run.sh --mode" prints the way that would be taken, or "none: REASON" (exit status 3).
here=$(cd "$(dirname "$0")/.." && pwd)
root=${QUARVINE_WINE32_ROOT:-$here/build/i386-wine/root}
export WINEPREFIX="${QUARVINE_WINEPREFIX:-$here/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The wineserver is the system's 64-bit one: one server for 32-bit and 64-bit programs alike.
export WINESERVER=/usr/lib/wine/wineserver64
linker=$root/lib/ld-linux.so.2

choose_mode() {
  if [ ! -f "$root/.ready" ]; then
    echo "none: no 32-bit Wine tree at $root (scripts/wine32-sysroot.sh prepares it)"; return 3
  fi
  if [ ! -x "$WINESERVER" ]; then echo "none: no 64-bit wineserver at $WINESERVER"; return 3; fi
  case "${QUARVINE_WINE32_MODE:-auto}" in
    native|qemu) echo "$QUARVINE_WINE32_MODE"; return 0 ;;
  esac
  # The tree's dynamic linker is an i386 program: whether it starts says whether the kernel
  # runs i386 programs at all.
  if "$linker" --version >/dev/null 2>&1; then echo native; return 0; fi
  if command -v qemu-i386 >/dev/null 2>&1; then echo qemu; return 0; fi
  echo "none: this kernel does not run i386 programs and qemu-i386 (package qemu-user) is missing"
  return 3
}

mode=$(choose_mode)
status=$?
if [ "${1:-}" = --mode ]; then echo "$mode"; exit $status; fi
if [ $status -ne 0 ]; then echo "wine32-run: $mode" >&2; exit $status; fi

# The prefix is a 64-bit one, made by the 64-bit loader (a 32-bit loader would make a 32-bit
# prefix, which the 64-bit tests cannot use). Without a 32-bit Wine installed, the 64-bit loader
# leaves the 32-bit half of it empty: the syswow64 folder, and the registry entries of the 32-bit
# system (COM classes and interface proxies, which OLE drag and drop needs, among them). That half
# is made once here as Wine's own wineboot makes it: the 32-bit system files, then the Wow64Install
# section of wine.inf run by the 32-bit rundll32.
loader=$root/usr/lib/wine/wine
run_32bit() {
  case "$mode" in
    native) "$loader" "$@" ;;
    qemu) "$WINESERVER" -p5 2>/dev/null; qemu-i386 -L "$root" "$loader" "$@" ;;
  esac
}
marker=$WINEPREFIX/.quarvine-wow64
wanted="32-bit half from $root"
if [ "$(cat "$marker" 2>/dev/null)" != "$wanted" ]; then
  mkdir -p "$WINEPREFIX"
  exec 9>"$WINEPREFIX/.quarvine-wow64.lock"
  flock 9
  if [ "$(cat "$marker" 2>/dev/null)" != "$wanted" ]; then
    echo "wine32-run: adding the 32-bit half to $WINEPREFIX" >&2
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      /usr/lib/wine/wine64 wineboot.exe --init >/dev/null 2>&1
    fi
    syswow64=$WINEPREFIX/drive_c/windows/syswow64
    mkdir -p "$syswow64"
    # Copies, not links: setupapi rewrites these files in place.
    find "$syswow64" -maxdepth 1 -type l -delete
    cp -n "$root"/usr/lib/i386-linux-gnu/wine/i386-windows/* "$syswow64"/
    inf=Z:$(printf '%s' "$root/usr/share/wine/wine.inf" | tr / '\\')
    WINELOADERNOEXEC=1 run_32bit 'C:\windows\syswow64\rundll32.exe' setupapi.dll,InstallHinfSection Wow64Install 128 "$inf"
    "$WINESERVER" -w
    echo "$wanted" >"$marker"
  fi
  exec 9>&-
fi

# Debian's loader has no preloader to re-execute through.
export WINELOADERNOEXEC=1
case "$mode" in
  native)
    exec "$root/usr/lib/wine/wine" "$@" ;;
  qemu)
    # Started here, the server outlives this program by a few seconds, as it would by itself.
    "$WINESERVER" -p5 2>/dev/null || true
    exec qemu-i386 -L "$root" "$root/usr/lib/wine/wine" "$@" ;;
esac
