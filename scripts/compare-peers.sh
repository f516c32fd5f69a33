#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures Quarvine beside two free full-amp plug-ins, gx_amp (guitarix, LV2) and ZamTube
# (zam-plugins, VST 2), in one process on the plucked-string demo phrase at 44.1 kHz, blocks of 512,
# and prints ns per sample and the ratios. Installs what is missing and builds the release plug-in
# and the benchmark first. Further arguments go to the benchmark (--rounds N, --seconds S, ...).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh bench
build=${QUARVINE_BUILD_ROOT:-$(pwd)/build}/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARVINE_TESTS=OFF -DQUARVINE_BENCH=ON >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target quarvine_peer_bench
"$build/bench/quarvine_peer_bench" "$@"
