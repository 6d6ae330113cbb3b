#!/usr/bin/env bash
# Runs a test as an ordinary user (nobody), for the rules that must hold
# when Flitto is not root: run as root, ctest uses this to try them too.
# Exit 77 (skipped) where that cannot be done.
set -u
if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null; then
  echo "skipped: needs root and setpriv to run the test as another user"
  exit 77
fi
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
if ! "${as_nobody[@]}" test -x "$1"; then
  echo "skipped: $1 is not reachable for the user nobody"
  exit 77
fi
export HOME=/tmp XDG_RUNTIME_DIR= TMPDIR=/tmp
exec "${as_nobody[@]}" "$@"
