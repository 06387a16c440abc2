#!/usr/bin/env bash
# Runs the commands of the README as printed, so that the README cannot promise a command that
# no longer works.
#
#   readme-commands.sh tour SOURCE BUILD   the tour of vorlan-flash and, in its shell, the signed
#                                          images guide's try-out, in a temporary copy of the demo
#                                          folder, against the simulator of BUILD (CTest)
#   readme-commands.sh quick-start SOURCE  the quick start, in SOURCE, headless and at device
#                                          time zero (scripts/test.sh, which is itself one of them)
#
# Both also check every relative link of the README and the guides.
# A command must exit with status 0, or with N where its comment says "exits N". Each command
# runs in the same shell as the ones before it, so that cd, export and alias carry over.
set -euo pipefail
mode=${1:?usage: readme-commands.sh tour SOURCE BUILD | quick-start SOURCE}
source=$(cd "${2:?the source folder}" && pwd)
readme=$source/README.md

# Prints the first fenced block after the heading "## TITLE" of FILE, one command a line, lines
# that end in a backslash joined with the next.
commands() {
    awk -v heading="## $2" '
        $0 == heading { section = 1; next }
        section && /^## / { exit }
        section && /^```/ { if (inside) exit; inside = 1; next }
        inside {
            line = pending $0
            if (line ~ /\\$/) { pending = substr(line, 1, length(line) - 1); next }
            pending = ""
            if (line !~ /^[ \t]*$/) print line
        }' "$1"
}

# Writes a bash script that runs the commands on standard input in order and stops at the first
# whose exit status is not the one its comment promises.
script_of() {
    echo 'shopt -s expand_aliases'
    # A key agent that the commands started goes with them.
    echo 'trap '"'"'[ -z "${GNUPGHOME:-}" ] || gpgconf --kill all'"'"' EXIT'
    local line expected
    while IFS= read -r line; do
        expected=0
        if [[ $line =~ \#.*exits\ ([0-9]+) ]]; then
            expected=${BASH_REMATCH[1]}
        fi
        printf '%s\n' "$line"
        printf 'status=$?; if [ "$status" -ne %d ]; then printf "%%s: exited with status %%s, not %d\\n" %q "$status" >&2; exit 1; fi\n' \
            "$expected" "$expected" "As printed, $line"
    done
}

# Runs, in one shell in FOLDER within SECONDS, the commands under each "## TITLE" of each FILE
# given as FILE:TITLE, each rewritten by the sed expression REWRITE, and shows their output when
# one fails.
run() {
    local folder=$1 seconds=$2 rewrite=$3
    shift 3
    local part list all=""
    for part in "$@"; do
        list=$(commands "${part%%:*}" "${part#*:}")
        if [ -z "$list" ]; then
            echo "${part%%:*}: no commands found under \"## ${part#*:}\"" >&2
            exit 1
        fi
        echo "Running \"${part#*:}\" of ${part%%:*}:"
        sed 's/^/  /' <<<"$list"
        all+="$list"$'\n'
    done
    printf '%s' "$all" | sed "$rewrite" | script_of >"$work/commands.sh"
    (cd "$folder" && TMPDIR=$work timeout -k 5 "$seconds" bash "$work/commands.sh" </dev/null >"$work/output.txt" 2>&1) || {
        cat "$work/output.txt" >&2
        exit 1
    }
}

# Every relative link of the README and the guides leads to a file that exists, and to one of its
# headings where it names one.
check_links() {
    local file target path anchor
    for file in "$readme" "$source"/docs/*.md "$source/sim/README.md" "$source/contrib/ansible/README.md"; do
        while IFS= read -r target; do
            [[ $target == http* ]] && continue
            path=${target%%#*}
            path=$(dirname "$file")/${path:-$(basename "$file")}
            anchor=""
            [[ $target != *#* ]] || anchor=${target#*#}
            if [ ! -e "$path" ]; then
                echo "$file: the link $target leads nowhere" >&2
                exit 1
            fi
            if [ -n "$anchor" ] && ! sed -n 's/^#\+ //p' "$path" | tr 'A-Z ' 'a-z-' | tr -cd 'a-z0-9_\n-' |
                grep -qx -- "$anchor"; then
                echo "$file: the link $target names no heading of $path" >&2
                exit 1
            fi
        done < <(grep -o '](\([^)]*\))' "$file" | sed 's/^](//; s/)$//')
    done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
check_links

case $mode in
tour)
    build=$(cd "${3:?the build folder}" && pwd)
    # The tour starts in the repository's root, where scripts/run.sh has made demo/: here a
    # copy of what it uses, with the build under test as build/.
    mkdir "$work/root" "$work/root/sim"
    cp "$source/sim/vorlan-sim" "$work/root/sim/"
    ln -s "$build" "$work/root/build"
    "$source/scripts/demo-folder.sh" "$work/root/demo" "$build" >/dev/null
    # No policy or keyring of this machine, and the simulator only where the tour asks for it.
    unset LD_PRELOAD
    export VORLAN_UPDATE_SYSCONFDIR=$work/etc VORLAN_UPDATE_DATADIR=$work/share
    run "$work/root" 120 "" "$readme:A tour of vorlan-flash" \
        "$source/docs/signed-images.md:Try it against the simulator"
    ;;
quick-start)
    grep -q 'scripts/test.sh' "$source/.ci/run" || {
        echo "README: .ci/run no longer runs scripts/test.sh" >&2
        exit 1
    }
    # scripts/test.sh is what runs this check; every other command of the quick start runs as
    # printed, without a display, its screenshot kept out of docs/.
    unset DISPLAY WAYLAND_DISPLAY
    export DEMO_SCREENSHOT=$work/window.png DEMO_SECONDS=120
    export VORLAN_SIM_ERASE_US=0 VORLAN_SIM_WRITE_US_PER_KIB=0
    run "$source" 900 's|^scripts/test.sh|: &|' "$readme:Quick start"
    test -s "$work/window.png" || {
        echo "README: the quick start made no screenshot" >&2
        exit 1
    }
    ;;
*)
    echo "readme-commands.sh: unknown mode $mode" >&2
    exit 64
    ;;
esac

# The screenshot that the README shows is the one the desktop's software centre shows.
if ! grep -q 'docs/window.png</image>' "$source/app/com.keldra.vorlan_update.metainfo.xml" ||
    ! grep -q '(docs/window.png)' "$readme" || ! test -s "$source/docs/window.png"; then
    echo "README: docs/window.png is not the screenshot that both the README and the metainfo show" >&2
    exit 1
fi
echo "The README's commands ran as printed."
