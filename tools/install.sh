#!/usr/bin/env bash
# Adds a menu entry that starts Flitto on one Quillbox installation, or
# removes it again.
#
#   tools/install.sh [--system] [--uninstall] QUILLBOX_FOLDER [FLITTO_EXECUTABLE]
#
# A flitto found on PATH (the package's /usr/bin/flitto) is used where it
# is, with --settings naming the folder's Quillbox.ini. Otherwise, or when
# FLITTO_EXECUTABLE is named, the program is copied into the Quillbox
# folder (without FLITTO_EXECUTABLE: the one built in build/ or
# build/test/) and the entry starts that copy.
#
# Each installation gets its own entry, applications/flitto-<hash>.desktop
# with the hash taken from the folder's path, so several coexist; the icon
# goes into the hicolor theme. Both go under $XDG_DATA_HOME (~/.local/share
# by default), with --system under /usr/share. --uninstall removes the
# folder's entry, the copied program if the entry says it was copied, and
# the icon once no entry is left to show it.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
usage() {
  echo "usage: $0 [--system] [--uninstall] QUILLBOX_FOLDER [FLITTO_EXECUTABLE]" >&2
  exit 2
}
system=0
uninstall=0
while [ $# -gt 0 ]; do
  case $1 in
    --system) system=1 ;;
    --uninstall) uninstall=1 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
  shift
done
if [ $# -lt 1 ] || [ $# -gt 2 ] || { [ "$uninstall" -eq 1 ] && [ $# -ne 1 ]; }; then
  usage
fi
folder=$1
executable=${2:-}

if [ "$system" -eq 1 ]; then
  data=/usr/share
else
  data=${XDG_DATA_HOME:-$HOME/.local/share}
fi
applications="$data/applications"
icon="$data/icons/hicolor/scalable/apps/flitto.svg"

# The entry's name must come out the same when installing and when
# uninstalling, even for a folder that has gone since: the path with its
# links resolved as far as it still exists.
entry_of() {
  local hash
  hash=$(printf '%s' "$1" | sha256sum | cut -c1-16)
  printf '%s/flitto-%s.desktop' "$applications" "$hash"
}

refresh_menu() {
  if command -v update-desktop-database >/dev/null; then
    update-desktop-database -q "$applications" 2>/dev/null || true
  fi
}

if [ "$uninstall" -eq 1 ]; then
  folder=$(realpath -m -- "$folder")
  entry=$(entry_of "$folder")
  if [ ! -e "$entry" ]; then
    echo "No menu entry for $folder ($entry)." >&2
    exit 1
  fi
  if grep -qx 'X-Flitto-Copied=true' "$entry"; then
    rm -f -- "$folder/flitto"
  fi
  rm -f -- "$entry"
  # The icon is shared by every entry, and by the package's own when there
  # is one: it goes with the last entry, and only if it is ours.
  if [ -e "$icon" ] && ! compgen -G "$applications/flitto*.desktop" >/dev/null &&
    cmp -s "$icon" "$root/resources/desktop/flitto.svg" &&
    ! { command -v dpkg-query >/dev/null && dpkg-query -S "$icon" >/dev/null 2>&1; }; then
    rm -f -- "$icon"
  fi
  refresh_menu
  echo "Removed the menu entry for $folder"
  exit 0
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

copy=1
if [ -z "$executable" ]; then
  if installed=$(command -v flitto) && [ -x "$installed" ]; then
    copy=0
    executable=$(realpath -- "$installed")
  else
    for candidate in "$root/build/wizard/flitto" "$root/build/test/wizard/flitto"; do
      if [ -x "$candidate" ]; then
        executable=$candidate
        break
      fi
    done
  fi
fi
if [ -z "$executable" ] || [ ! -x "$executable" ]; then
  echo "No flitto executable; build it first or name it as the second argument." >&2
  exit 1
fi

# One argument of an Exec line: quoted, with ", `, $ and \ escaped inside
# the quotes and % doubled; then every \ doubled again and a tab written as
# \t, as every string value of the file escapes them. GLib's loader undoes
# both levels; quoting only once is accepted by desktop-file-validate but
# starts the program with a mangled path.
exec_argument() {
  local quoted=$1
  quoted=${quoted//\\/\\\\}
  quoted=${quoted//\"/\\\"}
  quoted=${quoted//\`/\\\`}
  quoted=${quoted//\$/\\\$}
  quoted=${quoted//%/%%}
  quoted="\"$quoted\""
  quoted=${quoted//\\/\\\\}
  printf '%s' "${quoted//$'\t'/\\t}"
}

# A plain string value (Name, Comment): only the string-level escapes.
string_value() {
  local value=${1//\\/\\\\}
  printf '%s' "${value//$'\t'/\\t}"
}

if [ "$copy" -eq 1 ]; then
  install -m 755 "$executable" "$folder/flitto"
  # The copy finds Quillbox.ini next to itself.
  exec_line=$(exec_argument "$folder/flitto")
else
  exec_line="$(exec_argument "$executable") --settings $(exec_argument "$folder/Quillbox.ini")"
fi

if [ ! -e "$icon" ]; then
  install -D -m 644 "$root/resources/desktop/flitto.svg" "$icon"
fi
mkdir -p "$applications"
entry=$(entry_of "$folder")
{
  # The shipped entry, made to name this installation.
  grep -v '^\(Exec\|Name\|Comment\)=' "$root/resources/desktop/flitto.desktop"
  printf 'Name=Flitto (%s)\n' "$(string_value "$(basename -- "$folder")")"
  printf 'Comment=Move the database of the Quillbox installation in %s\n' "$(string_value "$folder")"
  printf 'Exec=%s\n' "$exec_line"
  printf 'X-Flitto-Copied=%s\n' "$([ "$copy" -eq 1 ] && echo true || echo false)"
} >"$entry.tmp"
mv -- "$entry.tmp" "$entry"
refresh_menu
if [ "$copy" -eq 1 ]; then
  echo "Installed $folder/flitto; menu entry $entry"
else
  echo "Menu entry $entry starts $executable for $folder"
fi
