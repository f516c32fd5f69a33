#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the renderer, and renders the built-in demo
# phrase through the amp to quarvine-demo.wav (the dry phrase to quarvine-demo-dry.wav).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh demo
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUARVINE_TESTS=OFF > /dev/null
cmake --build build/release -j"$(nproc)" --target quarvine quarvine-render
build/release/tools/render/quarvine-render --dry quarvine-demo-dry.wav "$@"
