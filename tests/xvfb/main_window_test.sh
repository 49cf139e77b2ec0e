#!/bin/bash
# The real program on a real X server (Xvfb): the main window opens centred
# and titled "Corvane v7.0", real key presses reach the event loop as the
# right codes (typing, Alt+letter, Alt alone, Tab, the keypad with and without
# Num Lock, a Russian layout), a click selects a cell, the screenshot shows
# the blue headers, the black grid and the green current cell, and both the
# close button and "Выход" end the process with code 0. Prints the start-up
# time and the resident memory after start-up.
#
# usage: main_window_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>
set -u

source "$(dirname "$0")/lib.sh" || { echo "FAIL: $(dirname "$0")/lib.sh is missing"; exit 1; }
xvfb_test_init main_window_test "$@"
start_display
copy_picture

# Pixels of the call-sign cell of row 1 (inside, clear of the border) that differ from a colour.
CELL_X=184 CELL_Y=26 CELL_W=98 CELL_H=12
cell_marks() { xhelper count-not "$WORK/$1.ppm" "$(sx $CELL_X)" "$(sy $CELL_Y)" $CELL_W $CELL_H $2; }
same_cell() {
  xhelper same-region "$WORK/$1.ppm" "$WORK/$2.ppm" "$(sx $CELL_X)" "$(sy $CELL_Y)" $CELL_W $CELL_H
}

# ---- run 1: start-up, drawing, keys, clicks, the close button --------------
start_program
# The current cell is painted green inside the first wait for an event.
STARTUP_MS=$(xhelper wait-green "$((WIN_X + 233))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000)
if [ -z "$STARTUP_MS" ]; then
  fail "no green current cell within 10 s"
  cat "$WORK/corvane.log"
  exit 1
fi
STARTUP_CPU_MS=$(awk -v tick="$(getconf CLK_TCK)" '{print int(($14 + $15) * 1000 / tick)}' "/proc/$APP_PID/stat")
if ! wait_main_window; then
  fail "no window titled 'Corvane v7.0'"
  exit 1
fi
sleep 1  # the first timer tick has written the station box
RSS_KB=$(awk '/^VmRSS/ {print $2}' "/proc/$APP_PID/status")

check_centred "$WINDOW" "main window" "$MAIN_W" "$MAIN_H"
check_window_icon "$WINDOW" "main window"
TITLE=$(xdotool getwindowname "$WINDOW")
case "$TITLE" in
  "Corvane v7.0"*) pass "title '$TITLE'" ;;
  *) fail "title '$TITLE'" ;;
esac

shot start
measure_menu_bar start
check start "185:8:0,0,255:blue header 'Позывной'" "12:8:0,0,255:blue header 'Время'" \
  "552:8:0,221,0:informer header" "12:42:0,0,0:black grid cell row 2 column 1" \
  "300:460:0,0,0:black grid cell row 30 column 5" "186:27:0,255,0:green current cell row 1 column 4" \
  "280:37:0,255,0:green current cell, far corner" "287:27:0,0,0:black cell row 1 column 5" \
  "553:27:0,85,0:informer cell" "554:484:255,204,204:station box"
[ "$(cell_marks start "0 255 0")" -eq 0 ] && pass "empty call-sign cell" || fail "call-sign cell not empty"

focus_main
xdotool type --delay 40 "ua3a"
settle
shot typed
if [ "$(cell_marks typed "0 255 0")" -gt 20 ]; then pass "typed letters show in the call-sign cell"; else fail "typing changed nothing"; fi

xdotool key --delay 40 BackSpace BackSpace BackSpace BackSpace
settle
shot erased
[ "$(cell_marks erased "0 255 0")" -eq 0 ] && pass "Backspace (8) erases" || fail "Backspace left marks"

# Alt held over A: 260 and 261 only, no letter typed (the informer is empty).
xhelper keys +64 +38 -38 -64
settle
shot alt_letter
[ "$(cell_marks alt_letter "0 255 0")" -eq 0 ] && pass "Alt+A types nothing" || fail "Alt+A typed a letter"

