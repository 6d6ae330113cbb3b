#!/usr/bin/env bash
# The real program in a real window: Messages.dat is still being written
# while the user moves the database. The warning about the writing program
# is answered with Ignore; the copy's proof must then refuse the move, and
# Quillbox.ini must keep every byte.
set -euo pipefail
flitto=$1
source "$(dirname "$0")/xvfb_session.sh"

mkdir -p "$work/Quillbox" "$work/Data"
printf '[Settings]\r\nDataDirectory=%s\r\nConnectionMode=0\r\n' "$work/Data" >"$work/Quillbox/Quillbox.ini"
cp "$work/Quillbox/Quillbox.ini" "$work/settings-before"
head -c $((8 << 20)) /dev/zero | tr '\0' 'm' >"$work/Data/Messages.dat"
cp "$flitto" "$work/Quillbox/flitto"

# Quillbox at work: one program keeps Messages.dat open and appends to it.
(exec 4>>"$work/Data/Messages.dat"; while :; do printf 'new mail' >&4; sleep 0.01; done) &
background_pids+=($!)

start_flitto "$work/Quillbox/flitto"
window=$(wait_window Flitto)
# Each click only once the page it belongs to is up: a click that comes
# before the first activation would be undone by it, which puts the wizard
# back on the Welcome page.
wait_page tabWelcome enabled
next() { click "$window" $((317 + 37)) $((294 + 8 + 12)); }
next
wait_page tabConnection enabled
next
wait_page tabLocalSource enabled
next
wait_page tabTarget enabled
# The new location's edit: page at 153, 0; the edit at 136, 72 on it. The
# window must hold the keyboard before the click puts the edit's cursor.
activate "$window"
click "$window" $((153 + 136 + 60)) $((72 + 10))
xdotool type --delay 5 "$work/New"
next
wait_page tabReady enabled
next # the checks run

warning=$(wait_window Warning)
press "$warning" alt+i
report=$(wait_window Flitto "$window")
press "$report" Return
wait_window_gone "$report"

status=0
grep -q 'changed while it was copied: is Quillbox still running?' "$work/state/flitto/move.log" || {
  echo "the move log does not name the changed file"; status=1; }
grep -q 'outcome: failed' "$work/state/flitto/move.log" || { echo "the move was not refused"; status=1; }
cmp -s "$work/settings-before" "$work/Quillbox/Quillbox.ini" || { echo "Quillbox.ini changed"; status=1; }
[ "$status" -eq 0 ] || { cat "$work/state/flitto/move.log" "$work/app.log" 2>/dev/null; exit 1; }

click "$window" $((405 + 37)) $((294 + 8 + 12))
confirm=$(wait_window Confirm)
press "$confirm" Return
wait_exit "$app_pid" || { echo "flitto did not end cleanly"; exit 1; }
echo "growing file test passed"
