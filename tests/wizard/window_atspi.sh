#!/usr/bin/env bash
# The real window as a screen reader meets it: a whole local move walked by
# the keyboard alone while window_atspi.py listens on the accessibility bus.
# Only what the program's own accessibility tests cannot see is checked
# there: what the AT-SPI bridge makes of the window, and the events it sends.
# The move must end with Quillbox.ini naming the new folder and the program
# ending with status 0 after Exit.
#
# A private session bus carries the accessibility bus of this check alone;
# the bus and everything it started end with the script.
set -euo pipefail
flitto=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/xvfb_session.sh"

# The system's Python: python3-pyatspi installs its module there only.
python=/usr/bin/python3
bus_launcher=/usr/libexec/at-spi-bus-launcher
for tool in dbus-daemon dbus-send "$python" "$bus_launcher"; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/install-deps.sh installs it)"; exit 1; }
done
"$python" -c 'import pyatspi' 2>/dev/null ||
  { echo "missing python3-pyatspi (tools/install-deps.sh installs it)"; exit 1; }

# session_processes SID: the processes of the session SID and every process
# below them, found through /proc so that no process tool is needed. The
# bus daemon starts its own session; what it starts stays in it, but may be
# handed to init when the process between them ends.
session_processes() {
  local -A children=()
  local stat pid line fields queue=() at=0
  for stat in /proc/[0-9]*/stat; do
    read -r line 2>/dev/null <"$stat" || continue
    pid=${stat#/proc/}
    pid=${pid%/stat}
    # The command name in parentheses may hold spaces: state, parent,
    # process group and session follow it.
    read -ra fields <<<"${line##*) }"
    children[${fields[1]}]+=" $pid"
    if [ "${fields[3]}" = "$1" ]; then queue+=("$pid"); fi
  done
  local -A listed=()
  while [ "$at" -lt "${#queue[@]}" ]; do
    pid=${queue[$at]}
    at=$((at + 1))
    [ -z "${listed[$pid]:-}" ] || continue
    listed[$pid]=1
    echo "$pid"
    for line in ${children[$pid]:-}; do queue+=("$line"); done
  done
}

# The session bus: the program asks it for org.a11y.Bus, which starts
# at-spi-bus-launcher, the accessibility bus below it and at-spi2-registryd
# on that bus, all in the bus's session.
bus_pid=
# none_alive PID...: none of them runs; an ended process that its parent
# has not reaped yet has ended too.
none_alive() {
  local pid line
  for pid in "$@"; do
    read -r line 2>/dev/null <"/proc/$pid/stat" || continue
    line=${line##*) }
    [[ $line == Z* ]] || return 1
  done
  return 0
}
# stop_bus: ends the bus and every process below it; fails when any of them
# outlives the wait, after killing it outright.
stop_bus() {
  [ -n "$bus_pid" ] || return 0
  local tree
  mapfile -t tree < <(session_processes "$bus_pid")
  bus_pid=
  kill "${tree[@]}" 2>/dev/null || true
  if ! until_state "the session bus's processes still running: ${tree[*]}" \
    none_alive "${tree[@]}"; then
    kill -KILL "${tree[@]}" 2>/dev/null || true
    return 1
  fi
}
trap 'stop_bus || true; cleanup' EXIT
# A check stopped from outside cleans up at once too, not after the step it
# waits for: the bus's processes are in a session of their own and outlive
# the script unless its trap ends them.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Its sockets and the accessibility bus's go in the work folder.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
exec 4>"$work/bus.address" 5>"$work/bus.pid"
dbus-daemon --session --fork --address="unix:dir=$work/runtime" --print-address=4 --print-pid=5
exec 4>&- 5>&-
bus_started() { [ -s "$work/bus.pid" ] && [ -s "$work/bus.address" ]; }
until_state "no address from the session bus" bus_started || {
  bus_pid=$(cat "$work/bus.pid" 2>/dev/null) || true
  exit 1
}
bus_pid=$(cat "$work/bus.pid")
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.address")
export DBUS_SESSION_BUS_ADDRESS
# The bus's own address, not one the caller's desktop set.
unset AT_SPI_BUS_ADDRESS
# The accessibility bus up before the program: its bridge would otherwise
# wait for the name to appear. The reply comes once the launcher runs.
a11y_address() {
  dbus-send --session --print-reply=literal --reply-timeout=5000 --dest=org.a11y.Bus \
    /org/a11y/bus org.a11y.Bus.GetAddress >"$work/a11y.address" 2>/dev/null
}
until_state "no accessibility bus (org.a11y.Bus)" a11y_address

mkdir -p "$work/Quillbox" "$work/Data"
printf '[Settings]\r\nDataDirectory=%s\r\nConnectionMode=0\r\n' "$work/Data" >"$work/Quillbox/Quillbox.ini"
printf 'mail' >"$work/Data/Messages.dat"
cp "$flitto" "$work/Quillbox/flitto"

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 start_flitto "$work/Quillbox/flitto"
window=$(wait_window Flitto)
wait_page tabWelcome enabled
# Keys go to the focused window, as a user's do.
activate "$window"

# In the background, so that a signal reaches the trap while it walks.
"$python" "$here/window_atspi.py" --pid "$app_pid" --new-folder "$work/New" \
  --deadline "$wait_seconds" &
walk_pid=$!
background_pids+=("$walk_pid")
status=0
wait "$walk_pid" || status=$?
if [ "$status" -eq 2 ]; then
  echo "the walk could not reach Exit; the program's log:"
  cat "$app_log"
  exit 1
fi

if ! wait_exit "$app_pid"; then
  echo "flitto did not end with status 0 after Exit"
  cat "$app_log"
  exit 1
fi
expected="DataDirectory=$work/New"
if ! tr -d '\r' <"$work/Quillbox/Quillbox.ini" | grep -qxF "$expected"; then
  echo "Quillbox.ini does not name the new folder ($expected):"
  cat "$work/Quillbox/Quillbox.ini"
  status=1
fi
if ! stop_bus; then
  echo "the session bus or a process it started did not end when asked"
  status=1
fi
[ "$status" -eq 0 ] || exit 1
echo "accessibility test passed"
