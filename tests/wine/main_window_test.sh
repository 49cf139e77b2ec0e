#!/bin/bash
# The Windows program (corvane.exe) under Wine on the Windows tests' private
# X server: started in an empty folder it writes corvane.ini byte for byte as
# the Linux program does; its main window has the 798 x 530 client area with
# the menu bar inside it; the screenshot shows the blue headers, the black
# grid and the green current cell, a click on a cell selects it, and the
# help window shows the help picture found beside the program; a report
# with a Cyrillic name, named in corvane.ini, is opened at start-up, a contact
# typed with real key presses reaches it byte for byte as on Linux, and Alt
# pressed alone leaves the keys to the grid, as does the About box once it is
# answered; the close button ends the program with code 0.
#
# usage: main_window_test.sh <corvane.exe> <wine-session-state> <artefacts-dir>
# The session (tests/win32/wine_session.sh) must have been started.
set -u

WINE_LIB_DIR=$(cd "$(dirname "$0")" && pwd)
XVFB_DIR="$WINE_LIB_DIR/../xvfb"
SESSION="$WINE_LIB_DIR/../win32/wine_session.sh"
STATE=$(realpath -m "${2:-}")
source "$XVFB_DIR/lib.sh" || { echo "FAIL: $XVFB_DIR/lib.sh is missing"; exit 1; }
xvfb_test_init wine_main_window_test "$1" "" "${3:-}"
[ -s "$STATE/display" ] || { echo "FAIL: no Wine session in $STATE"; exit 1; }
# The session's server, not one of our own.
export DISPLAY
DISPLAY=$(cat "$STATE/display")
export TZ=UTC
export LC_NUMERIC=C

# start_wine_program: corvane.exe in $WORK/run under the session's Wine.
start_wine_program() {
  START_NS=$(date +%s%N)
  (cd "$WORK/run" && exec bash "$SESSION" "$STATE" run "$CORVANE") >>"$WORK/corvane.log" 2>&1 &
  APP_PID=$!
}

# Main window geometry: Wine draws the frame itself, so the X window is the
# outer window; the client area is its bottom 530 rows inside the frame.
OUTER_X=0 OUTER_Y=0 OUTER_W=0 OUTER_H=0 BORDER=0
measure_main_window() {
  read -r OUTER_X OUTER_Y OUTER_W OUTER_H <<<"$(window_geometry "$WINDOW")"
  BORDER=$(((OUTER_W - MAIN_W) / 2))
  WIN_X=$((OUTER_X + BORDER))
  WIN_Y=$((OUTER_Y + OUTER_H - BORDER - MAIN_H))
}

# The Linux program's corvane.ini of a first start: the bytes its own tests
# expect (tests/settings_test.cpp, kDefaultFile).
expected_first_ini() {
  "$PYTHON" - "$WINE_LIB_DIR/../settings_test.cpp" <<'PYTHON'
import ast, re, sys
source = open(sys.argv[1], encoding="utf-8").read()
body = re.search(r"kDefaultFile =\s*(.*?);", source, re.S).group(1)
text = "".join(ast.literal_eval(part) for part in re.findall(r'"(?:[^"\\]|\\.)*"', body))
sys.stdout.buffer.write(text.encode("ascii"))
PYTHON
}

# ---- run 1: the first start in an empty folder ------------------------------
start_wine_program
if ! wait_main_window; then
  fail "no window titled 'Corvane v7.0'"
  cat "$WORK/corvane.log"
  finish_test
