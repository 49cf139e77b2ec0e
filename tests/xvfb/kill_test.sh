#!/bin/bash
# The real program on a real X server, killed with SIGKILL at a random moment
# while a contact is being typed, over and over (KILL_ROUNDS, default 100).
# Each round starts the program on the report the last round left, types one
# contact (call sign, Tab, received exchange, Tab, Enter) at its entry row,
# and kills it after a random delay. After every kill the report must read
# back whole (header, CR LF lines of the program's columns, END-OF-LOG last)
# and hold, in order, every contact that an earlier check found in it; a
# contact the kill interrupted is typed again in the next round.
#
# usage: kill_test.sh <corvane> <CORVANE.BMP> <artefacts-dir>
set -u

source "$(dirname "$0")/lib.sh" || { echo "FAIL: $(dirname "$0")/lib.sh is missing"; exit 1; }
xvfb_test_init kill_test "$@"
start_display
export TZ=UTC
ROUNDS=${KILL_ROUNDS:-100}
REPORT="$WORK/run/KILL.CBR"
printf '[Main]\r\nFile = %s\r\n' "$REPORT" >"$WORK/run/corvane.ini"

cat >"$WORK/check.py" <<'PYTHON'
import sys

HEADER = ["START-OF-LOG: 3.0", "CREATED-BY: Corvane v7.0", "CALLSIGN: RA3ABC"]

def qso(date, hhmm, sent, call, received):
    fields = [("QSO: ", 5), ("14200", 6), ("CW", 3), (date, 11), (hhmm, 5), ("RA3ABC", 14),
              (sent, 11), (call, 14), (received, 11), (" ", 1)]
    return "".join(text[:width].ljust(width) for text, width in fields)

def main(argv):
    command, path = argv[1], argv[2]
    if command == "write":
        lines = HEADER + [qso("", "", "599001", "", ""), "END-OF-LOG: "]
        open(path, "wb").write("".join(l + "\r\n" for l in lines).encode("ascii"))
        return 0
    # check <path> <contacts found before>: prints the contacts found now.
    before = int(argv[3])
    data = open(path, "rb").read()
    problems = []
    if not data.endswith(b"END-OF-LOG: \r\n"):
        problems.append("does not end with END-OF-LOG")
    lines = data.split(b"\r\n")[:-1]
    if lines[:len(HEADER)] != [h.encode() for h in HEADER]:
        problems.append("header changed")
    if any(b"\r" in l or b"\n" in l for l in lines):
        problems.append("a bare CR or LF")
    qsos = [l.decode("latin-1") for l in lines if l.startswith(b"QSO: ")]
    if any(len(q) != 81 for q in qsos):
        problems.append("a QSO line of another length")
    done = [q for q in qsos if q[25:29].strip() and q[55:69].strip()]
    for n, q in enumerate(done, 1):
        if q[55:69].strip() != "RA%dA" % n or q[69:80].strip() != "59%03d" % n:
            problems.append("contact %d is %r" % (n, q))
            break
    if len(done) < before:
        problems.append("%d contacts, %d were there before" % (len(done), before))
    if problems:
        print("; ".join(problems))
        for l in lines:
            print("    |%s|" % l.decode("latin-1"))
        return 1
    print(len(done))
    return 0

sys.exit(main(sys.argv))
PYTHON
"$PYTHON" "$WORK/check.py" write "$REPORT"

RANDOM=20100307  # the same delays on every run
committed=0
whole=0
for round in $(seq "$ROUNDS"); do
  start_program
  if ! wait_main_window; then
    fail "round $round: no window"
    break
  fi
  focus_main
  n=$((committed + 1))
  # To the entry row's call sign, clear what an interrupted round left there,
  # then the contact.
  keys=()
  for _ in $(seq 10); do keys+=(Next); done
  keys+=(Right Right Right)
  for _ in $(seq 8); do keys+=(BackSpace); done
  keys+=(Tab)
  for _ in $(seq 8); do keys+=(BackSpace); done
  keys+=(Tab)
  xdotool key --delay 8 "${keys[@]}"
  (
    xdotool type --delay 12 "RA${n}A"
    xdotool key --delay 12 Tab
    xdotool type --delay 12 "$(printf '59%03d' "$n")"
    xdotool key --delay 12 Tab Return
  ) &
  typer=$!
  # Anywhere from the first letter to well after Enter.
  sleep "0.$(printf '%03d' $((RANDOM % 400)))"
  kill -KILL "$APP_PID" 2>/dev/null
  wait "$APP_PID" 2>/dev/null
  APP_PID=""
  wait "$typer" 2>/dev/null
  if found=$("$PYTHON" "$WORK/check.py" check "$REPORT" "$committed"); then
    whole=$((whole + 1))
    committed=$found
  else
    fail "round $round: the report after the kill: $found"
    break
  fi
done
echo "kills: $round, reports read back whole: $whole, contacts committed: $committed"
[ "$whole" -eq "$ROUNDS" ] && pass "$ROUNDS kills, every report whole with every contact found before"
[ "$committed" -gt 0 ] || fail "no contact was ever committed: the kills came too early"
finish_test
