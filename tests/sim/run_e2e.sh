#!/usr/bin/env bash
# Runs an end-to-end test executable inside the PC namespace of a fresh simulated LAN
# (tools/simnet/simnet.sh) and removes the LAN afterwards, however the executable ends.
# Arguments after the executable go to it (e.g. --gtest_filter=...).
# Exit 77 (ctest SKIP_RETURN_CODE) when this machine cannot make network namespaces.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
simnet="$here/../../tools/simnet/simnet.sh"
[ $# -ge 1 ] || { echo "usage: run_e2e.sh <test executable> [args...]" >&2; exit 2; }

skip() {
    echo "*** E2E TESTS SKIPPED: $* ***" >&2
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "not root; the simulated LAN needs CAP_NET_ADMIN (run ctest -L e2e as root)"
command -v ip >/dev/null || skip "'ip' (iproute2) is not installed"
ip netns list >/dev/null 2>&1 || skip "'ip netns' is not available"
if command -v unshare >/dev/null && ! unshare --net true 2>/dev/null; then
    skip "this machine does not allow creating network namespaces"
fi

# A prefix of our own, so that parallel runs never meet; LANs of runs killed before their
# clean-up are collected by gc once their owner (this shell) is gone.
prefix=${PONTIQ_SIM_PREFIX:-pqe$$}
export PONTIQ_SIMNET_OWNER=$$
"$simnet" gc
trap '"$simnet" down -p "$prefix"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
"$simnet" up -p "$prefix" -n 64 >/dev/null || { echo "run_e2e.sh: could not build the simulated LAN" >&2; exit 1; }

ip netns exec "$prefix-pc" env PONTIQ_SIM_PREFIX="$prefix" "$@"
