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

CORVANE=${1:?usage: main_window_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>}
PICTURE=${2:-}
ARTEFACTS=${3:-$(pwd)/artefacts}

if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIPPED: Xvfb is not installed"
  exit 0
fi
for tool in xdotool import setxkbmap; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "FAIL: $tool is not installed"
    exit 1
  fi
done
CONVERT=/usr/bin/convert  # ImageMagick; a convert earlier on PATH may be another program
PYTHON=$(command -v /usr/bin/python3 || command -v python3)
[ -x "$CONVERT" ] || { echo "FAIL: ImageMagick's $CONVERT is missing"; exit 1; }
[ -n "$PYTHON" ] || { echo "FAIL: python3 is missing"; exit 1; }
[ -x "$CORVANE" ] || { echo "FAIL: no program at $CORVANE"; exit 1; }
CORVANE=$(realpath "$CORVANE")
[ -n "$PICTURE" ] && PICTURE=$(realpath -m "$PICTURE")
ARTEFACTS=$(realpath -m "$ARTEFACTS")

SCREEN_W=1024
SCREEN_H=768
WORK=$(mktemp -d /tmp/corvane-xvfb.XXXXXX)
XVFB_PID=""
WATCHDOG_PID=""
APP_PID=""
FAILURES=0
mkdir -p "$ARTEFACTS"

cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
    kill "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
  fi
  [ -n "$WATCHDOG_PID" ] && kill "$WATCHDOG_PID" 2>/dev/null
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 2' INT TERM

fail() {
  echo "FAIL: $*"
  FAILURES=$((FAILURES + 1))
}
pass() { echo "ok: $*"; }

# X helpers without extra packages: libX11 and libXtst through ctypes.
cat >"$WORK/xhelper.py" <<'PYTHON'
import ctypes, sys, time

