#!/bin/bash
# The main window as the README's guide shows it: a report of six contacts on
# two bands over two sub-tours opens at start-up, the informer offers the two
# stations of the band not yet worked in this sub-tour, a call sign typed
# again in this sub-tour turns the status line red, and the window is kept as
# main-window.png in the artefacts folder (the guide's docs/main-window.png
# is a copy of one such run). The clock is fixed with libfaketime; without it
# (or in a sanitizer build) the test is skipped.
#
# usage: guide_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>
set -u

source "$(dirname "$0")/lib.sh" || { echo "FAIL: $(dirname "$0")/lib.sh is missing"; exit 1; }
xvfb_test_init guide_test "$@"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -1)
if [ -z "$FAKETIME_LIB" ] || ldd "$CORVANE" 2>/dev/null | grep -q 'lib[at]san'; then
  echo "SKIPPED: the clock cannot be fixed (no libfaketime, or a sanitizer build)"
  exit 0
fi
CLOCK_ENV=(LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@2010-03-07 09:41:02" FAKETIME_DONT_FAKE_MONOTONIC=1)

start_display
copy_picture
REPORT="$WORK/run/RDXC2010.CBR"
printf '[Main]\r\nFile = %s\r\nTimeMin = 30\r\n' "$REPORT" >"$WORK/run/corvane.ini"
"$PYTHON" - "$REPORT" <<'PYTHON'
import sys
OWN = "RA3ABC"
def qso(band, mode, hhmm, sent, call, received, date="2010-03-07"):
    fields = [("QSO: ", 5), (band, 6), (mode, 3), (date if hhmm else "", 11), (hhmm, 5),
              (OWN, 14), (sent, 11), (call, 14), (received, 11), (" ", 1)]
    return "".join(text[:width].ljust(width) for text, width in fields)
lines = ["START-OF-LOG: 3.0", "CREATED-BY: Corvane v7.0", "CONTEST: RDXC",
         "CALLSIGN: " + OWN, "CATEGORY-OPERATOR: SINGLE-OP",
         # first sub-tour, 09:00-09:29
         qso("3500", "CW", "0902", "599001", "UA1AAA", "599017"),
         qso("3500", "CW", "0905", "599002", "RW6BB", "599121"),
         qso("3500", "CW", "0911", "599003", "RK3DX", "599044"),
         qso("7000", "CW", "0920", "599004", "UA1AAA", "599018"),
         # this sub-tour, 09:30-09:59
         qso("3500", "CW", "0933", "599005", "UA1AAA", "599019"),
         qso("3500", "CW", "0938", "599006", "R7AB", "599210"),
         qso("3500", "CW", "", "599007", "", ""),
         "END-OF-LOG: "]
open(sys.argv[1], "wb").write("".join(l + "\r\n" for l in lines).encode("ascii"))
PYTHON

# Pixels of a client-area rectangle that differ from a colour.
marks() { xhelper count-not "$WORK/$1.ppm" "$(sx $2)" "$(sy $3)" $4 $5 $6; }

start_program "${CLOCK_ENV[@]}"
if ! wait_main_window; then
  fail "no main window"
  cat "$WORK/corvane.log"
  finish_test
fi
xhelper wait-green "$((WIN_X + 35))" "$((WIN_Y + 25))" "$((WIN_Y + 200))" "$START_NS" 10000 >/dev/null ||
  fail "no green current cell"
sleep 1.2 # a timer tick puts the own call sign in the station box
shot opened
measure_menu_bar opened
# The entry row is row 7: Page Down goes there, Tab to its call sign.
focus_main
xdotool key --delay 60 Next Tab
settle
shot entry
# Informer: RW6BB and RK3DX (3500 in the first sub-tour, not yet in this one),
# each in a cell of its own; the third cell stays empty.
[ "$(marks entry 553 26 110 12 "0 85 0")" -gt 20 ] && pass "informer offers a first station" ||
  fail "the first informer cell is empty"
[ "$(marks entry 553 41 110 12 "0 85 0")" -gt 20 ] && pass "informer offers a second station" ||
  fail "the second informer cell is empty"
[ "$(marks entry 553 56 110 12 "0 85 0")" -eq 0 ] && pass "informer holds nothing more" ||
  fail "a third informer entry (UA1AAA or R7AB are worked in this sub-tour)"
[ "$(marks entry 12 482 520 14 "255 0 0")" -eq $((520 * 14)) ] && pass "no red status line before the repeat" ||
  fail "the status line is red before the repeat"

xdotool type --delay 60 "ua1aaa"
settle
shot repeat
check repeat "300:487:255,0,0:status line red: UA1AAA is worked in this sub-tour on 3500"
[ "$(marks repeat 184 $((15 * 7 + 11)) 98 12 "0 255 0")" -gt 20 ] &&
  pass "the call sign stands in the entry row" || fail "the entry row's call sign is empty"
keep_window_shot repeat main-window "$WIN_X" "$WIN_Y" "$MAIN_W" "$MAIN_H"

xdotool key --delay 40 BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
xhelper close "$WINDOW"
wait_exit "the close button"
keep_shots guide_ opened
finish_test
