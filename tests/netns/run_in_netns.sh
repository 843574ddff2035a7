#!/usr/bin/env bash
# Runs a test executable inside the PC namespace of a fresh harness topology (netns.sh) and
# tears the topology down afterwards, however the executable ends. Arguments after the
# executable go to it (e.g. --gtest_filter=...).
# Exit 77 (ctest SKIP_RETURN_CODE) when this machine cannot make network namespaces.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 1 ] || { echo "usage: run_in_netns.sh <test executable> [args...]" >&2; exit 2; }

skip() {
    echo "*** NETNS TESTS SKIPPED: $* ***" >&2
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "not root; private network namespaces need CAP_NET_ADMIN and CAP_NET_RAW"
command -v ip >/dev/null || skip "'ip' (iproute2) is not installed"
ip netns list >/dev/null 2>&1 || skip "'ip netns' is not available"
if command -v unshare >/dev/null && ! unshare --net true 2>/dev/null; then
    skip "this machine does not allow creating network namespaces"
fi

# A prefix of our own, so that parallel runs never meet; runs killed before their clean-up
# are collected by gc once their owner (this shell) is gone.
prefix=${PONTIQ_NETNS_PREFIX:-pq$$}
export PONTIQ_NETNS_OWNER=$$
"$here/netns.sh" gc
trap '"$here/netns.sh" down "$prefix"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
"$here/netns.sh" up "$prefix" || { echo "run_in_netns.sh: could not build the topology" >&2; exit 1; }

ip netns exec "$prefix-pc" env PONTIQ_NETNS_PREFIX="$prefix" "$@"
