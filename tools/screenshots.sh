#!/usr/bin/env bash
# Walks the wizard in a real window under Xvfb, as a user would with the
# keyboard, and saves a screenshot of every page into the given folder.
#   tools/screenshots.sh FLITTO OUTPUT_FOLDER [MODE]   (MODE 0 local, 1 remote)
set -euo pipefail
flitto=$(realpath "$1")
out=$(realpath -m "$2")
mode=${3:-0}
mkdir -p "$out"

work=$(mktemp -d)
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

mkdir -p "$work/Quillbox" "$work/Data"
printf '[Settings]\r\nDataDirectory=%s\r\nConnectionMode=%s\r\n' "$work/Data" "$mode" >"$work/Quillbox/Quillbox.ini"
head -c 200000 /dev/urandom >"$work/Data/Messages.dat"
printf 'x' >"$work/Data/Folders.dat"
cp "$flitto" "$work/Quillbox/flitto"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
"$work/Quillbox/flitto" >/dev/null 2>&1 &
pids+=($!)
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Flitto$' | head -n1)
sleep 1

shot() { import -window "$window" "$out/$1.png"; }
next() { xdotool key --window "$window" alt+n; sleep 0.7; }

shot 1-welcome; next
shot 2-connection; next
# The edits sit at the page's left (153) plus their own left, 10 pixels down.
type_into() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.2; xdotool type "$3"; sleep 0.3; }
if [ "$mode" = 1 ]; then
  type_into $((153 + 152 + 60)) $((72 + 10)) "$work/Data"
fi
shot 3-source; next
type_into $((153 + 136 + 60)) $((72 + 10)) "$work/NewData"
shot 4-target; next
shot 5-ready; next
shot 6-move; next
if [ "$mode" = 1 ]; then shot 7-serverupdate; next; fi
shot 8-completed
echo "screenshots in $out"
