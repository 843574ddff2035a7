#!/usr/bin/env bash
# `./run --demo` without root: the same simulated LAN, made inside a user namespace of our own
# (unprivileged user namespaces, allowed on Debian 12). demo.sh runs this script through
#   unshare --user --map-root-user --net --fork
# so it starts as root of that user namespace inside a fresh network namespace, which becomes
# the PC side. The device side is a second network namespace held by a sleeping process and
# entered with nsenter; no `ip netns` names (they need a writable /run/netns) and nothing of
# the machine's own network is touched. Everything goes when this script ends.
#
#   demo_userns.sh BUILD_DIR [program arguments...]
set -euo pipefail
build=${1:?usage: demo_userns.sh BUILD_DIR [program arguments...]}
shift

die() {
    echo "demo: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || die "demo_userns.sh runs inside 'unshare --user --map-root-user --net' (see demo.sh)"
devices=${PONTIQ_DEMO_DEVICES:-40}
program=${PONTIQ_DEMO_PROGRAM:-$build/Pontiq/Pontiq}
sim=$build/tools/devicesim/devicesim
[ -x "$sim" ] || die "no simulator at $sim"
command -v "$program" >/dev/null || die "no program at $program"
[[ "$devices" =~ ^[0-9]+$ ]] && [ "$devices" -ge 1 ] && [ "$devices" -le 5000 ] || die "PONTIQ_DEMO_DEVICES must be 1..5000"

runtime=${XDG_RUNTIME_DIR:-/tmp}
socket=$runtime/pontiq-demo-devicesim.sock
log=$(mktemp /tmp/pontiq-demo-devicesim.XXXXXX)
holder="" sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && { kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true; }
    [ -n "$holder" ] && { kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null || true; }
    rm -f "$log" "$socket"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The device namespace, held open by a process of its own.
unshare --net sleep infinity &
holder=$!
for _ in $(seq 50); do
    [ "$(readlink /proc/$holder/ns/net)" != "$(readlink /proc/self/ns/net)" ] && break
    sleep 0.02
done
dev() { nsenter --net="/proc/$holder/ns/net" "$@"; }

ip link set lo up
dev ip link set lo up
ip link add name simpc0 type veth peer name simdev0 netns "$holder"
ip link set dev simpc0 address 02:99:00:00:00:01
dev ip link set dev simdev0 address 02:99:00:00:00:02
sysctl -qw net.ipv4.conf.simpc0.rp_filter=0 2>/dev/null || true
dev sysctl -qw net.ipv4.conf.simdev0.rp_filter=0 net.ipv4.conf.simdev0.promote_secondaries=1 2>/dev/null || true
ip addr add 10.99.0.1/19 brd + dev simpc0
batch=$(mktemp)
awk -v n="$devices" 'BEGIN { first = 10; for (i = 0; i < n; i++) { v = first + i
    printf "addr add 10.99.%d.%d/19 brd + dev simdev0\n", int(v / 256), v % 256 } }' >"$batch"
dev ip -batch "$batch" || { rm -f "$batch"; die "adding the device addresses failed"; }
rm -f "$batch"
ip link set dev simpc0 up
dev ip link set dev simdev0 up

# The same devices as the root demo (demo.sh); --any-network: this namespace is our own.
# nsenter itself (not the dev function, whose subshell would take the kill) so $! is the simulator.
nsenter --net="/proc/$holder/ns/net" "$sim" --any-network --count "$devices" --seed 2024 --short-form 25 --bridged-pair --conflict \
    --survey-aps 45 --jitter-ms 200 --control-socket "$socket" >"$log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    grep -q '^READY\|^ERROR' "$log" && break
    sleep 0.05
done
grep -q '^READY' "$log" || die "the simulator did not start: $(cat "$log")"
echo "demo: $devices simulated devices (unprivileged namespaces); control socket $socket"

status=0
"$program" "$@" || status=$?
exit $status
