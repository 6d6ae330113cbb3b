#!/usr/bin/env bash
# Fails when clang-format would change a tracked C++ file, naming each one.
# Debian 12's clang-format (14) is the reference: other versions may format
# a few constructs differently.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/flitto-format.$$; then
  grep -o '^[^:]*:[0-9]*:[0-9]*: error' /tmp/flitto-format.$$ | cut -d: -f1 | sort -u |
    sed 's/^/needs clang-format: /' >&2
  rm -f /tmp/flitto-format.$$
  exit 1
fi
rm -f /tmp/flitto-format.$$
