#!/usr/bin/env bash
# Runs contrib/ansible/flash.yml against this machine, on the simulated driver: once it must
# leave the image in the flash, once, with an erase refused, fail the host and name the verdict.
# Skipped, with a message, without ansible-playbook (ansible-core). Needs build/.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v ansible-playbook >/dev/null; then
    echo "fleet-test.sh: ansible-playbook (ansible-core) is not installed; the playbook was not tested"
    exit 0
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export ANSIBLE_LOCALHOST_WARNING=false ANSIBLE_INVENTORY_UNPARSED_WARNING=false
export ANSIBLE_RETRY_FILES_ENABLED=false ANSIBLE_NOCOLOR=true
export ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_HOME="$tmp/ansible"
export ANSIBLE_LOCAL_TEMP="$tmp/ansible/local" ANSIBLE_REMOTE_TEMP="$tmp/ansible/remote"

head -c 300000 /dev/urandom >"$tmp/app.bin"
build/tools/vorlan-mkimage "$tmp/fleet.tarnru" "APP:1.0.0.1:0x40000:0:$tmp/app.bin" >/dev/null

# Runs the playbook with the simulator's settings for vorlan-flash (JSON members, may be
# empty); its output goes to $tmp/log, and its exit status is the playbook's.
play() {
    cat >"$tmp/vars.json" <<JSON
{"vorlan_hosts": "localhost", "vorlan_image": "$tmp/fleet.tarnru",
 "vorlan_remote_image": "$tmp/remote.tarnru",
 "vorlan_flash": "$PWD/sim/vorlan-sim $PWD/build/cli/vorlan-flash",
 "vorlan_environment": {"VORLAN_SIM_LIB": "$PWD/build/sim/libvorlan-sim.so",
   "VORLAN_SIM_FLASH": "$tmp/flash.bin", "VORLAN_SIM_FLASH_SIZE": "4194304",
   "XDG_STATE_HOME": "$tmp/state" $1}}
JSON
    timeout 120 ansible-playbook -i localhost, -c local -e "@$tmp/vars.json" \
        contrib/ansible/flash.yml </dev/null >"$tmp/log" 2>&1
}
fail() {
    echo "fleet-test.sh: $1; the playbook said:" >&2
    cat "$tmp/log" >&2
    exit 1
}

play "" || fail "the update failed"
cmp -s -i 32:$((0x40000)) -n 300000 "$tmp/fleet.tarnru" "$tmp/flash.bin" ||
    fail "the flash does not hold the image"
grep -q "The component was written and verified." "$tmp/log" || fail "no verdict reported"

if play ', "VORLAN_SIM_ERASE_FAIL": "0x40000:1"'; then
    fail "a refused erase did not fail the host"
fi
grep -q "Update failed at component APP (1 of 1, at 0x40000)" "$tmp/log" ||
    fail "the failed host's verdict is missing"
echo "fleet-test.sh: the playbook updates the flash and fails the host whose update failed"
