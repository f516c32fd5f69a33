#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a cross-built Windows program under the 64-bit Wine loader with the project's own prefix,
# created on first use. CTest and test discovery call this as the cross-compiling emulator.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${QUARVINE_WINEPREFIX:-$here/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$WINEPREFIX"
if [ -x /usr/lib/wine/wine64 ]; then exec /usr/lib/wine/wine64 "$@"; fi
exec wine "$@"
