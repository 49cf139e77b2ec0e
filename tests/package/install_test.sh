#!/bin/bash
# cmake --install into a fresh prefix, as any user: every file where it
# belongs, a valid menu entry, and the installed program started through the
# menu's launcher finds its icon and its help picture in <prefix>/share (not
# in the build tree) and keeps corvane.ini in ~/Corvane.
#
# usage: install_test.sh <build-dir> <artefacts-dir>
set -u
BUILD=$(realpath "${1:?usage: install_test.sh <build-dir> <artefacts-dir>}")
ARTEFACTS_DIR=${2:-$BUILD/artefacts}

source "$(dirname "$0")/../xvfb/lib.sh" || { echo "FAIL: the real-display library is missing"; exit 1; }
source "$(dirname "$0")/installed.sh" || { echo "FAIL: $(dirname "$0")/installed.sh is missing"; exit 1; }

PREFIX_DIR=$(mktemp -d /tmp/corvane-prefix.XXXXXX) || { echo "FAIL: no temporary folder"; exit 1; }
trap 'rm -rf "$PREFIX_DIR"' EXIT
PREFIX="$PREFIX_DIR/with space"
if ! cmake --install "$BUILD" --prefix "$PREFIX" >"$PREFIX_DIR/install.log" 2>&1; then
  cat "$PREFIX_DIR/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi
pass "cmake --install into a prefix with a blank in its name"
check_installed_files "$PREFIX" "$(find "$PREFIX" -type f)"
[ -x "$PREFIX/bin/corvane-start" ] && pass "the launcher is executable" || fail "the launcher is not executable"
check_menu_entry "$PREFIX/share/applications/corvane.desktop"

EXEC=$(sed -n 's/^Exec=//p' "$PREFIX/share/applications/corvane.desktop")
xvfb_test_init install_test "$PREFIX/bin/$EXEC" "$PREFIX/share/corvane/CORVANE.BMP" "$ARTEFACTS_DIR"
trap 'xvfb_cleanup; rm -rf "$PREFIX_DIR"' EXIT
start_display
check_started_from_menu
finish_test
