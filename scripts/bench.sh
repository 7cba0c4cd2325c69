#!/usr/bin/env bash
# Builds the benchmarks (bench/) for Windows and runs each under a private Wine
# prefix that this script creates and removes. Every figure is printed with
# its ratio against a bare process start measured in the same run.
set -uo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null || exit 1
cmake --build --preset windows --target benchmarks vexlo-service >/dev/null || { echo "build failed" >&2; exit 1; }

build=$(realpath build/windows)
prefix=$build/bench-wineprefix
cmake/wine-prefix.sh up "$prefix" >/dev/null || exit 1
trap 'cmake/wine-prefix.sh down "$prefix" >/dev/null' EXIT
export VEXLO_WINEPREFIX=$prefix
unset VEXLO_LOG TAVRELIUM_LOG
win() { local path=$1; echo "Z:${path//\//\\}"; }

status=0
cmake/wine-run.sh "$build/bench/bench_jvm_search.exe" "$(win "$build/tests/e2e/launcher_probe.exe")" \
  "$(win "$build/tests/e2e/java_double.exe")" "$(win "$build/bench/bench_bare_process.exe")" \
  "$(win "$build/bench-work")" | tr -d '\r' || status=1
cmake/wine-run.sh "$build/bench/jvm_launch_bench.exe" | tr -d '\r' || status=1
cmake/wine-run.sh "$build/bench/service_bench.exe" | tr -d '\r' || status=1
exit $status
