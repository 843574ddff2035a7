#!/usr/bin/env bash
# Discovery benchmark on the simulated LAN: for each device count, a fresh LAN, the simulator
# with that many devices in the device namespace, and discovery_bench (the engine and its store)
# in the PC namespace, which measures StartSearch -> all devices stored with full records.
#
#   sudo bench/discovery_bench.sh [-b BUILD_DIR] [COUNT...]      (default: build-sim, 10 100 1000 5000)
#   SIM_ARGS="--jitter-ms 200" sudo bench/discovery_bench.sh     extra simulator options
#   BENCH_ARGS="--rediscover-ms 0" ...                           extra discovery_bench options
#
# Needs root (network namespaces). Build first:
#   cmake -S . -B build-sim -G Ninja -DPONTIQ_GUI=OFF && cmake --build build-sim -j2 --target devicesim discovery_bench
set -uo pipefail
cd "$(dirname "$0")/.."
build=build-sim
if [ "${1:-}" = "-b" ]; then
    build=$2
    shift 2
fi
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(10 100 1000 5000)
[ "$(id -u)" -eq 0 ] || { echo "discovery_bench.sh: needs root (network namespaces)" >&2; exit 1; }
sim=$build/tools/devicesim/devicesim
bench=$build/tests/sim/discovery_bench
[ -x "$sim" ] && [ -x "$bench" ] || { echo "discovery_bench.sh: build devicesim and discovery_bench in $build first" >&2; exit 1; }

simnet=tools/simnet/simnet.sh
prefix=pqbench$$
export PONTIQ_SIMNET_OWNER=$$
log=$(mktemp)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    "$simnet" down -p "$prefix"
    rm -f "$log"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

status=0
echo "# $(date -u +%FT%TZ) $(nproc) CPUs; simulator: ${SIM_ARGS:-defaults}; bench: ${BENCH_ARGS:-defaults}"
for n in "${counts[@]}"; do
    "$simnet" up -p "$prefix" -n "$n" >/dev/null || exit 1
    # shellcheck disable=SC2086
    ip netns exec "$prefix-dev" "$sim" --count "$n" ${SIM_ARGS:-} >"$log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do
        grep -q '^READY\|^ERROR' "$log" && break
        sleep 0.05
    done
    grep -q '^READY' "$log" || { echo "devicesim did not start:"; cat "$log"; exit 1; }
    # shellcheck disable=SC2086
    ip netns exec "$prefix-pc" "$bench" --count "$n" ${BENCH_ARGS:-} || status=1
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
    sim_pid=""
    "$simnet" down -p "$prefix"
done
exit $status
