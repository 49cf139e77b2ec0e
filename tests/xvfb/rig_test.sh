#!/bin/bash
# The real program following a radio on a real X server: Hamlib's dummy radio
# served by rigctld on a loopback port, options.ini naming Hamlib's network
# model on that port. Tuned with rigctl, the entry row takes the band and
# mode on the program's own one-second timer and they reach the report file;
# with the daemon killed the status line turns red (the warning) while the
# clock in the title goes on; with the daemon back the readings come back.
# Then "Параметры > Трансивер" opens the dialog, kept as dialog_rig.png, with
# the main window and its warning as rig_silent.png.
#
# usage: rig_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>
set -u

source "$(dirname "$0")/lib.sh" || { echo "FAIL: $(dirname "$0")/lib.sh is missing"; exit 1; }
xvfb_test_init rig_test "$@"
for tool in rigctld rigctl; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (Debian: libhamlib-utils)"
    exit 0
  fi
done

RIGCTLD_PID=""
stop_rigctld() {
  [ -n "$RIGCTLD_PID" ] || return 0
  kill -9 "$RIGCTLD_PID" 2>/dev/null
  wait "$RIGCTLD_PID" 2>/dev/null
  RIGCTLD_PID=""
}
trap 'stop_rigctld; xvfb_cleanup' EXIT
PORT=$("$PYTHON" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
start_rigctld() {
  rigctld -m 1 -T 127.0.0.1 -t "$PORT" >>"$WORK/rigctld.log" 2>&1 &
  RIGCTLD_PID=$!
  for _ in $(seq 100); do
    "$PYTHON" -c "import socket; socket.create_connection(('127.0.0.1', $PORT), 1)" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "rigctld does not listen on $PORT"
  return 1
}
tune() { timeout 10 rigctl -m 2 -r "127.0.0.1:$PORT" "$@" >/dev/null 2>&1 || fail "rigctl $*"; }

start_display
REPORT="$WORK/run/rig.cbr"
printf '%s\r\n' "START-OF-LOG: 3.0" "CREATED-BY: Corvane v7.0" "CALLSIGN: RA3ABC" \
  "QSO: 3500  CW                 RA3ABC        599001                               " \
  "END-OF-LOG: " >"$REPORT"
printf '[Main]\r\nFile = %s\r\n' "$REPORT" >"$WORK/run/corvane.ini"
printf '[Rig]\r\nModel = 2\r\nPort = 127.0.0.1:%s\r\n' "$PORT" >"$WORK/run/options.ini"

# entry_row_is <band> <mode> <seconds>: waits until the report's QSO line
# starts with that band and mode; prints the milliseconds it took.
entry_row_is() {
  "$PYTHON" - "$REPORT" "$1" "$2" "$3" <<'PYTHON'
import sys, time
path, band, mode, timeout = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
want = "QSO: %-6s%-3s" % (band, mode)
start = time.monotonic()
line = ""
while time.monotonic() < start + timeout:
    try:
        qsos = [l for l in open(path, "rb").read().decode("latin-1").split("\r\n") if l.startswith("QSO: ")]
    except OSError:
        qsos = []
    line = qsos[-1] if qsos else ""
    if line.startswith(want):
        print(int((time.monotonic() - start) * 1000))
        sys.exit(0)
    time.sleep(0.02)
print("never; the row is |%s|" % line)
sys.exit(1)
PYTHON
}

# status_red <shot> <seconds>: true once the status line shows the warning's red.
status_red() {
  local deadline=$(($(date +%s) + $2))
  while :; do
    shot "$1"
    xhelper check "$WORK/$1.ppm" "$WIN_X" "$((WIN_Y + MENU_H))" "14:483:255,0,0:status line" \
      >/dev/null && return 0
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

start_rigctld || finish_test
start_program
if ! wait_main_window; then
  fail "no window titled 'Corvane v7.0'"
  cat "$WORK/corvane.log"
  finish_test
fi
xhelper wait-green "$((WIN_X + 35))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 >/dev/null ||
  fail "no green current cell within 10 s"
shot start
measure_menu_bar start

tune F 14025000 M USB 0
if took=$(entry_row_is 14025 PH 3); then
  pass "tuned to 14025 kHz USB: the report's entry row says 14025 PH after $took ms"
else
  fail "the entry row did not follow the radio to 14025 PH: $took"
fi

stop_rigctld
KILLED_NS=$(date +%s%N)
TITLE_BEFORE=$(xdotool getwindowname "$WINDOW")
if status_red silent 4; then
  pass "rigctld killed: the status line shows the warning after $((($(date +%s%N) - KILLED_NS) / 1000000)) ms"
else
  fail "rigctld killed: no warning in the status line within 4 s"
fi
sleep 1.2
if [ "$(xdotool getwindowname "$WINDOW")" != "$TITLE_BEFORE" ]; then
  pass "with the radio gone the clock in the title goes on"
else
  fail "the title's clock stood still with the radio gone"
fi
keep_window_shot silent rig_silent "$WIN_X" "$WIN_Y" "$MAIN_W" "$((MAIN_H + MENU_H))"

start_rigctld
tune F 21074000 M LSB 0
if took=$(entry_row_is 21074 PH 5); then
  pass "rigctld back: the entry row says 21074 PH after $took ms"
else
  fail "the readings did not come back: $took"
fi
shot back
xhelper check "$WORK/back.ppm" "$WIN_X" "$((WIN_Y + MENU_H))" "14:483:255,0,0:status line" \
  >/dev/null && fail "the warning stayed with the radio back"

# ---- "Трансивер" ------------------------------------------------------------
BACK=$(xhelper colour "$WORK/start.ppm" "$((WIN_X + MAIN_W - 10))" "$((WIN_Y + 3))")
if open_menu Right Right Down Down Return; then  # "Параметры", its third entry
  DIALOG=$(find_window '^Трансивер$' 10)
  if [ -z "$DIALOG" ]; then
    fail "no window titled 'Трансивер'"
  else
    pass "'Трансивер' opened from the menu"
    check_centred "$DIALOG" "rig dialog" 520 230
    sleep 0.5
    shot dialog
    xhelper drawn "$WORK/dialog.ppm" "$DX" "$DY" "$BACK" "110:20:390:22:model list" \
      "110:55:160:22:port field" "190:170:140:25:button 'Сохранить'"
    FAILURES=$((FAILURES + $?))
    keep_window_shot dialog dialog_rig "$DX" "$DY" 520 230
    xdotool key Escape
    window_gone '^Трансивер$' 5 || fail "Escape did not close 'Трансивер'"
  fi
fi

xhelper close "$WINDOW"
wait_exit "the close button"
keep_shots rig_
finish_test
