#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need, where they are missing.
set -euo pipefail

packages=(
    cmake make g++ pkg-config
    qtbase5-dev qtbase5-dev-tools
    fonts-dejavu-core
    xvfb xauth xdotool imagemagick
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
