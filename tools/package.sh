#!/usr/bin/env bash
# Builds the Debian package of Flitto in build/package and checks it: the
# files it holds, lintian, the AppStream metainfo, and the program run from
# the unpacked package against a staged Quillbox installation.
#   tools/package.sh
# Leaves the .deb in build/package. Installs nothing into the system but the
# Debian packages that building and checking need.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

tools/install-deps.sh
# The checkers only packaging needs, kept out of every test run's list.
packaging_packages=(lintian appstream file dpkg-dev)
tools/install-deps.sh "${packaging_packages[@]}"

# Debian's own compiler and linker flags, hardening included, as a package
# built by dpkg-buildpackage would get them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DFLITTO_BUILD_TESTS=OFF -DFLITTO_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/flitto_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/flitto_*.deb)

echo "== $deb"
dpkg-deb --info "$deb"
dpkg -c "$deb"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== lintian"
# Errors fail the package; warnings and notes are shown. As root lintian
# also says that it runs as root, which says nothing about the package.
status=0
lintian --fail-on error --info "$deb" >"$work/lintian.txt" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian.txt" || true
[ "$status" -eq 0 ] || { echo "lintian failed ($status)" >&2; exit 1; }

root="$work/root"
dpkg-deb -x "$deb" "$root"

echo "== appstreamcli"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

echo "== the unpacked program against a staged installation"
mkdir -p "$work/Quillbox" "$work/Data"
printf '[Settings]\nDataDirectory=%s\n' "$work/Data" >"$work/Quillbox/Quillbox.ini"
printf 'messages\n' >"$work/Data/Messages.dat"
# The check's log entry goes to the throwaway folder, not the user's log.
env -u LD_LIBRARY_PATH XDG_STATE_HOME="$work/state" \
  "$root/usr/bin/flitto" --settings "$work/Quillbox/Quillbox.ini" --check --move-to "$work/NewData"
echo "Package ready: $deb"
