#!/usr/bin/env bash
# Flood test of the program (not in CI). In a private network namespace (loopback plus a veth
# pair, 10.251.0.1/16 on one end, so the program also sends its answers), for each kind in turn:
# discovery replies, heartbeats, command replies, each datagram from a new invented MAC, sent by
# one flood_sender as fast as it can for SECONDS (default 10) to the program running on the
# offscreen platform. Reports per kind, with the limits checked:
#   rss_growth_mb   peak resident memory over the one before the flood       <= 64
#   cpu_settle_ms   after the flood, when CPU use stays under 5% of a core  <= 2000
#   exit_ms         from SIGTERM to the end of the process                  <= 2000
#   data_mdb        whether data.mdb was removed                             removed
#
#   sudo bench/flood.sh [-b BUILD_DIR] [SECONDS] [KIND...]      (default build, 10, all three)
#
#   PONTIQ_FLOOD_TRACE=1     also CPU per 250 ms and per thread after the flood
#   PONTIQ_FLOOD_PERF=FILE   perf record of the program during the flood and after it
#
# Build first: cmake --build build --target Pontiq flood_sender
set -uo pipefail
cd "$(dirname "$0")/.."
build=build
if [ "${1:-}" = "-b" ]; then
    build=$2
    shift 2
fi
seconds=${1:-10}
[ $# -gt 0 ] && shift
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(discovery heartbeat reply)
[ "$(id -u)" -eq 0 ] || { echo "flood.sh: needs root (network namespace)" >&2; exit 1; }
program=$build/Pontiq/Pontiq
sender=$build/tests/sim/flood_sender
[ -x "$program" ] && [ -x "$sender" ] || { echo "flood.sh: build Pontiq and flood_sender in $build first" >&2; exit 1; }

if [ "${PONTIQ_FLOOD_INSIDE:-}" != 1 ]; then
    echo "# $(date -u +%FT%TZ) $(nproc) CPUs; load: $(cut -d' ' -f1-3 /proc/loadavg); flood ${seconds}s"
    PONTIQ_FLOOD_INSIDE=1 exec unshare -n "$0" -b "$build" "$seconds" "${kinds[@]}"
fi

# A veth pair whose both ends stay in this namespace: an adapter the program can send from.
ip link set lo up
ip link add pqflood0 type veth peer name pqflood1 || exit 1
ip addr add 10.251.0.1/16 dev pqflood0
ip addr add 10.251.0.2/16 dev pqflood0
ip link set pqflood0 up
ip link set pqflood1 up

status=0
for kind in "${kinds[@]}"; do
    python3 - "$program" "$sender" "$kind" "$seconds" <<'EOF' || status=1
import os, signal, subprocess, sys, time

program, sender, kind, seconds = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
tick = os.sysconf("SC_CLK_TCK")
mdb = os.path.join(os.path.dirname(os.path.abspath(program)), "data.mdb")

def status_kb(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1])
    return -1

def cpu_s(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / tick

env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
proc = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
perf = None
for _ in range(100):
    if os.path.exists(mdb):
        break
    time.sleep(0.05)
time.sleep(2)  # the window is up and idle
rss0 = status_kb(proc.pid, "VmRSS:")
hwm0 = status_kb(proc.pid, "VmHWM:")

if os.environ.get("PONTIQ_FLOOD_PERF"):
    perf = subprocess.Popen(["perf", "record", "-g", "-o", os.environ["PONTIQ_FLOOD_PERF"], "-p", str(proc.pid)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
out = subprocess.run([sender, "--kind", kind, "--to", "10.251.0.1", "--from", "10.251.0.2",
                      "--seconds", str(seconds)], capture_output=True, text=True).stdout.strip()
end = time.monotonic()

def thread_cpu(pid):
    result = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            result[int(tid)] = (int(fields[11]) + int(fields[12])) / tick
        except OSError:
            pass
    return result

threads0 = thread_cpu(proc.pid)
# CPU over 250 ms steps for 6 s; settled from the first step after which every 1-s window
# stays under 5% of a core.
samples = [(0.0, cpu_s(proc.pid))]
while samples[-1][0] < 6.0:
    time.sleep(0.25)
    samples.append((time.monotonic() - end, cpu_s(proc.pid)))
settle = None
for i in range(len(samples)):
    ok = True
    for j in range(i, len(samples)):
        k = next((k for k in range(j, len(samples)) if samples[k][0] - samples[j][0] >= 1.0), None)
        if k is None:
            break
        if (samples[k][1] - samples[j][1]) / (samples[k][0] - samples[j][0]) >= 0.05:
            ok = False
            break
    if ok:
        settle = samples[i][0]
        break
if os.environ.get("PONTIQ_FLOOD_TRACE"):
    threads1 = thread_cpu(proc.pid)
    print(f"pid {proc.pid}; threads in creation order:", " ".join(str(t) for t in sorted(threads1)))
    print("cpu seconds per thread after the flood (tid:s):",
          " ".join(f"{t}:{threads1[t] - threads0.get(t, 0):.2f}" for t in sorted(threads1) if threads1[t] - threads0.get(t, 0) > 0))
    print("cpu after the flood (s, % of a core per 250 ms):",
          " ".join(f"{samples[i][0]:.2f}:{(samples[i][1]-samples[i-1][1])/(samples[i][0]-samples[i-1][0])*100:.0f}"
                   for i in range(1, len(samples))))
rss1 = status_kb(proc.pid, "VmRSS:")
hwm1 = status_kb(proc.pid, "VmHWM:")
# The peak counts only when it was reached after the start-up peak.
growth = (max(rss1, hwm1 if hwm1 > hwm0 else rss0) - rss0) / 1024.0

if perf:
    perf.send_signal(signal.SIGINT)
    perf.wait()
t0 = time.monotonic()
proc.send_signal(signal.SIGTERM)
try:
    proc.wait(timeout=10)
    exit_ms = (time.monotonic() - t0) * 1000
except subprocess.TimeoutExpired:
    proc.kill()
    proc.wait()
    exit_ms = None
removed = not os.path.exists(mdb)

settle_ms = settle * 1000 if settle is not None else None
ok = growth <= 64 and settle_ms is not None and settle_ms <= 2000 and exit_ms is not None and exit_ms <= 2000 and removed
fmt = lambda v: "none" if v is None else f"{v:.0f}"
print(f"{out}")
print(f"kind={kind} rss_before_mb={rss0/1024:.1f} rss_after_mb={rss1/1024:.1f} rss_growth_mb={growth:.1f} "
      f"cpu_settle_ms={fmt(settle_ms)} exit_ms={fmt(exit_ms)} data_mdb={'removed' if removed else 'LEFT'} "
      f"{'PASS' if ok else 'MISS'}", flush=True)
sys.exit(0 if ok else 3)
EOF
done
exit $status
