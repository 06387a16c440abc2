#!/usr/bin/env bash
# Builds the tool, packs a sample update image into demo/ and starts the tool there against the
# driver simulator, at the pace of a real device (an update takes about a minute).
# Without a display it runs one update on an X server of its own instead, saves a screenshot of
# the finished window as docs/window.png (or DEMO_SCREENSHOT) and says whether the simulated
# flash holds the image; it gives up with a message after DEMO_SECONDS (300 by default).
# `scripts/run.sh IMAGE` updates with IMAGE instead of the sample.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"

demo="$root/demo"
screenshot=${DEMO_SCREENSHOT:-$root/docs/window.png}
rm -rf "$demo/flash.bin" "$demo/state" "$demo/trace.txt" "$demo/tool.log"
"$root/scripts/demo-folder.sh" "$demo"
cd "$demo"
image=${1:-sample.tarnru}

export VORLAN_SIM_FLASH="$demo/flash.bin"
# The copies of the simulated flash and the record of an unfinished update stay with the demo,
# away from those of a real VORLAN system.
export VORLAN_UPDATE_STATEDIR="$demo/state"
# The tool speaks the user's language from the catalogues of the build.
export VORLAN_UPDATE_DATADIR=${VORLAN_UPDATE_DATADIR:-$root/build}
export VORLAN_SIM_ERASE_US=${VORLAN_SIM_ERASE_US:-250000}
export VORLAN_SIM_WRITE_US_PER_KIB=${VORLAN_SIM_WRITE_US_PER_KIB:-12000}
tool=("$root/sim/vorlan-sim" "$root/build/app/vorlan-update")

# Whether each component's data now stands in the simulated flash at its address.
check_flash() {
    local ok=yes
    for part in boot.bin:$((0x40000)) kernel.bin:$((0x200000)) config.bin:$((0x600000)); do
        local file=${part%%:*} address=${part##*:}
        cmp -s -n "$(stat -c %s "$file")" -i "0:$address" "$file" flash.bin || ok=no
    done
    echo "The simulated flash holds the sample image: $ok"
}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Sample image: sample.tarnru (in $demo, where the \"...\" button opens)."
    echo "Type or choose it, press Update and confirm with OK."
    "${tool[@]}"
    check_flash
    exit 0
fi

echo "No display here: running one update of $image on an X server of its own (Xvfb)."
deadline=$((SECONDS + ${DEMO_SECONDS:-300}))
work=$(mktemp -d)
server="" tool_pid=""
stop() {
    for pid in $tool_pid $server; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap stop EXIT
fail() {
    echo "run.sh: $*" >&2
    exit 1
}
# Waits, within the demo's bound, until the command succeeds; the X server and the tool must
# stay up meanwhile.
wait_for() {
    local what=$1
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "gave up waiting for $what after ${DEMO_SECONDS:-300} s"
        kill -0 "$server" 2>/dev/null || fail "the X server stopped (see $work/xvfb.log)"
        [ -z "$tool_pid" ] || kill -0 "$tool_pid" 2>/dev/null || fail "the tool stopped (see $demo/tool.log)"
        sleep 0.5
    done
}
xdo() {
    timeout 30 xdotool "$@" || fail "xdotool $1 failed or timed out"
}

Xvfb -displayfd 3 -screen 0 800x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
wait_for "the X server" test -s "$work/display"
export DISPLAY=":$(head -1 "$work/display")"
export VORLAN_SIM_TRACE="$demo/trace.txt"
"${tool[@]}" >"$demo/tool.log" 2>&1 &
tool_pid=$!

window=$(xdo search --sync --onlyvisible --name "VORLAN Update Utility" | head -1)
xdo windowfocus --sync "$window"
xdo type --delay 40 "$image"
xdo key Tab Tab Tab space
# The confirmation takes keys once the keyboard has been quiet for half a second.
xdo search --sync --onlyvisible --name "Image info" windowfocus --sync sleep 0.8 key Return
echo "Update started; waiting for it to finish..."
verdicts='written and verified|was not changed|Update failed'
wait_for "the end of the update" grep -q -E "$verdicts" "$demo/tool.log"
sleep 1
import -window "$window" "$screenshot"
echo "Screenshot of the finished window: $screenshot"
grep -E "$verdicts" "$demo/tool.log"
check_flash
grep -q "written and verified" "$demo/tool.log"
