#!/usr/bin/env bash
# Builds everything and runs every test: natively (sanitizers, Java runtime)
# and under Wine in a private prefix that the run creates and removes.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh || exit 1
status=0
ctest --preset host || status=1
ctest --preset windows || status=1
exit $status
