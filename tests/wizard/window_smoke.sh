#!/usr/bin/env bash
# The real program in a real window: started in a staged installation under
# Xvfb with a window manager, found by its title, cancelled with the mouse and
# confirmed with Enter; it must end with status 0. The window and its boxes
# carry the application icon, small and large, for the task bar and switcher.
set -euo pipefail
flitto=$1
source "$(dirname "$0")/xvfb_session.sh"

mkdir -p "$work/Quillbox" "$work/Data"
printf '[Settings]\r\nDataDirectory=%s\r\nConnectionMode=0\r\n' "$work/Data" >"$work/Quillbox/Quillbox.ini"
printf 'mail' >"$work/Data/Messages.dat"
cp "$flitto" "$work/Quillbox/flitto"

# has_icon WINDOW: _NET_WM_ICON holds the icon at a menu's and at a
# switcher's size. Qt sets it before the window is mapped.
has_icon() {
  local icon
  icon=$(xprop -id "$1" _NET_WM_ICON)
  if [[ $icon != *"Icon (16 x 16)"* ]] || [[ $icon != *"Icon (64 x 64)"* ]]; then
    echo "no application icon on window $1: ${icon:0:200}"
    return 1
  fi
}

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
has_icon "$window"

# Cancel sits at 405, 294 + 8 in the window, 75 x 25.
click "$window" $((405 + 37)) $((294 + 8 + 12))
confirm=$(wait_window Confirm)
has_icon "$confirm"
# Enter goes to the focused window, as a user's key press does.
press "$confirm" Return

if ! wait_exit "$app_pid"; then
  echo "flitto did not end cleanly after the confirmed Cancel"
  cat "$work/app.log"
  exit 1
fi
echo "window smoke test passed"