def display():
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    dpy = x11.XOpenDisplay(None)
    if not dpy:
        sys.exit("cannot open the display")
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.c_void_p
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XGetPixel.restype = ctypes.c_ulong
    x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    x11.XDestroyImage.argtypes = [ctypes.c_void_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    return x11, dpy

def wait_green(x, y0, y1, start_ns, timeout_ms):
    # Polls a column of the screen until a pixel of pure green shows.
    x11, dpy = display()
    root = x11.XDefaultRootWindow(dpy)
    deadline = time.monotonic() + timeout_ms / 1000.0
    while time.monotonic() < deadline:
        image = x11.XGetImage(dpy, root, x, y0, 1, y1 - y0, 0xFFFFFFFF, 2)
        if image:
            found = any(x11.XGetPixel(image, 0, i) & 0xFFFFFF == 0x00FF00 for i in range(y1 - y0))
            x11.XDestroyImage(image)
            if found:
                print((time.time_ns() - start_ns) // 1000000)
                return 0
        time.sleep(0.002)
    return 1

def fake_keys(specs):
    # "+N" presses X key code N, "-N" releases it: raw XTEST, no layout switching.
    x11, dpy = display()
    xtst = ctypes.CDLL("libXtst.so.6")
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    for spec in specs:
        xtst.XTestFakeKeyEvent(dpy, int(spec[1:]), 1 if spec[0] == "+" else 0, 0)
        x11.XSync(dpy, 0)
        time.sleep(0.03)
    return 0

class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

def close_window(window):
    # What a window manager sends for the close button: WM_DELETE_WINDOW.
    x11, dpy = display()
    event = ClientMessage()
    event.type = 33  # ClientMessage
    event.window = window
    event.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
    x11.XSync(dpy, 0)
    return 0

def read_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P6" and int(fields[3]) == 255, "8-bit P6 expected"
    return int(fields[1]), data[pos + 1:]

def rgb(pixels, width, x, y):
    i = (y * width + x) * 3
    return tuple(pixels[i:i + 3])

def main(argv):
    command = argv[1]
    if command == "wait-green":
        return wait_green(*map(int, argv[2:7]))
    if command == "keys":
        return fake_keys(argv[2:])
    if command == "close":
        return close_window(int(argv[2]))
    if command == "check":  # ppm, origin x y, then "x:y:R,G,B:what" for each point
        width, pixels = read_ppm(argv[2])
        ox, oy = int(argv[3]), int(argv[4])
        failures = 0
        for point in argv[5:]:
            x, y, colour, what = point.split(":", 3)
            want = tuple(map(int, colour.split(",")))
            got = rgb(pixels, width, ox + int(x), oy + int(y))
            if got == want:
                print("ok: %s %s" % (what, want))
            else:
                print("FAIL: %s: expected %s, got %s at %s,%s" % (what, want, got, x, y))
                failures += 1
        return failures
    if command == "colour":  # ppm, x, y: "R,G,B"
        width, pixels = read_ppm(argv[2])
        print(",".join(map(str, rgb(pixels, width, int(argv[3]), int(argv[4])))))
        return 0
    if command == "first-y":  # ppm, x, y0, y1, R,G,B: first row of that colour, -1 none
        width, pixels = read_ppm(argv[2])
        x, y0, y1 = map(int, argv[3:6])
        want = tuple(map(int, argv[6].split(",")))
        print(next((y for y in range(y0, y1) if rgb(pixels, width, x, y) == want), -1))
        return 0
    if command == "count-not":  # pixels of a region that differ from a colour
        width, pixels = read_ppm(argv[2])
        x, y, w, h, r, g, b = map(int, argv[3:10])
        print(sum(rgb(pixels, width, i, j) != (r, g, b)
                  for j in range(y, y + h) for i in range(x, x + w)))
        return 0
    if command == "same-region":
        (w1, p1), (w2, p2) = read_ppm(argv[2]), read_ppm(argv[3])
        x, y, w, h = map(int, argv[4:8])
        same = all(rgb(p1, w1, i, j) == rgb(p2, w2, i, j)
                   for j in range(y, y + h) for i in range(x, x + w))
        return 0 if same else 1
    sys.exit("unknown command " + command)

sys.exit(main(sys.argv))
PYTHON
xhelper() { "$PYTHON" "$WORK/xhelper.py" "$@"; }

# ---- the X server -----------------------------------------------------------
for number in $(seq 71 119); do
  [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
  Xvfb ":$number" -screen 0 "${SCREEN_W}x${SCREEN_H}x24" -noreset -nolisten tcp \
    >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$number"
  for _ in $(seq 50); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  kill "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
done
[ -n "$XVFB_PID" ] || { echo "FAIL: no Xvfb display could be started"; exit 1; }
# Should this script be killed outright, the server still goes (and the program with it).
(
  while kill -0 $$ 2>/dev/null; do sleep 1; done
  kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
) &
WATCHDOG_PID=$!
setxkbmap us

mkdir -p "$WORK/run"
[ -f "$PICTURE" ] && cp "$PICTURE" "$WORK/run/CORVANE.BMP"

# ---- geometry of the main window --------------------------------------------
WIN_X=$(((SCREEN_W - 798) / 2))  # centred, no window manager frame
WIN_Y=$(((SCREEN_H - 530) / 2))
MENU_H=0  # measured from the first screenshot

# Screen position of a client-area point.
sx() { echo $((WIN_X + $1)); }
sy() { echo $((WIN_Y + MENU_H + $1)); }

shot() {  # the whole screen, for the pixel checks; PNG copies are made at the end
  import -window root -depth 8 "ppm:$WORK/$1.ppm" || fail "screenshot $1"
  SHOTS+=("$1")
}
SHOTS=()
check() {  # shot, then "client x:client y:R,G,B:what" for each point
  local shot=$1
  shift
  xhelper check "$WORK/$shot.ppm" "$WIN_X" "$((WIN_Y + MENU_H))" "$@"
  FAILURES=$((FAILURES + $?))
}
# Pixels of the call-sign cell of row 1 (inside, clear of the border) that differ from a colour.
CELL_X=184 CELL_Y=26 CELL_W=98 CELL_H=12
cell_marks() { xhelper count-not "$WORK/$1.ppm" "$(sx $CELL_X)" "$(sy $CELL_Y)" $CELL_W $CELL_H $2; }
same_cell() {
  xhelper same-region "$WORK/$1.ppm" "$WORK/$2.ppm" "$(sx $CELL_X)" "$(sy $CELL_Y)" $CELL_W $CELL_H
}
settle() { sleep 0.25; }

# A sanitizer build reports a leak inside the system's D-Bus library that Qt
# loads on X11; only that library's leaks are waived.
echo "leak:libdbus-1.so" >"$WORK/lsan.supp"
export LSAN_OPTIONS="suppressions=$WORK/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

start_program() {
  cd "$WORK/run" || exit 1
  START_NS=$(date +%s%N)
  "$CORVANE" >"$WORK/corvane.log" 2>&1 &
  APP_PID=$!
  cd - >/dev/null || exit 1
}

wait_exit() {  # what
  local code
  for _ in $(seq 100); do
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
WINDOW=$(timeout 10 xdotool search --sync --onlyvisible --name '^Corvane v7\.0' | head -1)
if [ -z "$WINDOW" ]; then
  fail "no window titled 'Corvane v7.0'"
  exit 1
fi
sleep 1  # the first timer tick has written the station box
RSS_KB=$(awk '/^VmRSS/ {print $2}' "/proc/$APP_PID/status")

GEOMETRY=$(xdotool getwindowgeometry "$WINDOW" | tr -d ' ')
if echo "$GEOMETRY" | grep -q "Position:$WIN_X,$WIN_Y" && echo "$GEOMETRY" | grep -q "Geometry:798x530"; then
  pass "window 798 x 530 centred at $WIN_X,$WIN_Y"
else
  fail "window geometry: $GEOMETRY"
fi
TITLE=$(xdotool getwindowname "$WINDOW")
case "$TITLE" in
  "Corvane v7.0"*) pass "title '$TITLE'" ;;
  *) fail "title '$TITLE'" ;;
esac

shot start
# The menu bar's height: the first blue row of the time header (client y 6).
FIRST_BLUE=$(xhelper first-y "$WORK/start.ppm" "$((WIN_X + 20))" "$WIN_Y" "$((WIN_Y + 60))" 0,0,255)
MENU_H=$((FIRST_BLUE - WIN_Y - 6))
if [ "$FIRST_BLUE" -ge 0 ] && [ "$MENU_H" -gt 10 ] && [ "$MENU_H" -lt 40 ]; then
  pass "menu bar $MENU_H px high, taken from the client area"
else
  fail "no blue time header below a menu bar (first blue row $FIRST_BLUE)"
  MENU_H=0
fi
check start "185:8:0,0,255:blue header 'Позывной'" "12:8:0,0,255:blue header 'Время'" \
  "552:8:0,221,0:informer header" "12:42:0,0,0:black grid cell row 2 column 1" \
  "300:460:0,0,0:black grid cell row 30 column 5" "186:27:0,255,0:green current cell row 1 column 4" \
  "280:37:0,255,0:green current cell, far corner" "287:27:0,0,0:black cell row 1 column 5" \
  "553:27:0,85,0:informer cell" "554:484:255,204,204:station box"
[ "$(cell_marks start "0 255 0")" -eq 0 ] && pass "empty call-sign cell" || fail "call-sign cell not empty"

timeout 5 xdotool windowfocus --sync "$WINDOW" || fail "the main window could not be focused"
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

xhelper close "$WINDOW"
wait_exit "the close button"

# ---- run 2: the help window (a modal window), then "Выход" from "Файл" ----
open_menu() {  # click "Файл"; Left wraps round to "Помощь"
  xdotool mousemove "$((WIN_X + 20))" "$((WIN_Y + MENU_H / 2))" click 1
  sleep 0.4
}
start_program
WINDOW=$(timeout 10 xdotool search --sync --onlyvisible --name '^Corvane v7\.0' | head -1)
if [ -z "$WINDOW" ]; then
  fail "second start: no window"
else
  xhelper wait-green "$((WIN_X + 233))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 >/dev/null
  open_menu
  xdotool key Left
  sleep 0.3
  shot menu_open
  xdotool key Return  # "Вызов справки"
  HELP=$(timeout 10 xdotool search --sync --onlyvisible --name '^Справка$' | head -1)
  if [ -z "$HELP" ]; then
    fail "the help window did not open"
  else
    HELP_X=$(((SCREEN_W - 700) / 2))
    HELP_Y=$(((SCREEN_H - 390) / 2))
    GEOMETRY=$(xdotool getwindowgeometry "$HELP" | tr -d ' ')
    if echo "$GEOMETRY" | grep -q "Position:$HELP_X,$HELP_Y" && echo "$GEOMETRY" | grep -q "Geometry:700x390"; then
      pass "help window 700 x 390 centred"
    else
      fail "help window geometry: $GEOMETRY"
    fi
    sleep 0.3
    shot help
    if [ -f "$PICTURE" ] && "$CONVERT" "$PICTURE" -depth 8 "ppm:$WORK/picture.ppm" 2>/dev/null; then
      POINTS=()
      for point in "5 5" "350 195" "690 380" "100 300"; do
        set -- $point
        POINTS+=("$1:$2:$(xhelper colour "$WORK/picture.ppm" "$1" "$2"):help picture pixel $1,$2")
      done
      xhelper check "$WORK/help.ppm" "$HELP_X" "$HELP_Y" "${POINTS[@]}"
      FAILURES=$((FAILURES + $?))
    else
      echo "note: no help picture at '$PICTURE'; the help window is shown empty"
    fi
    xdotool key Escape
    for _ in $(seq 50); do
      xdotool search --onlyvisible --name '^Справка$' >/dev/null 2>&1 || break
      sleep 0.1
    done
    if xdotool search --onlyvisible --name '^Справка$' >/dev/null 2>&1; then
      fail "Escape did not close the help window"
    else
      pass "Escape closes the help window"
    fi
    # The main window has the keyboard again: typing reaches the grid.
    xdotool type --delay 40 "ua3a"
    settle
    shot after_help
    same_cell after_help typed && pass "keys reach the main window after the help window" ||
      fail "typing after the help window"
  fi
  open_menu
  xdotool key Up Return  # the last entry of "Файл" is "Выход"
  wait_exit "Выход"
fi

for name in "${SHOTS[@]}"; do
  case $name in
    start | typed | russian | click | menu_open | help) ;;
    *) [ "$FAILURES" -eq 0 ] && continue ;;
  esac
  "$CONVERT" "$WORK/$name.ppm" "$ARTEFACTS/$name.png"
done

echo "start-up to the first wait (green current cell on screen): ${STARTUP_MS} ms wall, ${STARTUP_CPU_MS} ms CPU"
echo "resident memory after start-up: ${RSS_KB} kB"
echo "screenshots: $ARTEFACTS"
if [ "$FAILURES" -ne 0 ]; then
  echo "FAILED: $FAILURES check(s)"
  exit 1
fi
echo "PASSED"
