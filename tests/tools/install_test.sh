#!/usr/bin/env bash
# tools/install.sh into Quillbox folders with awkward names: the program
# lands there, and the menu entry is valid and starts the program there.
#   install_test.sh SOURCE_DIR
set -euo pipefail

source_dir=$1
if ! command -v desktop-file-validate >/dev/null; then
  echo "SKIP: desktop-file-validate is not installed (desktop-file-utils)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A stand-in for flitto that notes where it was started from.
fake="$work/fake-flitto"
printf '#!/bin/sh\nprintf "%%s" "$0" > "$(dirname "$0")/started-from"\n' >"$fake"
chmod +x "$fake"

names=(
  'Quillbox'
  'Program Files/Quillbox 4'
  'costs $HOME and ${PATH}'
  'quote " back` slash\ end'
  'tab	and 100% and %f'
  'ümlaut ∂ folder'
)
failures=0
for name in "${names[@]}"; do
  folder="$work/root/$name"
  data="$work/data-${#name}-$RANDOM"
  mkdir -p "$folder"
  : >"$folder/Quillbox.ini"
  if ! XDG_DATA_HOME="$data" "$source_dir/tools/install.sh" "$folder" "$fake" >/dev/null; then
    echo "FAIL [$name]: install.sh failed"; failures=$((failures + 1)); continue
  fi
  entry="$data/applications/flitto.desktop"
  [ -x "$folder/flitto" ] || { echo "FAIL [$name]: no program"; failures=$((failures + 1)); }
  [ -s "$data/icons/hicolor/scalable/apps/flitto.svg" ] ||
    { echo "FAIL [$name]: no icon"; failures=$((failures + 1)); }
  if ! desktop-file-validate "$entry"; then
    echo "FAIL [$name]: entry not valid:"; cat "$entry"; failures=$((failures + 1)); continue
  fi
  # GLib's launcher reads the Exec line as the menus do. (It looks the
  # program up before expanding %%, so a name with % cannot be tried.)
  if command -v gio >/dev/null && [[ $name != *%* ]]; then
    rm -f "$folder/started-from"
    XDG_DATA_HOME="$data" gio launch "$entry" || true
    for _ in $(seq 50); do [ -s "$folder/started-from" ] && break; sleep 0.1; done
    started=$(cat "$folder/started-from" 2>/dev/null || true)
    if [ "$started" != "$folder/flitto" ]; then
      echo "FAIL [$name]: started '$started'"; cat "$entry"; failures=$((failures + 1))
    fi
  fi
done

# No folder, no entry.
if XDG_DATA_HOME="$work/none" "$source_dir/tools/install.sh" "$work/missing" "$fake" 2>/dev/null ||
  [ -e "$work/none/applications/flitto.desktop" ]; then
  echo "FAIL: a missing folder was accepted"; failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "PASS: ${#names[@]} folders"
exit "$failures"
