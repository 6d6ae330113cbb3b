#!/usr/bin/env bash
# Copies flitto into a Quillbox folder and adds a menu entry for the
# current user that starts it there.
#
#   tools/install.sh QUILLBOX_FOLDER [FLITTO_EXECUTABLE]
#
# Without FLITTO_EXECUTABLE the program built in build/ (or build/test/) is
# taken. The entry goes to $XDG_DATA_HOME/applications (~/.local/share by
# default), the icon into the hicolor theme there. Installing again, for
# another folder, replaces the entry.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 QUILLBOX_FOLDER [FLITTO_EXECUTABLE]" >&2
  exit 2
fi
folder=$1
executable=${2:-}
if [ -z "$executable" ]; then
  for candidate in "$root/build/wizard/flitto" "$root/build/test/wizard/flitto"; do
    if [ -x "$candidate" ]; then
      executable=$candidate
      break
    fi
  done
fi
if [ -z "$executable" ] || [ ! -x "$executable" ]; then
  echo "No flitto executable; build it first or name it as the second argument." >&2
  exit 1
fi
if [ ! -d "$folder" ]; then
  echo "Not a folder: $folder" >&2
  exit 1
fi
folder=$(cd "$folder" && pwd -P)
if [[ ${folder//$'\t'/} == *[[:cntrl:]]* ]]; then
  echo "A folder name with a line break or other control character cannot go into a menu entry." >&2
  exit 1
fi
if ! find "$folder" -maxdepth 1 -iname 'Quillbox.ini' | grep -q .; then
  echo "Warning: no Quillbox.ini in $folder; Flitto will refuse to go on there." >&2
fi

# The Exec value of a desktop entry: the program quoted, with ", `, $ and \
# escaped inside the quotes and % doubled; then every \ doubled again and a
# tab written as \t, as every string value of the file escapes them.
exec_value() {
  local path=$1 quoted
  quoted=${path//\\/\\\\}
  quoted=${quoted//\"/\\\"}
  quoted=${quoted//\`/\\\`}
  quoted=${quoted//\$/\\\$}
  quoted=${quoted//%/%%}
  quoted="\"$quoted\""
  quoted=${quoted//\\/\\\\}
  printf '%s' "${quoted//$'\t'/\\t}"
}

install -m 755 "$executable" "$folder/flitto"

data=${XDG_DATA_HOME:-$HOME/.local/share}
install -D -m 644 "$root/resources/desktop/flitto.svg" "$data/icons/hicolor/scalable/apps/flitto.svg"
mkdir -p "$data/applications"
entry="$data/applications/flitto.desktop"
{
  # The shipped entry, started from the Quillbox folder.
  grep -v '^Exec=' "$root/resources/desktop/flitto.desktop"
  printf 'Exec=%s\n' "$(exec_value "$folder/flitto")"
} >"$entry.tmp"
mv "$entry.tmp" "$entry"
if command -v update-desktop-database >/dev/null; then
  update-desktop-database -q "$data/applications" || true
fi
echo "Installed $folder/flitto; menu entry $entry"
