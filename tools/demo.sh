#!/usr/bin/env bash
# Builds Flitto, stages a demo Quillbox installation (a program folder with
# Quillbox.ini, and a data folder holding Messages.dat and a few more files),
# copies flitto into the program folder and starts it from there. Without a
# display it moves the data on the command line instead.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

tools/install-deps.sh

cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFLITTO_BUILD_TESTS=OFF -DFLITTO_BUILD_BENCH=OFF >/dev/null
cmake --build build/demo --target flitto

stage="$repo/build/demo-install"
rm -rf "$stage"
mkdir -p "$stage/Quillbox" "$stage/Data/Archive"
printf '[Settings]\r\nDataDirectory=%s\r\nConnectionMode=0\r\n\r\n[Server]\r\nServerIP=127.0.0.1\r\nAdminPort=12006\r\n' \
  "$stage/Data" >"$stage/Quillbox/Quillbox.ini"
head -c 300000 /dev/urandom >"$stage/Data/Messages.dat"
head -c 40000 /dev/urandom >"$stage/Data/Messages.idx"
head -c 12000 /dev/urandom >"$stage/Data/Folders.dat"
head -c 5000 /dev/urandom >"$stage/Data/Contacts.dat"
printf 'not copied: subfolders stay behind\n' >"$stage/Data/Archive/old.dat"
cp build/demo/wizard/flitto "$stage/Quillbox/flitto"

echo "Demo installation: $stage/Quillbox (program and Quillbox.ini), data in $stage/Data."
echo "Try moving the data to $stage/NewData."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No window here: show the same move on the command line instead, the
  # dry run first, as one would on a server.
  flitto="$stage/Quillbox/flitto"
  echo "No display found: moving the demo data on the command line instead."
  echo
  echo "\$ $flitto --check --move-to $stage/NewData"
  "$flitto" --check --move-to "$stage/NewData"
  echo
  echo "\$ $flitto --move-to $stage/NewData"
  "$flitto" --move-to "$stage/NewData"
  echo
  echo "Now in $stage/NewData:"
  ls -l "$stage/NewData"
  echo "Quillbox.ini now says:"
  grep -a '^DataDirectory=' "$stage/Quillbox/Quillbox.ini" | tr -d '\r'
  exit 0
fi
exec "$stage/Quillbox/flitto"
