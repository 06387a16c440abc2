#!/usr/bin/env bash
# Runs contrib/ansible/flash.yml against five inventory hosts on this machine, each with its own
# simulated flash, state folder and call trace: the first run writes all five, a second one
# changes none and takes at most a third of the first's time, --check names the one host whose
# flash was changed, and a refused erase stops a rollout in batches of two after that host's
# batch. The report, with each host's newest history entry, is read back each time. Skipped,
# with a message, without ansible-playbook (ansible-core). Needs build/.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v ansible-playbook >/dev/null; then
    echo "fleet-test.sh: ansible-playbook (ansible-core) is not installed; the playbook was not tested"
    exit 0
fi
root=$PWD
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export ANSIBLE_LOCALHOST_WARNING=false ANSIBLE_INVENTORY_UNPARSED_WARNING=false
export ANSIBLE_RETRY_FILES_ENABLED=false ANSIBLE_NOCOLOR=true ANSIBLE_PIPELINING=true
export ANSIBLE_HOME="$tmp/ansible"
export ANSIBLE_LOCAL_TEMP="$tmp/ansible/local" ANSIBLE_REMOTE_TEMP="$tmp/ansible/remote"

hosts=(vorlan-1 vorlan-2 vorlan-3 vorlan-4 vorlan-5)
address=$((0x40000))
size=4000000
head -c $size /dev/urandom >"$tmp/app.bin"
build/tools/vorlan-mkimage "$tmp/fleet.tarnru" "APP:1.0.0.1:$address:0:$tmp/app.bin" >/dev/null

# Writes the inventory: every host on this machine, with its own flash, state folder, trace and
# remote image. Each argument is HOST=SETTINGS: more simulator settings for that host, as
# members of a YAML flow mapping.
inventory() {
    {
        echo "vorlan:"
        echo "  vars:"
        echo "    ansible_connection: local"
        echo "    ansible_python_interpreter: \"{{ ansible_playbook_python }}\""
        echo "    vorlan_image: $tmp/fleet.tarnru"
        echo "    vorlan_flash: $root/sim/vorlan-sim $root/build/cli/vorlan-flash"
        echo "  hosts:"
        for host in "${hosts[@]}"; do
            local extra=""
            for setting in "$@"; do
                [ "${setting%%=*}" = "$host" ] && extra=", ${setting#*=}"
            done
            install -d -m 0700 "$tmp/$host/state"
            echo "    $host:"
            echo "      vorlan_remote_image: $tmp/$host/update.tarnru"
            echo "      vorlan_environment: {VORLAN_SIM_LIB: $root/build/sim/libvorlan-sim.so,"
            echo "        VORLAN_SIM_FLASH: $tmp/$host/flash.bin, VORLAN_SIM_FLASH_SIZE: 8388608,"
            echo "        VORLAN_SIM_TRACE: $tmp/$host/trace, VORLAN_UPDATE_STATEDIR: $tmp/$host/state,"
            echo "        VORLAN_SIM_ERASE_US: 500000, VORLAN_SIM_WRITE_US_PER_KIB: 977$extra}"
        done
    } >"$tmp/inventory.yml"
}
# Runs the playbook from $tmp, so that the report goes to its default place there, with the
# traces emptied first; its output goes to $tmp/log, its time to $tmp/milliseconds, and its
# exit status is the playbook's.
play() {
    for host in "${hosts[@]}"; do
        : >"$tmp/$host/trace"
    done
    local start end status=0
    start=$(date +%s%N)
    (cd "$tmp" && timeout -k 10 120 ansible-playbook -i inventory.yml "$@" \
        "$root/contrib/ansible/flash.yml" </dev/null >log 2>&1) || status=$?
    end=$(date +%s%N)
    echo $(((end - start) / 1000000)) >"$tmp/milliseconds"
    return $status
}
fail() {
    echo "fleet-test.sh: $1; the playbook said:" >&2
    cat "$tmp/log" >&2
    exit 1
}
# Each host's outcome in the report, "host=outcome" separated by spaces; a missing or broken
# report fails the test.
outcomes() {
    python3 - "$tmp/vorlan-report.json" <<'PYTHON' || fail "the report is missing or wrong"
import json, sys
entries = json.load(open(sys.argv[1]))
keys = {"host", "outcome", "exitStatus", "verdict", "copy", "seconds", "history"}
assert all(set(entry) == keys for entry in entries), entries
assert all(entry["outcome"] == "not-reached" or entry["seconds"] >= 0 for entry in entries)
print(" ".join(entry["host"] + "=" + entry["outcome"] for entry in entries))
PYTHON
}
# Each host's newest history entry in the report, "host=kind/outcome" separated by spaces, or
# "host=none"; an entry of another image or user fails the test.
newest() {
    python3 - "$tmp/vorlan-report.json" "$tmp" "$(id -un)" <<'PYTHON' || fail "the report's history is wrong"
import json, sys
found = []
for entry in json.load(open(sys.argv[1])):
    history = entry["history"]
    if history is None:
        found.append(entry["host"] + "=none")
        continue
    assert history["image"] == "%s/%s/update.tarnru" % (sys.argv[2], entry["host"]), history
    assert history["user"] == sys.argv[3] and history["frontEnd"] == "vorlan-flash", history
    assert len(history["sha256"]) == 64 and history["components"][0]["name"] == "APP", history
    found.append("%s=%s/%s" % (entry["host"], history["kind"], history["outcome"]))
print(" ".join(found))
PYTHON
}
expect() {
    local found
    found=$(outcomes)
    [ "$found" = "$1" ] || fail "the report says $found, not $1"
}
holds() {
    cmp -s -i 32:$address -n $size "$tmp/fleet.tarnru" "$tmp/$1/flash.bin"
}
# Inverts one byte of the host's flash within the image.
spoil() {
    local at=$((address + 1000)) byte
    byte=$(od -An -tu1 -j $at -N1 "$tmp/$1/flash.bin")
    # shellcheck disable=SC2059 # the octal escape is the format's
    printf "\\$(printf %03o $((255 - byte)))" |
        dd of="$tmp/$1/flash.bin" bs=1 seek=$at conv=notrunc status=none
}
traced() {
    cat "$tmp"/vorlan-[1-5]/trace | grep -E "$1" || true
}

