#!/usr/bin/env bash
# Builds the product only (no tests, GoogleTest, benchmarks or sanitizers) with
# release flags and packs the release archives into build/packages:
#   vexlo-<version>-windows-x64.zip    vexlo-build.exe (MinGW-w64 build)
#   vexlo-<version>-linux-x64.tar.gz   vexlo-build for Linux
# each with the launcher stub, the runtime jars, docs/, the demo and the
# licences beside the builder. The Linux archive takes those from the Windows
# build, so the Windows build goes first.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build/packages
rm -f build/packages/vexlo-*
for preset in windows-release linux-release; do
  start=$SECONDS
  # A fresh cache each time: no setting left over from an earlier configure.
  cmake --workflow --preset "$preset" --fresh >"build/$preset.log" 2>&1 ||
    { tail -n 40 "build/$preset.log" >&2; echo "package: $preset failed (build/$preset.log)" >&2; exit 1; }
  echo "package: $preset built and packed in $((SECONDS - start)) s"
done
ls -l build/packages/vexlo-*
