#!/bin/bash
# Typing ahead of a slow disk: the real program under Xvfb with every flush
# made to wait N ms (bench/slow_flush.cpp, preloaded), 44 keys into the entry
# row's call sign at a steady pace, for N = 0, 40 and 100 ms and paces of 10,
# 14 and 20 keys a second; see bench/slow_disk.py for what is printed.
#
#   bench/slow_disk.sh <corvane> <libcorvane_slow_flush.so> [delays [paces]]
#
# The report is written in a folder under the current one, so that the disk
# is the real one.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/xvfb/lib.sh" || exit 1
xvfb_test_init slow_disk "${1:-}" "" "$(pwd)/slow-disk-artefacts"
LIBRARY=$(realpath "${2:-}")
DELAYS=${3:-0,40,100}
PACES=${4:-10,14,20}
[ -f "$LIBRARY" ] || { echo "usage: $0 <corvane> <libcorvane_slow_flush.so> [delays [paces]]"; exit 2; }
start_display
RUN=$(mktemp -d "$(pwd)/slow-disk.XXXXXX")
trap 'rm -rf "$RUN"; xvfb_cleanup' EXIT

# Five contacts and the entry row, opened at start-up.
mkdir -p "$RUN/template"
"$PYTHON" - "$RUN/template/LOG.CBR" <<'PYTHON'
import sys
def qso(hhmm, sent, call, received, date="2010-03-07"):
    fields = [("QSO: ", 5), ("14200", 6), ("CW", 3), (date, 11), (hhmm, 5), ("UA3ABC", 14),
              (sent, 11), (call, 14), (received, 11), (" ", 1)]
    return "".join(t[:w].ljust(w) for t, w in fields)
lines = ["START-OF-LOG: 3.0", "CREATED-BY: Corvane v7.0", "CALLSIGN: UA3ABC"]
lines += [qso("09%02d" % i, "599%03d" % i, "RK%dABC" % i, "59%03d" % i) for i in range(1, 6)]
lines += [qso("", "599006", "", "", ""), "END-OF-LOG: "]
open(sys.argv[1], "wb").write("".join(l + "\r\n" for l in lines).encode("ascii"))
PYTHON
printf '[Main]\r\nFile = LOG.CBR\r\n' >"$RUN/template/corvane.ini"
WIN_X=$WIN_X WIN_Y=$WIN_Y "$PYTHON" "$here/slow_disk.py" "$CORVANE" "$LIBRARY" "$RUN" "$DELAYS" \
  "$PACES" || FAILURES=$((FAILURES + 1))
finish_test
