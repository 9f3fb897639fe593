#!/usr/bin/env bash
# Builds ZANDOVIR and its whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs every test there. The test
# environment (ASAN_OPTIONS) comes from the CTest properties of the build.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANDOVIR_SANITIZE=ON
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure -j2
