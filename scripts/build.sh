#!/usr/bin/env bash
# Configures and builds both presets: windows (MinGW-w64) and host (native).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in windows host; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
