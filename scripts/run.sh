#!/usr/bin/env bash
# Builds the tool, packs a sample update image into demo/ and starts the tool there against the
# driver simulator, at the pace of a real device (an update takes about a minute).
# Without a display it runs one update on a virtual display instead and saves a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"

demo="$root/demo"
mkdir -p "$demo"
cd "$demo"
rm -f flash.bin trace.txt
head -c 1500000 /dev/urandom >boot.bin
head -c 2097275 /dev/urandom >kernel.bin
head -c 40000 /dev/urandom >config.bin
"$root/build/tools/vorlan-mkimage" sample.tarnru \
    BOOT:1.4.0.2:0x40000:1:boot.bin \
    KERN:2.1.0.7:0x200000:1:kernel.bin \
    CONF:1.0.0.12:0x600000:2:config.bin

export VORLAN_SIM_FLASH="$demo/flash.bin"
export VORLAN_SIM_ERASE_US=250000
export VORLAN_SIM_WRITE_US_PER_KIB=12000
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

echo "No display here: running one update on a virtual display (Xvfb) instead."
Xvfb :77 -screen 0 800x800x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
export DISPLAY=:77
export VORLAN_SIM_TRACE="$demo/trace.txt"
trap 'kill "$tool_pid" "$server" 2>/dev/null || true' EXIT
sleep 1
"${tool[@]}" >"$demo/tool.log" 2>&1 &
tool_pid=$!

window=$(xdotool search --sync --name "VORLAN Update Utility" | head -1)
xdotool windowfocus --sync "$window"
xdotool type --delay 40 "sample.tarnru"
xdotool key Tab Tab Tab space
xdotool search --sync --name "Image info" >/dev/null
sleep 1
xdotool key Return
echo "Update started; waiting for it to finish..."
until grep -q "flash close" "$demo/trace.txt" 2>/dev/null; do sleep 1; done
sleep 1
import -window "$window" "$demo/finished.png"
echo "Screenshot of the finished window: $demo/finished.png"
check_flash
