#!/bin/bash
# The Debian package as a contester gets it: built by cpack from this build
# tree, installed with apt-get, the installed program started from its
# installed path (--version, then the real window under Xvfb through the
# menu's launcher, with its icon and the help picture from the share folder),
# the launcher's folder ~/Corvane, then the package removed without a trace.
# Installing needs root: otherwise the test is skipped (exit code 77), as it
# is when a corvane package is installed already (the test would replace it).
#
# usage: package_test.sh <build-dir> <artefacts-dir>
set -u
BUILD=$(realpath "${1:?usage: package_test.sh <build-dir> <artefacts-dir>}")
ARTEFACTS_DIR=${2:-$BUILD/artefacts}
SKIP=77
PREFIX=/usr

skip() {
  echo "SKIPPED: $*"
  exit "$SKIP"
}
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root (CI runs the tests as root)"
for tool in cpack dpkg dpkg-deb apt-get; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
dpkg -s corvane >/dev/null 2>&1 && skip "a corvane package is installed already"
command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed"

source "$(dirname "$0")/../xvfb/lib.sh" || { echo "FAIL: the real-display library is missing"; exit 1; }
source "$(dirname "$0")/installed.sh" || { echo "FAIL: $(dirname "$0")/installed.sh is missing"; exit 1; }

PACKAGE_DIR=$(mktemp -d /tmp/corvane-package.XXXXXX) || { echo "FAIL: no temporary folder"; exit 1; }
INSTALLED=0
# Takes the package away again however the test ends.
remove_leftovers() {
  [ "$INSTALLED" -eq 1 ] && dpkg -s corvane >/dev/null 2>&1 &&
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=120 corvane >/dev/null 2>&1
  rm -rf "$PACKAGE_DIR"
}
trap remove_leftovers EXIT

# ---- the package ------------------------------------------------------------
if ! (cd "$PACKAGE_DIR" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$PACKAGE_DIR") \
  >"$PACKAGE_DIR/cpack.log" 2>&1; then
  cat "$PACKAGE_DIR/cpack.log"
  echo "FAIL: cpack -G DEB"
  exit 1
fi
DEB=$(ls "$PACKAGE_DIR"/corvane_*.deb 2>/dev/null | head -1)
[ -n "$DEB" ] || { echo "FAIL: cpack made no corvane_*.deb"; exit 1; }
echo "PASS: built $(basename "$DEB"), $(stat -c %s "$DEB") bytes"
dpkg-deb -I "$DEB"
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for wanted in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins fonts-urw-base35 \
  qt6-translations-l10n; do
  if grep -Eq "(^|, )$wanted( |,|$)" <<<"$DEPENDS"; then
    pass "depends on $wanted"
  else
    fail "no dependency on $wanted"
  fi
done
check_installed_files "$PREFIX" "$(dpkg-deb -c "$DEB" | awk '{print substr($6, 2)}')"

# ---- installed --------------------------------------------------------------
INSTALLED=1
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=120 "$DEB" \
  >"$PACKAGE_DIR/install.log" 2>&1; then
  cat "$PACKAGE_DIR/install.log"
  echo "FAIL: apt-get install $DEB"
  exit 1
fi
if dpkg -s corvane 2>/dev/null | grep -q '^Status: install ok installed'; then
  echo "PASS: apt-get installed the package"
else
  echo "FAIL: the package is not installed after apt-get"
  exit 1
fi
VERSION=$(cd "$PACKAGE_DIR" && "$PREFIX/bin/corvane" --version 2>&1)
CODE=$?
if [ "$CODE" -eq 0 ] && [ "$VERSION" = "Corvane v7.0" ]; then
  pass "$PREFIX/bin/corvane --version prints '$VERSION' with code 0"
else
  fail "$PREFIX/bin/corvane --version: code $CODE, '$VERSION'"
fi
check_menu_entry "$PREFIX/share/applications/corvane.desktop"
# What the menu entry runs.
EXEC=$(sed -n 's/^Exec=//p' "$PREFIX/share/applications/corvane.desktop")

# ---- the real window, started as the menu starts it -------------------------
xvfb_test_init package_test "$PREFIX/bin/$EXEC" "$PREFIX/share/corvane/CORVANE.BMP" "$ARTEFACTS_DIR"
trap 'xvfb_cleanup; remove_leftovers' EXIT
start_display
check_started_from_menu
keep_shots "package_" help

# ---- removed ----------------------------------------------------------------
if DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=120 corvane \
  >"$PACKAGE_DIR/remove.log" 2>&1; then
  pass "apt-get purge corvane"
else
  cat "$PACKAGE_DIR/remove.log"
  fail "apt-get purge corvane"
fi
if dpkg -s corvane >/dev/null 2>&1; then
  fail "dpkg -s corvane still knows the package"
else
  pass "dpkg -s corvane fails after the removal"
fi
LEFT=""
for file in bin/corvane bin/corvane-start share/corvane share/applications/corvane.desktop \
  share/icons/hicolor/48x48/apps/corvane.png share/man/man1/corvane.1.gz; do
  [ -e "$PREFIX/$file" ] && LEFT="$LEFT $PREFIX/$file"
done
[ -z "$LEFT" ] && pass "no file of the package is left" || fail "left behind:$LEFT"
finish_test
