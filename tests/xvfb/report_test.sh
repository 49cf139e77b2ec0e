#!/bin/bash
# The real program on a real X server (Xvfb) with a report named in
# corvane.ini: at start-up it opens that report without asking (the grid
# shows its contacts, the station box its call sign, the settings file keeps
# its name), the first keystroke rewrites it whole with the opened contacts
# plus the new letter and keeps the original as ".bak", and a contact typed
# into the entry row (call sign, Tab, received exchange, Enter) stands in the
# report file in its columns with the time and date stamps, followed by the
# next entry row. A second start reopens what the first one wrote.
#
# The clock is fixed from outside with libfaketime when it is installed (and
# the program is not a sanitizer build): the stamps must then be 2010-03-07
# and 09:05 or 09:06. Otherwise they must match the system clock around Enter.
#
# usage: report_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>
set -u

source "$(dirname "$0")/lib.sh" || { echo "FAIL: $(dirname "$0")/lib.sh is missing"; exit 1; }
xvfb_test_init report_test "$@"
start_display
export TZ=UTC

# A folder with a blank and capitals in its name, a report name in small
# letters: the path must be used exactly as written.
REPORT_DIR="$WORK/run/Logs 2010"
REPORT="$REPORT_DIR/field day.cbr"
mkdir -p "$REPORT_DIR"
printf '[Main]\r\nFile = %s\r\n' "$REPORT" >"$WORK/run/corvane.ini"

# Cabrillo files as the program writes them: fixed columns, CR LF.
cat >"$WORK/cabrillo.py" <<'PYTHON'
import re, sys, time

OWN = "RA3ABC"
HEADER = ["START-OF-LOG: 3.0", "CREATED-BY: Corvane v7.0", "CONTEST: RDXC",
          "CALLSIGN: " + OWN, "CATEGORY-OPERATOR: SINGLE-OP"]

def qso(band, mode, date, hhmm, sent, call, received):
    fields = [("QSO: ", 5), (band, 6), (mode, 3), (date, 11), (hhmm, 5), (OWN, 14),
              (sent, 11), (call, 14), (received, 11), (" ", 1)]
    return "".join(text[:width].ljust(width) for text, width in fields)

OPENED = [qso("3500", "CW", "2010-03-07", "0901", "599001", "UA1AAA", "599017"),
          qso("3500", "CW", "2010-03-07", "0903", "599002", "RW6BB", "599121")]
ENTRY = qso("3500", "CW", "", "", "599003", "", "")

def report(qsos):
    return "".join(line + "\r\n" for line in HEADER + qsos + ["END-OF-LOG: "]).encode("ascii")

def wait_for(path, want, timeout):
    # True once the file holds exactly `want`; prints what it held otherwise.
    deadline = time.monotonic() + timeout
    data = b""
    while time.monotonic() < deadline:
        try:
            data = open(path, "rb").read()
        except OSError:
            data = b""
        if want(data):
            return data, True
        time.sleep(0.05)
    return data, False

def show(data):
    for line in data.split(b"\r\n"):
        print("    |%s|" % line.decode("latin-1"))

def main(argv):
    command, path = argv[1], argv[2]
    if command == "write":
        open(path, "wb").write(report(OPENED + [ENTRY]))
        return 0
    if command == "keystroke":  # the entry row's call sign holds the one letter R
        want = report(OPENED + [qso("3500", "CW", "", "", "599003", "R", "")])
        data, ok = wait_for(path, lambda d: d == want, float(argv[3]))
        if not ok:
            print("FAIL: after one keystroke the report is not the opened one plus R; it holds:")
            show(data)
        return 0 if ok else 1
    if command == "contact":  # path, timeout, allowed dates, allowed hhmm texts (comma lists)
        dates, times = argv[4].split(","), argv[5].split(",")
        def complete(d):
            lines = d.split(b"\r\n")
            return len(lines) == len(HEADER) + 6 and lines[-2] == b"END-OF-LOG: " and \
                lines[len(HEADER) + 3][44:55].strip() == b"599004"
        data, ok = wait_for(path, complete, float(argv[3]))
        if not ok:
            print("FAIL: the report never held the contact and a new entry row; it holds:")
            show(data)
            return 1
        failures = 0
        def expect(what, got, allowed):
            nonlocal failures
            if got in allowed:
                print("PASS: %s: '%s'" % (what, got))
            else:
                print("FAIL: %s: '%s', expected one of %s" % (what, got, allowed))
                failures += 1
        lines = data.decode("ascii").split("\r\n")
        expect("header lines kept", lines[:len(HEADER)] == HEADER, [True])
        expect("opened contacts kept byte for byte",
               lines[len(HEADER):len(HEADER) + 2] == OPENED, [True])
        line = lines[len(HEADER) + 2]
        expect("contact line length", len(line), [81])
        expect("columns 1-5", line[0:5], ["QSO: "])
        expect("band, columns 6-11", line[5:11], ["3500  "])
        expect("mode, columns 12-14", line[11:14], ["CW "])
        expect("date, columns 15-25", line[14:25], [d + " " for d in dates])
        expect("time, columns 26-30", line[25:30], [t + " " for t in times])
        expect("own call, columns 31-44", line[30:44], [OWN.ljust(14)])
        expect("sent exchange, columns 45-55", line[44:55], ["599003".ljust(11)])
        expect("call sign, columns 56-69", line[55:69], ["RZ9ZZ".ljust(14)])
        expect("received exchange, columns 70-80", line[69:80], ["599042".ljust(11)])
        expect("column 81", line[80:], [" "])
        expect("next entry row", lines[len(HEADER) + 3],
               [qso("3500", "CW", "", "", "599004", "", "")])
        expect("last line", lines[-2:], [["END-OF-LOG: ", ""]])
        return failures
    sys.exit("unknown command " + command)

