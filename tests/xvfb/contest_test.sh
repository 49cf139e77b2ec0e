#!/bin/bash
# A whole contest through the real window, as a contester runs it, twice: once
# with the US keyboard layout and once with the Russian layout locked while
# the contacts are typed (the same key positions). Each time:
#   - the first start in an empty folder writes corvane.ini, and "Выход";
#   - the season's contests are added to corvane.ini as the README says;
#   - "Создать" with a typed file name, the header filled and saved (the
#     contest chosen from the list, the call sign, the QTH);
#   - sixteen contacts over two sub-tours on two bands, with band and mode
#     cycling and the first sent exchange typed once; in the second sub-tour
#     picks from the informer by Alt+letter and by mouse, and a repeat that
#     turns the status line red (by its pixels), then erased;
#   - Delete twice at the end (the entry row, then the last contact);
#   - "Выход"; a second start reopens the report by itself and shows it;
#   - the report compared byte for byte with contest_test.expected.
# The clock is fixed with libfaketime, set from a file before every contact;
# without libfaketime (or in a sanitizer build) the test is skipped.
#
# usage: contest_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>
set -u

source "$(dirname "$0")/lib.sh" || { echo "FAIL: $(dirname "$0")/lib.sh is missing"; exit 1; }
xvfb_test_init contest_test "$@"
EXPECTED="$XVFB_LIB_DIR/contest_test.expected"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -1)
if [ -z "$FAKETIME_LIB" ] || ldd "$CORVANE" 2>/dev/null | grep -q 'lib[at]san'; then
  echo "SKIPPED: the clock cannot be fixed (no libfaketime, or a sanitizer build)"
  exit 0
fi
CLOCK_FILE="$WORK/clock"
# The file is read at every reading of the clock; the clock stands still at
# what it says. Qt's timers keep the real monotonic clock.
CLOCK_ENV=(LD_PRELOAD="$FAKETIME_LIB" FAKETIME_TIMESTAMP_FILE="$CLOCK_FILE" FAKETIME_NO_CACHE=1
  FAKETIME_DONT_FAKE_MONOTONIC=1)
clock_at() { echo "2010-03-07 $1:00" >"$CLOCK_FILE"; }

start_display

# X key codes of the keys by their place on the keyboard (the same in the US
# and the Russian layout).
declare -A KEY=([a]=38 [b]=56 [c]=54 [d]=40 [e]=26 [f]=41 [g]=42 [h]=43 [i]=31 [j]=44 [k]=45
  [l]=46 [m]=58 [n]=57 [o]=32 [p]=33 [q]=24 [r]=27 [s]=39 [t]=28 [u]=30 [v]=55 [w]=25 [x]=53
  [y]=29 [z]=52 [1]=10 [2]=11 [3]=12 [4]=13 [5]=14 [6]=15 [7]=16 [8]=17 [9]=18 [0]=19
  [,]=59 [.]=60 ["'"]=48 [Tab]=23 [Return]=36 [BackSpace]=22 [Delete]=119 [Right]=114)
