#!/usr/bin/env bash
# Builds ZANDOVIR and runs every test: the Windows program under Wine, the fuzz
# targets for a bounded time (FUZZ_SECONDS each, default 60), the whole suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, and last the suite of the Release
# build. The packages come from scripts/install-test-deps.sh.
# QUICK=1 runs only the Release suite.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${QUICK:-0}" != 1 ]; then
  echo "== the Windows program under Wine"
  scripts/windows-test.sh
  echo "== fuzzing"
  scripts/fuzz.sh
  echo "== the suite under the sanitizers"
  scripts/sanitize.sh
fi
echo "== the suite of the Release build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZANDOVIR_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2 --no-tests=error
