#!/usr/bin/env bash
# Whole-run benchmark: ZANDOVIR against writing the same bytes with plain 64 KiB
# write() calls, and against a plain fprintf program, in the same folder, alternated.
# Usage: bench/run_bench.sh [N ...]   (default: 10000 100000 1000000 10000000)
# Prints per N the median times, the ratios and ZANDOVIR's peak memory per node.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeats=${REPEATS:-5}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000 1000000 10000000)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target zandovir >/dev/null
work=$(mktemp -d "${BENCH_DIR:-$root/build}/bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cc -O2 -o "$work/write_baseline" "$root/bench/write_baseline.c"
cc -O2 -ffp-contract=off -o "$work/plain_fprintf" "$root/bench/plain_fprintf.c" -lm
mkdir -p "$work/bin" "$work/case"
printf '#!/bin/sh\nexit 0\n' > "$work/bin/notepad"
cp "$work/bin/notepad" "$work/bin/wgnuplot"
chmod +x "$work/bin/"*
for f in T u e s; do printf 'a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n' > "$work/case/$f.gnu"; done
export PATH="$work/bin:$PATH"

seconds() {  # seconds COMMAND...: wall time of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

printf '%10s %10s %10s %10s %12s %12s %10s\n' n zandovir write fprintf ratio_write fprintf/zand bytes/node
for n in "${sizes[@]}"; do
  printf '%s\n1\n100\n20\n50\n1e4\n1.2e-5\n2e11\n1e-4\n'"'"'Bench'"'"'\n' "$n" > "$work/case/dados.ent"
  : > "$work/z"; : > "$work/w"; : > "$work/f"; : > "$work/r"
  cd "$work/case"
  for ((i = 0; i < repeats; i++)); do
    rm -f ./*.dat saida.txt; sync
    seconds "$root/build/zandovir" >> "$work/z"
    rm -f ./*.dat saida.txt; sync
    seconds "$work/write_baseline" "$n" >> "$work/w"
    if [ "$n" -le 1000000 ]; then
      rm -f ./*.dat saida.txt; sync
      seconds "$work/plain_fprintf" "$n" >> "$work/f"
    fi
    paste <(tail -1 "$work/z") <(tail -1 "$work/w") | awk '{print $1 / $2}' >> "$work/r"
  done
  rm -f ./*.dat saida.txt
  peak=$(/usr/bin/time -f '%M' "$root/build/zandovir" 2>&1 >/dev/null | tail -1)
  rm -f ./*.dat saida.txt
  cd - >/dev/null
  z=$(median < "$work/z"); w=$(median < "$work/w"); r=$(median < "$work/r")
  if [ -s "$work/f" ]; then
    f=$(printf '%.3f' "$(median < "$work/f")"); fz=$(printf '%.2f' "$(echo "$f / $z" | bc -l)")
  else
    f=-; fz=-
  fi
  printf '%10s %10.3f %10.3f %10s %12.2f %12s %10.1f\n' "$n" "$z" "$w" "$f" "$r" "$fz" "$(echo "$peak * 1024 / $n" | bc -l)"
done
