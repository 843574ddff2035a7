#!/usr/bin/env bash
# `./run --demo`: the utility on a simulated LAN. Builds the LAN (simnet.sh), starts the device
# simulator with a few dozen varied devices in the device namespace, runs the program in the PC
# namespace and removes everything when the program ends. As root it uses tools/simnet/simnet.sh;
# as a normal user it runs demo_userns.sh inside an unprivileged user namespace instead.
#
#   tools/simnet/demo.sh BUILD_DIR [program arguments...]
#
# PONTIQ_DEMO_DEVICES sets the number of devices (40); PONTIQ_DEMO_PROGRAM runs another program
# in the PC namespace instead of the utility (e.g. "bash", to look around the LAN).
# While it runs, the simulator takes control commands ("help", "stats", "silence <mac>", ...) on
# the UNIX socket /run/pontiq-demo-devicesim.sock.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: demo.sh BUILD_DIR [program arguments...]}" && pwd)
shift

die() {
    echo "demo: $*" >&2
    exit 1
}
if [ "$(id -u)" -ne 0 ]; then
    command -v unshare >/dev/null && command -v nsenter >/dev/null || die "needs unshare and nsenter (util-linux)"
    unshare --user --map-root-user --net true 2>/dev/null ||
        die "this system does not allow unprivileged user namespaces (sysctl kernel.unprivileged_userns_clone / user.max_user_namespaces); run sudo ./run --demo instead"
    exec unshare --user --map-root-user --net --fork "$here/demo_userns.sh" "$build" "$@"
fi
devices=${PONTIQ_DEMO_DEVICES:-40}
program=${PONTIQ_DEMO_PROGRAM:-$build/Pontiq/Pontiq}
sim=$build/tools/devicesim/devicesim
[ -x "$sim" ] || die "no simulator at $sim"
command -v "$program" >/dev/null || die "no program at $program"

prefix=pqdemo
socket=/run/pontiq-demo-devicesim.sock
log=$(mktemp /tmp/pontiq-demo-devicesim.XXXXXX)
export PONTIQ_SIMNET_OWNER=$$
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    "$here/simnet.sh" down -p "$prefix" || true
    rm -f "$log" "$socket"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$here/simnet.sh" gc
"$here/simnet.sh" up -p "$prefix" -n "$devices"
# Varied models and bands, some short discovery replies, a bridged pair, one address shared by
# two devices, survey answers of two pages, and answers spread over a fifth of a second.
ip netns exec "$prefix-dev" "$sim" --count "$devices" --seed 2024 --short-form 25 --bridged-pair --conflict \
    --survey-aps 45 --jitter-ms 200 --control-socket "$socket" >"$log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    grep -q '^READY\|^ERROR' "$log" && break
    sleep 0.05
done
grep -q '^READY' "$log" || die "the simulator did not start: $(cat "$log")"
echo "demo: $devices simulated devices on $prefix-dev; control socket $socket"

status=0
ip netns exec "$prefix-pc" "$program" "$@" || status=$?
exit $status
