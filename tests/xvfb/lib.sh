# What the real-display tests share: the arguments, a private Xvfb server that
# goes on every way out, the program started in a fresh folder, windows found
# by title, menus, screenshots, pixel checks and the PASS/FAIL summary.
# Sourced by the *_test.sh scripts of this folder; not a test itself.
#
# A test script runs
#   source "$(dirname "$0")/lib.sh"
#   xvfb_test_init <name> "$@"   # <corvane> <CORVANE.BMP> <artefacts-dir>
#   start_display
# and ends with finish_test. Checks report through pass and fail; the
# screenshots named in keep_shots go to the artefacts folder as PNG files.

XVFB_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

SCREEN_W=1024
SCREEN_H=768
WORK=""
XVFB_PID=""
WATCHDOG_PID=""
APP_PID=""
FAILURES=0
SHOTS=()
# Geometry of the main window: centred, no window manager frame; the menu
# bar's height is measured from a screenshot (measure_menu_bar).
MAIN_W=798
MAIN_H=530
WIN_X=$(((SCREEN_W - MAIN_W) / 2))
WIN_Y=$(((SCREEN_H - MAIN_H) / 2))
MENU_H=0
WINDOW=""

fail() {
  echo "FAIL: $*"
  FAILURES=$((FAILURES + 1))
}
pass() { echo "PASS: $*"; }

# xvfb_test_init <test name> <corvane> <CORVANE.BMP> <artefacts-dir>
xvfb_test_init() {
  TEST_NAME=$1
  shift
  CORVANE=${1:-}
  PICTURE=${2:-}
  ARTEFACTS=${3:-$(pwd)/artefacts}
  if [ -z "$CORVANE" ]; then
    echo "usage: $TEST_NAME.sh <corvane> <CORVANE.BMP> <artefacts-dir>"
    exit 2
  fi
  if ! command -v Xvfb >/dev/null 2>&1; then
    echo "SKIPPED: Xvfb is not installed"
    exit 0
  fi
  local tool
  for tool in xdotool import setxkbmap xprop; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "FAIL: $tool is not installed"
      exit 1
    fi
  done
  CONVERT=/usr/bin/convert # ImageMagick; a convert earlier on PATH may be another program
  PYTHON=$(command -v /usr/bin/python3 || command -v python3)
  [ -x "$CONVERT" ] || { echo "FAIL: ImageMagick's $CONVERT is missing"; exit 1; }
  [ -n "$PYTHON" ] || { echo "FAIL: python3 is missing"; exit 1; }
  [ -x "$CORVANE" ] || { echo "FAIL: no program at $CORVANE"; exit 1; }
  CORVANE=$(realpath "$CORVANE")
  [ -n "$PICTURE" ] && PICTURE=$(realpath -m "$PICTURE")
  ARTEFACTS=$(realpath -m "$ARTEFACTS")
  mkdir -p "$ARTEFACTS" || { echo "FAIL: cannot make $ARTEFACTS"; exit 1; }

  WORK=$(mktemp -d /tmp/corvane-xvfb.XXXXXX) || { echo "FAIL: no temporary folder"; exit 1; }
  trap xvfb_cleanup EXIT
  trap 'exit 2' INT TERM HUP
  mkdir -p "$WORK/run" "$WORK/xdg"
  chmod 700 "$WORK/xdg"
  export XDG_RUNTIME_DIR="$WORK/xdg"
  # A sanitizer build reports a leak inside the system's D-Bus library that
  # Qt loads on X11; only that library's leaks are waived.
  echo "leak:libdbus-1.so" >"$WORK/lsan.supp"
  export LSAN_OPTIONS="suppressions=$WORK/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  # The test's own running time, printed by finish_test.
  TEST_START_NS=$(date +%s%N)
}

xvfb_cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
    kill "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
  fi
  [ -n "$WATCHDOG_PID" ] && kill "$WATCHDOG_PID" 2>/dev/null
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  [ -n "$WORK" ] && rm -rf "$WORK"
}

