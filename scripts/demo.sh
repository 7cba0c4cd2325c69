#!/usr/bin/env bash
# The main job: builds the demo service from examples/demo with vexlo-build and
# runs it under Wine's service control manager as an administrator would:
# the usage, install, start, status, the application's own output, stop, the service log,
# a start that fails, uninstall.
#
# No Windows Java runtime exists here, so the demo's runtime folder (jre\ beside
# the executable, found by the search sequence) holds the test suite's JVM
# bridge: a jvm.dll that runs the host's Java with what the launcher hands it.
# On Windows the same executable finds a real runtime by its search.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null || { echo "build failed" >&2; exit 1; }
command -v java >/dev/null || { echo "java not found" >&2; exit 1; }

demo=build/demo
rm -rf "$demo"; mkdir -p "$demo/jre/bin/server"
./build/host/vexlo-build build examples/demo/demo.toml -o "$demo/vexlo-demo.exe" \
  --stub build/windows/vexlo-service.exe >/dev/null || exit 1
cp build/host/examples/demo/demo.jar "$demo/"
# The bridge runtime: java.exe answers the version test with the host's version.
cp build/windows/tests/e2e/java_double.exe "$demo/jre/bin/java.exe"
echo "line=$(java -version 2>&1 | head -n 1)" >"$demo/jre/bin/java-double.txt"
cp build/windows/tests/e2e/jvm_double.dll "$demo/jre/bin/server/jvm.dll"
echo "host-java=$(readlink -f "$(command -v java)")" >"$demo/jre/bin/server/jvm-double.txt"

prefix=$(realpath "$demo")/wineprefix
# --service-log: the service and its child write launcher logs.
cmake/wine-prefix.sh up "$prefix" --service-log >/dev/null || exit 1
trap 'cmake/wine-prefix.sh down "$prefix" >/dev/null' EXIT
export VEXLO_WINEPREFIX=$prefix
exe="$demo/vexlo-demo.exe"

run() {
  echo "> vexlo-demo.exe $*"
  VEXLO_LOG= cmake/wine-run.sh "$exe" "$@" | tr -d '\r'
  echo "(exit code ${PIPESTATUS[0]})"
  echo
}
show() {  # a file of the demo folder, as the administrator would look at it
  echo "> type ${1//\//\\}"
  tr -d '\r' <"$demo/$1"
  echo
}

echo
run -help
run -install
run -status
run -start
# The application starts in the child; give it a few heartbeats.
for _ in $(seq 1 60); do
  grep -q "heartbeat 4" "$demo/demo-output.log" 2>/dev/null && break
  sleep 0.5
done
run -status
show demo-output.log
run -stop
show demo-output.log
show logs/vexlo-demo.service.log

# A start that fails: the required demo.jar is missing.
echo "> ren demo.jar demo.jar.away"
mv "$demo/demo.jar" "$demo/demo.jar.away"
echo
run -start
run -status
show logs/vexlo-demo.service.log
mv "$demo/demo.jar.away" "$demo/demo.jar"
run -uninstall
run -status

echo "> the service process's launcher log (in the service's %TMP%)"
log=$(grep -l "^service main" $(find "$prefix/drive_c" -name 'tvl_nlog_*' 2>/dev/null) 2>/dev/null | head -n 1)
[ -n "$log" ] && tr -d '\r' <"$log"
