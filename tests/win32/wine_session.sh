#!/bin/bash
# The Wine session the Windows tests run in: a private X server, a fresh Wine
# prefix and a Russian locale, all under one state folder of the build tree.
#
#   wine_session.sh <state-dir> start         # Xvfb, prefix, wineserver -p, one idle process
#   wine_session.sh <state-dir> run <exe> ... # the program under Wine in that session
#   wine_session.sh <state-dir> stop          # wineserver -k, our Xvfb and idle process gone
#
# CTest runs start and stop as the set-up and clean-up of a fixture and every
# Windows test through run (the targets' cross-compiling emulator). Wine is
# never run without WINEPREFIX, and nothing outside the state folder is used:
# the X display is one Xvfb picks itself (-displayfd), never the user's.
set -u

STATE=$(realpath -m "${1:?usage: wine_session.sh <state-dir> start|run|stop ...}")
ACTION=${2:?usage: wine_session.sh <state-dir> start|run|stop ...}
shift 2

PREFIX=$STATE/prefix
LOCALES=$STATE/locale
DISPLAY_FILE=$STATE/display
XVFB_PID_FILE=$STATE/xvfb.pid
IDLE_PID_FILE=$STATE/idle.pid

wine_environment() {
  export WINEPREFIX=$PREFIX
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset WINEARCH LC_ALL
}

# Wine in the Russian locale (the shell itself keeps its own).
wine_ru() { env LOCPATH="$LOCALES" LANG=ru_RU.UTF-8 LC_NUMERIC=C "$@"; }

pid_alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }

stop_session() {
  if [ -d "$PREFIX" ]; then
    (wine_environment && wineserver -k) >/dev/null 2>&1
  fi
  local file pid
  for file in "$IDLE_PID_FILE" "$XVFB_PID_FILE"; do
    pid=$(cat "$file" 2>/dev/null || true)
    if pid_alive "$pid"; then kill "$pid" 2>/dev/null; fi
    rm -f "$file"
  done
  rm -f "$DISPLAY_FILE" "$STATE/idle.fifo"
  rm -rf "$PREFIX"
}

start_xvfb() {
  local fd_file=$STATE/displayfd
  rm -f "$fd_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fd_file" \
    </dev/null >"$STATE/xvfb.log" 2>&1 &
  echo $! >"$XVFB_PID_FILE"
  local waited=0
  while [ ! -s "$fd_file" ]; do
    if ! pid_alive "$(cat "$XVFB_PID_FILE")" || [ $waited -ge 100 ]; then
      echo "wine_session: Xvfb did not start (see $STATE/xvfb.log)" >&2
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  echo ":$(tr -dc 0-9 <"$fd_file")" >"$DISPLAY_FILE"
  rm -f "$fd_file"
}

start_session() {
  for tool in Xvfb wine wineserver wineboot localedef; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "wine_session: $tool is not installed" >&2
      return 1
    fi
  done
  stop_session
  mkdir -p "$STATE" "$LOCALES"
  if [ ! -d "$LOCALES/ru_RU.UTF-8" ]; then
    # Windows-1251 is the ANSI code page Wine takes from a Russian locale.
    localedef -i ru_RU -f UTF-8 "$LOCALES/ru_RU.UTF-8" >/dev/null 2>&1 ||
      { echo "wine_session: localedef ru_RU failed" >&2; return 1; }
  fi
  start_xvfb || return 1
  DISPLAY=$(cat "$DISPLAY_FILE")
  export DISPLAY
  wine_environment
  wine_ru wineboot -i >"$STATE/wineboot.log" 2>&1 || { echo "wine_session: wineboot failed" >&2; return 1; }
  # Wine's own fonts (Courier with Cyrillic, Marlett for the caption buttons)
  # belong in the prefix's Fonts folder; a wineboot without the 32-bit half
  # leaves it empty, and every face would then fall back to one sans font.
  local fonts=$PREFIX/drive_c/windows/Fonts data
  for data in /usr/share/wine/fonts /usr/lib/wine/fonts; do
    if [ -d "$data" ] && [ -d "$fonts" ] && [ -z "$(ls -A "$fonts")" ]; then
      ln -s "$data"/* "$fonts"/
    fi
  done
  # Without a window manager Wine draws the frames itself.
  wine_ru wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  wineserver -p </dev/null >/dev/null 2>&1
  # One idle Wine process keeps the background services up (started here with
  # their output to /dev/null), so a test's own output closes when it ends.
  # Nothing left running holds this script's output either: CTest waits for it.
  mkfifo "$STATE/idle.fifo"
  sleep 100000 </dev/null >"$STATE/idle.fifo" 2>/dev/null &
  echo $! >"$IDLE_PID_FILE"
  wine_ru wine cmd.exe <"$STATE/idle.fifo" >/dev/null 2>&1 &
  disown -a
  wine_ru wine cmd.exe /c exit >/dev/null 2>&1 # returns once the services answer
}

case "$ACTION" in
  start)
    start_session
    ;;
  stop)
    stop_session
    ;;
  run)
    if [ ! -s "$DISPLAY_FILE" ] || [ ! -d "$PREFIX" ]; then
      echo "wine_session: no session in $STATE (the wine_session_start test sets it up)" >&2
      exit 1
    fi
    DISPLAY=$(cat "$DISPLAY_FILE")
    export DISPLAY
    wine_environment
    exec env LOCPATH="$LOCALES" LANG=ru_RU.UTF-8 LC_NUMERIC=C wine "$@"
    ;;
  *)
    echo "wine_session: unknown action $ACTION" >&2
    exit 2
    ;;
esac
