# Sourced by the real-window checks: a work folder, Xvfb on a free display
# with a window manager, and helpers to drive the program with xdotool.
# Everything started here ends with the script.

for tool in Xvfb openbox xdotool; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/install-deps.sh installs it)"; exit 1; }
done

work=$(mktemp -d)
background_pids=()
cleanup() {
  for pid in "${background_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Let Xvfb pick a free display and tell us its number.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
background_pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
exec 3>&-
export DISPLAY=":$(cat "$work/display")"
# A real window, whatever the caller had set for its own tests.
export QT_QPA_PLATFORM=xcb
openbox >"$work/wm.log" 2>&1 &
background_pids+=($!)
sleep 1

# wait_window TITLE [EXCEPT]: the first visible window with exactly this
# title, other than EXCEPT; fails after 20 seconds.
wait_window() {
  local found
  for _ in $(seq 200); do
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "${2:-none}" | head -n1 || true)
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.1
  done
  echo "no window titled $1" >&2
  return 1
}

# click WINDOW X Y: a left click at a point of the window's client area.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}

# press WINDOW KEYS: keys to a window, activated first as a user's click does.
press() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  sleep 0.3
  xdotool key "$2"
  sleep 0.3
}

# wait_exit PID: waits up to 10 seconds for the program to end; its status.
wait_exit() {
  for _ in $(seq 100); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$1" 2>/dev/null; then
    echo "flitto still running"
    return 1
  fi
  local status=0
  wait "$1" || status=$?
  return "$status"
}