sys.exit(main(sys.argv))
PYTHON
cabrillo() { "$PYTHON" "$WORK/cabrillo.py" "$@"; }
cabrillo write "$REPORT"
cp "$REPORT" "$WORK/original.cbr"

# libfaketime fixes the clock the program reads; Qt's timers keep the real
# monotonic clock. A sanitizer runtime must come first, so not there.
FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -1)
CLOCK_ENV=()
if [ -n "$FAKETIME_LIB" ] && ! ldd "$CORVANE" 2>/dev/null | grep -q 'lib[at]san'; then
  CLOCK_ENV=(LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@2010-03-07 09:05:02" FAKETIME_DONT_FAKE_MONOTONIC=1)
  echo "note: clock fixed at 2010-03-07 09:05:02 by libfaketime"
else
  echo "note: libfaketime not used; the stamps are checked against the system clock"
fi

# Call-sign cell of grid row r (inside, clear of the border).
call_marks() {  # shot, grid row, colour "R G B": pixels of another colour
  xhelper count-not "$WORK/$1.ppm" "$(sx 184)" "$(sy $((15 * $2 + 11)))" 98 12 $3
}
sent_marks() {
  xhelper count-not "$WORK/$1.ppm" "$(sx 285)" "$(sy $((15 * $2 + 11)))" 98 12 $3
}
# Columns of the station box's inside that hold text (its back is 255,204,204).
station_text_columns() {
  xhelper columns-not "$WORK/$1.ppm" "$(sx 553)" "$(sy 483)" 231 16 255,204,204
}

# ---- run 1: opened at start-up, rewritten by a keystroke, a contact logged --
start_program "${CLOCK_ENV[@]}"
if ! wait_main_window; then
  fail "no window titled 'Corvane v7.0'"
  cat "$WORK/corvane.log"
  finish_test
fi
# After opening, the current cell is row 1, column 1 (the time), painted green.
if ! xhelper wait-green "$((WIN_X + 35))" "$((WIN_Y + 25))" "$((WIN_Y + 90))" "$START_NS" 10000 >/dev/null; then
  fail "no green current cell within 10 s"
fi
shot opened
measure_menu_bar opened
check opened "12:27:0,255,0:current cell row 1 column 1 (the reader puts the cursor there)" \
  "186:27:0,0,0:row 1 column 4 is not current"
[ "$(call_marks opened 1 "0 0 0")" -gt 20 ] && pass "row 1 shows the first opened call sign" ||
  fail "row 1's call-sign cell is empty: the report was not opened"
[ "$(call_marks opened 2 "0 0 0")" -gt 20 ] && pass "row 2 shows the second opened call sign" ||
  fail "row 2's call-sign cell is empty"
[ "$(sent_marks opened 3 "0 0 0")" -gt 20 ] && pass "row 3 (the entry row) shows its sent exchange" ||
  fail "row 3's sent cell is empty"
[ "$(call_marks opened 4 "0 0 0")" -eq 0 ] && pass "row 4 is empty" || fail "row 4 is not empty"

# Within a few timer ticks the station box shows the report's call sign, a
# short text (six letters), not the long "Отчёт не загружен!".
COLUMNS_SEEN=0
DEADLINE=$(($(date +%s) + 6))
while [ "$(date +%s)" -le "$DEADLINE" ]; do
  shot station
  COLUMNS_SEEN=$(station_text_columns station)
  [ "$COLUMNS_SEEN" -gt 0 ] && break
  sleep 0.2
done
if [ "$COLUMNS_SEEN" -ge 20 ] && [ "$COLUMNS_SEEN" -le 80 ]; then
  pass "station box shows a short text ($COLUMNS_SEEN px wide): the call sign"
else
  fail "station box text $COLUMNS_SEEN px wide; a six-letter call sign expected"
fi
if grep -qFx "File = $REPORT"$'\r' "$WORK/run/corvane.ini" && grep -q '^TimeMin = 30' "$WORK/run/corvane.ini"; then
  pass "corvane.ini rewritten at start-up, still naming the report exactly as written"
else
  fail "corvane.ini lost the report's name:"
  cat -A "$WORK/run/corvane.ini" | head -3
fi
if cmp -s "$REPORT" "$WORK/original.cbr" && [ ! -e "$REPORT.bak" ]; then
  pass "opening alone writes nothing"
else
  fail "the report changed or a .bak appeared before any keystroke"
fi

# Page Down goes to the last row in use (the entry row), Tab to its call sign.
focus_main
xdotool key --delay 60 Next Tab
xdotool type --delay 60 "r"
if cabrillo keystroke "$REPORT" 10; then
  pass "one keystroke rewrites the report: the opened contacts plus the letter R"
else
  fail "the keystroke's rewrite"
fi
if cmp -s "$REPORT.bak" "$WORK/original.cbr"; then
  pass "the report as opened is kept as '$(basename "$REPORT").bak'"
else
  fail "no .bak with the original bytes beside the report"
fi

# Without libfaketime the stamp falls in this minute or the next.
NOW=$(date +%s)
DATES="$(date -d "@$NOW" +%Y-%m-%d),$(date -d "@$((NOW + 60))" +%Y-%m-%d)"
TIMES="$(date -d "@$NOW" +%H%M),$(date -d "@$((NOW + 60))" +%H%M)"
xdotool type --delay 60 "z9zz"
xdotool key --delay 60 Tab
xdotool type --delay 60 "599042"
xdotool key Return
if [ ${#CLOCK_ENV[@]} -gt 0 ]; then
  DATES=2010-03-07
  TIMES=0905,0906
fi
cabrillo contact "$REPORT" 10 "$DATES" "$TIMES"
FAILURES=$((FAILURES + $?))
if cmp -s "$REPORT.bak" "$WORK/original.cbr"; then
  pass "later rewrites leave the .bak alone"
else
  fail "after the contact the .bak does not hold the original bytes; it holds:"
  sed 's/^/    |/' "$REPORT.bak"
fi
settle
shot logged

TITLE=$(xdotool getwindowname "$WINDOW")
echo "title: '$TITLE'"
if [ ${#CLOCK_ENV[@]} -gt 0 ]; then
  case "$TITLE" in
    *"Date: 2010-03-07"*) pass "the title clock reads the fixed date" ;;
    *) fail "the title does not show the fixed date 2010-03-07" ;;
  esac
fi
cp "$REPORT" "$WORK/logged.cbr"
xhelper close "$WINDOW"
wait_exit "the close button"
cmp -s "$REPORT" "$WORK/logged.cbr" && pass "ending the program leaves the report as it was" ||
  fail "the report changed at the end of the program"

# ---- run 2: the settings file the program wrote reopens the report ---------
start_program "${CLOCK_ENV[@]}"
if wait_opened_report "second start"; then
  shot reopened
  [ "$(call_marks reopened 3 "0 0 0")" -gt 20 ] && pass "second start shows the logged call sign in row 3" ||
    fail "second start: row 3's call-sign cell is empty"
  [ "$(sent_marks reopened 4 "0 0 0")" -gt 20 ] && pass "second start shows the entry row 4" ||
    fail "second start: row 4's sent cell is empty"
  [ "$(call_marks reopened 5 "0 0 0")" -eq 0 ] && pass "second start: row 5 is empty" ||
    fail "second start: row 5 is not empty"
  xhelper close "$WINDOW"
  wait_exit "the close button (second start)"
  cmp -s "$REPORT" "$WORK/logged.cbr" && pass "a run without changes rewrites nothing" ||
    fail "the report changed in a run without keystrokes"
fi

if [ "$FAILURES" -ne 0 ]; then
  echo "program output:"
  tail -n 20 "$WORK/corvane.log"
fi
keep_shots report_ opened logged reopened
finish_test