xhelper() { "$PYTHON" "$XVFB_LIB_DIR/xhelper.py" "$@"; }

# Starts Xvfb on the first free display from :71 and a watchdog that takes it
# down should the script be killed outright; exports DISPLAY. Keyboard: US.
start_display() {
  local number lock
  for number in $(seq 71 119); do
    lock="/tmp/.X$number-lock"
    { [ -e "$lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; } && continue
    Xvfb ":$number" -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -noreset -nolisten tcp \
      >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$number"
    for _ in $(seq 100); do
      kill -0 "$XVFB_PID" 2>/dev/null || break
      # The lock must be ours: another test may have taken the number meanwhile.
      if [ "$(tr -d ' \n' 2>/dev/null <"$lock")" = "$XVFB_PID" ] &&
        xdotool getdisplaygeometry >/dev/null 2>&1; then
        break
      fi
      sleep 0.1
    done
    if kill -0 "$XVFB_PID" 2>/dev/null && [ "$(tr -d ' \n' 2>/dev/null <"$lock")" = "$XVFB_PID" ] &&
      xdotool getdisplaygeometry >/dev/null 2>&1; then
      break
    fi
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
  done
  [ -n "$XVFB_PID" ] || { echo "FAIL: no Xvfb display could be started"; exit 1; }
  (
    while kill -0 $$ 2>/dev/null; do sleep 1; done
    kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
  ) &
  WATCHDOG_PID=$!
  setxkbmap us
}

# Copies the help picture into the run folder, where the program looks first.
copy_picture() {
  [ -f "$PICTURE" ] && cp "$PICTURE" "$WORK/run/CORVANE.BMP"
}

# start_program [NAME=value...]: the program in $WORK/run, its output in
# $WORK/corvane.log; APP_PID and START_NS are set.
start_program() {
  START_NS=$(date +%s%N)
  (cd "$WORK/run" && exec env "$@" "$CORVANE") >>"$WORK/corvane.log" 2>&1 &
  APP_PID=$!
}

# wait_exit <what>: the program must end with code 0 within 10 s.
wait_exit() {
  local code
  for _ in $(seq 200); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$APP_PID" 2>/dev/null; then
    fail "$1: the program is still running"
    return
  fi
  wait "$APP_PID"
  code=$?
  APP_PID=""
  if [ "$code" -eq 0 ]; then
    pass "$1 ends the program with code 0"
  else
    fail "$1: exit code $code"
    tail -n 30 "$WORK/corvane.log"
  fi
}

# answer_end_question <what> <xdotool keys...>: the question about a log that
# reached no file must show; the keys answer it (Escape: "Отмена", alt+Cyrillic_en:
# "&Нет", the buttons speak the toolkit's Russian).
answer_end_question() {
  local what="$1" box
  shift
  box=$(find_window '^Corvane v7\.0$' 10)
  if [ -z "$box" ]; then
    fail "$what: no question about the unsaved log"
    return
  fi
  pass "$what: the unsaved log is asked about"
  timeout 5 xdotool windowfocus --sync "$box" >/dev/null 2>&1
  xdotool key --delay 100 "$@"
}

# find_window <title regex> [seconds]: prints the id of the first visible
# window of that title (UTF-8), nothing when none shows in time.
find_window() {
  timeout "${2:-10}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1
}

# window_gone <title regex> [seconds]: true once no visible window has it.
window_gone() {
  local tries=$((${2:-5} * 10))
  for _ in $(seq "$tries"); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# window_geometry <id>: prints "x y width height".
window_geometry() {
  xdotool getwindowgeometry --shell "$1" 2>/dev/null |
    awk -F= '$1 == "X" {x = $2} $1 == "Y" {y = $2} $1 == "WIDTH" {w = $2} $1 == "HEIGHT" {h = $2}
             END {print x, y, w, h}'
}

# check_centred <id> <what> <width> <height>: the window has exactly that size
# and stands centred on the screen; DX and DY are where a centred window of
# that size has its top left corner.
check_centred() {
  local geometry x y w h
  DX=$(((SCREEN_W - $3) / 2))
  DY=$(((SCREEN_H - $4) / 2))
  geometry=$(window_geometry "$1")
  read -r x y w h <<<"$geometry"
  if [ "$w" = "$3" ] && [ "$h" = "$4" ]; then
    pass "$2: window $3 x $4"
  else
    fail "$2: window ${w:-?} x ${h:-?}, expected $3 x $4"
  fi
  if [ "$x" = "$DX" ] && [ "$y" = "$DY" ]; then
    pass "$2: centred at $x,$y"
  else
    fail "$2: at ${x:-?},${y:-?}, not centred"
  fi
}

# wait_focus <id> [seconds]: true once that window has the keyboard focus.
wait_focus() {
  local tries=$((${2:-5} * 10))
  for _ in $(seq "$tries"); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# wait_main_window: sets WINDOW to the main window once it shows (10 s).
wait_main_window() {
  WINDOW=$(find_window '^Corvane v7\.0' 10)
  [ -n "$WINDOW" ]
}

# wait_opened_report [what]: true once the main window shows with its current
# cell green at row 1, column 1, as after a report opened at start-up; says
# what is missing otherwise.
wait_opened_report() {
  local what=${1:-start-up}
  if ! wait_main_window; then
    fail "$what: no window titled 'Corvane v7.0'"
    cat "$WORK/corvane.log"
    return 1
  fi
  xhelper wait-green "$((WIN_X + 35))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 \
    >/dev/null || fail "$what: no green current cell within 10 s"
  return 0
}

# focus_main: gives the main window the keyboard (there is no window manager).
focus_main() {
  timeout 5 xdotool windowfocus --sync "$WINDOW" >/dev/null 2>&1 ||
    fail "the main window could not be focused"
}

# Screen position of a client-area point of the main window.
sx() { echo $((WIN_X + $1)); }
sy() { echo $((WIN_Y + MENU_H + $1)); }

# shot <name>: the whole screen, for the pixel checks; PNG copies are made by
# keep_shots at the end.
shot() {
  import -window root -depth 8 "ppm:$WORK/$1.ppm" || fail "screenshot $1"
  [[ " ${SHOTS[*]} " == *" $1 "* ]] || SHOTS+=("$1")
}

# check <shot> "client x:client y:R,G,B:what"...: pixels of the main window.
check() {
  local name=$1
  shift
  xhelper check "$WORK/$name.ppm" "$WIN_X" "$((WIN_Y + MENU_H))" "$@"
  FAILURES=$((FAILURES + $?))
}

# check_at <shot> <origin x> <origin y> "x:y:R,G,B:what"...: pixels relative
# to any origin (a dialog's top left corner).
check_at() {
  local name=$1 ox=$2 oy=$3
  shift 3
  xhelper check "$WORK/$name.ppm" "$ox" "$oy" "$@"
  FAILURES=$((FAILURES + $?))
}

# measure_menu_bar <shot>: MENU_H from the first blue row of the time header
# (client y 6) below the top of the main window.
measure_menu_bar() {
  local first_blue
  first_blue=$(xhelper first-y "$WORK/$1.ppm" "$((WIN_X + 20))" "$WIN_Y" "$((WIN_Y + 60))" 0,0,255)
  MENU_H=$((first_blue - WIN_Y - 6))
  if [ "$first_blue" -ge 0 ] && [ "$MENU_H" -gt 10 ] && [ "$MENU_H" -lt 40 ]; then
    pass "menu bar $MENU_H px high, taken from the client area"
  else
    fail "no blue time header below a menu bar (first blue row $first_blue)"
    MENU_H=0
  fi
}

# open_menu <keys...>: clicks "Файл" in the main window's menu bar, waits for
# its drop-down to show, then sends the keys (Right and Left move to the
# neighbouring menus with their first entry selected). False when the
# drop-down did not open.
open_menu() {
  xdotool mousemove "$((WIN_X + 20))" "$((WIN_Y + MENU_H / 2))" click 1
  if ! wait_drop_down 5; then
    fail "the menu \"Файл\" did not open"
    xdotool key Escape
    return 1
  fi
  [ $# -gt 0 ] && xdotool key --delay 60 "$@"
  return 0
}

# wait_drop_down [seconds]: true once a menu's drop-down shows. Qt gives
# drop-downs the program's class and its name as their (UTF-8) name only.
wait_drop_down() {
  local tries=$((${1:-5} * 10)) id
  for _ in $(seq "$tries"); do
    for id in $(xdotool search --onlyvisible --classname '^corvane$' 2>/dev/null); do
      [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "corvane" ] && return 0
    done
    sleep 0.1
  done
  return 1
}

settle() { sleep 0.25; }

# keep_shots <prefix> <names always kept...>: PNG copies in the artefacts
# folder; after a failure every screenshot is kept.
keep_shots() {
  local prefix=$1 name keep wanted
  shift
  for name in "${SHOTS[@]}"; do
    keep=0
    [ "$FAILURES" -ne 0 ] && keep=1
    for wanted in "$@"; do [ "$name" = "$wanted" ] && keep=1; done
    [ "$keep" -eq 1 ] && "$CONVERT" "$WORK/$name.ppm" "$ARTEFACTS/$prefix$name.png"
  done
}

# keep_window_shot <shot> <file name> <x> <y> <width> <height>: a PNG of one
# window cut from a screenshot.
keep_window_shot() {
  "$CONVERT" "$WORK/$1.ppm" -crop "$5x$6+$3+$4" +repage "$ARTEFACTS/$2.png" ||
    fail "could not keep $2.png"
}

elapsed_ms() { echo $((($(date +%s%N) - TEST_START_NS) / 1000000)); }

# finish_test: the summary line and the exit code.
finish_test() {
  echo "$TEST_NAME took $(elapsed_ms) ms"
  if [ "$FAILURES" -ne 0 ]; then
    echo "FAILED: $FAILURES check(s)"
    exit 1
  fi
  echo "PASSED"
  exit 0
}

# check_help_window <id> <shot> <CORVANE.BMP>: the help window stands centred
# at 700 x 390 and shows the picture's own pixels at four points; without
# the file only the window is checked, with a note.
check_help_window() {
  local point px py points=()
  check_centred "$1" "help window" 700 390
  if [ -f "$3" ] && "$CONVERT" "$3" -depth 8 "ppm:$WORK/picture.ppm" 2>/dev/null; then
    for point in "5 5" "350 195" "690 380" "100 300"; do
      read -r px py <<<"$point"
      points+=("$px:$py:$(xhelper colour "$WORK/picture.ppm" "$px" "$py"):help picture pixel $px,$py")
    done
    xhelper check "$WORK/$2.ppm" "$DX" "$DY" "${points[@]}"
    FAILURES=$((FAILURES + $?))
  else
    echo "note: no help picture at '$3'; the help window is shown empty"
  fi
}

# check_window_icon <id> <what>: the window carries the program's icon at the
# sizes drawn at build time (the toolkit's default has none of them); the
# toolkit hands the X server none above 128 px.
check_window_icon() {
  local icons side missing=""
  icons=$(xprop -id "$1" _NET_WM_ICON 2>/dev/null | grep -o 'Icon ([0-9]* x [0-9]*)')
  for side in 16 32 48 64 128; do
    grep -q "Icon ($side x $side)" <<<"$icons" || missing="$missing $side"
  done
  if [ -z "$missing" ]; then
    pass "$2: the program's icon at 16 to 128 px"
  else
    fail "$2: no window icon of size$missing (has: $(echo $icons))"
  fi
}
