#!/usr/bin/env bash
# Sourced by ./run: gives the built executables the capabilities a normal user needs
#   Pontiq, pontiq-cli   cap_net_raw            the MAC search's raw Ethernet frame
#   service/FileServer   cap_net_bind_service   TFTP port 69 for firmware upgrades
# through sudo (asked only when a capability is missing: a new link drops them). Without them
# the program still runs and says which features will not work.
pontiq_grant_capabilities() {
    local folder=$1 missing=() file cap
    [ "$(id -u)" -eq 0 ] && return 0
    command -v getcap >/dev/null && command -v setcap >/dev/null || {
        echo "run: getcap/setcap not found (libcap2-bin): the MAC search and firmware upgrades need root" >&2
        return 0
    }
    while read -r file cap; do
        [ -x "$folder/$file" ] || continue
        getcap "$folder/$file" | grep -q "$cap" || missing+=("$cap+ep" "$folder/$file")
    done <<EOF2
Pontiq cap_net_raw
pontiq-cli cap_net_raw
service/FileServer cap_net_bind_service
EOF2
    [ ${#missing[@]} -eq 0 ] && return 0
    local i ok=1
    echo "run: giving the executables their capabilities (sudo setcap):"
    for ((i = 0; i < ${#missing[@]}; i += 2)); do
        echo "  ${missing[i]} ${missing[i + 1]}"
        if ! sudo setcap "${missing[i]}" "${missing[i + 1]}"; then
            ok=0
        fi
    done
    if [ "$ok" -eq 0 ]; then
        echo "run: without cap_net_raw the MAC search finds nothing; without cap_net_bind_service the" >&2
        echo "     FileServer cannot serve firmware (port 69). Run ./run as root, or the setcap lines above." >&2
    fi
    return 0
}
