#!/usr/bin/env bash
# The command line beside a file system that stops answering (stuckfs): the
# user can always end a move, and --check never waits on a mount that has
# nothing to do with the database.
#
#   stuck_mount.sh FLITTO
#
# Exits 77 (skipped) where FUSE mounts cannot be made; never leaves a mount.
set -u
flitto=$1
. "$(cd "$(dirname "$0")" && pwd)/../../support/stuckfs.sh"
stuckfs_usable || exit 77

root=$(mktemp -d)
# The mounts go first, so nothing is left waiting on them; then whatever
# this shell started that is still running (by its own process numbers, and
# a move's Flitto as the child of its wrapper), however the test ended.
cleanup() {
  local pid
  stuckfs_unmount_all
  for pid in $(jobs -p); do
    pkill -KILL -P "$pid" 2>/dev/null
    kill -KILL "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

failures=0
fail() {
  echo "FAIL: $row: $*"
  failures=$((failures + 1))
}

# A Quillbox installation in $root/$1 whose data folder is $2, with Flitto.
stage() {
  base=$root/$1
  mkdir -p "$base/Quillbox" "$base/state" "$base/runtime"
  chmod 700 "$base/runtime"
  ln "$flitto" "$base/Quillbox/flitto" 2>/dev/null || cp "$flitto" "$base/Quillbox/flitto"
  printf '[Settings]\r\nDataDirectory=%s\r\nConnectionMode=0\r\n' "$2" >"$base/Quillbox/Quillbox.ini"
  cp "$base/Quillbox/Quillbox.ini" "$base/settings-before"
}

# Flitto of the stage, without a display, with a log folder of its own. It
# takes the place of the calling shell, so that $! is Flitto's own.
exec_flitto() {
  exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_STATE_HOME="$base/state" \
    XDG_RUNTIME_DIR="$base/runtime" "$base/Quillbox/flitto" "$@"
}

# Waits until process $1 has file $3 open as descriptor $2. Its name, not
# its mere presence: the descriptor may have been inherited (ctest passes
# one of its own) and be replaced only once the open is done. The link is
# read without reaching the file's own file system.
wait_for_descriptor() {
  local i
  for ((i = 0; i < 100; i++)); do
    [ "$(readlink "/proc/$1/fd/$2")" = "$3" ] && return 0
    sleep 0.1
  done
  return 1
}

# A move whose data folder stops answering in the middle of the copy: the
# first signal asks for a stop that cannot come, the second ends Flitto.
for row in "INT INT 130" "INT TERM 143"; do
  read -r first second code <<<"$row"
  stage "move-$first-$second" "$root/move-$first-$second/Data"
  mkdir "$base/backing"
  echo mail >"$base/backing/Messages.dat"
  head -c $((32 << 20)) /dev/zero >"$base/backing/big.dat"
  stuckfs_mount "$base/backing" "$base/Data" || exit 77
  stuckfs_hang_after "$base/Data" big.dat $((4 << 20))
  (
    exec_flitto --move-to "$base/New" >"$base/out" 2>"$base/err" &
    echo $! >"$base/pid"
    wait $!
    echo $? >"$base/code"
  ) &
  stuckfs_wait_hung "$base/Data" || { fail "$(cat "$base/err")" && continue; }
  pid=$(cat "$base/pid")
  kill -"$first" "$pid"
  # Nothing to wait for: what is checked is that nothing happens.
  sleep 1
  [ -e "$base/code" ] && fail "one signal ended the stuck move: $(cat "$base/err")"
  kill -"$second" "$pid"
  # The code is written once the whole process is gone.
  for ((i = 0; i < 100; i++)); do
    [ -e "$base/code" ] && break
    sleep 0.1
  done
  if [ ! -e "$base/code" ]; then
    fail "the second signal did not end the move within 10 seconds"
  else
    [ "$(cat "$base/code")" = "$code" ] || fail "exit code $(cat "$base/code"), not $code"
    grep -q "stopped at once; Quillbox.ini is unchanged" "$base/err" ||
      fail "no word of the stop: $(cat "$base/err")"
  fi
  cmp -s "$base/settings-before" "$base/Quillbox/Quillbox.ini" || fail "Quillbox.ini changed"
  stuckfs_unmount "$base/Data" || exit 1
done

# --check while another process holds a file open for writing on a mount
# that stopped answering: one unrelated to the data folder is never touched;
# one that shows the data folder's own files (same inode numbers) holds the
# look, which then names that process instead of passing.
for row in unrelated mirror; do
  stage "check-$row" "$root/check-$row/Data"
  mkdir "$base/Data" "$base/backing"
  echo mail >"$base/Data/Messages.dat"
  echo notes >"$base/backing/notes.txt"
  if [ "$row" = unrelated ]; then
    stuckfs_mount "$base/backing" "$base/Other" || exit 77
    held=$base/Other/notes.txt
  else
    stuckfs_mount "$base/Data" "$base/Other" || exit 77
    held=$base/Other/Messages.dat
  fi
  sleep 600 3>>"$held" &
  holder=$!
  wait_for_descriptor "$holder" 3 "$held" || fail "the holder never opened $held"
  stuckfs_hang "$base/Other" || exit 1
  (exec_flitto --check --move-to "$base/New" >"$base/out" 2>"$base/err") &
  checker=$!
  for ((i = 0; i < 300; i++)); do
    kill -0 "$checker" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$checker" 2>/dev/null && fail "--check did not end within 30 seconds"
  wait "$checker"
  got=$?
  if [ "$row" = unrelated ]; then
    [ "$got" = 0 ] && grep -q "The checks passed" "$base/out" ||
      fail "exit code $got: $(cat "$base/out" "$base/err")"
  else
    [ "$got" = 3 ] && grep -q "were not inspected within 5 seconds" "$base/err" &&
      grep -q "(process $holder)" "$base/err" ||
      fail "exit code $got: $(cat "$base/out" "$base/err")"
  fi
  { kill -KILL "$holder" && wait "$holder"; } 2>/dev/null
  stuckfs_unmount "$base/Other" || exit 1
done

# A data file that cannot be examined (a failing disk answers EIO) fails
# the move by its name; it is never left behind with a success.
row=eio
stage eio "$root/eio/Data"
mkdir "$base/backing"
echo mail >"$base/backing/Messages.dat"
echo folders >"$base/backing/Folders.dat"
stuckfs_mount "$base/backing" "$base/Data" || exit 77
stuckfs_fail "$base/Data" Folders.dat getattr
(exec_flitto --move-to "$base/New" >"$base/out" 2>"$base/err")
got=$?
[ "$got" = 3 ] && grep -q "Cannot examine $base/Data/Folders.dat (Input/output error)" "$base/err" ||
  fail "exit code $got: $(cat "$base/out" "$base/err")"
cmp -s "$base/settings-before" "$base/Quillbox/Quillbox.ini" || fail "Quillbox.ini changed"
stuckfs_unmount "$base/Data" || exit 1

[ "$failures" = 0 ] && echo "PASS" && exit 0
exit 1
