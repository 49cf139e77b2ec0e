#!/usr/bin/env bash
# Runs a program of the Windows build under Wine, in the build's own Wine
# prefix, never in the user's:
#   run-under-wine.sh STATE-DIR PROGRAM.exe [ARGUMENT...]   run it (the test emulator)
#   run-under-wine.sh STATE-DIR --stop                      end the prefix's Wine server
# The prefix is made on first use (STATE-DIR/prefix). Its server is kept
# running, and its background services are started by a first program whose
# output goes nowhere, so that they hold no test's output pipe open (the test
# would otherwise wait for them for a second or more).
set -euo pipefail
state="$1"
shift
mkdir -p "$state"
export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "${1:-}" = "--stop" ]; then
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
  exit 0
fi

# What is started while the lock is held must not inherit it (8>&-): the
# server and the services outlive this script.
{
  flock 8
  if [ ! -f "$state/ready" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 8>&-
    # Without a window manager Wine draws the window frames itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 8>&-
    wineserver -w 8>&-
    touch "$state/ready"
  fi
  # A server already running for the prefix makes this return at once (with
  # a complaint), and so does this first program once the services are up.
  wineserver -p </dev/null >/dev/null 2>&1 8>&- || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 8>&- || true
} 8>"$state/lock"

exec wine "$@"
