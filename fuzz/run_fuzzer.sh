#!/usr/bin/env bash
# Runs one fuzz target for as long as asked, on a fresh copy of its seeds in
# the build tree (what it finds is kept there, never in fuzz/corpus):
#   bash fuzz/run_fuzzer.sh report 600
#   bash fuzz/run_fuzzer.sh event_loop 3600 -jobs=2   (more libFuzzer options may follow)
# Builds the fuzz tree build-fuzz with clang++ first. An input that breaks the
# target is written to build-fuzz/fuzz/artefacts/<target>-crash-*; run the
# target on that file alone to see it again.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ "$#" -lt 2 ] || [ ! -f "$here/fuzz/$1_fuzzer.cpp" ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options]" >&2
  echo "targets: $(cd "$here/fuzz" && ls ./*_fuzzer.cpp | sed 's|./||; s|_fuzzer.cpp||' | tr '\n' ' ')" >&2
  exit 2
fi
target="$1" seconds="$2"
shift 2
tree="$here/build-fuzz"

if [ ! -f "$tree/CMakeCache.txt" ]; then
  (cd "$here" && cmake --preset fuzz >/dev/null)
fi
cmake --build "$tree" -j "$(nproc)" --target "${target}_fuzzer"
cmake -DFUZZ_TARGET="$target" -DSOURCE="$here/fuzz" -DWORK="$tree/fuzz" \
  -P "$here/fuzz/prepare_corpus.cmake"
dict=()
case "$target" in
  report) dict=(-dict="$here/fuzz/report.dict") ;;
  keyvalue | settings) dict=(-dict="$here/fuzz/keyvalue.dict") ;;
esac
# Absolute paths: the targets work in a private folder of their own.
exec "$tree/fuzz/${target}_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$tree/fuzz/artefacts/${target}-" "${dict[@]}" "$@" \
  "$tree/fuzz/corpus-runs/$target"
