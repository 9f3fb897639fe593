#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for a bounded time,
# FUZZ_SECONDS (default 60) seconds, starting from the seed corpus in
# fuzz/corpus/. Any crash, sanitizer report, broken property, trap or hang
# (an input running longer than FUZZ_TIMEOUT seconds, default 10) fails the script;
# the input that did it is kept in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
timeout="${FUZZ_TIMEOUT:-10}"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz.sh: clang++ is needed (Debian: clang and libclang-rt-14-dev)" >&2
  exit 1
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZANDOVIR_FUZZ=ON -DZANDOVIR_TESTS=OFF
cmake --build build-fuzz -j2 --target fuzz_reader fuzz_layout fuzz_exponent
mkdir -p build-fuzz/artifacts
status=0
# target, corpus folder, longest input: the reader's inputs go well past its
# 520-character work area.
for entry in "fuzz_reader reader 8192" "fuzz_layout layout 2048" "fuzz_exponent exponent 16"; do
  read -r target corpus maxlen <<<"$entry"
  # New inputs go to a working copy; the committed seeds stay as they are.
  work="build-fuzz/corpus/$corpus"
  mkdir -p "$work"
  echo "== $target for ${seconds}s"
  if ! "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 \
      -max_len="$maxlen" -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" \
      "$work" "fuzz/corpus/$corpus" >"build-fuzz/$target.log" 2>&1; then
    echo "fuzz.sh: $target failed; its log is build-fuzz/$target.log:" >&2
    grep -v '^#' "build-fuzz/$target.log" | tail -40 >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "build-fuzz/$target.log" || true
  fi
done
exit "$status"
