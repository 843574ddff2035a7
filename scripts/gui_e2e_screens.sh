#!/usr/bin/env bash
# Screenshots of the real program on the demo LAN: builds the simulated LAN with 40 devices
# (tools/simnet/demo.sh), runs the program under Xvfb inside the LAN's PC namespace, drives it
# with xdotool and takes pictures with ImageMagick's import, once in English and once in
# Chinese (the language follows the POSIX locale), then tears everything down. Needs root.
#
#   sudo scripts/gui_e2e_screens.sh [-b BUILD_DIR] [-o OUT_DIR]
#   sudo scripts/gui_e2e_screens.sh -s 1000      # stall probe instead of pictures (below)
#
# BUILD_DIR (default build-e2e) holds Pontiq/Pontiq and tools/devicesim/devicesim; pictures go to
# OUT_DIR (default build/screenshots): status-<lang>-searching.png (during the run),
# status-<lang>.png (after Stop, 40 devices), setip-<lang>.png (the Set IP dialog on a ticked
# device), systemtool-<lang>.png. The program never runs outside the PC namespace.
#
# With -s DEVICES the LAN gets that many devices and, instead of the pictures, one Search run of
# 50 s is made with PONTIQ_STALL_PROBE on (app/application_stall_probe.cpp): the largest and the
# 99th-percentile lateness of a 10 ms timer on the UI thread go to OUT_DIR/stall-DEVICES.txt.
#
# Clicks go to fixed points of the main window (the layout is in dialog units of the skin font,
# the same for both languages); the points are named below.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

# ---- Points of the main window (pixels from its top-left corner) --------------------------
readonly SEARCH_AT="193 110"     # status page: Search / Stop
readonly SETIP_AT="389 110"      # status page: Set IP
readonly TICK_ROW1_AT="158 193"  # status page: tick box of the first row
readonly SYSTEMTOOL_AT="67 442"  # navigation panel: System tool
readonly IPSET_CANCEL_REL="-60 -28" # Set IP dialog: Cancel, from the dialog's bottom-right corner

die() {
    echo "gui_e2e_screens: $*" >&2
    exit 1
}

# ---- Inside the PC namespace (demo.sh runs this as its program) --------------------------
inside() {
    local out=$1 program=$2
    # The PC namespace is the simulated LAN's: the program must not search anywhere else.
    [ "$(ip -o link show dev lo | sed -n 's/.* alias \(pontiq-simnet\) owner=.*/\1/p')" = pontiq-simnet ] ||
        die "not inside a simulated LAN's PC namespace"
    local display="" n
    for n in $(seq 90 99); do
        [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
    done
    [ -n "$display" ] || die "no free X display between :90 and :99"
    xvfb_pid=""
    app_pid=""
    stop_all() {
        [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
        [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
        return 0
    }
    trap stop_all EXIT
    Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=$display
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdpyinfo >/dev/null 2>&1 || die "Xvfb did not start on $display"
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/pontiq-screens-rt.XXXXXX)}
    chmod 700 "$XDG_RUNTIME_DIR"

    if [ -n "${PONTIQ_SCREENS_STALL:-}" ]; then
        stall_run "$out" "$program"
        return
    fi
    local lang tag
    for lang in en_US.UTF-8 zh_CN.UTF-8; do
        tag=${lang%%_*}
        LANG=$lang LC_ALL="" LANGUAGE="" QT_QPA_PLATFORM=xcb "$program" >"$out/program-$tag.log" 2>&1 &
        app_pid=$!
        local win=""
        for _ in $(seq 100); do
            win=$(xdotool search --onlyvisible --name '^Pontiq$' 2>/dev/null | head -1) || true
            [ -n "$win" ] && break
            sleep 0.1
        done
        [ -n "$win" ] || die "no main window ($lang); see $out/program-$tag.log"
        eval "$(xdotool getwindowgeometry --shell "$win")" # X Y WIDTH HEIGHT
        local wx=$X wy=$Y
        click() { # x y, relative to the main window
            xdotool mousemove "$((wx + $1))" "$((wy + $2))" click 1
            sleep 0.3
        }
        shot() { # file [window]
            import -window "${2:-root}" "$out/$1"
            echo "gui_e2e_screens: $out/$1"
        }
        sleep 1
        shot "start-$tag.png" "$win"

        # Search: the grid fills while the run goes on (page 1 is reloaded every 3 s).
        click $SEARCH_AT
        sleep 7
        shot "status-$tag-searching.png" "$win"
        click $SEARCH_AT # Stop
        sleep 1
        xdotool mousemove "$((wx + 5))" "$((wy + 5))" # away from the buttons (no hover)
        sleep 0.3
        shot "status-$tag.png" "$win"

        # Set IP on the first row: the dialog with that device's addresses.
        click $TICK_ROW1_AT
        click $SETIP_AT
        sleep 1
        local dlg
        dlg=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -vx "$win" | tail -1) || true
        shot "setip-$tag.png"
        if [ -n "$dlg" ]; then
            shot "setip-$tag-dialog.png" "$dlg"
            eval "$(xdotool getwindowgeometry --shell "$dlg")"
            local cx cy
            read -r cx cy <<<"$IPSET_CANCEL_REL"
            xdotool mousemove "$((X + WIDTH + cx))" "$((Y + HEIGHT + cy))" click 1
            sleep 0.5
        fi

        click $SYSTEMTOOL_AT
        sleep 1
        shot "systemtool-$tag.png" "$win"

        kill -TERM "$app_pid" 2>/dev/null || true # ends as the Close button does
        wait "$app_pid" 2>/dev/null || true
        app_pid=""
    done
}

