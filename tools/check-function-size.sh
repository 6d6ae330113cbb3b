#!/usr/bin/env bash
# Fails when a function of the program is longer than its folder allows,
# naming each one: 80 lines, and 60 in the move engine and the command line
# (wizard/move/, wizard/cli/), where a function holds a rule of the move
# and must be read whole. Lines are counted as clang-tidy's
# readability-function-size counts them: the body with its blank lines and
# comments. Tests and benchmarks are not held to it.
#
#   tools/check-function-size.sh [FILE.cpp...]
#
# checks every .cpp of the program, or only the files given. It reads the
# compile commands of the build in $FLITTO_BUILD_DIR (build/test by
# default), which tools/test.sh leaves behind, and configures that build
# when it has none.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

build=${FLITTO_BUILD_DIR:-build/test}
jobs=$(nproc)

command -v clang-tidy >/dev/null || tools/install-deps.sh clang-tidy
if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLITTO_WERROR=ON >/dev/null
fi

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files '*.cpp' ':!:tests/' ':!:bench/')
fi

limit_of() {
  case "$1" in
    wizard/move/* | wizard/cli/*) echo 60 ;;
    *) echo 80 ;;
  esac
}

# A file the build does not compile would pass unseen: refuse it instead.
jobs_list=()
for file in "${files[@]}"; do
  file=${file#"$repo"/}
  file=${file#./}
  if ! grep -qF "\"file\": \"$repo/$file\"" "$build/compile_commands.json"; then
    echo "check-function-size: $file is not compiled in $build" >&2
    exit 1
  fi
  jobs_list+=("$(limit_of "$file")" "$file")
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One clang-tidy a file, as many at a time as there are cores, each
# writing its findings to a file of its own. The build's flags are GCC's:
# clang is told to pass over the warning options it does not know. A file
# clang cannot compile fails the check, never passes it.
# shellcheck disable=SC2016 # expanded by the inner shell
tidy_one='
  build=$1 work=$2 limit=$3 file=$4
  if ! clang-tidy -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option \
      --checks="-*,readability-function-size" \
      --config="{CheckOptions: [{key: readability-function-size.LineThreshold, value: $limit}]}" \
      "$file" >"$work/${file//\//%}" 2>&1; then
    cat "$work/${file//\//%}" >&2
    echo "check-function-size: clang-tidy failed on $file" >&2
    exit 1
  fi'
status=0
printf '%s\0' "${jobs_list[@]}" |
  xargs -0 -n 2 -P "$jobs" bash -c "$tidy_one" tidy "$build" "$work" || status=$?
if [ "$status" -ne 0 ]; then
  echo "check-function-size: clang-tidy could not read every file (see above)" >&2
  exit 1
fi

# clang-tidy names the function in its warning and counts its lines in the
# note that follows; the threshold it was given is the file's limit. A
# warning whose note cannot be read is still listed, never dropped.
long=$(cat "$work"/* | awk -v repo="$repo/" -v q="'" '
  function here(line) {
    if (index(line, repo) == 1) line = substr(line, length(repo) + 1)
    split(line, part, ":")
    return part[1] ":" part[2]
  }
  function unread() {
    if (where != "") printf "%s  %s  (its length could not be read)\n", where, name
    where = ""
  }
  / warning: function .* exceeds recommended size\/complexity thresholds \[readability-function-size\]$/ {
    unread()
    name = $0
    sub("^.* warning: function " q, "", name)
    sub(q " exceeds recommended .*$", "", name)
    where = here($0)
    next
  }
  / note: [0-9]+ lines including whitespace and comments \(threshold [0-9]+\)$/ && where != "" {
    match($0, / note: [0-9]+ lines/)
    lines = substr($0, RSTART + 7, RLENGTH - 13)
    match($0, /\(threshold [0-9]+\)$/)
    limit = substr($0, RSTART + 11, RLENGTH - 12)
    printf "%s  %s  %d lines, limit %d\n", where, name, lines, limit
    where = ""
  }
  END { unread() }
' | sort -t: -k1,1 -k2,2n)

if [ -n "$long" ]; then
  echo "Functions longer than their folder allows (80 lines; 60 in wizard/move/ and wizard/cli/):" >&2
  printf '%s\n' "$long" | sed 's/^/  /' >&2
  exit 1
fi
echo "check-function-size: ${#files[@]} files, no function over its limit"
