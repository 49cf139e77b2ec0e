#!/bin/bash
# The report check on a real X server (Xvfb): a short contest typed into the
# grid (three contacts, the first station twice), then "Отчёт > Проверить
# отчёт" opens the window "Проверка отчёта" (its own window of the right
# size, centred, with the box of findings drawn); with the split box ticked,
# "Сохранить для отправки" offers the report's name with "-send" and writes
# the copy: the same header, the three contacts in time order with "599 011"
# exchanges, END-OF-LOG at the end, while the report and corvane.ini keep
# their bytes. Escape closes the window and the keyboard goes back to the
# grid. The command line then checks the report and the copy without a
# display. The report, the check's output and the copy are kept in the
# artefacts folder (check_report.cbr, check_output.txt, check_copy.cbr).
#
# usage: check_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>
set -u

source "$(dirname "$0")/lib.sh" || { echo "FAIL: $(dirname "$0")/lib.sh is missing"; exit 1; }
xvfb_test_init check_test "$@"
start_display
export TZ=UTC

REPORT="$WORK/run/contest.cbr"
COPY="$WORK/run/contest-send.cbr"
printf '%s\r\n' "START-OF-LOG: 3.0" "CREATED-BY: Corvane v7.0" "CONTEST: KP" "CALLSIGN: RA3ABC" \
  "CATEGORY-OPERATOR: SINGLE-OP" "CATEGORY-POWER: LOW" "CATEGORY-BAND: ALL" "CATEGORY-MODE: CW" \
  "QSO: 14200 CW                 RA3ABC        599011                               " \
  "END-OF-LOG: " >"$REPORT"
printf '[Main]\r\nFile = %s\r\n' "$REPORT" >"$WORK/run/corvane.ini"

