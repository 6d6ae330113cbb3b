# Sourced by the real-window checks: a work folder, Xvfb on a free display
# with a window manager, and helpers to drive the program with xdotool.
# Everything started here ends with the script.
#
# Every step waits for a state (a window, a line in the program's log, the
# program's end), never for a time: on a machine busy with a sanitizer build
# a step can take many times longer than usual. A wait that runs out of time
# only ever fails the check.

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

# How long any one state may take to come.
wait_seconds=60
# How often a wait looks again.
poll=0.05

# until_state WHAT COMMAND...: runs COMMAND until it succeeds; after
# wait_seconds, says that WHAT never came and fails.
until_state() {
  local what=$1 deadline=$((SECONDS + wait_seconds))
  shift
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "waited ${wait_seconds}s: $what" >&2
      return 1
    fi
    sleep "$poll"
  done
}

# Let Xvfb pick a free display and tell us its number.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
background_pids+=($!)
until_state "no display from Xvfb" test -s "$work/display" || exit 1
exec 3>&-
export DISPLAY=":$(cat "$work/display")"
# A real window, whatever the caller had set for its own tests.
export QT_QPA_PLATFORM=xcb
openbox >"$work/wm.log" 2>&1 &
background_pids+=($!)
# A window mapped before the window manager runs is never managed, and
# could not be activated; the desktop count exists once openbox manages.
wm_running() { xdotool get_num_desktops >/dev/null 2>&1; }
until_state "no window manager" wm_running || exit 1

# The program's log: the wizard writes a line for each page it shows and
# for each time Next becomes usable, which start_flitto turns on.
app_log="$work/app.log"
log_lines_taken=0

# start_flitto PROGRAM: starts the program from / with its state under the
# work folder; app_pid is its process.
start_flitto() {
  (cd / && XDG_STATE_HOME="$work/state" QT_LOGGING_RULES="flitto.pages.info=true" \
    QT_MESSAGE_PATTERN="%{category}: %{message}" exec "$1") >"$app_log" 2>&1 &
  app_pid=$!
  background_pids+=("$app_pid")
}

# next_log_line TEXT: whether a line that is exactly TEXT stands in the log
# after the lines earlier waits took; if so, takes the lines up to it.
next_log_line() {
  local at
  at=$(tail -n "+$((log_lines_taken + 1))" "$app_log" 2>/dev/null |
    awk -v line="$1" '$0 == line { print NR; exit }' || true)
  [ -n "$at" ] || return 1
  log_lines_taken=$((log_lines_taken + at))
}

# wait_page PAGE NEXT: waits until the wizard has shown PAGE (its object
# name, as tabReady) with Next enabled or disabled, as NEXT says. Lines are
# taken in order, so a page shown twice needs two waits.
wait_page() {
  local line="flitto.pages: $1, Next $2"
  # Not in a subshell: the wait takes the lines it read.
  local deadline=$((SECONDS + wait_seconds))
  until next_log_line "$line"; do
    if [ "$SECONDS" -ge "$deadline" ] || ! kill -0 "$app_pid" 2>/dev/null; then
      echo "no \"$line\" in the program's log:" >&2
      cat "$app_log" >&2
      return 1
    fi
    sleep "$poll"
  done
}

# find_window TITLE [EXCEPT]: the first visible window with exactly this
# title, other than EXCEPT.
find_window() {
  { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; } |
    awk -v except="${2:-none}" '$0 != except { print; exit }'
}
window_shown() { [ -n "$(find_window "$@")" ]; }
window_hidden() { ! xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1"; }
window_active() {
  xdotool windowactivate "$1" 2>/dev/null
  [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]
}

# wait_window TITLE [EXCEPT]: waits for find_window and prints the window.
wait_window() {
  until_state "no window titled $1" window_shown "$@" || return 1
  find_window "$@"
}

# wait_window_gone WINDOW: waits until the window is no longer shown. A box
# answered from the keyboard closes a moment after the key; a click on the
# window below before then would be swallowed by the box.
wait_window_gone() {
  until_state "window $1 still shown" window_hidden "$1"
}

# activate WINDOW: asks the window manager until it reports the window
# active, as after a user's click on it; keys then reach it.
activate() {
  until_state "window $1 never became active" window_active "$1"
}

# click WINDOW X Y: a left click at a point of the window's client area. The
# caller waits for what the click brings about. The X server takes the move
# and the click in the order sent; --sync would only wait for a move, and
# when the pointer is already there it waits for one that never comes.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# press WINDOW KEYS: keys to a window, activated first as a user's click does.
press() {
  activate "$1" || return 1
  xdotool key "$2"
}

# wait_exit PID: waits for the program to end; its status.
process_ended() { ! kill -0 "$1" 2>/dev/null; }
wait_exit() {
  until_state "flitto still running" process_ended "$1" || return 1
  local status=0
  wait "$1" || status=$?
  return "$status"
}
