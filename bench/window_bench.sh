#!/usr/bin/env bash
# Two figures of the window under Xvfb:
#   * time from start to the first painted frame (process start until the window's picture first
#     holds a lit pixel, polled with xwd every few milliseconds), median of RUNS starts;
#   * idle CPU use at the menu (the calculator waits for the option), from /proc/PID/stat over
#     IDLE_SECONDS, as a percentage of one core, and the resident memory there.
# Usage: bench/window_bench.sh [CO2CALC] (default build/co2calc); RUNS=5 IDLE_SECONDS=10.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
bin=$(realpath "${1:-$here/../build/co2calc}")
runs=${RUNS:-5}
idle=${IDLE_SECONDS:-10}
work=$(mktemp -d)
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT

Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset 9>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -1 "$work/display")"
for _ in $(seq 100); do
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.1
done

cd "$work"
/usr/bin/python3 - "$bin" "$runs" "$idle" <<'EOF'
import os, statistics, struct, subprocess, sys, time

program, runs, idle = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
env = dict(os.environ, SDL_AUDIODRIVER="dummy")


def window_id(proc, deadline):
    while time.monotonic() < deadline and proc.poll() is None:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Untitled$"],
                             capture_output=True, text=True).stdout.split()
        if out:
            return out[0]
        time.sleep(0.002)
    return None


def lit(wid):
    """Whether the window's picture has a pixel that is not black."""
    data = subprocess.run(["xwd", "-silent", "-id", wid], capture_output=True).stdout
    if len(data) < 100:
        return False
    header_size, ncolors = struct.unpack(">I", data[0:4])[0], struct.unpack(">I", data[76:80])[0]
    return any(data[header_size + 12 * ncolors:])


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def close(proc, wid):
    subprocess.run(["xdotool", "key", "--window", wid, "ctrl+c"], capture_output=True)
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


first_frames = []
for run in range(runs):
    start = time.monotonic()
    proc = subprocess.Popen([program, "--window"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wid = window_id(proc, start + 20)
    if wid is None:
        sys.exit("no window")
    while not lit(wid):
        if time.monotonic() - start > 20:
            sys.exit("the window was never painted")
        time.sleep(0.002)
    first_frames.append(time.monotonic() - start)
    if run < runs - 1:
        proc.kill()
        proc.wait()

# The last run goes on to the menu and idles there.
subprocess.run(["xdotool", "windowfocus", wid], capture_output=True)
subprocess.run(["xdotool", "key", "x"], capture_output=True)
time.sleep(2)
before, t0 = cpu_seconds(proc.pid), time.monotonic()
time.sleep(idle)
after, t1 = cpu_seconds(proc.pid), time.monotonic()
rss = next(line.split()[1] for line in open("/proc/%d/status" % proc.pid) if line.startswith("VmRSS:"))
close(proc, wid)

print("time to first painted frame: median %.0f ms (min %.0f, max %.0f, %d starts)" % (
    1000 * statistics.median(first_frames), 1000 * min(first_frames), 1000 * max(first_frames), runs))
print("idle CPU at the menu: %.2f %% of one core over %.0f s, resident memory %s kB" % (
    100 * (after - before) / (t1 - t0), t1 - t0, rss))
EOF
