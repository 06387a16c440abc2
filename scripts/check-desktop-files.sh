#!/usr/bin/env bash
# Validates what the desktop and the shell read of the tool with Debian's validators: the
# AppStream metainfo, the desktop entry, the MIME type of update images, and the manual pages.
# A validator that is missing fails the check (scripts/install-deps.sh installs them all).
set -euo pipefail
cd "$(dirname "$0")/.."
metainfo=app/com.keldra.vorlan_update.metainfo.xml
mime=app/vorlan-update-mime.xml

missing=()
for tool in appstreamcli:appstream desktop-file-validate:desktop-file-utils xmllint:libxml2-utils \
    update-mime-database:shared-mime-info mandoc:mandoc; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "check-desktop-files.sh: install ${missing[*]} (scripts/install-deps.sh) to check" >&2
    exit 1
fi

# Each validator's complaints, whatever its exit status says, fail the check.
complaints() {
    local report
    report=$("$@" 2>&1) || true
    [ -z "$report" ] || { echo "$*:" >&2; echo "$report" >&2; return 1; }
}

# appstreamcli passes what it only remarks on: any issue it names, a pedantic one too, fails here.
report=$(appstreamcli validate --pedantic --no-net --format=yaml "$metainfo" 2>&1) || true
! grep -q 'tag:\|Passed: no' <<<"$report" || { echo "$report" >&2; exit 1; }
complaints desktop-file-validate app/vorlan-update.desktop
complaints xmllint --noout "$metainfo" "$mime"
complaints mandoc -T lint -W style cli/vorlan-flash.1 app/vorlan-update.1

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
mkdir -p "$data/mime/packages"
cp "$mime" "$data/mime/packages/vorlan-update.xml"
XDG_DATA_DIRS=$data complaints update-mime-database "$data/mime"
grep -q ':application/x-vorlan-update-image:\*\.tarnru$' "$data/mime/globs2" ||
    { echo "check-desktop-files.sh: *.tarnru is not an update image" >&2; exit 1; }
echo "check-desktop-files.sh: clean"
