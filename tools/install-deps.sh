#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Flitto
# need, when any of them is missing. Given package names, installs those
# instead (tools/package.sh brings its checkers that way).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libjpeg-dev libxxhash-dev
  libglib2.0-dev
  fonts-liberation
  xvfb xauth xdotool imagemagick openbox x11-utils
  dosfstools fusefat fuse python3-fusepy
  dbus-daemon desktop-file-utils libglib2.0-bin
  at-spi2-core python3-pyatspi
  python3-jsonschema
  clang-format clang-tidy git
  man-db groff-base
)
if [ $# -gt 0 ]; then packages=("$@"); fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then
    sudo=(sudo)
  else
    echo "These Debian packages are missing and this user cannot install them: ${missing[*]}" >&2
    exit 1
  fi
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
