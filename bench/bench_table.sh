#!/usr/bin/env bash
# Times co2table over a grid of state points, against co2table built from another commit in the same
# invocation (absolute times on a shared machine are noisy; the ratio of two runs side by side
# holds). By default the 10^6-point grid of 1000 temperatures (0 to 99.9 C) by 1000 pressures
# (0.1 to 100 MPa), every column, CSV to /dev/null.
#
#   bench/bench_table.sh [--base COMMIT] [--threads N] [BUILD_DIR] [TEMPERATURE_LIST PRESSURE_LIST]
#
# --base COMMIT (default e8685fd, the model before its fast path) is checked out in a temporary
# worktree and built in Release with ccache; without --base none, only BUILD_DIR's co2table runs.
# A smaller grid gives a quicker estimate: bench/bench_table.sh build-rel 0:99:1 0.1:100:1 (10^4).
# Prints, for each program, the wall and CPU time, points per second and the time per point, then
# the ratio of the two.
set -euo pipefail
cd "$(dirname "$0")/.."
base=e8685fd
threads=""
while [ $# -gt 0 ]; do
  case "$1" in
    --base) base=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    *) break ;;
  esac
done
build=${1:-build}
temperatures=${2:-0:99.9:0.1}
pressures=${3:-0.1:100:0.1}
program="$build/co2table"
if [ ! -x "$program" ]; then
  echo "bench_table: $program not found; build it first (cmake --build $build --target co2table)" >&2
  exit 2
fi

work=$(mktemp -d)
cleanup() {
  if [ -d "$work/src" ]; then git worktree remove --force "$work/src" >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

baseProgram=""
if [ "$base" != none ]; then
  echo "bench_table: building co2table of $base (Release) ..." >&2
  git worktree add --detach "$work/src" "$base" >/dev/null 2>&1
  cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
  CCACHE_BASEDIR="$work" ninja -C "$work/build" co2table >/dev/null
  baseProgram="$work/build/co2table"
fi

# Runs one program over the grid; prints "wall user sys".
timed() {
  local timing="$work/timing"
  local args=(--temperature "$temperatures" --pressure "$pressures" --output /dev/null)
  if [ -n "$threads" ]; then args+=(--threads "$threads"); fi
  /usr/bin/time -f '%e %U %S' -o "$timing" "$1" "${args[@]}" 2>/dev/null || true
  cat "$timing"
}

current=$(timed "$program")
baseline=""
if [ -n "$baseProgram" ]; then baseline=$(timed "$baseProgram"); fi

python3 - "$temperatures" "$pressures" "$(nproc)" "$program" "$current" "$base" "$baseline" <<'PY'
import sys
def count(text):
    n = 0
    for item in text.split(','):
        parts = item.split(':')
        if len(parts) == 1:
            n += 1
        else:
            a, b, c = (float(p) for p in parts)
            n += int((b - a) / c + 1e-9) + 1
    return n
t, p, cores, program, current, base, baseline = sys.argv[1:8]
points = count(t) * count(p)
print(f"co2table grid: {points} points ({count(t)} temperatures x {count(p)} pressures), {cores} cores")
def show(name, timing):
    wall, user, system = map(float, timing.split())
    print(f"{name}: wall {wall:.2f} s, cpu {user + system:.2f} s, {points / wall:.0f} points/s, "
          f"{wall / points * 1e6:.1f} us per point (wall), {(user + system) / points * 1e6:.1f} us per point (cpu)")
    return wall
now = show(program, current)
if baseline:
    then = show(f"co2table of {base}", baseline)
    print(f"ratio: {then / now:.2f} times the points per second of {base}")
PY
