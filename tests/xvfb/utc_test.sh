#!/bin/bash
# "Время UTC" on a real X server (Xvfb) with the computer's clock in a zone
# ten hours east of Greenwich, shortly after local midnight, so that the
# local date and the UTC date differ: the box is checked in "Установка даты
# и времени" with the mouse, "Установить" pressed; options.ini then holds
# [Clock] UTC = 1, the title clock reads the UTC date with "UTC" after the
# time, and a contact typed with a portable call sign (the "/" key) stands in
# the report with the UTC date and time. After a restart the choice holds:
# the title says UTC again and the next contact is stamped in UTC too.
#
# The clock is fixed from outside with libfaketime when it is installed (and
# the program is not a sanitizer build) at 2010-03-08 01:10:00 local time,
# which is 2010-03-07 15:10 UTC. Otherwise the stamps must match the system's
# UTC clock around Enter.
#
# usage: utc_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>
set -u

source "$(dirname "$0")/lib.sh" || { echo "FAIL: $(dirname "$0")/lib.sh is missing"; exit 1; }
xvfb_test_init utc_test "$@"
start_display
export TZ="<+10>-10"  # ten hours east of UTC, no summer time, no zone files needed

REPORT="$WORK/run/utc.cbr"
entry() {  # the entry row of the given sent exchange
  printf 'QSO: 14200 CW                 RA3ABC        %-11s%-14s%-11s ' "$1" "" ""
}
printf '%s\r\n' "START-OF-LOG: 3.0" "CREATED-BY: Corvane v7.0" "CALLSIGN: RA3ABC" \
  "$(entry 599001)" "END-OF-LOG: " >"$REPORT"
