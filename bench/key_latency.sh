#!/bin/bash
# The real program under Xvfb: start-up to the painted window and resident
# memory, with an empty folder and with a 767-row report reopened at
# start-up; then a typed letter and Enter, from the key event to the renamed
# report, against a durable replace measured in the same run.
#
#   bench/key_latency.sh <corvane> [letters [enters]]   (defaults 200 and 50)
#
# The report is written in a folder under the current one, so that the disk
# is the real one (Xvfb's own files stay in /tmp).
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/xvfb/lib.sh" || exit 1
xvfb_test_init key_latency "${1:-}" "" "$(pwd)/key-latency-artefacts"
LETTERS=${2:-200}
ENTERS=${3:-50}
start_display
RUN=$(mktemp -d "$(pwd)/key-latency.XXXXXX")
trap 'rm -rf "$RUN"; xvfb_cleanup' EXIT

# A report of `rows` rows: contacts on 14200, one every two minutes, then the entry row.
make_report() {
  "$PYTHON" - "$1" "$2" <<'PYTHON'
import sys
path, contacts = sys.argv[1], int(sys.argv[2])
def qso(date, hhmm, sent, call, received):
    fields = [("QSO: ", 5), ("14200", 6), ("CW", 3), (date, 11), (hhmm, 5), ("UA3ABC", 14),
              (sent, 11), (call, 14), (received, 11), (" ", 1)]
    return "".join(t[:w].ljust(w) for t, w in fields)
lines = ["START-OF-LOG: 3.0", "CREATED-BY: Corvane v7.0", "CALLSIGN: UA3ABC"]
for i in range(1, contacts + 1):
    m = 2 * i
    lines.append(qso("2010-03-07", "%02d%02d" % (m // 60 % 24, m % 60), "599%03d" % (i % 1000),
                     "RK%dABC" % (i % 90), "59%03d" % (i % 1000)))
lines.append(qso("", "", "599%03d" % ((contacts + 1) % 1000), "", ""))
lines.append("END-OF-LOG: ")
open(path, "wb").write("".join(l + "\r\n" for l in lines).encode("ascii"))
PYTHON
}

# start_in <folder>: the program started there; sets STARTUP_MS and RSS_KB.
start_in() {
  START_NS=$(date +%s%N)
  (cd "$1" && exec "$CORVANE") >>"$WORK/corvane.log" 2>&1 &
  APP_PID=$!
  STARTUP_MS=$(xhelper wait-green "$((WIN_X + 233))" "$((WIN_Y + 25))" "$((WIN_Y + 500))" "$START_NS" 10000)
  sleep 1
  RSS_KB=$(awk '/^VmRSS/ {print $2}' "/proc/$APP_PID/status")
}

stop_program() {
  kill "$APP_PID" 2>/dev/null
  wait "$APP_PID" 2>/dev/null
  APP_PID=""
}

mkdir -p "$RUN/empty" "$RUN/full"
start_in "$RUN/empty"
echo "empty folder: start-up to the painted window ${STARTUP_MS:-none} ms, resident memory ${RSS_KB} kB"
stop_program
make_report "$RUN/full/LOG.CBR" 767
printf '[Main]\r\nFile = LOG.CBR\r\n' >"$RUN/full/corvane.ini"
start_in "$RUN/full"
echo "767-row report: start-up to the painted window ${STARTUP_MS:-none} ms, resident memory ${RSS_KB} kB"
stop_program

# Typing: a report of 700 contacts, so that every Enter opens a new row.
mkdir -p "$RUN/typing"
make_report "$RUN/typing/LOG.CBR" 700
printf '[Main]\r\nFile = LOG.CBR\r\n' >"$RUN/typing/corvane.ini"
start_in "$RUN/typing"
wait_main_window && focus_main
# To the entry row's call sign: PageDown to the last row, then three columns right.
xdotool key --delay 5 $(for _ in $(seq 30); do printf 'Next '; done) Right Right Right
sleep 0.5
"$PYTHON" "$here/key_latency.py" "$RUN/typing/LOG.CBR" "$LETTERS" "$ENTERS" || FAILURES=$((FAILURES + 1))
stop_program
finish_test
