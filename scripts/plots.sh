#!/usr/bin/env bash
# Runs the example case with the viewers switched off and draws its four plots
# from the run's own tables and refreshed plot scripts into docs/plots/*.png.
# Needs gnuplot (Debian: gnuplot-nox).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target zandovir >/dev/null
rm -rf run/plots
mkdir -p run docs/plots
cp -r examples run/plots
mkdir -p run/plots/quiet
printf '#!/bin/sh\nexit 0\n' > run/plots/quiet/notepad
cp run/plots/quiet/notepad run/plots/quiet/wgnuplot
chmod +x run/plots/quiet/*
(cd run/plots && PATH="$PWD/quiet:$PATH" ../../build/zandovir)
for field in T u e s; do
  (cd run/plots && gnuplot -e "set terminal pngcairo size 720,440 font ',10'; set output '/dev/null'" \
     -e "load '$field.gnu'" -e "set output '../../docs/plots/$field.png'; replot; unset output")
done
echo "docs/plots: T.png u.png e.png s.png"
