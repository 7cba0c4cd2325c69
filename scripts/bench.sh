#!/usr/bin/env bash
# Builds the Windows preset and runs every benchmark (build/windows/bench/*_bench.exe)
# under Wine in a private prefix that this script creates and removes.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
prefix="$PWD/build/windows/bench-wineprefix"
cmake/wine-prefix.sh up "$prefix" >/dev/null
trap 'cmake/wine-prefix.sh down "$prefix" >/dev/null' EXIT
for bench in build/windows/bench/*_bench.exe; do
  VEXLO_WINEPREFIX="$prefix" cmake/wine-run.sh "$bench"
done
