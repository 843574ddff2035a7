#!/usr/bin/env bash
# Private network namespaces for socket-level tests. Nothing here touches the machine's own
# network: every interface is created inside a namespace this script made, and every address
# exists only there.
#
#   netns.sh up <prefix> [LINK...]   create <prefix>-pc and <prefix>-dev joined by veth pairs
#   netns.sh down <prefix>           delete both namespaces (idempotent)
#   netns.sh gc                      delete harness namespaces whose owner process has gone
#   netns.sh status <prefix>         show links and addresses of both namespaces
#
# LINK is PCSIDE~DEVSIDE, each side IFNAME[!FLAG...][=ADDR[,ADDR...]], ADDR a CIDR with an
# optional label (10.77.1.2/24@pq0:1), FLAG "down" (leave the interface down) or "default" (the
# namespace's default route goes out of it). Link i (0-based) gets the MACs 02:77:00:00:ii:01 on the
# PC side and 02:77:00:00:ii:02 on the device side. Without LINKs the default topology below
# is built; tests/netns/netns_fixture.h describes the same topology to the tests.
#
# A namespace counts as ours only when its loopback carries the alias "pontiq-netns owner=<pid>";
# the script refuses to change or delete any namespace without it.
set -Eeuo pipefail

readonly MARK="pontiq-netns"
readonly DEFAULT_LINKS=(
    "pq0=10.77.1.1/24,10.77.1.2/24@pq0:1~pqd0=10.77.1.100/24"  # two addresses, one subnet
    "pq1=10.77.1.3/24~pqd1=10.77.1.101/24"                     # the same subnet on a second adapter
    "pq2~pqd2"                                                 # up, no address
    "pq3!default=10.77.2.1/24~pqd3=10.77.2.100/24"             # own subnet, default route
    "pq4!down=10.77.3.1/24~pqd4"                               # down, with an address
)

die() {
    echo "netns.sh: $*" >&2
    exit 1
}

need_tools() {
    [ "$(id -u)" -eq 0 ] || die "needs root (CAP_NET_ADMIN) to create network namespaces"
    command -v ip >/dev/null || die "'ip' (iproute2) not found"
    ip netns list >/dev/null 2>&1 || die "'ip netns' is not available"
}

check_prefix() {
    [[ "$1" =~ ^[A-Za-z0-9_]{1,24}$ ]] || die "bad prefix '$1' (letters, digits, '_', at most 24)"
}

ns_exists() {
    ip netns list | awk '{print $1}' | grep -qxF -- "$1"
}

# The owner pid recorded in a namespace's mark; fails when the namespace is not ours.
ns_owner() {
    local alias
    alias=$(ip -n "$1" -o link show dev lo 2>/dev/null | sed -n "s/.* alias $MARK owner=\([0-9]*\).*/\1/p")
    [ -n "$alias" ] || return 1
    echo "$alias"
}

delete_ns() {
    local ns=$1
    ns_exists "$ns" || return 0
    ns_owner "$ns" >/dev/null || die "namespace '$ns' was not created by this harness; not touching it"
    ip netns del "$ns"
}

cmd_down() {
    check_prefix "$1"
    delete_ns "$1-pc"
    delete_ns "$1-dev"
}

cmd_gc() {
    local ns owner
    for ns in $(ip netns list | awk '{print $1}'); do
        owner=$(ns_owner "$ns") || continue
        if ! kill -0 "$owner" 2>/dev/null; then
            echo "netns.sh: removing stale namespace $ns (owner $owner gone)" >&2
            ip netns del "$ns" || true
        fi
    done
}

# Quiet namespaces: no IPv6 chatter on the links, no reverse-path filtering (two interfaces
# share a subnet on purpose).
setup_ns() {
    local ns=$1 owner=$2
    ip netns add "$ns"
    ip -n "$ns" link set dev lo alias "$MARK owner=$owner"
    ip -n "$ns" link set dev lo up
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 \
        2>/dev/null || true  # a kernel without IPv6 has nothing to silence
    ip netns exec "$ns" sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0
}

