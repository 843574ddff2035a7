#!/usr/bin/env bash
# Captures a search and a command of every type between a real engine (traffic_gen) and the
# device simulator on a fresh simulated LAN, then decodes the capture with tshark and the Lua
# dissector and checks the decoded fields.
#   run_dissector_test.sh TRAFFIC_GEN DEVICESIM DISSECTOR
# Exit 77 (ctest SKIP_RETURN_CODE) when this machine cannot run it (not root, no tshark).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
simnet="$here/../../tools/simnet/simnet.sh"
gen=${1:?traffic_gen}
sim=${2:?devicesim}
lua=${3:?dissector}

skip() {
    echo "*** DISSECTOR TEST SKIPPED: $* ***" >&2
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "not root; the simulated LAN needs CAP_NET_ADMIN"
command -v tshark >/dev/null || skip "tshark is not installed"
command -v ip >/dev/null || skip "'ip' (iproute2) is not installed"
if command -v unshare >/dev/null && ! unshare --net true 2>/dev/null; then
    skip "this machine does not allow creating network namespaces"
fi

prefix=pqws$$
work=$(mktemp -d /tmp/pontiq-dissector.XXXXXX)
export PONTIQ_SIMNET_OWNER=$$
sim_pid="" cap_pid=""
cleanup() {
    [ -n "$cap_pid" ] && kill "$cap_pid" 2>/dev/null && wait "$cap_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    "$simnet" down -p "$prefix" >/dev/null 2>&1
    [ -n "${PONTIQ_KEEP_CAPTURE:-}" ] && cp "$work/cap.pcapng" "$PONTIQ_KEEP_CAPTURE"; rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

"$simnet" gc
"$simnet" up -p "$prefix" -n 8 >/dev/null || { echo "could not build the simulated LAN" >&2; exit 1; }
eval "$("$simnet" env -p "$prefix")"

# Half the devices answer discovery with the short form; heartbeats every second.
ip netns exec "$PC_NS" tshark -q -i "$PC_IF" -w "$work/cap.pcapng" \
    -f "udp portrange 9785-9788 or udp port 69" >"$work/tshark.log" 2>&1 &
cap_pid=$!
for _ in $(seq 300); do
    grep -q "Capturing on" "$work/tshark.log" && break
    sleep 0.1
done
grep -q "Capturing on" "$work/tshark.log" || { echo "capture did not start: $(cat "$work/tshark.log")" >&2; exit 1; }

ip netns exec "$DEV_NS" "$sim" --count 4 --seed 11 --short-form 50 --heartbeat-ms 1000 \
    --restart-ms 500 --apply-ms 100 >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 300); do
    grep -q '^READY\|^ERROR' "$work/sim.log" && break
    sleep 0.1
done
grep -q '^READY' "$work/sim.log" || { echo "the simulator did not start: $(cat "$work/sim.log")" >&2; exit 1; }

ip netns exec "$PC_NS" "$gen" "$work/expect.tsv" || { echo "traffic_gen failed" >&2; exit 1; }
# The capture lags behind on a loaded machine: stop it once the last datagram sent (MSG_RELEASE,
# at the engine's shutdown) is in the file, or after 30 s.
for _ in $(seq 150); do
    tshark -n -r "$work/cap.pcapng" -X lua_script:"$lua" -Y 'pontiq.msg_type == 17' -T fields \
        -e frame.number 2>/dev/null | grep -q . && break
    sleep 0.2
done
sleep 0.2
kill -INT "$cap_pid"
wait "$cap_pid" 2>/dev/null
cap_pid=""

expect() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' "$work/expect.tsv"; }
decode() { # decode FILTER FIELD...: one line per packet, fields tab-separated
    local filter=$1
    shift
    local args=()
    for f in "$@"; do args+=(-e "$f"); done
    tshark -n -r "$work/cap.pcapng" -X lua_script:"$lua" -Y "$filter" -T fields -E separator=/t \
        -E occurrence=f "${args[@]}" 2>/dev/null
}

failures=0
check() { # check WHAT EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then
        echo "ok   $1: $3"
    else
        echo "FAIL $1: expected '$2', decoded '$3'"
        failures=$((failures + 1))
    fi
}
present() { # present WHAT FILTER
    local n
    n=$(decode "$2" frame.number | wc -l)
    if [ "$n" -gt 0 ]; then echo "ok   $1: $n datagram(s)"; else echo "FAIL $1: none decoded ($2)"; failures=$((failures + 1)); fi
}

mac=$(expect mac)
ip=$(expect ip)
to_dev="pontiq.mac == $mac && pontiq.direction == \"command\""
from_dev="pontiq.mac == $mac && pontiq.direction == \"reply\""

# Every message type in the direction it travels.
present "MSG_DISCOVER request (broadcast)" 'pontiq.msg_type == 1 && pontiq.direction == "discovery request"'
present "MSG_DISCOVER reply, long form" 'pontiq.form == "long"'
present "MSG_DISCOVER reply, short form" 'pontiq.form == "short"'
present "MSG_DISCOVER acknowledgement" 'pontiq.msg_type == 1 && pontiq.direction == "acknowledgement"'
for t in 2 3 4 5 6 7 8 9 10 11 13 16 18 19; do
    present "type $t command" "pontiq.msg_type == $t && pontiq.direction == \"command\""
    [ "$t" = 6 ] || present "type $t reply" "pontiq.msg_type == $t && pontiq.direction == \"reply\""
done
present "MSG_SITE_SURVEY reply page" 'pontiq.msg_type == 6 && pontiq.direction == "reply"'
present "MSG_UPGRADE_STATUS" 'pontiq.msg_type == 12 && pontiq.upgrade_state == 0'
present "MSG_HEARTBEAT" 'pontiq.msg_type == 15 && pontiq.direction == "heartbeat"'
present "MSG_HEARTBEAT acknowledgement" 'pontiq.msg_type == 15 && pontiq.direction == "acknowledgement"'
present "MSG_RELEASE" 'pontiq.msg_type == 17'

# Decoded fields.
check "record type code" "$(expect type)" "$(decode "pontiq.msg_type == 2 && $from_dev" pontiq.type_code | head -1)"
check "record name" "$(expect record_name)" "$(decode "pontiq.msg_type == 2 && $from_dev" pontiq.record.ap_name | head -1)"
check "record IP" "$ip" "$(decode "pontiq.msg_type == 2 && $from_dev" pontiq.record.ip_block.ip | head -1)"
check "MSG_SET_NAME name (UTF-8)" "$(expect name)" "$(decode "pontiq.msg_type == 8 && $to_dev" pontiq.name.ap_name | head -1)"
check "MSG_SET_IP address" "$ip" "$(decode "pontiq.msg_type == 3 && $to_dev" pontiq.ip.ip | head -1)"
check "MSG_SET_IP apply" "1" "$(decode "pontiq.msg_type == 3 && $to_dev" pontiq.ip.apply | head -1)"
check "MSG_SET_WIRELESS length" "$(expect wireless_len)" "$(decode "pontiq.msg_type == 4 && $to_dev" pontiq.payload_len | head -1)"
check "MSG_SET_WIRELESS SSID" "$(expect ssid)" "$(decode "pontiq.msg_type == 4 && $to_dev" pontiq.wireless.radio_block.security.ssid | head -1)"
check "MSG_SET_TIMED_REBOOT time" "$(expect restart_time)" "$(decode "pontiq.msg_type == 5 && $to_dev" pontiq.reboot.restart_time | head -1)"
check "MSG_SET_TIMED_REBOOT days" "127" "$(decode "pontiq.msg_type == 5 && $to_dev" pontiq.reboot.restart_type | head -1)"
check "MSG_SET_BRIDGE SSID" "$(expect bridge_ssid)" "$(decode "pontiq.msg_type == 7 && $to_dev" pontiq.bridge.security.ssid | head -1)"
check "MSG_SET_BRIDGE key" "$(expect bridge_key)" "$(decode "pontiq.msg_type == 7 && $to_dev" pontiq.bridge.security.key | head -1)"
check "MSG_SET_BRIDGE AP MAC" "02:10:20:30:40:50" "$(decode "pontiq.msg_type == 7 && $to_dev" pontiq.bridge.security.ap_mac | head -1)"
check "MSG_UPGRADE file" "$(expect firmware)" "$(decode "pontiq.msg_type == 11 && $to_dev" pontiq.upgrade.file_name | head -1)"
check "MSG_UPGRADE size" "$(expect firmware_size)" "$(decode "pontiq.msg_type == 11 && $to_dev" pontiq.upgrade.file_size | head -1)"
check "MSG_SET_VLAN length" "$(expect vlan_len)" "$(decode "pontiq.msg_type == 13 && $to_dev" pontiq.payload_len | head -1)"
check "MSG_SET_TRANSPARENT_BRIDGE value" "1" "$(decode "pontiq.msg_type == 18 && $to_dev" pontiq.ext.bridge_transparent | head -1)"
check "MSG_SET_KELVRA value" "1" "$(decode "pontiq.msg_type == 19 && $to_dev" pontiq.ext.tdmaEn | head -1)"
survey_entries=$(decode 'pontiq.msg_type == 6 && pontiq.direction == "reply"' pontiq.survey.icount | awk '{ s += $1 } END { print s + 0 }')
[ "$survey_entries" -gt 0 ] && echo "ok   survey entries: $survey_entries" || { echo "FAIL survey entries: 0"; failures=$((failures + 1)); }
present "survey entry SSID" 'pontiq.survey.entry.ssid'
check "raw frame target" "$(expect raw_target)" "$(decode 'pontiq.direction contains "raw frame"' eth.dst | head -1)"
present "heartbeat version" 'pontiq.msg_type == 15 && pontiq.disc.version'

# Malformed datagrams are marked and not decoded past their end.
check "short payload marked" "Payload length 328 but 20 bytes follow" \
    "$(decode 'pontiq.mac == 02:00:00:00:00:99' _ws.expert.message | head -1)"
check "short payload not decoded" "" "$(decode 'pontiq.mac == 02:00:00:00:00:99' pontiq.wireless.radio_block.channel | head -1)"
check "cut header marked" "Datagram of 10 bytes (16..1472 expected)" \
    "$(decode 'udp.length == 18 && pontiq' _ws.expert.message | head -1)"
check "no Lua errors" "0" "$(decode '_ws.lua.error' frame.number | wc -l)"
check "only the two bad datagrams marked malformed" "2" "$(decode '_ws.malformed' frame.number | wc -l)"

echo "$failures failed"
[ "$failures" -eq 0 ]
