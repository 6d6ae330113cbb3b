#!/usr/bin/env bash
# The real window as a screen reader meets it: a whole local move walked by
# the keyboard alone while window_atspi.py listens on a private accessibility
# bus for what the AT-SPI bridge makes of the window and the events it sends.
# The move must end with Quillbox.ini naming the new folder and status 0
# after Exit; the bus and everything it started end with the script.
set -euo pipefail
flitto=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/xvfb_session.sh"

# The system's Python: python3-pyatspi installs its module there only.
python=/usr/bin/python3
for tool in dbus-daemon dbus-send "$python" /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/install-deps.sh installs it)"; exit 1; }
done
"$python" -c 'import pyatspi' 2>/dev/null ||
  { echo "missing python3-pyatspi (tools/install-deps.sh installs it)"; exit 1; }

# The bus daemon starts a session of its own; at-spi-bus-launcher, the
# accessibility bus and at-spi2-registryd, which it starts, stay in it even
# once handed to init. Read from /proc, so that no process tool is needed;
# one ended but never reaped (init here may never reap) runs no more. After
# the command name, which may hold spaces, come state, parent, group, session.
bus_processes() {
  local stat fields
  for stat in /proc/[0-9]*/stat; do
    read -r fields 2>/dev/null <"$stat" || continue
    read -ra fields <<<"${fields##*) }"
    [[ ${fields[3]} != "$bus_sid" || ${fields[0]} == Z ]] || echo "${stat//[^0-9]/}"
  done
}
no_bus_processes() { [ -z "$(bus_processes)" ]; }
bus_known() { bus_sid=$(cat "$work/bus.pid" 2>/dev/null) && [ -n "$bus_sid" ]; }
# stop_bus: ends the bus's session; fails when a process of it outlives the
# wait, after naming it and killing it outright. A daemon stopped from
# outside as it starts still forks and tells its process.
stop_bus() {
  local pid
  [ -e "$work/bus.pid" ] || return 0
  until_state "no process from the session bus" bus_known || return 1
  for pid in $(bus_processes); do kill "$pid" 2>/dev/null || true; done
  until_state "the session bus's processes ending" no_bus_processes && return 0
  for pid in $(bus_processes); do
    echo "still running: $pid $(cat "/proc/$pid/comm" 2>/dev/null)"
    kill -KILL "$pid" 2>/dev/null || true
  done
  return 1
}
trap 'stop_bus || true; cleanup' EXIT
# A check stopped from outside cleans up at once, not after the step it
# waits for: the bus's session outlives the script unless its trap ends it.
trap 'exit 129' HUP; trap 'exit 130' INT; trap 'exit 143' TERM

# Its sockets and the accessibility bus's go in the work folder. The daemon
# writes its address and its process once forked: they are waited for.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
dbus-daemon --session --fork --address="unix:dir=$work/runtime" --print-address=4 --print-pid=5 \
  4>"$work/bus.address" 5>"$work/bus.pid"
bus_started() { bus_known && [ -s "$work/bus.address" ]; }
until_state "no address from the session bus" bus_started
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.address")
export DBUS_SESSION_BUS_ADDRESS
# This bus's accessibility bus, not one the caller's desktop set, and up
# before the program, whose bridge would otherwise wait for the name to
# appear. The reply comes once the launcher runs.
unset AT_SPI_BUS_ADDRESS
a11y_bus() {
  dbus-send --session --print-reply --reply-timeout=5000 --dest=org.a11y.Bus \
    /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1
}
until_state "no accessibility bus (org.a11y.Bus)" a11y_bus

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
"$python" "$here/window_atspi.py" "$app_pid" "$work/New" "$wait_seconds" &
background_pids+=("$!")
status=0
wait "$!" || status=$?
[ "$status" -ne 2 ] || { echo "the walk could not reach Exit; the program's log:"; cat "$app_log"; exit 1; }
wait_exit "$app_pid" || { echo "flitto did not end with status 0 after Exit; its log:"; cat "$app_log"; exit 1; }
expected="DataDirectory=$work/New"
tr -d '\r' <"$work/Quillbox/Quillbox.ini" | grep -qxF "$expected" ||
  { echo "Quillbox.ini does not name the new folder ($expected):"; cat "$work/Quillbox/Quillbox.ini"; status=1; }
stop_bus || { echo "the session bus or a process it started did not end when asked"; status=1; }
[ "$status" -eq 0 ] || exit 1
echo "accessibility test passed"
