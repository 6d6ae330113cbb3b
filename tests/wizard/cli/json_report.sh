#!/usr/bin/env bash
# flitto --json writes one object that its published schema accepts, for a
# move, a dry run and a refusal alike; a usage error stays plain text.
#
#   json_report.sh FLITTO SCHEMA
#
# Exits 77 (skipped) without python3-jsonschema.
set -u
flitto=$1
schema=$2
/usr/bin/python3 -c 'import jsonschema' 2>/dev/null || { echo "python3-jsonschema is missing"; exit 77; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/Quillbox" "$root/Data" "$root/state"
cp "$flitto" "$root/Quillbox/flitto"
printf '[Settings]\r\nDataDirectory=%s\r\n' "$root/Data" >"$root/Quillbox/Quillbox.ini"
echo mail >"$root/Data/Messages.dat"

failures=0
run() { # expected code, expected outcome, arguments...
  local code=$1 outcome=$2
  shift 2
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_STATE_HOME="$root/state" \
    "$root/Quillbox/flitto" --json "$@" >"$root/out" 2>"$root/err"
  local got=$?
  if [ "$got" != "$code" ]; then
    echo "FAIL: $*: exit code $got, not $code: $(cat "$root/err")"
    failures=$((failures + 1))
    return
  fi
  /usr/bin/python3 - "$root/out" "$schema" "$code" "$outcome" <<'PY' || failures=$((failures + 1))
import json, sys, jsonschema
out, schema, code, outcome = sys.argv[1:]
lines = open(out).read().splitlines()
if outcome == "":
    sys.exit(f"FAIL: a usage error printed {lines!r} on stdout" if lines else 0)
assert len(lines) == 1, f"FAIL: {len(lines)} lines on stdout"
report = json.loads(lines[0])
jsonschema.validate(report, json.load(open(schema)))
assert report["exitCode"] == int(code) and report["outcome"] == outcome, report
PY
}

run 0 "would move" --check --move-to "$root/New"
run 3 refused --move-to "$root/Data/Inside"
run 0 moved --move-to "$root/New"
run 0 "nothing to do" --move-to "$root/New"
run 2 "" --move-to "$root/Other" --bogus

[ "$failures" = 0 ] && echo PASS && exit 0
exit 1
