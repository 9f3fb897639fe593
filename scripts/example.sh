#!/usr/bin/env bash
# Builds ZANDOVIR and runs the bundled example case in a fresh copy, run/example.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target zandovir >/dev/null
rm -rf run/example
mkdir -p run
cp -r examples run/example
cd run/example
# The editor and gnuplot adapters of tools/ stand in for notepad and wgnuplot
# unless the user has programs of those names already.
PATH="$PATH:$(cd ../../tools && pwd)" ../../build/zandovir
echo "Results in run/example: saida.txt, T.dat, u.dat, e.dat, s.dat and the refreshed *.gnu"
