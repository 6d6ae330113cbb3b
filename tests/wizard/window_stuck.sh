#!/usr/bin/env bash
# The real program in a real window while the data folder's mount (stuckfs)
# stops answering: Cancel during hung checks still ends the program; a copy
# stuck in a read cannot stop, so the window keeps answering and a second
# confirmed Cancel, or a second close, ends the program. Quillbox.ini keeps
# every byte. Exits 77 (skipped) where FUSE mounts cannot be made.
set -uo pipefail
flitto=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/stuckfs.sh"
stuckfs_usable || exit 77
source "$here/xvfb_session.sh"
# The mounts lie in the work folder: they go first.
trap 'stuckfs_unmount_all; cleanup' EXIT
trap 'exit 1' INT TERM HUP

failures=0
fail() { echo "FAIL: $row: $*"; failures=$((failures + 1)); }
# Next at 317, Cancel at 405, both at 294 + 8 in the window, 75 x 25.
next() { click "$window" $((317 + 37)) $((294 + 8 + 12)); }
request_stop() {
  if [ "$how" = close ]; then
    press "$window" alt+F4
    return
  fi
  click "$window" $((405 + 37)) $((294 + 8 + 12))
  local confirm
  confirm=$(wait_window Confirm) && press "$confirm" Return && wait_window_gone "$confirm"
}
stopping() { next_log_line "flitto.pages: stopping the copy"; }

for row in "checks cancel" "copy cancel" "copy close"; do
  read -r stage how <<<"$row"
  base=$work/$stage-$how
  mkdir -p "$base/Quillbox" "$base/backing"
  printf '[Settings]\r\nDataDirectory=%s\r\nConnectionMode=0\r\n' "$base/Data" >"$base/Quillbox/Quillbox.ini"
  cp "$base/Quillbox/Quillbox.ini" "$base/settings-before"
  echo mail >"$base/backing/Messages.dat"
  head -c $((32 << 20)) /dev/zero >"$base/backing/big.dat"
  cp "$flitto" "$base/Quillbox/flitto"
  stuckfs_mount "$base/backing" "$base/Data" || exit 77

  log_lines_taken=0
  start_flitto "$base/Quillbox/flitto"
  window=$(wait_window Flitto) || exit 1
  for page in tabWelcome tabConnection tabLocalSource; do
    wait_page $page enabled && next || exit 1
  done
  wait_page tabTarget enabled || exit 1
  activate "$window"
  click "$window" $((153 + 136 + 60)) $((72 + 10))
  xdotool type --delay 5 "$base/New"
  next
  wait_page tabReady enabled || exit 1

  if [ "$stage" = checks ]; then
    # The checks look at the data folder first and hang there; the Cancel
    # after the Next must be answered all the same.
    stuckfs_hang "$base/Data" && next || exit 1
    request_stop || fail "no answer to Cancel during the checks"
  else
    stuckfs_hang_after "$base/Data" big.dat $((4 << 20))
    next
    stuckfs_wait_hung "$base/Data" || exit 1
    request_stop || fail "no answer to the first request"
    until_state "the copy was never asked to stop" stopping || fail "no stop"
    process_ended "$app_pid" && fail "the first request ended the program"
    request_stop || fail "no answer to the second request"
  fi
  wait_exit "$app_pid" || fail "status $? at the end"
  if [ "$stage" = copy ]; then
    grep -q 'outcome: abandoned' "$work/state/flitto/move.log" 2>/dev/null ||
      fail "the move log does not say the copy was abandoned"
  fi
  cmp -s "$base/settings-before" "$base/Quillbox/Quillbox.ini" || fail "Quillbox.ini changed"
  [ "$failures" = 0 ] || cat "$app_log"
  stuckfs_unmount "$base/Data" || exit 1
  rm -rf "$work/state"
done

[ "$failures" = 0 ] && echo "stuck file system test passed" && exit 0
exit 1