printf '[Main]\r\nFile = %s\r\n' "$REPORT" >"$WORK/run/corvane.ini"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -1)
CLOCK_ENV=()
if [ -n "$FAKETIME_LIB" ] && ! ldd "$CORVANE" 2>/dev/null | grep -q 'lib[at]san'; then
  CLOCK_ENV=(LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@2010-03-08 01:10:00" FAKETIME_DONT_FAKE_MONOTONIC=1)
  echo "note: clock fixed at 2010-03-08 01:10:00 in UTC+10 by libfaketime"
else
  echo "note: libfaketime not used; the stamps are checked against the system's UTC clock"
fi

# contact_is <n> <call> <sent> <dates> <hhmm texts> <seconds>: waits until
# QSO line n (1-based) holds that call sign and sent exchange and is followed
# by the next entry row; then its date and time must be one of those given.
contact_is() {
  "$PYTHON" - "$REPORT" "$@" <<'PYTHON'
import sys, time
path, n, call, sent, dates, times, timeout = sys.argv[1:8]
n, timeout = int(n), float(timeout)
deadline, qsos = time.monotonic() + timeout, []
while time.monotonic() < deadline:
    try:
        lines = open(path, "rb").read().decode("latin-1").split("\r\n")
    except OSError:
        lines = []
    qsos = [line for line in lines if line.startswith("QSO: ")]
    if len(qsos) == n + 1 and qsos[n - 1][55:69].strip() == call and lines[-2:] == ["END-OF-LOG: ", ""]:
        line = qsos[n - 1]
        date, hhmm = line[14:24], line[25:29]
        ok = date in dates.split(",") and hhmm in times.split(",") and line[44:55].strip() == sent
        print("%s: contact %d stamped %s %s (%s)" % ("PASS" if ok else "FAIL", n, date, hhmm,
                                                     "UTC expected: %s %s" % (dates, times)))
        sys.exit(0 if ok else 1)
    time.sleep(0.05)
print("FAIL: the report never held contact %d with %s; its QSO lines:" % (n, call))
for line in qsos:
    print("    |%s|" % line)
sys.exit(1)
PYTHON
}

# utc_stamps: the dates and hhmm texts a stamp made now may carry.
utc_stamps() {
  if [ ${#CLOCK_ENV[@]} -gt 0 ]; then
    STAMP_DATES=2010-03-07
    STAMP_TIMES=1510,1511,1512
  else
    local now
    now=$(date +%s)
    STAMP_DATES="$(date -u -d "@$now" +%Y-%m-%d),$(date -u -d "@$((now + 60))" +%Y-%m-%d)"
    STAMP_TIMES="$(date -u -d "@$now" +%H%M),$(date -u -d "@$((now + 60))" +%H%M)"
  fi
}

# title_says_utc <what>: within a few ticks the title clock reads the UTC
# date and ends in "UTC".
title_says_utc() {
  local title="" want_date
  want_date=$(date -u +%Y-%m-%d)
  [ ${#CLOCK_ENV[@]} -gt 0 ] && want_date=2010-03-07
  for _ in $(seq 30); do
    title=$(xdotool getwindowname "$WINDOW" 2>/dev/null)
    [[ "$title" == *"Date: $want_date"*" UTC" ]] && break
    sleep 0.2
  done
  echo "title: '$title'"
  if [[ "$title" == *"Date: $want_date     Time: "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]" UTC" ]]; then
    pass "$1: the title clock reads the UTC date $want_date with UTC after the time"
  else
    fail "$1: the title clock does not read UTC"
  fi
}

# ---- run 1: UTC chosen in the dialog, a contact logged ---------------------
start_program "${CLOCK_ENV[@]}"
if ! wait_main_window; then
  fail "no window titled 'Corvane v7.0'"
  cat "$WORK/corvane.log"
  finish_test
fi
xhelper wait-green "$((WIN_X + 35))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 >/dev/null ||
  fail "no green current cell within 10 s"
shot opened
measure_menu_bar opened
cp "$WORK/run/corvane.ini" "$WORK/corvane.ini.before"  # as start-up rewrote it
if [ -e "$WORK/run/options.ini" ]; then
  fail "options.ini exists before anything was chosen"
else
  pass "no options.ini before anything was chosen: local time"
fi

TITLE="Установка даты и времени"
# Файл > Отчёт > Параметры: its first entry "Дата и время".
if open_menu Right Right Return && DIALOG=$(find_window "^$TITLE\$" 10) && [ -n "$DIALOG" ]; then
  pass "the date and time dialog opened from the menu"
  DX=$(((SCREEN_W - 372) / 2))
  DY=$(((SCREEN_H - 150) / 2))
  wait_focus "$DIALOG" 5 || fail "the dialog did not get the keyboard"
  settle
  xdotool mousemove "$((DX + 90))" "$((DY + 90))" click 1  # the box "Время UTC"
  settle
  shot checked
  xdotool mousemove "$((DX + 186))" "$((DY + 122))" click 1  # "Установить"
  if window_gone "^$TITLE\$" 5; then
    pass "\"Установить\" closes the dialog"
  else
    fail "\"Установить\" did not close the dialog"
    xhelper close "$DIALOG"
  fi
else
  fail "no window titled '$TITLE'"
fi
if [ "$(cat "$WORK/run/options.ini" 2>/dev/null)" = $'[Clock]\r\nUTC = 1\r' ]; then
  pass "options.ini holds [Clock] UTC = 1"
else
  fail "options.ini does not hold the choice:"
  cat -A "$WORK/run/options.ini" 2>/dev/null | sed 's/^/    |/'
fi
if cmp -s "$WORK/run/corvane.ini" "$WORK/corvane.ini.before"; then
  pass "corvane.ini keeps its bytes"
else
  fail "corvane.ini changed with the choice"
fi
title_says_utc "run 1"

# The entry row's call sign, a portable call with "/", the received
# exchange, Enter.
wait_focus "$WINDOW" 5 || focus_main
xdotool mousemove 5 5
xdotool key --delay 60 Next Tab
xdotool type --delay 60 "ra3a/p"
xdotool key --delay 60 Tab
xdotool type --delay 60 "599042"
utc_stamps
xdotool key Return
contact_is 1 RA3A/P 599001 "$STAMP_DATES" "$STAMP_TIMES" 10
FAILURES=$((FAILURES + $?))
shot logged
xhelper close "$WINDOW"
wait_exit "the close button"

# ---- run 2: the choice holds after a restart --------------------------------
start_program "${CLOCK_ENV[@]}"
if wait_opened_report "second start"; then
  title_says_utc "second start"
  focus_main
  xdotool mousemove 5 5
  xdotool key --delay 60 Next Tab
  xdotool type --delay 60 "ua9xyz"
  utc_stamps
  xdotool key Return
  contact_is 2 UA9XYZ 599002 "$STAMP_DATES" "$STAMP_TIMES" 10
  FAILURES=$((FAILURES + $?))
  shot restarted
  xhelper close "$WINDOW"
  wait_exit "the close button (second start)"
fi

if [ "$FAILURES" -ne 0 ]; then
  echo "program output:"
  tail -n 20 "$WORK/corvane.log"
fi
keep_shots utc_ checked restarted
finish_test
