#!/bin/sh
# Runs a Windows program under Wine in the build tree's private prefix, never ~/.wine.
# VEXLO_WINEPREFIX names the prefix (set by the test fixtures); the default is the
# prefix beside the build tree's CTestTestfile, found from the current directory.
set -e
prefix=${VEXLO_WINEPREFIX:-}
if [ -z "$prefix" ]; then
  dir=$(pwd)
  while [ "$dir" != / ] && [ ! -d "$dir/wineprefix" ] && [ ! -f "$dir/CMakeCache.txt" ]; do
    dir=$(dirname "$dir")
  done
  prefix="$dir/wineprefix"
fi
export WINEPREFIX="$prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml="
# Only tests that read message boxes get a display; everything else must never
# block on a window.
if [ -n "${VEXLO_NEEDS_DISPLAY:-}" ] && [ -f "$prefix.display" ]; then
  DISPLAY=$(cat "$prefix.display"); export DISPLAY
else
  unset DISPLAY
fi
# Now and then Wine ends a start before the program runs: exit status 1 and
# no output at all (2 of about 8,600 starts of a program that prints a line;
# a test then fails in 0.01 s with nothing to show). A test program prints
# its header before it can fail (VEXLO_TEST_PROGRAM, set by the test
# registration), so such a start is tried once more.
if [ -n "${VEXLO_TEST_PROGRAM:-}" ]; then
  output=$(mktemp) status_file=$(mktemp)
  trap 'rm -f "$output" "$status_file"' EXIT
  for attempt in 1 2; do
    { status=0; wine "$@" 2>&1 || status=$?; echo "$status" >"$status_file"; } | tee "$output"
    status=$(cat "$status_file")
    if [ "$status" != 1 ] || [ -s "$output" ] || [ "$attempt" = 2 ]; then exit "$status"; fi
    echo "wine-run.sh: Wine ended the start before the program printed anything; starting it again" >&2
  done
fi
exec wine "$@"
