#!/usr/bin/env bash
# Where the launcher stub's bytes go: builds vexlo-service.exe and the same
# stub unstripped with a linker map (target vexlo-service-map), then ranks the
# map by section, library, object, symbol and repeated local copies.
# Usage: scripts/stub-size.sh [rows per table, default 40]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows --target vexlo-service vexlo-service-map >/dev/null
echo "vexlo-service.exe: $(stat -c %s build/windows/vexlo-service.exe) bytes (stripped)"
python3 scripts/map_rank.py build/windows/vexlo-service.map "${1:-40}"