inventory
play || fail "the first run failed"
first=$(cat "$tmp/milliseconds")
for host in "${hosts[@]}"; do
    holds "$host" || fail "the flash of $host does not hold the image"
    cmp -s "$tmp/fleet.tarnru" "$tmp/$host/update.tarnru" || fail "$host's image is not its own"
done
expect "vorlan-1=written vorlan-2=written vorlan-3=written vorlan-4=written vorlan-5=written"
grep -q "written: 5 (vorlan-1, vorlan-2, vorlan-3, vorlan-4, vorlan-5)" "$tmp/log" ||
    fail "no summary line"
python3 -c 'import json, sys; assert all(e["copy"] for e in json.load(open(sys.argv[1])))' \
    "$tmp/vorlan-report.json" || fail "the report names no copy"
[ "$(newest)" = "$(printf '%s=update/written ' "${hosts[@]}" | sed 's/ $//')" ] ||
    fail "the report's history says $(newest)"

# The published SHA-256 goes with the image to every host.
play -e "vorlan_sha256=$(sha256sum "$tmp/fleet.tarnru" | cut -d' ' -f1)" ||
    fail "the second run failed"
second=$(cat "$tmp/milliseconds")
expect "vorlan-1=up-to-date vorlan-2=up-to-date vorlan-3=up-to-date vorlan-4=up-to-date vorlan-5=up-to-date"
[ "$(grep -cE '^vorlan-[1-5] +: ok=[0-9]+ +changed=0 +unreachable=0 +failed=0' "$tmp/log")" = 5 ] ||
    fail "a host that held the image was not ok"
[ -z "$(traced 'ERASE|write|FLASH_UNLOCK')" ] || fail "the second run touched a flash"
[ "$(newest)" = "$(printf '%s=verify/matches ' "${hosts[@]}" | sed 's/ $//')" ] ||
    fail "the report's history says $(newest) after the second run"

cp "$tmp/vorlan-4/flash.bin" "$tmp/flash-4.held"
spoil vorlan-4
play --check || fail "the check failed"
expect "vorlan-1=up-to-date vorlan-2=up-to-date vorlan-3=up-to-date vorlan-4=would-change vorlan-5=up-to-date"
grep -qE '^vorlan-4 +: ok=[0-9]+ +changed=1 ' "$tmp/log" || fail "the check did not mark vorlan-4"
[ -z "$(traced 'ERASE|write|FLASH_UNLOCK|flash open$')" ] || fail "the check touched a flash"
holds vorlan-4 && fail "the check changed the flash of vorlan-4"

# vorlan-2's erase is refused: the first batch (vorlan-1, vorlan-2) ends the rollout, before
# vorlan-5 too, which an update would change.
cp "$tmp/flash-4.held" "$tmp/vorlan-4/flash.bin"
spoil vorlan-2
spoil vorlan-5
cp "$tmp/vorlan-5/flash.bin" "$tmp/flash-5.before"
inventory 'vorlan-2=VORLAN_SIM_ERASE_FAIL: "0x40000:1"'
if play -e vorlan_serial=2 -e vorlan_max_fail_percentage=0; then
    fail "a refused erase did not fail the run"
fi
expect "vorlan-1=up-to-date vorlan-2=failed vorlan-3=not-reached vorlan-4=not-reached vorlan-5=not-reached"
[ "$(newest)" = "vorlan-1=verify/matches vorlan-2=update/failed vorlan-3=none vorlan-4=none vorlan-5=none" ] ||
    fail "the report's history says $(newest) after the failed batch"
grep -q "Update failed at component APP (1 of 1, at 0x40000)" "$tmp/vorlan-report.json" ||
    fail "the report lacks the failed host's verdict"
grep -q "not-reached: 3 (vorlan-3, vorlan-4, vorlan-5)" "$tmp/log" ||
    fail "no summary line for the hosts not reached"
cmp -s "$tmp/flash-5.before" "$tmp/vorlan-5/flash.bin" || fail "vorlan-5's flash was changed"
[ -z "$(cat "$tmp"/vorlan-[345]/trace)" ] || fail "a host after the failed batch was touched"
[ $((second * 3)) -le "$first" ] ||
    fail "the second run took ${second} ms, more than a third of the first's ${first} ms"
echo "fleet-test.sh: five hosts written, then left alone (${second} ms against ${first} ms)," \
    "one host found by --check, and a rollout stopped at a failed batch"
