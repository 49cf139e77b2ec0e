#!/bin/bash
# The program's dialogs on a real X server (Xvfb), each opened from the menu
# of the main window: "Шапка отчёта" (Отчёт > Редактировать шапку),
# "Установка даты и времени" (Параметры > Дата и время), "Настройки"
# (Параметры > Другие настройки) and the About box (Помощь > О программе).
# Each must show as its own window of the right size, centred, with its
# controls drawn, take the keyboard, close by Escape, and give the keyboard
# back to the main window: a letter typed after each one reaches the grid
# and from there the report file, and nothing else in the log changed.
# A screenshot of every dialog is kept in the artefacts folder as
# dialog_<name>.png.
#
# usage: dialogs_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>
set -u

source "$(dirname "$0")/lib.sh" || { echo "FAIL: $(dirname "$0")/lib.sh is missing"; exit 1; }
xvfb_test_init dialogs_test "$@"
start_display

# A report with one empty entry row, opened at start-up: the keys typed
# between the dialogs can then be read back from the file.
REPORT="$WORK/run/dialogs.cbr"
printf '%s\r\n' "START-OF-LOG: 3.0" "CREATED-BY: Corvane v7.0" "CALLSIGN: RA3ABC" \
  "QSO: 3500  CW                 RA3ABC        599001                               " \
  "END-OF-LOG: " >"$REPORT"
printf '[Main]\r\nFile = %s\r\n' "$REPORT" >"$WORK/run/corvane.ini"

# report_row_is <call sign> <seconds>: waits until the report's only QSO line
# is the entry row with that call sign (columns 56-69); shows the file if not.
report_row_is() {
  "$PYTHON" - "$REPORT" "$1" "$2" <<'PYTHON'
import sys, time
path, call, timeout = sys.argv[1], sys.argv[2], float(sys.argv[3])
want = "QSO: 3500  CW                 RA3ABC        599001     %-14s            " % call
deadline, lines = time.monotonic() + timeout, []
while time.monotonic() < deadline:
    try:
        lines = open(path, "rb").read().decode("latin-1").split("\r\n")
    except OSError:
        lines = []
    qsos = [line for line in lines if line.startswith("QSO: ")]
    if qsos == [want] and lines[-2:] == ["END-OF-LOG: ", ""]:
        sys.exit(0)
    time.sleep(0.05)
print("    report now:")
for line in lines:
    print("    |%s|" % line)
sys.exit(1)
PYTHON
}

