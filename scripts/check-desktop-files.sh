#!/usr/bin/env bash
# Validates what the desktop and the shell read of the tool, with Debian's validators where they
# are installed: the AppStream metainfo, the desktop entry, the MIME type of update images, and
# the manual pages. Exits 77 (skipped) when none of the validators is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
metainfo=app/com.keldra.vorlan_update.metainfo.xml
mime=app/vorlan-update-mime.xml
checked=()
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --pedantic --no-net "$metainfo"
    checked+=(appstreamcli)
fi
if command -v desktop-file-validate >/dev/null; then
    report=$(desktop-file-validate app/vorlan-update.desktop)
    [ -z "$report" ] || { echo "$report" >&2; exit 1; }
    checked+=(desktop-file-validate)
fi
if command -v xmllint >/dev/null; then
    xmllint --noout "$metainfo" "$mime"
    checked+=(xmllint)
fi
if command -v update-mime-database >/dev/null; then
    data=$(mktemp -d)
    trap 'rm -rf "$data"' EXIT
    database=$data/mime
    mkdir -p "$database/packages"
    cp "$mime" "$database/packages/vorlan-update.xml"
    report=$(XDG_DATA_DIRS=$data update-mime-database "$database" 2>&1)
    [ -z "$report" ] || { echo "$report" >&2; exit 1; }
    grep -q ':application/x-vorlan-update-image:\*\.tarnru$' "$database/globs2" ||
        { echo "check-desktop-files.sh: *.tarnru is not an update image" >&2; exit 1; }
    checked+=(update-mime-database)
fi
if command -v mandoc >/dev/null; then
    report=$(mandoc -T lint -W style cli/vorlan-flash.1 app/vorlan-update.1 2>&1) || true
    [ -z "$report" ] || { echo "$report" >&2; exit 1; }
    checked+=(mandoc)
fi
[ ${#checked[@]} -gt 0 ] || { echo "check-desktop-files.sh: no validator is installed"; exit 77; }
echo "check-desktop-files.sh: clean for ${checked[*]}"
