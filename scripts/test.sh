#!/usr/bin/env bash
# Builds ZANDOVIR with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZANDOVIR_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2 --no-tests=error
