#!/usr/bin/env bash
# Builds the Debian package and installs it with apt: as root directly, otherwise through sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
(cd build && cpack -G DEB >/dev/null)
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
$sudo apt-get install -y "$PWD/build/vorlan-update_1.1_amd64.deb"
