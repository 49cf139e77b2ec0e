#!/usr/bin/env bash
# Installs what Corvane needs, builds it, and either starts it or runs every test.
#   scripts/corvane.sh run    build and start the program in the current folder
#   scripts/corvane.sh test   build (normal and sanitizer builds) and run every test
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mode="${1:-run}"

packages=(g++ cmake ninja-build libgtest-dev qt6-base-dev fonts-urw-base35
          xvfb xdotool x11-xkb-utils imagemagick python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

jobs="$(nproc)"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j "$jobs"

case "$mode" in
  run)
    exec "$here/build/corvane"
    ;;
  test)
    cmake -S "$here" -B "$here/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCORVANE_SANITIZE=ON -DCORVANE_QT=OFF >/dev/null
    cmake --build "$here/build-sanitize" -j "$jobs"
    echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) =="
    ctest --test-dir "$here/build-sanitize" --output-on-failure -j "$jobs"
    echo "== normal build, Qt backend and real-display tests =="
    ctest --test-dir "$here/build" --output-on-failure -j "$jobs"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
