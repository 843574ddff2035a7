#!/usr/bin/env bash
# `./run --demo` as a normal user, checked: runs the demo (tools/simnet/demo.sh, which uses
# unprivileged user and network namespaces when not root) as USER under Xvfb, presses Search in
# the real program, counts the devices in its scratch database and takes a screenshot.
#
#   sudo scripts/demo_user_check.sh [-u USER] [-b BUILD_DIR] [-p PROGRAM] [-o OUT_DIR] [-n DEVICES]
#
# USER (default "pontiqdemo", made when missing) runs everything; BUILD_DIR (default build) must
# be readable by USER; PROGRAM defaults to BUILD_DIR/Pontiq/Pontiq (e.g. /usr/bin/pontiq for an
# installed package). Writes OUT_DIR/demo-user-<lang>.png (default build/screenshots) and prints
# "devices found: N". Exit 0 when all DEVICES (default 40) were found: the demo gives two devices
# one address, so one of them stays heard-only and DEVICES - 1 records are stored.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
readonly SEARCH_AT="193 110" # status page: Search / Stop (pixels from the main window's corner)

die() {
    echo "demo_user_check: $*" >&2
    exit 1
}

# ---- Inside the demo's PC namespace, as root of the user namespace ------------------------
if [ "${1:-}" = "--inside" ]; then
    program=$2 out=$3 devices=$4
    want=$((devices - 1)) # the address-conflict loser is heard, not stored
    LANG=en_US.UTF-8 LC_ALL="" QT_QPA_PLATFORM=xcb "$program" >"$out/demo-user-program.log" 2>&1 &
    app=$!
    win=""
    for _ in $(seq 150); do
        win=$(xdotool search --onlyvisible --name '^Pontiq$' 2>/dev/null | head -1) || true
        [ -n "$win" ] && break
        sleep 0.1
    done
    [ -n "$win" ] || { kill $app; die "no main window; see $out/demo-user-program.log"; }
    eval "$(xdotool getwindowgeometry --shell "$win")"
    read -r sx sy <<<"$SEARCH_AT"
    sleep 1
    xdotool mousemove $((X + sx)) $((Y + sy)) click 1
    db=""
    found=0
    for _ in $(seq 30); do
        sleep 1
        db=$(ls "$XDG_RUNTIME_DIR"/pontiq/data.mdb "$(dirname "$(readlink -f "$program")")"/data.mdb /opt/pontiq/data.mdb 2>/dev/null | head -1) || true
        [ -n "$db" ] && found=$(sqlite3 "file:$db?mode=ro" "select count(*) from ap_info" 2>/dev/null || echo 0)
        [ "$found" -ge "$want" ] && break
    done
    sleep 1
    xdotool mousemove $((X + sx)) $((Y + sy)) click 1 # Stop
    sleep 1
    xdotool mousemove $((X + 5)) $((Y + 5))
    sleep 0.3
    import -window "$win" "$out/demo-user-en.png"
    echo "devices found: $found stored + 1 heard-only (address conflict) of $devices (database $db)"
    kill -TERM $app 2>/dev/null || true
    wait $app 2>/dev/null || true
    [ "$found" -ge "$want" ]
    exit
fi

# ---- As the user: Xvfb, then the demo with the driver above as its program ---------------
if [ "${1:-}" = "--as-user" ]; then
    build=$2 program=$3 out=$4 devices=$5
    export XDG_RUNTIME_DIR
    XDG_RUNTIME_DIR=$(mktemp -d /tmp/pontiq-demo-rt.XXXXXX)
    display=""
    for n in $(seq 80 89); do
        [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
    done
    [ -n "$display" ] || die "no free X display between :80 and :89"
    Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
    export DISPLAY=$display
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    echo "demo_user_check: running the demo as $(id -un) (uid $(id -u)) on $display"
    PONTIQ_DEMO_DEVICES=$devices PONTIQ_DEMO_PROGRAM="$0" "$root/tools/simnet/demo.sh" "$build" \
        --inside "$program" "$out" "$devices"
    exit
fi

# ---- As root: the user, the tools, then the rest as the user ------------------------------
user=pontiqdemo build=$root/build program="" out=$root/build/screenshots devices=40
while getopts "u:b:p:o:n:" opt; do
    case $opt in
        u) user=$OPTARG ;;
        b) build=$(cd "$OPTARG" && pwd) ;;
        p) program=$OPTARG ;;
        o) out=$OPTARG ;;
        n) devices=$OPTARG ;;
        *) die "usage: $0 [-u USER] [-b BUILD_DIR] [-p PROGRAM] [-o OUT_DIR] [-n DEVICES]" ;;
    esac
done
[ "$(id -u)" -eq 0 ] || die "run it as root: it runs the demo as another, normal user"
program=${program:-$build/Pontiq/Pontiq}
source "$root/scripts/deps.sh"
pontiq_install_deps xdotool imagemagick x11-utils
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
mkdir -p "$out"
chmod 777 "$out"
su "$user" -s /bin/bash -c "$(printf '%q ' "$0" --as-user "$build" "$program" "$out" "$devices")"
