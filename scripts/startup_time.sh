#!/usr/bin/env bash
# Start-up time of the program to its main window on screen (median of several runs) and its
# CPU use while idle for 60 seconds, under a private Xvfb display. Every run is inside a private
# network namespace (unshare -n, needs root), so the program's sockets reach no real network.
#
#   scripts/startup_time.sh [runs] [idle-seconds]      (defaults 7 and 60)
# Uses build/Pontiq/Pontiq (or $PONTIQ_BUILD_DIR/Pontiq/Pontiq). Needs Xvfb and xwininfo.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PONTIQ_BUILD_DIR:-$root/build}"
program="$build/Pontiq/Pontiq"
runs="${1:-7}"
idle="${2:-60}"

for tool in Xvfb xwininfo unshare; do
  command -v "$tool" >/dev/null || { echo "startup_time: $tool is missing" >&2; exit 1; }
done
[[ -x "$program" ]] || { echo "startup_time: $program not built" >&2; exit 1; }
if [[ $(id -u) -ne 0 ]] || ! unshare -n true 2>/dev/null; then
  echo "startup_time: needs root for a private network namespace (unshare -n)" >&2
  exit 1
fi

display=":$(( 90 + RANDOM % 9 ))"
runtime="$(mktemp -d)"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pid=""
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT
export DISPLAY="$display" XDG_RUNTIME_DIR="$runtime"
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done

now_ns() { date +%s%N; }
# The main window: a viewable top-level window named Pontiq (Qt's hidden leader window has the
# same name, so each candidate is asked for its state).
viewable() {
  local id
  for id in $(xwininfo -root -children 2>/dev/null | awk '/"Pontiq"/ {print $1}'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && return 0
  done
  return 1
}

start_program() {  # sets pid, and elapsed_ms to the time until the window is viewable
  local t0 t1
  t0=$(now_ns)
  unshare -n "$program" >/dev/null 2>&1 &
  pid=$!
  until viewable; do
    if ! kill -0 "$pid" 2>/dev/null; then echo "startup_time: the program ended early" >&2; exit 1; fi
    (( ($(now_ns) - t0) / 1000000 > 10000 )) && { echo "startup_time: no window after 10 s" >&2; exit 1; }
  done
  t1=$(now_ns)
  elapsed_ms=$(( (t1 - t0) / 1000000 ))
}

stop_program() {  # as the Close button would: SIGTERM ends the main window
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=""
  # The next copy must not meet this one's window or lock.
  for _ in $(seq 200); do viewable || break; sleep 0.01; done
}

times=()
for i in $(seq "$runs"); do
  start_program
  times+=("$elapsed_ms")
  echo "run $i: ${elapsed_ms} ms to the main window"
  stop_program
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)}')
echo "median start-up: ${median} ms over ${runs} runs"

# Idle CPU: user + system ticks of the whole process over the idle period.
start_program
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
sleep 1
before=$(ticks)
sleep "$idle"
after=$(ticks)
stop_program
awk -v d=$(( after - before )) -v hz="$hz" -v s="$idle" \
  'BEGIN { printf "idle CPU over %d s: %.2f %% of one core (%d ticks)\n", s, 100 * d / (hz * s), d }'
