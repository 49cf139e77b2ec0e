#!/usr/bin/env bash
# Installs what Corvane needs, builds it, and either starts it or runs every test.
#   scripts/corvane.sh run    build the program and its help picture, start it here
#   scripts/corvane.sh test   build (normal, sanitizer and fuzz builds) and run every test
#   scripts/corvane.sh package   build the Debian package build/corvane_<version>_<arch>.deb
#   scripts/corvane.sh windows   cross-build build-win32/corvane.exe and run its tests under Wine
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mode="${1:-run}"
jobs="$(nproc)"

# Installs the Debian packages of the list that are missing.
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ "${#missing[@]}" -gt 0 ] || return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

build_packages=(g++ cmake ninja-build libgtest-dev libbenchmark-dev qt6-base-dev fonts-urw-base35
  qt6-translations-l10n libhamlib-dev pkgconf)
# clang brings libFuzzer and its sanitizer run-times (a recommended package of
# it, installed like every other here).
# libhamlib-utils brings rigctld and rigctl, Hamlib's dummy radio on a
# network port for the rig-control test.
test_packages=(xvfb xdotool x11-xkb-utils x11-utils imagemagick python3 faketime clang
  desktop-file-utils libhamlib-utils)
# dpkg-shlibdeps finds the package's library dependencies.
package_packages=(dpkg-dev)
# The Windows program: mingw-w64's cross compilers, and Wine to test it.
windows_packages=(g++-mingw-w64-x86-64 wine wine64 fonts-wine xvfb xdotool x11-utils x11-xkb-utils imagemagick
  locales python3)

configure_normal() {
  cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
}

# The Windows program, with the icon and help picture that the Linux build's
# tools draw.
build_windows() {
  cmake --build "$here/build" -j "$jobs" --target program_icon help_picture
  cmake --preset win32 -S "$here" -DCORVANE_HOST_BUILD="$here/build" >/dev/null
  cmake --build "$here/build-win32" -j "$jobs"
}

# Runs one CTest tree to its end; remembers it when anything failed.
failed_suites=()
run_suite() {
  local name="$1" tree="$2"
  echo "== $name =="
  if ! ctest --test-dir "$tree" --output-on-failure -j "$jobs"; then
    failed_suites+=("$name")
  fi
  # The reason each skipped test gave (a GoogleTest skip prints it after
  # "Skipped", a script skipped by its exit code on a line "SKIPPED: ...").
  local log="$tree/Testing/Temporary/LastTest.log"
  if [ -f "$log" ] && grep -q '^\[  SKIPPED \]\|^SKIPPED: ' "$log"; then
    echo "Skipped, with their reasons:"
    awk '/^[0-9]+\/[0-9]+ Testing: / { test = $3 }
         /^SKIPPED: / { print "  " test ": " substr($0, 10) }
         /: Skipped$/ { getline reason; skip = reason }
         /^\[  SKIPPED \]/ && skip != "" { print "  " $4 ": " skip; skip = "" }' "$log"
  fi
}

case "$mode" in
  run)
    install_packages "${build_packages[@]}"
    configure_normal
    cmake --build "$here/build" -j "$jobs" --target corvane help_picture program_icon
    exec "$here/build/corvane"
    ;;
  package)
    install_packages "${build_packages[@]}" "${package_packages[@]}"
    configure_normal
    cmake --build "$here/build" -j "$jobs" --target corvane help_picture program_icon manual_page
    (cd "$here/build" && cpack -G DEB)
    ;;
  windows)
    install_packages "${build_packages[@]}" "${windows_packages[@]}"
    configure_normal
    build_windows
    run_suite "Windows build under Wine" "$here/build-win32"
    [ "${#failed_suites[@]}" -eq 0 ] || exit 1
    ;;
  test)
    install_packages "${build_packages[@]}" "${test_packages[@]}" "${package_packages[@]}" \
      "${windows_packages[@]}"
    configure_normal
    cmake --build "$here/build" -j "$jobs"
    cmake -S "$here" -B "$here/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCORVANE_SANITIZE=ON -DCORVANE_QT=OFF >/dev/null
    cmake --build "$here/build-sanitize" -j "$jobs"
    cmake -S "$here" -B "$here/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DCORVANE_FUZZ=ON -DCORVANE_QT=OFF >/dev/null
    cmake --build "$here/build-fuzz" -j "$jobs"
    build_windows
    run_suite "sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer)" "$here/build-sanitize"
    run_suite "normal build, Qt backend and real-display tests" "$here/build"
    run_suite "fuzz build (libFuzzer, a short run of each target on its seeds)" "$here/build-fuzz"
    run_suite "Windows build under Wine" "$here/build-win32"
    if [ "${#failed_suites[@]}" -gt 0 ]; then
      printf 'FAILED: %s\n' "${failed_suites[@]}" >&2
      exit 1
    fi
    echo "All test suites passed."
    ;;
  *)
    echo "usage: $0 run|test|package|windows" >&2
    exit 2
    ;;
esac