# Alt alone must leave the menu bar alone: the letters after it still reach the grid.
xhelper keys +64 -64
xdotool type --delay 40 "ua3a"
settle
shot after_alt
same_cell after_alt typed && pass "Alt alone does not take the keyboard" || fail "keys after Alt alone did not type UA3A"
xdotool key --delay 40 BackSpace BackSpace BackSpace BackSpace

# A Russian layout: the same key positions must give the same letters.
setxkbmap ru
sleep 0.3
xhelper keys +30 -30 +38 -38 +12 -12 +38 -38
settle
setxkbmap us
sleep 0.3
shot russian
same_cell russian typed && pass "Russian layout types UA3A by key position" || fail "Russian layout did not type UA3A"

# Tab (9) toggles between the call sign and the received exchange; no focus moves.
xdotool key Tab
settle
shot tab1
check tab1 "388:27:0,255,0:Tab: received exchange is current" \
  "186:27:0,0,0:Tab: call sign is no longer current"
xdotool key Tab
settle
shot tab2
check tab2 "186:27:0,255,0:second Tab: back on the call sign"

# Keypad without Num Lock: navigation keys (KP4 = Left 37, KP6 = Right 39).
xhelper keys +83 -83
settle
shot keypad_left
check keypad_left "134:27:0,255,0:keypad 4 without Num Lock moves left"
xhelper keys +85 -85
# With Num Lock: keypad digits 96..105 type digits.
xhelper keys +77 -77 +87 -87 +88 -88 +77 -77
settle
shot keypad_digits
xdotool key --delay 40 BackSpace BackSpace
xdotool type --delay 40 "12"
settle
shot main_digits
if same_cell keypad_digits main_digits && ! same_cell keypad_digits russian; then
  pass "keypad 1 2 with Num Lock type the digits 1 2"
else
  fail "keypad digits with Num Lock"
fi

# A click selects a cell: the mouse position is taken in the client area.
xdotool mousemove "$(sx 420)" "$(sy 30)" click 1
settle
shot click
check click "388:27:0,255,0:click on row 1 column 6 selects it"

# The log holds typing and no report file: the close button asks first.
# Cancel goes back to the log; No ends the program.
xhelper close "$WINDOW"
answer_end_question "the close button" Escape
if window_gone '^Corvane v7\.0$' 5 && kill -0 "$APP_PID" 2>/dev/null; then
  pass "Cancel goes back to the log"
else
  fail "Cancel did not go back to the log"
fi
xhelper close "$WINDOW"
answer_end_question "the close button again" alt+Cyrillic_en
wait_exit "the close button"

# ---- run 2: the help window (a modal window), then "Выход" from "Файл" ----
start_program
if ! wait_main_window; then
  fail "second start: no window"
else
  xhelper wait-green "$((WIN_X + 233))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 >/dev/null
  open_menu Left  # Left wraps round from "Файл" to "Помощь"
  sleep 0.3
  shot menu_open
  xdotool key Return  # "Вызов справки"
  HELP=$(find_window '^Справка$' 10)
  if [ -z "$HELP" ]; then
    fail "the help window did not open"
  else
    sleep 0.3
    shot help
    check_help_window "$HELP" help "$PICTURE"
    xdotool key Escape
    if window_gone '^Справка$' 5; then
      pass "Escape closes the help window"
    else
      fail "Escape did not close the help window"
    fi
    # The main window has the keyboard again: typing reaches the grid (with
    # the pointer off the window, so that it is the focus that takes the keys).
    xdotool mousemove 5 5
    xdotool type --delay 40 "ua3a"
    settle
    shot after_help
    same_cell after_help typed && pass "keys reach the main window after the help window" ||
      fail "typing after the help window"
  fi
  open_menu Up Return  # the last entry of "Файл" is "Выход"
  answer_end_question "Выход" alt+Cyrillic_en
  wait_exit "Выход"
fi

keep_shots "" start typed russian click menu_open help

echo "start-up to the first wait (green current cell on screen): ${STARTUP_MS} ms wall, ${STARTUP_CPU_MS} ms CPU"
echo "resident memory after start-up: ${RSS_KB} kB"
echo "screenshots: $ARTEFACTS"
finish_test
