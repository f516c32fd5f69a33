#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures how the amp sounds where numbers can tell (aliasing and THD at 2x, 4x and 8x
# oversampling, clicks and zipper noise from knob steps and sweeps, the oversampling switch while
# a tone plays), prints the tables and plots the aliasing into docs/aliasing.png. Installs what is
# missing and builds the release plug-in and the report first. Further arguments go to the report
# (e.g. --plugin PATH to measure another module; the plot then shows that module; --stages adds
# which nonlinear stage makes how much of the aliasing, about 20 minutes more).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh bench
build=${QUARVINE_BUILD_ROOT:-$(pwd)/build}/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARVINE_TESTS=OFF -DQUARVINE_BENCH=ON >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target quarvine-sound-report
csv="$build/aliasing.csv"
"$build/bench/quarvine-sound-report" --csv "$csv" "$@"
/usr/bin/python3 bench/plot_aliasing.py "$csv" --out docs/aliasing.png
