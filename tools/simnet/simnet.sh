#!/usr/bin/env bash
# The simulated LAN: a PC namespace and a device namespace joined by one veth pair, with up to
# 5000 device addresses on the device side. Every interface and address exists only inside the
# two namespaces this script creates; nothing on the machine's own network is touched.
#
#   simnet.sh up     [-p PREFIX] [-n COUNT] [--first IP] [--pc IP] [--len BITS]
#   simnet.sh down   [-p PREFIX]
#   simnet.sh status [-p PREFIX]
#   simnet.sh loss   [-p PREFIX] PERCENT      random loss on both ends of the link (0: off)
#   simnet.sh gc                              remove simulated LANs whose owner process has gone
#   simnet.sh env    [-p PREFIX]              print the names for scripts (PC_NS=... DEV_NS=...)
#
# Defaults: prefix "pqsim", namespaces PREFIX-pc and PREFIX-dev, PC side "simpc0" 10.99.0.1/19,
# device side "simdev0" with COUNT (default 10) addresses from 10.99.0.10.
#
# A namespace counts as ours only when its loopback carries the alias "pontiq-simnet owner=<pid>"
# (the owner is $PONTIQ_SIMNET_OWNER, else the calling process); no other namespace is changed.
set -Eeuo pipefail

readonly MARK="pontiq-simnet"
readonly PC_IF="simpc0"
readonly DEV_IF="simdev0"
readonly PC_MAC="02:99:00:00:00:01"
readonly DEV_MAC="02:99:00:00:00:02"
readonly MAX_DEVICES=5000

prefix="pqsim"
count=10
first_ip="10.99.0.10"
pc_ip="10.99.0.1"
len=19

die() {
    echo "simnet.sh: $*" >&2
    exit 1
}

need_root() {
    [ "$(id -u)" -eq 0 ] || die "needs root (CAP_NET_ADMIN) to create network namespaces; run it with sudo"
    command -v ip >/dev/null || die "'ip' (iproute2) not found"
    ip netns list >/dev/null 2>&1 || die "'ip netns' is not available"
}

ip_to_int() {
    local a b c d
    IFS=. read -r a b c d <<<"$1"
    echo $(((a << 24) | (b << 16) | (c << 8) | d))
}

int_to_ip() {
    local v=$1
    echo "$(((v >> 24) & 255)).$(((v >> 16) & 255)).$(((v >> 8) & 255)).$((v & 255))"
}

check_ip() {
    [[ "$1" =~ ^([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3})$ ]] || die "bad address '$1'"
    local part
    for part in "${BASH_REMATCH[@]:1}"; do
        [ "$part" -le 255 ] || die "bad address '$1'"
    done
}

ns_exists() {
    ip netns list | awk -v name="$1" '$1 == name { found = 1 } END { exit !found }'
}

ns_owner() {
    local alias
    alias=$(ip -n "$1" -o link show dev lo 2>/dev/null | sed -n "s/.* alias $MARK owner=\([0-9]*\).*/\1/p")
    [ -n "$alias" ] || return 1
    echo "$alias"
}

delete_ns() {
    ns_exists "$1" || return 0
    ns_owner "$1" >/dev/null || die "namespace '$1' was not made by simnet.sh; not touching it"
    ip netns del "$1"
}

cmd_down() {
    delete_ns "$prefix-pc"
    delete_ns "$prefix-dev"
}

cmd_gc() {
    local ns owner
    for ns in $(ip netns list | awk '{print $1}'); do
        owner=$(ns_owner "$ns") || continue
        if ! kill -0 "$owner" 2>/dev/null; then
            echo "simnet.sh: removing stale namespace $ns (owner $owner gone)" >&2
            ip netns del "$ns" || true
        fi
    done
}

setup_ns() {
    local ns=$1 owner=$2
    ip netns add "$ns"
    ip -n "$ns" link set dev lo alias "$MARK owner=$owner"
    ip -n "$ns" link set dev lo up
    # No IPv6 chatter on the link, no reverse-path filter (devices answer from many addresses).
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 \
        2>/dev/null || true
    ip netns exec "$ns" sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0
}

