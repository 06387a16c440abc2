#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need, where they are missing.
set -euo pipefail

required=(
    cmake make g++
    qtbase5-dev qtbase5-dev-tools
    fonts-dejavu-core
    xvfb xauth xdotool imagemagick
)
# Fuzzing wants clang's libFuzzer; where a release names it differently it is skipped.
optional=(clang libclang-rt-14-dev)

missing() {
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            echo "$package"
    done
}

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
install() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@"
}

mapfile -t need < <(missing "${required[@]}")
mapfile -t want < <(missing "${optional[@]}")
[ ${#need[@]} -eq 0 ] && [ ${#want[@]} -eq 0 ] && exit 0

echo "Installing: ${need[*]} ${want[*]}"
$sudo apt-get update -qq
[ ${#need[@]} -eq 0 ] || install "${need[@]}"
[ ${#want[@]} -eq 0 ] || install "${want[@]}" || echo "install-deps.sh: ${want[*]} not installed"
