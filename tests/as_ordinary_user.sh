#!/usr/bin/env bash
# Runs a test program as an ordinary user (nobody), so that a folder or file
# made read-only with chmod holds for it as it would for a contester; root
# may write anywhere, and the tests then lock folders with the immutable flag
# instead. Skipped (77) when not root: the tests ran the chmod path already.
#   as_ordinary_user.sh PROGRAM [ARGUMENTS...]
set -u
if [ "$(id -u)" -ne 0 ]; then
  echo "already an ordinary user: the chmod path ran in the ordinary test run"
  exit 77
fi
if ! command -v setpriv >/dev/null; then
  echo "setpriv is missing: cannot run as an ordinary user"
  exit 77
fi
if ! setpriv --reuid=65534 --regid=65534 --clear-groups test -x "$1"; then
  echo "the test program is not reachable for an ordinary user here (a closed parent folder)"
  exit 77
fi
# A private folder nobody may write in, for the tests' own temporary folders.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chown 65534:65534 "$work"
exec setpriv --reuid=65534 --regid=65534 --clear-groups env TMPDIR="$work" HOME="$work" "$@"