# The clock fixed by libfaketime where it can be: every contact at 09:05, so
# the second RA3A repeats the first in its sub-tour.
CLOCK_ENV=()
FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -1)
if [ -n "$FAKETIME_LIB" ] && ! ldd "$CORVANE" 2>/dev/null | grep -q 'lib[at]san'; then
  CLOCK_ENV=(LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@2010-03-07 09:05:02" FAKETIME_DONT_FAKE_MONOTONIC=1)
  echo "note: clock fixed at 2010-03-07 09:05:02 by libfaketime"
fi

# qso_lines_are <count> <seconds>: waits until the report holds that many QSO lines.
qso_lines_are() {
  local deadline=$(($(date +%s) + $2))
  while [ "$(grep -c '^QSO: ' "$REPORT" 2>/dev/null)" != "$1" ]; do
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

start_program "${CLOCK_ENV[@]}"
wait_opened_report || finish_test
shot start
measure_menu_bar start
BACK=$(xhelper colour "$WORK/start.ppm" "$((WIN_X + MAIN_W - 10))" "$((WIN_Y + 3))")
focus_main
xdotool mousemove 5 5

# ---- a short contest ------------------------------------------------------------
# Tab goes to the call sign (after Enter the cursor stays on the received exchange).
for contact in "ra3a 599011" "rk3b 599007" "ra3a 599012"; do
  xdotool key Tab
  xdotool type --delay 60 "${contact% *}"
  xdotool key Tab
  xdotool type --delay 60 "${contact#* }"
  xdotool key Return
  sleep 0.3
done
if qso_lines_are 4 10; then
  pass "three contacts and the entry row reached the report"
else
  fail "the report does not hold three contacts and the entry row"
  cat "$REPORT"
fi
REPORT_BYTES=$(od -An -tx1 "$REPORT")
INI_BYTES=$(od -An -tx1 "$WORK/run/corvane.ini")

# ---- "Проверка отчёта" ---------------------------------------------------------
TITLE="Проверка отчёта"
open_menu Right Down Return || true # "Отчёт", past "Редактировать шапку"
DIALOG=$(find_window "^$TITLE\$" 10)
if [ -z "$DIALOG" ]; then
  fail "no window titled '$TITLE' from Отчёт > Проверить отчёт"
else
  pass "window titled '$TITLE' opened from the menu"
  check_centred "$DIALOG" "report check" 660 440
  wait_focus "$DIALOG" 5 && pass "report check: has the keyboard" ||
    fail "report check: did not get the keyboard"
  # Screenshots (up to 4 s) until the button made last is drawn.
  deadline=$(($(date +%s) + 4))
  while :; do
    shot check
    xhelper drawn "$WORK/check.ppm" "$DX" "$DY" "$BACK" "540:405:110:25:button" >/dev/null && break
    [ "$(date +%s)" -ge "$deadline" ] && break
    sleep 0.2
  done
  xhelper drawn "$WORK/check.ppm" "$DX" "$DY" "$BACK" "10:10:640:340:report check: box of findings" \
    "10:358:300:20:report check: split box" "340:405:190:25:report check: button 'Сохранить для отправки'" \
    "540:405:110:25:report check: button 'Закрыть'"
  FAILURES=$((FAILURES + $?))
  keep_window_shot check dialog_check "$DX" "$DY" 660 440

  # The split box, then "Сохранить для отправки"; the offered name is taken.
  xdotool mousemove "$((DX + 18))" "$((DY + 368))" click 1
  settle
  xdotool mousemove "$((DX + 435))" "$((DY + 417))" click 1
  SAVE=$(find_window "^Сохранить для отправки\$" 10)
  if [ -z "$SAVE" ]; then
    fail "report check: no file dialog 'Сохранить для отправки'"
  else
    pass "report check: 'Сохранить для отправки' asks for the copy's name"
    timeout 5 xdotool windowfocus --sync "$SAVE" >/dev/null 2>&1
    settle
    xdotool key Return
    window_gone "^Сохранить для отправки\$" 5 || fail "report check: the file dialog stays open"
  fi
  for _ in $(seq 50); do [ -f "$COPY" ] && break; sleep 0.1; done
  if "$PYTHON" - "$REPORT" "$COPY" <<'PYTHON'; then
import sys
report = open(sys.argv[1], "rb").read().decode("cp1251").split("\r\n")
copy = open(sys.argv[2], "rb").read().decode("cp1251").split("\r\n")
head = [line for line in report[: report.index(next(l for l in report if l.startswith("QSO: ")))]]
contacts = [l for l in report if l.startswith("QSO: ") and l[55:69].strip()]
def split(line):
    def piece(text):
        t = text.strip()
        return (t[:3] + " " + t[3:]).ljust(11) if len(t) > 3 and t[3] != " " else text
    return line[:44] + piece(line[44:55]) + line[55:69] + piece(line[69:80]) + line[80:]
want = head + sorted((split(l) for l in contacts), key=lambda l: l[14:30]) + ["END-OF-LOG: ", ""]
if len(contacts) == 3 and copy == want:
    sys.exit(0)
print("    copy:")
for line in copy:
    print("    |%s|" % line)
print("    wanted:")
for line in want:
    print("    |%s|" % line)
sys.exit(1)
PYTHON
    pass "report check: the copy holds the header and the three contacts, split, in time order"
  else
    fail "report check: the copy is not the report's header and contacts"
  fi
  [ "$(od -An -tx1 "$REPORT")" = "$REPORT_BYTES" ] && pass "the report keeps its bytes" ||
    fail "the report changed"
  [ "$(od -An -tx1 "$WORK/run/corvane.ini")" = "$INI_BYTES" ] && pass "corvane.ini keeps its bytes" ||
    fail "corvane.ini changed"

  timeout 5 xdotool windowfocus --sync "$DIALOG" >/dev/null 2>&1
  xdotool key Escape
  if window_gone "^$TITLE\$" 5; then
    pass "report check: Escape closes it"
  else
    fail "report check: Escape did not close it"
    xhelper close "$DIALOG"
  fi
  wait_focus "$WINDOW" 5 && pass "the main window has the keyboard again" ||
    fail "the main window did not get the keyboard back"
fi

# ---- the command line, without a display ---------------------------------------
cp "$REPORT" "$ARTEFACTS/check_report.cbr"
[ -f "$COPY" ] && cp "$COPY" "$ARTEFACTS/check_copy.cbr"
(cd "$WORK/run" && env -u DISPLAY "$CORVANE" --check "$REPORT") >"$ARTEFACTS/check_output.txt" 2>&1
code=$?
want=0
[ ${#CLOCK_ENV[@]} -gt 0 ] && want=1 # the repeat at 09:05
if [ "$code" -eq "$want" ] && grep -q "строка ввода" "$ARTEFACTS/check_output.txt"; then
  pass "corvane --check on the report: exit code $code, the entry row said"
else
  fail "corvane --check on the report: exit code $code (wanted $want)"
  cat "$ARTEFACTS/check_output.txt"
fi
if [ -f "$COPY" ]; then
  (cd "$WORK/run" && env -u DISPLAY "$CORVANE" --check "$COPY") >"$WORK/copy_check.txt" 2>&1
  code=$?
  [ "$code" -eq "$want" ] && ! grep -q "строка ввода" "$WORK/copy_check.txt" &&
    pass "corvane --check on the copy: exit code $code, no entry row" ||
    fail "corvane --check on the copy: exit code $code"
fi
(cd "$WORK/run" && env -u DISPLAY "$CORVANE" --export "$REPORT" "$REPORT") >/dev/null 2>&1
code=$?
[ "$code" -eq 1 ] && [ "$(od -An -tx1 "$REPORT")" = "$REPORT_BYTES" ] &&
  pass "corvane --export over the report itself: refused with code 1" ||
  fail "corvane --export over the report itself: code $code"

focus_main
open_menu Up Return # "Выход"
wait_exit "Выход"
keep_shots check_ start
echo "kept: $ARTEFACTS/dialog_check.png, check_report.cbr, check_output.txt, check_copy.cbr"
finish_test
