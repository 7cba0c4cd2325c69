#!/usr/bin/env bash
# The main job for now: builds the demo launcher from examples/demo/demo.toml
# with vexlo-build and shows under Wine what an administrator sees: its
# command words, their output and exit codes, and the launcher log.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null || { echo "build failed" >&2; exit 1; }

demo=build/demo
rm -rf "$demo"; mkdir -p "$demo"
./build/host/vexlo-build build examples/demo/demo.toml -o "$demo/vexlo-demo.exe" \
  --stub build/windows/vexlo-service.exe || exit 1
prefix=$(realpath "$demo")/wineprefix
cmake/wine-prefix.sh up "$prefix" >/dev/null || exit 1
trap 'cmake/wine-prefix.sh down "$prefix" >/dev/null' EXIT
export VEXLO_WINEPREFIX=$prefix

run() {
  echo "> vexlo-demo.exe $*"
  cmake/wine-run.sh "$demo/vexlo-demo.exe" "$@" | tr -d '\r'
  echo "(exit code ${PIPESTATUS[0]})"
  echo
}
echo
run -install
run -status
run -start
run -stop
run -uninstall
run -status

echo "> VEXLO_LOG=yes vexlo-demo.exe -status   (the log of one run)"
logdir=$(cmake/wine-run.sh cmd /c 'echo %TMP%' | tr -d '\r')
VEXLO_LOG=yes cmake/wine-run.sh "$demo/vexlo-demo.exe" -status >/dev/null
log=$(find "$prefix/drive_c" -maxdepth 4 -name 'tvl_nlog_*' 2>/dev/null | head -n 1)
[ -n "$log" ] && tr -d '\r' <"$log"
echo "(log file: $logdir\\$(basename "${log:-none}"))"
