#!/usr/bin/env bash
# The real program in a real window: started in a staged installation under
# Xvfb with a window manager, found by its title, cancelled with the mouse and
# confirmed with Enter; it must end with status 0.
set -euo pipefail
flitto=$1

for tool in Xvfb openbox xdotool; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/install-deps.sh installs it)"; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
wm_pid=
app_pid=
cleanup() {
  for pid in $app_pid $wm_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/Quillbox" "$work/Data"
printf '[Settings]\r\nDataDirectory=%s\r\nConnectionMode=0\r\n' "$work/Data" >"$work/Quillbox/Quillbox.ini"
printf 'mail' >"$work/Data/Messages.dat"
cp "$flitto" "$work/Quillbox/flitto"

# Let Xvfb pick a free display and tell us its number.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
openbox >"$work/wm.log" 2>&1 &
wm_pid=$!
sleep 1

(cd / && exec "$work/Quillbox/flitto") >"$work/app.log" 2>&1 &
app_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Flitto$' | head -n1)
[ -n "$window" ] || { echo "no window titled Flitto"; exit 1; }
sleep 1
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
if [ "$WIDTH" != 574 ] || [ "$HEIGHT" != 335 ]; then
  echo "client size ${WIDTH}x${HEIGHT}, expected 574x335"
  exit 1
fi

# Cancel sits at 405, 294 + 8 in the window, 75 x 25.
xdotool mousemove --window "$window" $((405 + 37)) $((294 + 8 + 12)) click 1
confirm=$(timeout 20 xdotool search --sync --onlyvisible --name '^Confirm$' | head -n1)
[ -n "$confirm" ] || { echo "no window titled Confirm"; exit 1; }
# Enter goes to the focused window, as a user's key press does.
xdotool windowactivate --sync "$confirm" 2>/dev/null || xdotool windowfocus --sync "$confirm"
sleep 0.5
xdotool key Return

status=0
for _ in $(seq 100); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "flitto still running after the confirmed Cancel"
  exit 1
fi
wait "$app_pid" || status=$?
app_pid=
[ "$status" -eq 0 ] || { echo "flitto ended with status $status"; cat "$work/app.log"; exit 1; }
echo "window smoke test passed"
