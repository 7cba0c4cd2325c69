#!/usr/bin/env bash
# Runs N start/stop cycles of a launcher service under Wine's service control
# manager (default 20) and checks that no launcher process, temporary
# directory or service entry is left and the service process's handle count
# does not grow: bash scripts/soak.sh [N]
set -uo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null && cmake --build --preset windows >/dev/null || { echo "build failed" >&2; exit 1; }
# Wine hands the Linux environment on to the test process.
VEXLO_SOAK_CYCLES=${1:-20} ctest --preset windows -R 'SoakTest' -V | grep -E 'soak:|tests passed|Failure|Expected|Which is|Actual'
exit "${PIPESTATUS[0]}"
