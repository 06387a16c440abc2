#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need, where they are missing.
set -euo pipefail

required=(
    cmake make g++ zlib1g-dev libgcrypt20-dev
    qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools qttranslations5-l10n
    gpgv gpg
    fonts-dejavu-core
    xvfb xauth xdotool imagemagick
    appstream desktop-file-utils libxml2-utils shared-mime-info mandoc
)
# Packages that some releases name differently or lack; what they serve is skipped without them:
# fuzzing (clang's libFuzzer), the .deb and its check (dpkg-shlibdeps, lintian), the fleet
# playbook's test (ansible-core), the faster signature check and its tests (sqv, in Debian from
# 12).
optional=(clang libclang-rt-14-dev dpkg-dev lintian ansible-core sqv)

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
for package in "${want[@]}"; do
    if apt-cache show "$package" >/dev/null 2>&1; then
        install "$package" || echo "install-deps.sh: $package could not be installed; skipping it"
    else
        echo "install-deps.sh: $package is not offered here; skipping it"
    fi
done
