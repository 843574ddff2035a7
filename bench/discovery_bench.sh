#!/usr/bin/env bash
# Discovery benchmark on the simulated LAN: for each device count, a fresh LAN, the simulator
# with that many devices in the device namespace, and in the PC namespace, alternating ROUNDS
# times (default 3): discovery_floor (the least any PC side must do: the broadcast, the
# acknowledgements, one MSG_GET_INFO per device, every record received; no database) and
# discovery_bench (the engine and its store: StartSearch -> all devices stored with full
# records). Prints both medians and their ratio per count, and how the product grows.
#
#   sudo bench/discovery_bench.sh [-b BUILD_DIR] [COUNT...]      (default: build-sim, 10 100 1000 5000)
#   ROUNDS=5 sudo bench/discovery_bench.sh 1000 5000
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
floor=$build/tests/sim/discovery_floor
rounds=${ROUNDS:-3}
[ -x "$sim" ] && [ -x "$bench" ] && [ -x "$floor" ] ||
    { echo "discovery_bench.sh: build devicesim, discovery_bench and discovery_floor in $build first" >&2; exit 1; }

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

median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

status=0
declare -A medians
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
    floors=()
    products=()
    floor_cpu=()
    product_cpu=()
    for round in $(seq "$rounds"); do
        out=$(ip netns exec "$prefix-pc" "$floor" --count "$n") || status=1
        echo "  round $round: $out"
        floors+=("$(sed -n 's/.*all_described_ms=\([0-9.]*\).*/\1/p' <<<"$out")")
        floor_cpu+=("$(sed -n 's/.*cpu_ms=\([0-9.]*\).*/\1/p' <<<"$out")")
        # shellcheck disable=SC2086
        out=$(ip netns exec "$prefix-pc" "$bench" --count "$n" ${BENCH_ARGS:-}) || status=1
        echo "  round $round: $out"
        products+=("$(sed -n 's/.*all_stored_ms=\([0-9.-]*\).*/\1/p' <<<"$out")")
        product_cpu+=("$(sed -n 's/.* cpu_ms=\([0-9.]*\).*/\1/p' <<<"$out")")
    done
    f=$(median "${floors[@]}")
    p=$(median "${products[@]}")
    medians[$n]=$p
    fc=$(median "${floor_cpu[@]}")
    pc=$(median "${product_cpu[@]}")
    ratio() { awk -v p="$1" -v f="$2" 'BEGIN { printf "%.2f", (f > 0 ? p / f : 0) }'; }
    echo "devices=$n floor_ms=$f product_ms=$p ratio=$(ratio "$p" "$f")" \
        "floor_cpu_ms=$fc product_cpu_ms=$pc cpu_ratio=$(ratio "$pc" "$fc") (medians of $rounds; load $(cut -d' ' -f1 /proc/loadavg))"
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
    sim_pid=""
    "$simnet" down -p "$prefix"
done
if [ -n "${medians[1000]:-}" ] && [ -n "${medians[5000]:-}" ]; then
    echo "growth 5000/1000: $(awk -v a="${medians[5000]}" -v b="${medians[1000]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
fi
exit $status
