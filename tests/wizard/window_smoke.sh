#!/usr/bin/env bash
# The real program in a real window: started in a staged installation under
# Xvfb with a window manager, found by its title, cancelled with the mouse and
# confirmed with Enter; it must end with status 0.
set -euo pipefail
flitto=$1
source "$(dirname "$0")/xvfb_session.sh"

mkdir -p "$work/Quillbox" "$work/Data"
printf '[Settings]\r\nDataDirectory=%s\r\nConnectionMode=0\r\n' "$work/Data" >"$work/Quillbox/Quillbox.ini"
printf 'mail' >"$work/Data/Messages.dat"
cp "$flitto" "$work/Quillbox/flitto"

start_flitto "$work/Quillbox/flitto"
window=$(wait_window Flitto)
# Centred and activated: a click before then could land beside the button.
wait_page tabWelcome enabled
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
if [ "$WIDTH" != 574 ] || [ "$HEIGHT" != 335 ]; then
  echo "client size ${WIDTH}x${HEIGHT}, expected 574x335"
  exit 1
fi

# Cancel sits at 405, 294 + 8 in the window, 75 x 25.
click "$window" $((405 + 37)) $((294 + 8 + 12))
confirm=$(wait_window Confirm)
# Enter goes to the focused window, as a user's key press does.
press "$confirm" Return

if ! wait_exit "$app_pid"; then
  echo "flitto did not end cleanly after the confirmed Cancel"
  cat "$work/app.log"
  exit 1
fi
echo "window smoke test passed"