# side_setup <ns> <side text> <mac>
side_setup() {
    local ns=$1 side=$2 mac=$3 head addrs="" ifname down=0 default=0 a cidr label flag
    head=${side%%=*}
    [ "$head" != "$side" ] && addrs=${side#*=}
    ifname=${head%%!*}
    IFS='!' read -ra flags <<<"${head#"$ifname"}"
    for flag in "${flags[@]}"; do
        case "$flag" in
            "") ;;
            down) down=1 ;;
            default) default=1 ;;
            *) die "unknown flag '$flag' in '$side'" ;;
        esac
    done
    ip -n "$ns" link set dev "$ifname" address "$mac"
    ip netns exec "$ns" sysctl -qw "net.ipv4.conf.$ifname.rp_filter=0"
    if [ -n "$addrs" ]; then
        IFS=, read -ra list <<<"$addrs"
        for a in "${list[@]}"; do
            cidr=${a%%@*}
            [[ "$cidr" =~ ^[0-9]{1,3}(\.[0-9]{1,3}){3}/[0-9]{1,2}$ ]] || die "bad address '$a' in '$side'"
            if [ "$cidr" != "$a" ]; then
                label=${a#*@}
                ip -n "$ns" addr add "$cidr" brd + dev "$ifname" label "$label"
            else
                ip -n "$ns" addr add "$cidr" brd + dev "$ifname"
            fi
        done
    fi
    [ "$down" -eq 1 ] || ip -n "$ns" link set dev "$ifname" up
    [ "$default" -eq 0 ] || ip -n "$ns" route add default dev "$ifname"
}

side_name() {
    local head=${1%%=*}
    echo "${head%%!*}"
}

cmd_up() {
    local prefix=$1
    shift
    check_prefix "$prefix"
    local links=("$@")
    [ ${#links[@]} -gt 0 ] || links=("${DEFAULT_LINKS[@]}")
    local owner=${PONTIQ_NETNS_OWNER:-$PPID}
    [[ "$owner" =~ ^[0-9]+$ ]] || die "bad owner pid '$owner'"
    local pc="$prefix-pc" dev="$prefix-dev"

    cmd_down "$prefix"
    # Whatever stops the setup half-way (a failed command, a bad LINK) leaves nothing behind.
    setup_complete=0
    setup_prefix=$prefix
    trap 'if [ "$setup_complete" != 1 ]; then echo "netns.sh: setup failed, tearing down" >&2; cmd_down "$setup_prefix" || true; fi' EXIT
    setup_ns "$pc" "$owner"
    setup_ns "$dev" "$owner"
    local i=0 link pcside devside pcif devif
    for link in "${links[@]}"; do
        [[ "$link" == *~* ]] || die "bad link '$link' (PCSIDE~DEVSIDE)"
        pcside=${link%%~*}
        devside=${link#*~}
        pcif=$(side_name "$pcside")
        devif=$(side_name "$devside")
        [[ "$pcif" =~ ^[A-Za-z0-9_]{1,15}$ && "$devif" =~ ^[A-Za-z0-9_]{1,15}$ ]] || die "bad interface names in '$link'"
        # Created inside the PC namespace, peer moved straight into the device namespace.
        ip -n "$pc" link add name "$pcif" type veth peer name "$devif" netns "$dev"
        side_setup "$pc" "$pcside" "$(printf '02:77:00:00:%02x:01' "$i")"
        side_setup "$dev" "$devside" "$(printf '02:77:00:00:%02x:02' "$i")"
        i=$((i + 1))
    done
    setup_complete=1
}

cmd_status() {
    check_prefix "$1"
    local ns
    for ns in "$1-pc" "$1-dev"; do
        echo "== $ns"
        ns_exists "$ns" || { echo "(absent)"; continue; }
        ip -n "$ns" -br link
        ip -n "$ns" -br addr
    done
}

[ $# -ge 1 ] || die "usage: netns.sh up <prefix> [LINK...] | down <prefix> | gc | status <prefix>"
command=$1
shift
case "$command" in
    up) need_tools; [ $# -ge 1 ] || die "usage: netns.sh up <prefix> [LINK...]"; cmd_up "$@" ;;
    down) need_tools; [ $# -eq 1 ] || die "usage: netns.sh down <prefix>"; cmd_down "$1" ;;
    gc) need_tools; cmd_gc ;;
    status) need_tools; [ $# -eq 1 ] || die "usage: netns.sh status <prefix>"; cmd_status "$1" ;;
    *) die "unknown command '$command'" ;;
esac
