#!/bin/bash
# The floor of a typed letter under Xvfb: bench/key_latency.py types into
# bench/key_floor (a bare X client doing nothing but the durable replace on
# each key), so its figures beside those of bench/key_latency.sh show what the
# toolkit and the program add.
#
#   bench/key_floor.sh <key_floor> [letters]   (default 200)
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/xvfb/lib.sh" || exit 1
xvfb_test_init key_floor "${1:-}" "" "$(pwd)/key-floor-artefacts"
LETTERS=${2:-200}
start_display
RUN=$(mktemp -d "$(pwd)/key-floor.XXXXXX")
trap 'rm -rf "$RUN"; xvfb_cleanup' EXIT
# A report of the typing run's size (700 contacts) for the replace to copy.
head -c 58260 /dev/zero >"$RUN/LOG.CBR"
(cd "$RUN" && exec "$CORVANE" "$RUN/LOG.CBR") >>"$WORK/key_floor.log" 2>&1 &
APP_PID=$!
sleep 0.5
"$PYTHON" "$here/key_latency.py" "$RUN/LOG.CBR" "$LETTERS" 0 || FAILURES=$((FAILURES + 1))
kill "$APP_PID" 2>/dev/null
wait "$APP_PID" 2>/dev/null
finish_test
