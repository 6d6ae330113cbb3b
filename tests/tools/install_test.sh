#!/usr/bin/env bash
# tools/install.sh for Quillbox folders with awkward names, with the program
# copied into the folder and with an installed flitto on PATH: the menu
# entry is valid, GLib starts the right program with the right arguments,
# entries of several folders coexist, and --uninstall leaves nothing.
#   install_test.sh SOURCE_DIR
set -euo pipefail

source_dir=$1
if ! command -v desktop-file-validate >/dev/null || ! command -v gio >/dev/null; then
  echo "SKIP: desktop-file-validate or gio is missing (desktop-file-utils, libglib2.0-bin)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A stand-in for flitto that records how it was started: its path and its
# arguments, each ended by a NUL, next to the settings file it was given or
# else next to itself.
recorder='#!/bin/sh
if [ "$1" = --settings ]; then out=$(dirname "$2")/started; else out=$(dirname "$0")/started; fi
printf "%s\0" "$0" "$@" > "$out.tmp" && mv "$out.tmp" "$out"
'
fake="$work/fake-flitto"
printf '%s' "$recorder" >"$fake"
chmod +x "$fake"
mkdir -p "$work/bin"
printf '%s' "$recorder" >"$work/bin/flitto"
chmod +x "$work/bin/flitto"

names=(
  'Quillbox'
  'Program Files/Quillbox 4'
  'costs $HOME and ${PATH}'
  'quote " back` slash\ end'
  'tab	and 100% and %f'
  'ümlaut ∂ folder'
  'Quill box 100% "$HOME"\'
)
failures=0
fail() {
  echo "FAIL [$1]: $2"
  failures=$((failures + 1))
}

# install_one MODE NAME DATA: installs and checks one entry; MODE "copy"
# names the executable, "path" finds flitto on PATH.
install_one() {
  local mode=$1 name=$2 data=$3 folder="$work/root/$2" entry started program
  local -a args=("$folder")
  [ "$mode" = copy ] && args+=("$fake")
  if ! PATH="$work/bin:$PATH" XDG_DATA_HOME="$data" "$source_dir/tools/install.sh" "${args[@]}" >/dev/null; then
    fail "$mode $name" "install.sh failed"
    return
  fi
  # The entry's Comment names the folder, string-escaped.
  entry=$(grep -lF "$(printf '%s' "$folder" | sed 's/\\/\\\\/g; s/\t/\\t/g')" \
    "$data"/applications/flitto-*.desktop | head -n 1 || true)
  if [ -z "$entry" ]; then
    fail "$mode $name" "no entry names the folder"
    return
  fi
  [ -s "$data/icons/hicolor/scalable/apps/flitto.svg" ] || fail "$mode $name" "no icon"
  if ! desktop-file-validate "$entry"; then
    fail "$mode $name" "entry not valid:"
    cat "$entry"
    return
  fi
  if [ "$mode" = copy ]; then
    program="$folder/flitto"
    [ -x "$program" ] || fail "$mode $name" "no program"
    # GLib looks the program up before expanding %%, so a program path
    # with % cannot be started; the argument path of the other mode can.
    [[ $name == *%* ]] && return
    expected=("$program")
  else
    program="$work/bin/flitto"
    [ -e "$folder/flitto" ] && fail "$mode $name" "copied although flitto is installed"
    expected=("$program" --settings "$folder/Quillbox.ini")
  fi
  rm -f "$folder/started"
  XDG_DATA_HOME="$data" gio launch "$entry" || true
  for _ in $(seq 100); do [ -s "$folder/started" ] && break; sleep 0.1; done
  if ! cmp -s "$folder/started" <(printf '%s\0' "${expected[@]}"); then
    fail "$mode $name" "started with: $(tr '\0' '|' <"$folder/started" 2>/dev/null)"
    cat "$entry"
  fi
  rm -f "$folder/started"
}

for mode in copy path; do
  data="$work/data-$mode"
  rm -rf "$work/root"
  for name in "${names[@]}"; do
    mkdir -p "$work/root/$name"
    : >"$work/root/$name/Quillbox.ini"
    install_one "$mode" "$name" "$data"
  done
  # One entry each, side by side.
  count=$(find "$data/applications" -name 'flitto-*.desktop' | wc -l)
  [ "$count" -eq ${#names[@]} ] || fail "$mode" "$count entries for ${#names[@]} folders"
  for name in "${names[@]}"; do
    if ! XDG_DATA_HOME="$data" "$source_dir/tools/install.sh" --uninstall "$work/root/$name" >/dev/null; then
      fail "$mode $name" "--uninstall failed"
    fi
    left=$(find "$work/root/$name" -mindepth 1 ! -name Quillbox.ini)
    [ -z "$left" ] || fail "$mode $name" "left in the folder: $left"
  done
  # mimeinfo.cache is update-desktop-database's index of every entry, not ours.
  left=$(find "$data" ! -type d ! -name mimeinfo.cache)
  [ -z "$left" ] || fail "$mode" "left after --uninstall: $left"
done

# No folder, no entry.
if XDG_DATA_HOME="$work/none" "$source_dir/tools/install.sh" "$work/missing" "$fake" 2>/dev/null ||
  [ -e "$work/none/applications" ]; then
  fail missing "a missing folder was accepted"
fi
[ "$failures" -eq 0 ] && echo "PASS: ${#names[@]} folders, copied and installed"
exit "$failures"
