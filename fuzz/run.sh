#!/bin/sh
# Builds a fuzz target in build-fuzz (clang) and runs it for the given number of seconds
# (default 180). The growing corpus and any crash inputs stay in build-fuzz.
#
#   fuzz/run.sh [SECONDS] [protocol|handlers]
set -eu

duration=${1:-180}
name=${2:-protocol}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

case "$name" in
    protocol) seeds="$root/fuzz/seeds" ;;
    handlers) seeds="$root/fuzz/seeds_handlers" ;;
    *) echo "fuzz/run.sh: unknown target $name" >&2; exit 2 ;;
esac

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DPONTIQ_FUZZ=ON -DPONTIQ_GUI=OFF
fi
cmake --build "$build" -j2 --target "${name}_fuzz"

corpus="$build/fuzz-corpus/$name"
artifacts="$build/fuzz-artifacts/"
mkdir -p "$corpus" "$artifacts"

# max_len above the largest datagram, so that the oversize filter is exercised too.
exec "$build/fuzz/${name}_fuzz" \
    -max_total_time="$duration" \
    -max_len=1600 \
    -print_final_stats=1 \
    -artifact_prefix="$artifacts" \
    "$corpus" "$seeds"
