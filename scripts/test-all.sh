#!/usr/bin/env bash
# Builds everything and runs every test: natively (sanitizers, Java runtime),
# under Wine in a private prefix that the run creates and removes, and a short
# fuzzing pass.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh || exit 1
status=0
# A short fuzzing pass over the parsers of outside input (longer runs: scripts/fuzz.sh 600).
bash scripts/fuzz.sh 10 || status=1
ctest --preset host || status=1
ctest --preset windows || status=1
exit $status
