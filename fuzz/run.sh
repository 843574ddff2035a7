#!/bin/sh
# Builds a fuzzer in build-fuzz (clang) and runs it for the given number of seconds (default
# 180): protocol_fuzz (the default) or tftp_fuzz. The growing corpus and any crash inputs stay
# in build-fuzz.
set -eu

duration=${1:-180}
target=${2:-protocol_fuzz}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DPONTIQ_FUZZ=ON -DPONTIQ_GUI=OFF
fi
cmake --build "$build" -j2 --target "$target"

case "$target" in
protocol_fuzz) name=protocol seeds="$root/fuzz/seeds" max_len=1600 ;;
tftp_fuzz) name=tftp seeds="$root/fuzz/tftp_seeds" max_len=4096 ;;
*) echo "unknown fuzz target: $target" >&2; exit 2 ;;
esac
corpus="$build/fuzz-corpus/$name"
artifacts="$build/fuzz-artifacts/$name-"
mkdir -p "$corpus" "$build/fuzz-artifacts"

# max_len above the largest datagram (protocol) or request plus a run of packets (tftp), so
# that the oversize filters are exercised too.
exec "$build/fuzz/$target" \
    -max_total_time="$duration" \
    -max_len="$max_len" \
    -print_final_stats=1 \
    -artifact_prefix="$artifacts" \
    "$corpus" "$seeds"
