#!/bin/sh
# Builds the protocol fuzzer in build-fuzz (clang) and runs it for the given number of
# seconds (default 180). The growing corpus and any crash inputs stay in build-fuzz.
set -eu

duration=${1:-180}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DPONTIQ_FUZZ=ON -DPONTIQ_GUI=OFF
fi
cmake --build "$build" -j2 --target protocol_fuzz

corpus="$build/fuzz-corpus/protocol"
artifacts="$build/fuzz-artifacts/"
mkdir -p "$corpus" "$artifacts"

# max_len above the largest datagram, so that the oversize filter is exercised too.
exec "$build/fuzz/protocol_fuzz" \
    -max_total_time="$duration" \
    -max_len=1600 \
    -print_final_stats=1 \
    -artifact_prefix="$artifacts" \
    "$corpus" "$root/fuzz/seeds"
