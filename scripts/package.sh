#!/usr/bin/env bash
# Builds the .deb from build/, checks that it holds exactly the tool's files, and runs lintian
# on it where lintian is installed: no error, no warning and no hardening tag may show. Skipped,
# with a message, without dpkg-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v dpkg-shlibdeps >/dev/null; then
    echo "package.sh: dpkg-shlibdeps (dpkg-dev) is not installed; packaging not checked"
    exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config build/CPackConfig.cmake -G DEB -B "$out" >/dev/null
deb=("$out"/*.deb)
expected="./etc/vorlan-update/vorlan-update.conf
./usr/bin/vorlan-flash
./usr/bin/vorlan-update
./usr/lib/sysusers.d/vorlan.conf
./usr/lib/udev/rules.d/60-vorlan.rules
./usr/share/applications/vorlan-update.desktop
./usr/share/bash-completion/completions/vorlan-flash
./usr/share/doc/vorlan-update/changelog.gz
./usr/share/doc/vorlan-update/copyright
./usr/share/icons/hicolor/128x128/apps/vorlan-update.png
./usr/share/icons/hicolor/48x48/apps/vorlan-update.png
./usr/share/icons/hicolor/64x64/apps/vorlan-update.png
./usr/share/icons/hicolor/scalable/apps/vorlan-update.svg
./usr/share/lintian/overrides/vorlan-update
./usr/share/man/man1/vorlan-flash.1.gz
./usr/share/man/man1/vorlan-update.1.gz
./usr/share/metainfo/com.keldra.vorlan_update.metainfo.xml
./usr/share/mime/packages/vorlan-update.xml
./usr/share/vorlan-update/translations/vorlan-update_de.qm
./usr/share/zsh/vendor-completions/_vorlan-flash"
files=$(dpkg-deb --fsys-tarfile "${deb[0]}" | tar -t | grep -v '/$' | LC_ALL=C sort)
if [ "$files" != "$expected" ]; then
    echo "package.sh: the package holds other files than expected:" >&2
    diff <(echo "$expected") <(echo "$files") >&2 || true
    exit 1
fi
dpkg-deb --field "${deb[0]}" Depends | grep -q libqt5widgets5 ||
    { echo "package.sh: the package does not depend on Qt's widgets" >&2; exit 1; }
dpkg-deb --field "${deb[0]}" Depends | grep -qw gpgv ||
    { echo "package.sh: the package does not depend on gpgv" >&2; exit 1; }
dpkg-deb --field "${deb[0]}" Recommends | grep -qw sqv ||
    { echo "package.sh: the package does not recommend sqv" >&2; exit 1; }
dpkg-deb --info "${deb[0]}" conffiles | grep -qx /etc/vorlan-update/vorlan-update.conf ||
    { echo "package.sh: the policy file is not a conffile" >&2; exit 1; }
dpkg-deb --info "${deb[0]}" postinst >/dev/null ||
    { echo "package.sh: the package has no postinst to create the group vorlan" >&2; exit 1; }
if command -v lintian >/dev/null; then
    # Hardening tags are informational or warnings: shown here, and failing on their own.
    report=$(lintian --pedantic --display-info --fail-on error,warning "${deb[0]}") || {
        echo "$report" >&2
        exit 1
    }
    [ -z "$report" ] || echo "$report"
    if grep -qE '^[A-Z]: [^ ]+: hardening-' <<<"$report"; then
        echo "package.sh: the tool is not built hardened" >&2
        exit 1
    fi
else
    echo "package.sh: lintian is not installed; the package was not linted"
fi
echo "package.sh: $(basename "${deb[0]}") holds the tool's files$(command -v lintian >/dev/null && echo ' and passes lintian')"