fi
measure_main_window
STARTUP_MS=$(xhelper wait-green "$((WIN_X + 233))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000)
[ -n "$STARTUP_MS" ] && pass "green current cell after $STARTUP_MS ms" || fail "no green current cell within 10 s"
expected_first_ini >"$WORK/expected.ini"
if cmp -s "$WORK/expected.ini" "$WORK/run/corvane.ini"; then
  pass "corvane.ini of the first start is byte for byte the Linux program's"
else
  fail "corvane.ini differs from the Linux program's"
  diff <(od -c "$WORK/expected.ini") <(od -c "$WORK/run/corvane.ini") | head -20
fi

DX=$(((SCREEN_W - OUTER_W) / 2))
DY=$(((SCREEN_H - OUTER_H) / 2))
if [ "$OUTER_X" = "$DX" ] && [ "$OUTER_Y" = "$DY" ]; then
  pass "main window ${OUTER_W} x ${OUTER_H} centred at $OUTER_X,$OUTER_Y"
else
  fail "main window ${OUTER_W} x ${OUTER_H} at $OUTER_X,$OUTER_Y, not centred"
fi
sleep 1 # the first timer tick has written the station box
shot start
keep_window_shot start wine-main-window "$OUTER_X" "$OUTER_Y" "$OUTER_W" "$OUTER_H"
# The blue time header stands 6 px below the menu bar: found there, the bar
# is inside the 530 rows that end at the bottom frame.
measure_menu_bar start
check start "185:8:0,0,255:blue header 'Позывной'" "12:8:0,0,255:blue header 'Время'" \
  "552:8:0,221,0:informer header" "12:42:0,0,0:black grid cell row 2 column 1" \
  "300:460:0,0,0:black grid cell row 30 column 5" "186:27:0,255,0:green current cell row 1 column 4" \
  "280:37:0,255,0:green current cell, far corner" "287:27:0,0,0:black cell row 1 column 5" \
  "553:27:0,85,0:informer cell" "554:484:255,204,204:station box"

# A click on a grid cell (a label) reaches the program as WM_LBUTTONDOWN at
# its client position: row 1, column 6 becomes current.
xdotool mousemove "$(sx 420)" "$(sy 30)" click 1
settle
shot click
check click "388:27:0,255,0:click on row 1 column 6 selects it" "186:27:0,0,0:row 1 column 4 no longer current"

# "Вызов справки" shows the help picture found beside corvane.exe, its own
# pixels in the 700 x 390 client area of a window centred on the screen.
PICTURE_FILE="$(dirname "$CORVANE")/CORVANE.BMP"
xdotool mousemove "$((WIN_X + 185))" "$((WIN_Y + MENU_H / 2))" click 1
sleep 0.5
xdotool mousemove "$((WIN_X + 210))" "$((WIN_Y + MENU_H / 2 + 20))" click 1
HELP=$(find_window '^Справка$' 5)
if [ -z "$HELP" ]; then
  fail "no help window from the menu"
elif [ ! -f "$PICTURE_FILE" ] || ! "$CONVERT" "$PICTURE_FILE" -depth 8 "ppm:$WORK/picture.ppm"; then
  fail "no help picture beside $CORVANE"
else
  sleep 0.5
  shot help
  read -r HX HY HW HH <<<"$(window_geometry "$HELP")"
  HB=$(((HW - 700) / 2))
  [ "$HX" = "$(((SCREEN_W - HW) / 2))" ] && [ "$HY" = "$(((SCREEN_H - HH) / 2))" ] &&
    pass "help window $HW x $HH centred" || fail "help window at $HX,$HY ($HW x $HH), not centred"
  POINTS=()
  for point in "5 5" "350 195" "690 380" "100 300"; do
    read -r px py <<<"$point"
    POINTS+=("$px:$py:$(xhelper colour "$WORK/picture.ppm" "$px" "$py"):help picture pixel $px,$py")
  done
  check_at help "$((HX + HB))" "$((HY + HH - HB - 390))" "${POINTS[@]}"
  xdotool key Escape
  window_gone '^Справка$' 5 && pass "Escape closes the help window" || fail "the help window stayed"
fi

# The close button of the frame Wine draws: its top right corner.
xdotool mousemove "$((OUTER_X + OUTER_W - BORDER - 10))" "$((OUTER_Y + BORDER + 10))" click 1
wait_exit "the close button"

# ---- run 2: a report with a Cyrillic name opened at start-up ----------------
REPORT_NAME=$(printf 'Отчёт тест.cbr')
REPORT="$WORK/run/$REPORT_NAME"
# corvane.ini holds the Windows path in Windows-1251.
WIN_PATH="Z:$(tr '/' '\\' <<<"$REPORT")"
printf '[Main]\r\nFile = %s\r\n' "$(iconv -f UTF-8 -t CP1251 <<<"$WIN_PATH" | tr -d '\n')" \
  >"$WORK/run/corvane.ini"
"$PYTHON" "$WINE_LIB_DIR/cabrillo_check.py" write "$REPORT"

start_wine_program
if ! wait_main_window; then
  fail "second start: no window"
  cat "$WORK/corvane.log"
  finish_test
fi
measure_main_window
wait_opened_report "the report with a Cyrillic name" || finish_test
sleep 0.5
cp "$REPORT" "$WORK/original.cbr"
# Page Down goes to the entry row, Tab to its call sign.
focus_main
xdotool key --delay 60 Next Tab
xdotool type --delay 60 "r"
"$PYTHON" "$WINE_LIB_DIR/cabrillo_check.py" keystroke "$REPORT" 5 &&
  pass "the first keystroke rewrote the Cyrillic-named report whole" || FAILURES=$((FAILURES + 1))
if cmp -s "$REPORT.bak" "$WORK/original.cbr"; then
  pass "the report as opened is kept as '$REPORT_NAME.bak'"
else
  fail "no '$REPORT_NAME.bak' with the original bytes beside the report"
fi
# The stamps fall in this minute or the next.
NOW=$(date +%s)
DATES="$(date -u -d "@$NOW" +%Y-%m-%d),$(date -u -d "@$((NOW + 60))" +%Y-%m-%d)"
TIMES="$(date -u -d "@$NOW" +%H%M),$(date -u -d "@$((NOW + 60))" +%H%M)"
xdotool type --delay 60 "z9zz"
xdotool key --delay 60 Tab
xdotool type --delay 60 "599042"
xdotool key Return
"$PYTHON" "$WINE_LIB_DIR/cabrillo_check.py" contact "$REPORT" 5 "$DATES" "$TIMES" ||
  FAILURES=$((FAILURES + 1))
settle
# Alt pressed and released alone leaves the keyboard to the grid: the next
# letter goes into the new entry row.
xhelper keys +64 -64
xdotool type --delay 60 "k"
"$PYTHON" "$WINE_LIB_DIR/cabrillo_check.py" entry-letter "$REPORT" 5 K &&
  pass "after Alt alone a letter still reaches the grid" || FAILURES=$((FAILURES + 1))
# The About box from "Помощь"; once it is answered the keyboard is the grid's
# again.
xdotool mousemove "$((WIN_X + 185))" "$((WIN_Y + MENU_H / 2))" click 1
sleep 0.5
xdotool mousemove "$((WIN_X + 207))" "$((WIN_Y + MENU_H / 2 + 47))" click 1
ABOUT=$(find_window '^О программе$' 5)
if [ -n "$ABOUT" ]; then
  pass "the About box opens from the menu"
  shot about
  timeout 5 xdotool windowfocus --sync "$ABOUT" >/dev/null 2>&1
  xdotool key Return
  window_gone '^О программе$' 5 && pass "Enter answers the About box" || fail "the About box stayed"
  sleep 0.3
  xdotool type --delay 60 "q"
  "$PYTHON" "$WINE_LIB_DIR/cabrillo_check.py" entry-letter "$REPORT" 5 KQ &&
    pass "after the About box the keys reach the grid again" || FAILURES=$((FAILURES + 1))
else
  fail "no About box from the menu"
fi
shot contact
xdotool mousemove "$((OUTER_X + OUTER_W - BORDER - 10))" "$((OUTER_Y + BORDER + 10))" click 1
wait_exit "the close button after the contact"

keep_shots wine- start
finish_test
