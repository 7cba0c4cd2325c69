#!/bin/sh
# Test fixture: "up PREFIX [--service-log [KEEPER]]" creates the private Wine
# prefix, starts a persistent wineserver (installed services survive between
# wine commands), an Xvfb display for message-box tests and, with KEEPER (the
# path of desktop_keeper.exe), a process that holds the prefix's desktop on
# that display for the whole run; "down PREFIX" stops only this prefix's
# processes.
#
# --service-log turns the launcher log on for services: the service control
# manager gives services a fresh environment from the registry, computed once
# at its first service start, so VEXLO_LOG=yes goes into the system environment
# before any service starts. Processes started from the shell see it too; the
# test fixtures set the log switch explicitly for every launcher they run.
set -u
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml="
unset DISPLAY
case "$action" in
up)
  # A server left running by an interrupted run would make "wineserver -w"
  # below wait for ever: start from no server at all.
  wineserver -k 2>/dev/null || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
  fi
  # wineboot leaves a server that exits when idle, and "wineserver -p" only
  # connects to a running server: let that one end first. A server that ends
  # takes services.exe and the services installed by a test with it.
  wineserver -w 2>/dev/null || true
  if [ "${3:-}" = "--service-log" ]; then
    wine reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
      /v VEXLO_LOG /t REG_SZ /d yes /f </dev/null >/dev/null 2>&1
    wineserver -w 2>/dev/null || true
  fi
  # Its output must not be a pipe: the server would hold it open for ever.
  wineserver -p </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1   # starts services.exe now
  # Again, on the server that runs services.exe: should the one above have
  # been a server still on its way out, a server that is not persistent ends
  # with the first gap between test processes and leaves the rest hanging.
  wineserver -p </dev/null >/dev/null 2>&1
  if command -v Xvfb >/dev/null 2>&1; then
    if [ -f "$WINEPREFIX.xvfb.pid" ]; then kill "$(cat "$WINEPREFIX.xvfb.pid")" 2>/dev/null || true; fi
    # -displayfd picks a free display number and reports it once the server is up.
    fifo="$WINEPREFIX.displayfd"; rm -f "$fifo"; mkfifo "$fifo"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$fifo" </dev/null >/dev/null 2>&1 &
    echo $! >"$WINEPREFIX.xvfb.pid"
    # A server that fails to start closes the descriptor without a number:
    # then there is no display file and the message-box tests skip.
    number=
    read -r number <"$fifo"; rm -f "$fifo"
    rm -f "$WINEPREFIX.display"
    if [ -n "$number" ]; then echo ":$number" >"$WINEPREFIX.display"; fi
  fi
  # Wine starts the prefix's desktop with the environment of the first process
  # that needs it and ends it a few seconds after its last user. Started by a
  # test without DISPLAY it has no display driver, and while it lives no
  # process gets a window or a message box, the display tests' included. The
  # keeper holds it on the display from before the first test; it ends with
  # the server.
  keeper=${4:-}
  if [ -n "$keeper" ] && [ -f "$keeper" ] && [ -f "$WINEPREFIX.display" ]; then
    ready="$WINEPREFIX.desktop-ready"; rm -f "$ready"
    DISPLAY=$(cat "$WINEPREFIX.display") wine "$keeper" "Z:$ready" </dev/null >/dev/null 2>&1 &
    keeper_pid=$!
    waited=0
    while [ ! -f "$ready" ] && kill -0 "$keeper_pid" 2>/dev/null && [ "$waited" -lt 600 ]; do
      sleep 0.1; waited=$((waited + 1))
    done
    if [ -f "$ready" ]; then rm -f "$ready"; else echo "the desktop keeper did not start: display tests may fail" >&2; fi
  fi
  echo "wine prefix ready: $WINEPREFIX"
  ;;
down)
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ -f "$WINEPREFIX.xvfb.pid" ]; then
    kill "$(cat "$WINEPREFIX.xvfb.pid")" 2>/dev/null || true
    rm -f "$WINEPREFIX.xvfb.pid" "$WINEPREFIX.display"
  fi
  # The prefix is about 700 MB; a test run leaves nothing behind.
  rm -rf "$WINEPREFIX"
  echo "wine prefix removed"
  ;;
esac
