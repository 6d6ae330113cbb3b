#!/usr/bin/env bash
# `cmake --install` of a finished build: exactly the files the package is
# meant to hold, each of the kind it claims to be.
#   install_tree.sh BUILD_DIR VERSION METAINFO_ID "ICON_SIZES"
set -euo pipefail

build=$1 version=$2 metainfo_id=$3 sizes=$4
for tool in desktop-file-validate identify; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix with space"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  { cat "$work/install.log"; exit 1; }

expected=(
  bin/flitto
  share/man/man1/flitto.1.gz
  share/icons/hicolor/scalable/apps/flitto.svg
  "share/metainfo/$metainfo_id.metainfo.xml"
  share/bash-completion/completions/flitto
  share/flitto/flitto.desktop.in
  share/doc/flitto/copyright
  share/doc/flitto/changelog.Debian.gz
)
for size in $sizes; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/flitto.png")
done
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Nothing more either: no test, benchmark, developer tool or static library.
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort) ||
  fail "the installed files differ from the list above (< missing, > not meant to ship)"

[ -x "$prefix/bin/flitto" ] || fail "bin/flitto is not executable"
"$prefix/bin/flitto" --version >/dev/null || fail "the installed flitto does not start"
zcat "$prefix/share/man/man1/flitto.1.gz" | grep -q '^\.TH FLITTO 1 ' || fail "no manual page in flitto.1.gz"
zcat "$prefix/share/doc/flitto/changelog.Debian.gz" | head -1 | grep -qF "flitto ($version-1)" ||
  fail "the Debian changelog's newest entry is not for $version"
grep -qF "<release version=\"$version\"" "$prefix/share/metainfo/$metainfo_id.metainfo.xml" ||
  fail "the metainfo has no release entry for $version"
head -1 "$prefix/share/doc/flitto/copyright" |
  grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
bash -n "$prefix/share/bash-completion/completions/flitto" || fail "the completion is not valid bash"

for size in $sizes; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/flitto.png"
  got=$(identify -format '%m %wx%h' "$png" 2>&1 || true)
  [ "$got" = "PNG ${size}x${size}" ] || fail "${size}x${size} icon is '$got'"
done

# The template as tools/install.sh fills it for an installation.
entry="$work/flitto.desktop"
sed 's|^Exec=.*|Exec="/opt/Quillbox 4/flitto"|' "$prefix/share/flitto/flitto.desktop.in" >"$entry"
grep -q '^Exec="/opt/Quillbox 4/flitto"$' "$entry" || fail "the template has no Exec line to fill"
desktop-file-validate "$entry" || fail "the filled-in menu entry is not valid"

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "install tree: all checks passed"