# wait_drawn <shot> <origin x> <origin y> <"x:y:w:h:what">: takes screenshots
# (up to 4 s) until the window shows the toolkit's back colour (that of the
# main window's menu bar, BACK) at its origin + 2,2 and that control,
# relative to the origin, is drawn: more than 20 pixels unlike it.
wait_drawn() {
  local deadline=$(($(date +%s) + 4))
  while :; do
    shot "$1"
    xhelper drawn "$WORK/$1.ppm" "$2" "$3" "$BACK" "$4" >/dev/null && return 0
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

# drawn <shot> <origin x> <origin y> <"x:y:w:h:what">...: each control drawn.
drawn() {
  local name=$1 ox=$2 oy=$3
  shift 3
  xhelper drawn "$WORK/$name.ppm" "$ox" "$oy" "$BACK" "$@"
  FAILURES=$((FAILURES + $?))
}

TYPED=""
# after_dialog <what> <letter>: the main window has the keyboard again, and the
# letter typed lands in the report after the ones typed before.
after_dialog() {
  if wait_focus "$WINDOW" 5; then
    pass "$1: the main window has the keyboard again"
  else
    fail "$1: the main window did not get the keyboard back"
  fi
  # The pointer off every window: with the focus lost the keys would go to
  # the window under the pointer instead.
  xdotool mousemove 5 5
  xdotool type --delay 60 "$2"
  TYPED="$TYPED$(echo "$2" | tr a-z A-Z)"
  if report_row_is "$TYPED" 10; then
    pass "$1: the key typed afterwards reaches the grid and the report ('$TYPED')"
  else
    fail "$1: the key typed afterwards did not reach the report ('$TYPED' expected)"
  fi
}

# open_dialog <what> <title> <width> <height> <menu keys...>: opens a dialog
# from the menu and checks its window; sets DIALOG, DX, DY.
open_dialog() {
  local what=$1 title=$2 width=$3 height=$4
  shift 4
  DIALOG=""
  open_menu "$@" || return 1
  DIALOG=$(find_window "^$title\$" 10)
  if [ -z "$DIALOG" ]; then
    fail "$what: no window titled '$title'"
    return 1
  fi
  pass "$what: window titled '$title' opened from the menu"
  check_centred "$DIALOG" "$what" "$width" "$height"
  if wait_focus "$DIALOG" 5; then
    pass "$what: has the keyboard"
  else
    fail "$what: did not get the keyboard"
  fi
  return 0
}

# close_dialog <what> <title>: Escape closes it.
close_dialog() {
  xdotool key Escape
  if window_gone "^$2\$" 5; then
    pass "$1: Escape closes it"
  else
    fail "$1: Escape did not close it"
    xhelper close "$DIALOG"
    window_gone "^$2\$" 5
  fi
}

start_program
# After the report is opened the current cell is row 1, column 1.
wait_opened_report || finish_test
shot start
measure_menu_bar start
# The toolkit's back colour of windows, from the right end of the menu bar.
BACK=$(xhelper colour "$WORK/start.ppm" "$((WIN_X + MAIN_W - 10))" "$((WIN_Y + 3))")
echo "windows' back colour: $BACK"
focus_main
xdotool key Tab  # to the call sign of the entry row
after_dialog "start" "u"

# ---- "Шапка отчёта" -------------------------------------------------------
TITLE="Шапка отчёта"
if open_dialog "header editor" "$TITLE" 640 420 Right Return; then
  # The Save button is created last.
  wait_drawn header "$DX" "$DY" "470:370:140:25:Save" || fail "header editor: nothing drawn within 4 s"
  check_at header "$DX" "$DY" "175:143:0,0,255:header editor: blue head of operator 1" \
    "325:143:0,0,255:header editor: blue head of operator 2" \
    "475:143:0,0,255:header editor: blue head of operator 3"
  drawn header "$DX" "$DY" "170:10:440:20:header editor: contest list" \
    "170:35:140:20:header editor: call-sign field" \
    "320:370:140:25:header editor: button 'Назад'" \
    "470:370:140:25:header editor: button 'Сохранить'"
  keep_window_shot header dialog_header "$DX" "$DY" 640 420
  close_dialog "header editor" "$TITLE"
fi
after_dialog "header editor" "a"

# ---- "Установка даты и времени" ----------------------------------------
TITLE="Установка даты и времени"
if open_dialog "date and time" "$TITLE" 372 150 Right Right Return; then
  # The check box is created last.
  wait_drawn datetime "$DX" "$DY" "80:80:100:20:UTC check box" || fail "date and time: nothing drawn within 4 s"
  drawn datetime "$DX" "$DY" "80:20:80:20:date and time: day list" \
    "260:20:80:20:date and time: year list" "260:50:80:20:date and time: second list" \
    "80:80:100:20:date and time: check box 'Время UTC'" \
    "116:110:140:25:date and time: button 'Установить'"
  keep_window_shot datetime dialog_datetime "$DX" "$DY" 372 150
  close_dialog "date and time" "$TITLE"
fi
after_dialog "date and time" "3"

# ---- "Настройки" ----------------------------------------------------------
TITLE="Настройки"
if open_dialog "settings" "$TITLE" 390 490 Right Right Down Return; then
  wait_drawn settings "$DX" "$DY" "125:450:140:25:Save" || fail "settings: nothing drawn within 4 s"
  drawn settings "$DX" "$DY" "30:30:140:20:settings: option '30 минут'" \
    "30:120:140:20:settings: check box '1900 КГц'" "220:120:140:20:settings: check box 'PH (SSB)'" \
    "280:405:80:20:settings: length field" "125:450:140:25:settings: button 'Сохранить'"
  keep_window_shot settings dialog_settings "$DX" "$DY" 390 490
  close_dialog "settings" "$TITLE"
fi
after_dialog "settings" "a"

# ---- the About box ----------------------------------------------------------
TITLE="О программе"
if open_menu Left Down Return; then  # "Помощь", past the separator to "О программе"
  DIALOG=$(find_window "^$TITLE\$" 10)
  if [ -z "$DIALOG" ]; then
    fail "About box: no window titled '$TITLE'"
  else
    pass "About box: window titled '$TITLE' opened from the menu"
    read -r DX DY DW DH <<<"$(window_geometry "$DIALOG")"
    echo "About box: ${DW} x ${DH} at ${DX},${DY}"
    wait_focus "$DIALOG" 5 && pass "About box: has the keyboard" || fail "About box: did not get the keyboard"
    wait_drawn about "$DX" "$DY" "0:0:$DW:$DH:About box" || fail "About box: nothing drawn within 4 s"
    keep_window_shot about dialog_about "$DX" "$DY" "$DW" "$DH"
    close_dialog "About box" "$TITLE"
  fi
fi
after_dialog "About box" "1"

shot end
open_menu Up Return # "Выход"
wait_exit "Выход"

if [ "$FAILURES" -ne 0 ]; then
  echo "program output:"
  tail -n 20 "$WORK/corvane.log"
fi
keep_shots dialogs_ end
echo "screenshots: $ARTEFACTS/dialog_*.png"
finish_test
