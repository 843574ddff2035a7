#!/bin/sh
# Builds a fuzzer in build-fuzz (clang) and runs it for the given number of seconds (default
# 180): protocol (the default; the decoders), handlers (the reply handlers into a real store) or
# tftp (the FileServer's request parser and transfer). The growing corpus and any crash inputs
# stay in build-fuzz.
#
#   fuzz/run.sh [SECONDS] [protocol|handlers|tftp]
set -eu

duration=${1:-180}
name=${2:-protocol}
name=${name%_fuzz}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

case "$name" in
protocol) seeds="$root/fuzz/seeds" max_len=1600 ;;
handlers) seeds="$root/fuzz/seeds_handlers" max_len=1600 ;;
tftp) seeds="$root/fuzz/tftp_seeds" max_len=4096 ;;
*) echo "fuzz/run.sh: unknown target $name" >&2; exit 2 ;;
esac

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DPONTIQ_FUZZ=ON -DPONTIQ_GUI=OFF
fi
cmake --build "$build" -j2 --target "${name}_fuzz"

corpus="$build/fuzz-corpus/$name"
artifacts="$build/fuzz-artifacts/$name-"
mkdir -p "$corpus" "$build/fuzz-artifacts"

# max_len above the largest datagram (protocol, handlers) or a request plus a run of packets
# (tftp), so that the oversize filters are exercised too.
exec "$build/fuzz/${name}_fuzz" \
    -max_total_time="$duration" \
    -max_len="$max_len" \
    -print_final_stats=1 \
    -artifact_prefix="$artifacts" \
    "$corpus" "$seeds"
