#!/usr/bin/env bash
# Builds everything and runs every test: natively (sanitizers, Java runtime),
# under Wine in a private prefix that the run creates and removes, a short
# fuzzing pass, and the release archives.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh || exit 1
status=0
# A short fuzzing pass over the parsers of outside input (longer runs: scripts/fuzz.sh 600).
bash scripts/fuzz.sh 10 || status=1
ctest --preset host || status=1
ctest --preset windows || status=1
# The release archives, made by the product-only build and used as a user would.
{ bash scripts/package.sh && bash tests/package/archive_test.sh; } || status=1
exit $status