cmd_up() {
    check_ip "$first_ip"
    check_ip "$pc_ip"
    [[ "$count" =~ ^[0-9]+$ ]] && [ "$count" -ge 1 ] && [ "$count" -le $MAX_DEVICES ] ||
        die "the device count must be 1..$MAX_DEVICES"
    [[ "$len" =~ ^[0-9]+$ ]] && [ "$len" -ge 8 ] && [ "$len" -le 30 ] || die "the prefix length must be 8..30"
    local mask=$(((0xFFFFFFFF << (32 - len)) & 0xFFFFFFFF))
    local first last pc network broadcast
    first=$(ip_to_int "$first_ip")
    last=$((first + count - 1))
    pc=$(ip_to_int "$pc_ip")
    network=$((first & mask))
    broadcast=$((network | (~mask & 0xFFFFFFFF)))
    [ $((last & mask)) -eq $network ] && [ "$first" -gt $network ] && [ "$last" -lt $broadcast ] ||
        die "$count addresses from $first_ip do not fit in the /$len segment"
    [ $((pc & mask)) -eq $network ] || die "the PC address $pc_ip is not in the segment of $first_ip/$len"
    [ "$pc" -lt "$first" ] || [ "$pc" -gt "$last" ] || die "the PC address $pc_ip is among the device addresses"

    local owner=${PONTIQ_SIMNET_OWNER:-$PPID}
    [[ "$owner" =~ ^[0-9]+$ ]] || die "bad owner pid '$owner'"
    local pcns="$prefix-pc" devns="$prefix-dev"
    cmd_down
    setup_complete=0
    trap 'if [ "$setup_complete" != 1 ]; then echo "simnet.sh: setup failed, tearing down" >&2; cmd_down || true; fi' EXIT
    setup_ns "$pcns" "$owner"
    setup_ns "$devns" "$owner"

    ip -n "$pcns" link add name "$PC_IF" type veth peer name "$DEV_IF" netns "$devns"
    ip -n "$pcns" link set dev "$PC_IF" address "$PC_MAC"
    ip -n "$devns" link set dev "$DEV_IF" address "$DEV_MAC"
    ip netns exec "$pcns" sysctl -qw "net.ipv4.conf.$PC_IF.rp_filter=0"
    ip netns exec "$devns" sysctl -qw "net.ipv4.conf.$DEV_IF.rp_filter=0" \
        "net.ipv4.conf.$DEV_IF.promote_secondaries=1"
    ip -n "$pcns" addr add "$pc_ip/$len" brd + dev "$PC_IF"

    local batch
    batch=$(mktemp)
    awk -v first="$first" -v last="$last" -v len="$len" -v dev="$DEV_IF" 'BEGIN {
        for (i = first; i <= last; i++)
            printf "addr add %d.%d.%d.%d/%d brd + dev %s\n", int(i / 16777216) % 256, int(i / 65536) % 256,
                   int(i / 256) % 256, i % 256, len, dev
    }' >"$batch"
    ip -n "$devns" -batch "$batch" || {
        rm -f "$batch"
        die "adding the device addresses failed"
    }
    rm -f "$batch"
    ip -n "$pcns" link set dev "$PC_IF" up
    ip -n "$devns" link set dev "$DEV_IF" up
    setup_complete=1
    echo "simnet.sh: $pcns ($PC_IF $pc_ip/$len) <-> $devns ($DEV_IF, $count addresses from $first_ip)"
}

cmd_status() {
    local ns
    for ns in "$prefix-pc" "$prefix-dev"; do
        echo "== $ns"
        ns_exists "$ns" || {
            echo "(absent)"
            continue
        }
        ip -n "$ns" -br link
        ip -n "$ns" -4 -o addr show | awk '$2 != "lo" { n[$2]++; if (n[$2] <= 3) a[$2] = a[$2] " " $4 }
            END { for (d in n) printf "%s: %d IPv4 address(es):%s%s\n", d, n[d], a[d], (n[d] > 3 ? " ..." : "") }'
        tc -n "$ns" qdisc show 2>/dev/null | grep -v "noqueue" || true
    done
}

# Random loss on the egress of both veth ends. netem where the kernel has it; otherwise a
# classic-BPF direct-action filter that drops a packet when a kernel random number is below
# the threshold (the same effect; netem is not built into every kernel).
set_loss() {
    local ns=$1 dev=$2 pct=$3
    tc -n "$ns" qdisc del dev "$dev" root 2>/dev/null || true
    tc -n "$ns" qdisc del dev "$dev" clsact 2>/dev/null || true
    [ "$pct" = 0 ] && return 0
    if tc -n "$ns" qdisc add dev "$dev" root netem loss "$pct%" 2>/dev/null; then
        echo "netem"
        return 0
    fi
    local threshold
    threshold=$(awk -v p="$pct" 'BEGIN { printf "%.0f", p / 100 * 4294967295 }')
    # A = random u32 (SKF_AD_RANDOM); A >= threshold: TC_ACT_OK (0), else TC_ACT_SHOT (2).
    tc -n "$ns" qdisc add dev "$dev" clsact
    tc -n "$ns" filter add dev "$dev" egress bpf da bytecode \
        "4,32 0 0 4294963256,53 0 1 $threshold,6 0 0 0,6 0 0 2"
    echo "bpf"
}

cmd_loss() {
    local pct=$1
    [[ "$pct" =~ ^[0-9]+(\.[0-9]+)?$ ]] && awk -v p="$pct" 'BEGIN { exit !(p >= 0 && p <= 100) }' ||
        die "the loss must be a percentage 0..100"
    ns_owner "$prefix-pc" >/dev/null && ns_owner "$prefix-dev" >/dev/null || die "no simulated LAN '$prefix'"
    local a b
    a=$(set_loss "$prefix-pc" "$PC_IF" "$pct")
    b=$(set_loss "$prefix-dev" "$DEV_IF" "$pct")
    echo "simnet.sh: loss $pct% on $PC_IF and $DEV_IF${a:+ ($a${b:+/$b})}"
}

[ $# -ge 1 ] || die "usage: simnet.sh up|down|status|loss|gc|env [-p PREFIX] ... (see the head of the script)"
command=$1
shift
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        -p | --prefix) prefix=${2:?}; shift 2 ;;
        -n | --count) count=${2:?}; shift 2 ;;
        --first) first_ip=${2:?}; shift 2 ;;
        --pc) pc_ip=${2:?}; shift 2 ;;
        --len) len=${2:?}; shift 2 ;;
        -*) die "unknown option '$1'" ;;
        *) args+=("$1"); shift ;;
    esac
done
[[ "$prefix" =~ ^[A-Za-z0-9_]{1,20}$ ]] || die "bad prefix '$prefix' (letters, digits, '_', at most 20)"

case "$command" in
    up) need_root; cmd_up ;;
    down) need_root; cmd_down ;;
    status) need_root; cmd_status ;;
    loss) need_root; [ ${#args[@]} -eq 1 ] || die "usage: simnet.sh loss [-p PREFIX] PERCENT"; cmd_loss "${args[0]}" ;;
    gc) need_root; cmd_gc ;;
    env) echo "PC_NS=$prefix-pc DEV_NS=$prefix-dev PC_IF=$PC_IF DEV_IF=$DEV_IF PC_IP=$pc_ip" ;;
    *) die "unknown command '$command'" ;;
esac