ALT=64
# press <word or key name>...: each word typed key by key, a key name pressed.
press() {
  local word i codes=()
  for word in "$@"; do
    if [ -n "${KEY[$word]:-}" ] && [ "${#word}" -gt 1 ]; then
      codes+=("+${KEY[$word]}" "-${KEY[$word]}")
      continue
    fi
    for ((i = 0; i < ${#word}; i++)); do
      codes+=("+${KEY[${word:i:1}]}" "-${KEY[${word:i:1}]}")
    done
  done
  xhelper keys "${codes[@]}"
}
# contact <hh:mm> <call sign> <received>: typed, Tab, typed, Enter; Enter
# leaves the cursor on the received exchange, so Tab goes back to the call.
contact() {
  clock_at "$1"
  press "$2" Tab "$3" Return Tab
}

# stop_program: after a failure, the program goes so that the next run starts clean.
stop_program() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
    kill "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
  fi
  APP_PID=""
  setxkbmap us
}

# red_status <shot>: the status line below the grid is red.
red_status() { [ "$(xhelper colour "$WORK/$1.ppm" "$(sx 300)" "$(sy 487)")" = "255,0,0" ]; }

run_contest() {
  local layout=$1 folder="$WORK/run-$1"
  mkdir -p "$folder"
  rm -rf "$WORK/run"
  ln -s "$folder" "$WORK/run"
  clock_at 09:00

  # ---- first start in an empty folder -----------------------------------
  start_program "${CLOCK_ENV[@]}"
  if ! wait_main_window; then
    fail "$layout: first start: no window"
    cat "$WORK/corvane.log"
    stop_program
    return
  fi
  xhelper wait-green "$((WIN_X + 233))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 >/dev/null
  shot "${layout}_first"
  measure_menu_bar "${layout}_first"
  open_menu Up Return # "Выход"
  wait_exit "$layout: first start, \"Выход\""
  [ -f "$folder/corvane.ini" ] && pass "$layout: the first start wrote corvane.ini" ||
    fail "$layout: no corvane.ini after the first start"

  # ---- the season's contests, as the README tells ------------------------
  "$PYTHON" - "$folder/corvane.ini" <<'PYTHON' || fail "$layout: corvane.ini has no empty Contests group"
import sys
path = sys.argv[1]
text = open(path, "rb").read()
empty = b"[Contests]\r\nNumberCont = 0\r\n"
group = ("[Contests]\r\nNumberCont = 2\r\nNameCont01 = Russian DX Contest\r\nABBRCont01 = RDXC\r\n"
         "NameCont02 = Кубок Радио\r\nABBRCont02 = RADIO-CUP\r\n").encode("cp1251")
if empty not in text:
    sys.exit(1)
open(path, "wb").write(text.replace(empty, group))
PYTHON

  # ---- "Создать", the header --------------------------------------------
  start_program "${CLOCK_ENV[@]}"
  if ! wait_main_window; then
    fail "$layout: second start: no window"
    stop_program
    return
  fi
  xhelper wait-green "$((WIN_X + 233))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 >/dev/null
  open_menu Down Return # "Создать"
  local dialog
  dialog=$(find_window '^Создать файл$' 10)
  if [ -z "$dialog" ]; then
    fail "$layout: \"Создать\" showed no file dialog"
    stop_program
    return
  fi
  timeout 5 xdotool windowfocus --sync "$dialog" >/dev/null 2>&1
  sleep 0.5
  xdotool type --delay 60 "rdxc2010"
  xdotool key Return
  window_gone '^Создать файл$' 5 || fail "$layout: the file dialog stays open"
  dialog=$(find_window '^Шапка отчёта$' 10)
  if [ -z "$dialog" ]; then
    fail "$layout: no header editor after \"Создать\""
    stop_program
    return
  fi
  pass "$layout: \"Создать\" took the typed name and opened the header editor"
  local dx=$(((SCREEN_W - 640) / 2)) dy=$(((SCREEN_H - 420) / 2))
  sleep 0.5
  xdotool mousemove "$((dx + 240))" "$((dy + 45))" click 1 # the call-sign field
  sleep 0.2
  xdotool type --delay 60 "RA3ABC"
  xdotool key shift+Tab Down # the contest list: its first entry
  xdotool mousemove "$((dx + 240))" "$((dy + 70))" click 1 # QTH
  sleep 0.2
  xdotool type --delay 60 "MO26"
  shot "${layout}_header"
  xdotool mousemove "$((dx + 540))" "$((dy + 382))" click 1 # "Сохранить"
  window_gone '^Шапка отчёта$' 5 || fail "$layout: the header editor stays open"
  local report="$folder/rdxc2010.CBR"
  [ -f "$report" ] && pass "$layout: the report rdxc2010.CBR is made (the name as typed, the extension added)" ||
    fail "$layout: no rdxc2010.CBR ($(ls "$folder" | tr '\n' ' '))"

  # ---- the contacts ---------------------------------------------------------
  focus_main
  xdotool mousemove 5 5
  if [ "$layout" = ru ]; then
    setxkbmap ru
    sleep 0.3
    setxkbmap -query | grep -q '^layout: *ru$' && pass "ru: the Russian layout alone is set for the contacts" ||
      fail "ru: the Russian layout could not be set"
  fi
  # The first row: band 3600 (80 m, the second enabled), mode CW (the second), the
  # first sent exchange once, then back to the call sign.
  press , , "'" "'" Right 599001 Tab
  # First sub-tour, 3600 CW.
  contact 09:10 ua1aaa 599017
  contact 09:12 rw6bb 599121
  contact 09:14 rk3dx 599044
  # 1900 PH.
  press , "'"
  contact 09:16 ua1aaa 599018
  contact 09:18 r7ab 599210
  contact 09:20 ua9xx 599033
  # 3600 CW again.
  press , "'"
  contact 09:25 rz9zz 599042
  # Second sub-tour: the informer offers the four stations of 3600 once a key
  # (Tab there and back) has run the scan in it.
  clock_at 09:31
  press Tab Tab
  settle
  shot "${layout}_informer"
  xhelper keys +$ALT "+${KEY[a]}" "-${KEY[a]}" -$ALT # Alt+A: the first of them
  press Tab 599050 Return Tab
  clock_at 09:33
  press Tab Tab
  settle
  xdotool mousemove "$(sx 600)" "$(sy 30)" click 1 # the first one now, by mouse
  xdotool mousemove 5 5
  press Tab 599051 Return Tab
  # A repeat: the station picked by Alt+A is in this sub-tour already.
  clock_at 09:35
  local repeated
  repeated=$(awk 'substr($0, 1, 5) == "QSO: " && substr($0, 70, 6) == "599050" {
                    call = substr($0, 56, 14); gsub(/ /, "", call); print tolower(call) }' "$report")
  [ -n "$repeated" ] && press "$repeated"
  settle
  shot "${layout}_repeat"
  if [ -n "$repeated" ] && red_status "${layout}_repeat"; then
    pass "$layout: $repeated again in the second sub-tour turns the status line red"
  else
    fail "$layout: no red status line for a repeat of '$repeated'"
  fi
  for ((i = 0; i < ${#repeated}; i++)); do press BackSpace; done
  settle
  shot "${layout}_erased"
  red_status "${layout}_erased" && fail "$layout: the status line stays red after the call is erased"
  contact 09:35 ua3qq 599052
  # 1900 PH in the second sub-tour.
  press , "'"
  contact 09:38 ua1aaa 599019
  contact 09:40 r7ab 599211
  contact 09:42 ua4ww 599070
  contact 09:44 rv1cc 599071
  contact 09:46 rn6dd 599072
  contact 09:48 ua0zz 599073
  # Delete: the entry row, then the last contact.
  press Delete Delete
  settle
  [ "$layout" = ru ] && setxkbmap us && sleep 0.3
  shot "${layout}_end"
  open_menu Up Return # "Выход"
  wait_exit "$layout: \"Выход\" after the contest"

  # ---- a second start reopens the report ----------------------------------
  cp "$report" "$WORK/$layout.cbr"
  start_program "${CLOCK_ENV[@]}"
  if wait_main_window; then
    xhelper wait-green "$((WIN_X + 35))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 >/dev/null ||
      fail "$layout: reopened: no green current cell in row 1"
    shot "${layout}_reopened"
    [ "$(xhelper count-not "$WORK/${layout}_reopened.ppm" "$(sx 184)" "$(sy $((15 * 15 + 11)))" 98 12 0 0 0)" -gt 20 ] &&
      pass "$layout: the reopened report shows its fifteenth contact" ||
      fail "$layout: row 15 is empty after the reopen"
    open_menu Up Return
    wait_exit "$layout: \"Выход\" after the reopen"
  else
    fail "$layout: no window at the reopen"
  fi
  cmp -s "$report" "$WORK/$layout.cbr" || fail "$layout: the reopen without keys changed the report"
  if cmp -s "$report" "$EXPECTED"; then
    pass "$layout: the report is byte for byte contest_test.expected"
  else
    fail "$layout: the report differs from contest_test.expected"
    diff <(tr -d '\r' <"$EXPECTED") <(tr -d '\r' <"$report" | iconv -f CP1251 -t UTF-8)
    cp "$report" "$ARTEFACTS/contest_$layout.cbr" 2>/dev/null
  fi
}

run_contest us
run_contest ru
keep_shots contest_ us_header us_informer us_repeat us_end
finish_test
