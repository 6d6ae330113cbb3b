# Mounts of stuckfs.py for shell tests: a folder mirrored through FUSE that
# can be told to stop answering, or to fail one name with EIO. Source it:
#
#   . tests/support/stuckfs.sh
#   stuckfs_usable || exit 77          # prints why not
#   stuckfs_trap                       # unmounts at any exit
#   stuckfs_mount BACKING MOUNTPOINT || exit 77
#   stuckfs_hang MOUNTPOINT            # every call on it blocks ...
#   stuckfs_release MOUNTPOINT         # ... until this
#   stuckfs_unmount MOUNTPOINT
#
# The control file of a mount is MOUNTPOINT.control, beside it and outside
# it; MOUNTPOINT.control.hung exists while the mount does not answer.
# Every step is bounded in time: a mount is never left behind.

stuckfs_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
stuckfs_mounts=()
stuckfs_pids=()

# True when FUSE mounts can be made here; otherwise prints the reason.
stuckfs_usable() {
  if [ ! -r /dev/fuse ] || [ ! -w /dev/fuse ]; then
    echo "SKIP: no usable /dev/fuse"
    return 1
  fi
  if ! command -v fusermount >/dev/null; then
    echo "SKIP: fusermount is missing (Debian package fuse)"
    return 1
  fi
  if ! /usr/bin/python3 -c 'import fusepy' 2>/dev/null; then
    echo "SKIP: fusepy is missing (Debian package python3-fusepy)"
    return 1
  fi
}

stuckfs_is_mounted() {
  # mountinfo escapes blanks in mount points as \040; test folders have none.
  grep -q " $(realpath -m "$1") " /proc/self/mountinfo
}

# Mounts BACKING mirrored at MOUNTPOINT (made if missing); prints the reason
# and fails when the mount does not come up within ten seconds.
stuckfs_mount() {
  local backing=$1 mountpoint=$2 i
  mkdir -p "$mountpoint"
  : >"$mountpoint.control"
  /usr/bin/python3 "$stuckfs_dir/stuckfs.py" "$backing" "$mountpoint" "$mountpoint.control" \
    2>"$mountpoint.log" &
  stuckfs_mounts+=("$mountpoint")
  stuckfs_pids+=($!)
  for ((i = 0; i < 100; i++)); do
    stuckfs_is_mounted "$mountpoint" && return 0
    kill -0 "$!" 2>/dev/null || break
    sleep 0.1
  done
  echo "SKIP: the FUSE mount at $mountpoint did not come up: $(tail -n 3 "$mountpoint.log")"
  return 1
}

# Every call on the mount blocks from now on.
stuckfs_hang() {
  echo hang >"$1.control.new" && mv "$1.control.new" "$1.control"
  stuckfs_wait_hung "$1"
}

# The mount stops answering once a read of NAME goes past BYTES into it.
stuckfs_hang_after() {
  echo "hang-after $2 $3" >"$1.control.new" && mv "$1.control.new" "$1.control"
}

# Waits (at most a minute) until the mount does not answer.
stuckfs_wait_hung() {
  local i
  for ((i = 0; i < 600; i++)); do
    [ -e "$1.control.hung" ] && return 0
    sleep 0.1
  done
  echo "FAIL: $1 never stopped answering"
  return 1
}

# Calls on NAME (a path below the mount) fail with EIO: every call, or only
# the operations listed, comma-separated (getattr, open, read, write, ...).
stuckfs_fail() {
  echo "eio $2${3:+ $3}" >"$1.control.new" && mv "$1.control.new" "$1.control"
}

# Every order is lifted: the blocked calls go on.
stuckfs_release() {
  : >"$1.control.new" && mv "$1.control.new" "$1.control"
}

# Releases the mount, detaches it and ends its program, within seconds
# whatever state it is in.
stuckfs_unmount() {
  local mountpoint=$1 i pid=
  for i in "${!stuckfs_mounts[@]}"; do
    [ "${stuckfs_mounts[$i]}" = "$mountpoint" ] && pid=${stuckfs_pids[$i]} &&
      unset "stuckfs_mounts[$i]" "stuckfs_pids[$i]"
  done
  [ -e "$mountpoint.control" ] && stuckfs_release "$mountpoint"
  timeout 5 fusermount -u -z "$mountpoint" 2>/dev/null
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    for ((i = 0; i < 20; i++)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  if stuckfs_is_mounted "$mountpoint"; then
    echo "FAIL: $mountpoint is still mounted"
    return 1
  fi
  return 0
}

# Every mount of this shell goes when it exits, by a signal too.
stuckfs_trap() {
  trap stuckfs_unmount_all EXIT
  trap 'exit 1' INT TERM HUP
}

# Every mount of this shell goes.
stuckfs_unmount_all() {
  local mountpoint
  for mountpoint in "${stuckfs_mounts[@]}"; do
    stuckfs_unmount "$mountpoint"
  done
}
