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
exec wine "$@"
