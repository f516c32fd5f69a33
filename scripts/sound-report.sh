#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures how the amp sounds where numbers can tell (aliasing and THD at 2x, 4x and 8x
# oversampling, clicks and zipper noise from knob steps and sweeps, the oversampling switch while
# a tone plays, the demo phrase through each cabinet), prints the tables and plots the aliasing
# into docs/aliasing.png and the cabinets' effect on the demo into docs/cabinet_demo.png. Installs what is
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
cabinet_csv="$build/cabinet_demo.csv"
"$build/bench/quarvine-sound-report" --csv "$csv" --cabinet-csv "$cabinet_csv" "$@"
/usr/bin/python3 bench/plot_aliasing.py "$csv" --out docs/aliasing.png
if [ -s "$cabinet_csv" ] && [ "$(wc -l <"$cabinet_csv")" -gt 1 ]; then
  /usr/bin/python3 bench/plot_cabinet_demo.py "$cabinet_csv" --out docs/cabinet_demo.png
fi
