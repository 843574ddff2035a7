#!/usr/bin/env bash
# Throughput of our FileServer against tftpd-hpa on the same machine in the same run, with the
# same client (curl): a 16 MiB file, block sizes 512 and 1468, one client and ten at once.
# Both servers run by hand on loopback ports (no system service); the two are measured in turn,
# A B A B ..., and the median of the rounds is printed for each case.
#
#   bench/tftp_throughput.sh [rounds]        (default 5; run from a build with build/Pontiq)
#
# tftpd-hpa: /usr/sbin/in.tftpd when installed, else $TFTPD, else the Debian packages tftpd-hpa
# and libwrap0 are downloaded (apt-get download, not installed) and unpacked under build/.
set -euo pipefail

rounds=${1:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
ours="$root/build/Pontiq/service/FileServer"
work=$(mktemp -d /tmp/pontiq-tftp-bench.XXXXXX)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

[ -x "$ours" ] || { echo "build the FileServer first ($ours)" >&2; exit 1; }
command -v curl > /dev/null || { echo "curl is needed" >&2; exit 1; }

tftpd=${TFTPD:-}
libs=""
if [ -z "$tftpd" ] && [ -x /usr/sbin/in.tftpd ]; then tftpd=/usr/sbin/in.tftpd; fi
if [ -z "$tftpd" ]; then
    unpack="$root/build/bench-tftpd"
    if [ ! -x "$unpack/usr/sbin/in.tftpd" ]; then
        mkdir -p "$unpack/debs"
        (cd "$unpack/debs" && apt-get download tftpd-hpa libwrap0 > /dev/null)
        for deb in "$unpack"/debs/*.deb; do dpkg-deb -x "$deb" "$unpack"; done
    fi
    tftpd="$unpack/usr/sbin/in.tftpd"
    libs="$unpack/lib/x86_64-linux-gnu:$unpack/usr/lib/x86_64-linux-gnu"
fi

size=$((16 * 1024 * 1024))
mkdir -p "$work/srv"
chmod 755 "$work" "$work/srv"
head -c "$size" /dev/urandom > "$work/srv/fw.bin"
chmod 644 "$work/srv/fw.bin"

port_ours=16901
port_hpa=16902
printf '[SERVER]\nDirectory=%s\nAddress=127.0.0.1\nPort=%d\n' "$work/srv" "$port_ours" > "$work/FileServer.ini"
"$ours" --config "$work/FileServer.ini" &
pids+=($!)
LD_LIBRARY_PATH="$libs" "$tftpd" -L -4 -a "127.0.0.1:$port_hpa" -s "$work/srv" -u "$(id -un)" &
pids+=($!)
sleep 0.5

# One run: n clients at once; prints MB/s over all of them (wall time from start to the last).
run() {
    local port=$1 blksize=$2 n=$3 start end i clients=()
    start=$(date +%s.%N)
    for ((i = 0; i < n; i++)); do
        curl -s --tftp-blksize "$blksize" -o /dev/null -w '%{size_download}\n' \
            "tftp://127.0.0.1:$port/fw.bin" > "$work/size.$i" &
        clients+=($!)
    done
    wait "${clients[@]}" || true
    end=$(date +%s.%N)
    for ((i = 0; i < n; i++)); do
        [ "$(cat "$work/size.$i")" = "$size" ] || { echo "incomplete transfer on port $port" >&2; exit 1; }
    done
    echo "$start $end $n $size" | awk '{ printf "%.1f\n", $3 * $4 / 1048576 / ($2 - $1) }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf '%-8s %-8s %14s %14s %8s\n' blksize clients "FileServer" "tftpd-hpa" ratio
for blksize in 512 1468; do
    for clients in 1 10; do
        a=() b=()
        run "$port_ours" "$blksize" "$clients" > /dev/null  # warm-up
        run "$port_hpa" "$blksize" "$clients" > /dev/null
        for ((r = 0; r < rounds; r++)); do
            a+=("$(run "$port_ours" "$blksize" "$clients")")
            b+=("$(run "$port_hpa" "$blksize" "$clients")")
        done
        ma=$(printf '%s\n' "${a[@]}" | median)
        mb=$(printf '%s\n' "${b[@]}" | median)
        printf '%-8s %-8s %9s MB/s %9s MB/s %8s\n' "$blksize" "$clients" "$ma" "$mb" \
            "$(awk -v a="$ma" -v b="$mb" 'BEGIN { printf "%.2f", a / b }')"
        echo "  rounds FileServer: ${a[*]}; tftpd-hpa: ${b[*]}" >&2
    done
done