# One whole search run (50 s) with the stall probe on; the probe's figures go to
# OUT_DIR/stall-<devices>.txt.
stall_run() {
    local out=$1 program=$2 devices=$PONTIQ_SCREENS_STALL
    local report=$out/stall-$devices.txt
    rm -f "$report"
    LANG=en_US.UTF-8 LC_ALL="" PONTIQ_STALL_PROBE=$report QT_QPA_PLATFORM=xcb "$program" >"$out/program-stall.log" 2>&1 &
    app_pid=$!
    local win=""
    for _ in $(seq 100); do
        win=$(xdotool search --onlyvisible --name '^Pontiq$' 2>/dev/null | head -1) || true
        [ -n "$win" ] && break
        sleep 0.1
    done
    [ -n "$win" ] || die "no main window; see $out/program-stall.log"
    eval "$(xdotool getwindowgeometry --shell "$win")"
    local sx sy
    read -r sx sy <<<"$SEARCH_AT"
    sleep 2
    xdotool mousemove "$((X + sx))" "$((Y + sy))" click 1
    local started=$SECONDS
    sleep 20
    import -window "$win" "$out/stall-$devices-searching.png"
    while [ $((SECONDS - started)) -lt 54 ]; do sleep 1; done # the run ends by itself after 50 s
    import -window "$win" "$out/stall-$devices-after.png"
    kill -TERM "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    [ -s "$report" ] || die "the program wrote no stall report"
    echo "gui_e2e_screens: stall probe, $devices devices, one search run:"
    cat "$report"
}

if [ "${1:-}" = "--inside" ]; then
    shift
    inside "$@"
    exit 0
fi

# ---- Outside: tools, the LAN, the run ----------------------------------------------------
build=$root/build-e2e
out=$root/build/screenshots
stall=""
devices=40
while getopts "b:o:s:" opt; do
    case $opt in
        b) build=$(cd "$OPTARG" && pwd) ;;
        o) out=$OPTARG ;;
        s) devices=$OPTARG stall=1 ;;
        *) die "usage: sudo $0 [-b BUILD_DIR] [-o OUT_DIR] [-s DEVICES]" ;;
    esac
done
[ "$(id -u)" -eq 0 ] || die "needs root: the demo LAN lives in private network namespaces"
program=$build/Pontiq/Pontiq
[ -x "$program" ] || die "no program at $program (cmake --build $build --target Pontiq devicesim)"
missing=()
command -v xdotool >/dev/null || missing+=(xdotool)
command -v import >/dev/null || missing+=(imagemagick)
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v xdpyinfo >/dev/null || missing+=(x11-utils)
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
[[ "$devices" =~ ^[0-9]+$ ]] || die "-s takes a number of devices"
PONTIQ_SCREENS_STALL=${stall:+$devices} PONTIQ_DEMO_DEVICES=$devices PONTIQ_DEMO_PROGRAM="$here/gui_e2e_screens.sh" \
    "$root/tools/simnet/demo.sh" "$build" --inside "$out" "$program"
