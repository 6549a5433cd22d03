#!/usr/bin/env bash
# Times co2table over a grid of state points: by default the 10^6-point grid of 1000
# temperatures (0 to 99.9 C) by 1000 pressures (0.1 to 100 MPa), every column, CSV to /dev/null.
#
#   bench/bench_table.sh [BUILD_DIR] [TEMPERATURE_LIST PRESSURE_LIST]
#
# A smaller grid gives a quicker estimate: bench/bench_table.sh build 0:99:1 0.1:100:1 (10^4).
# Prints the points, the wall and CPU time, points per second and the time per point.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
temperatures=${2:-0:99.9:0.1}
pressures=${3:-0.1:100:0.1}
program="$build/co2table"
if [ ! -x "$program" ]; then
  echo "bench_table: $program not found; build it first (cmake --build $build --target co2table)" >&2
  exit 2
fi
timing=$(mktemp)
trap 'rm -f "$timing"' EXIT
/usr/bin/time -f '%e %U %S' -o "$timing" "$program" --temperature "$temperatures" --pressure "$pressures" \
  --output /dev/null 2>/dev/null || true
read -r wall user sys <"$timing"
python3 - "$temperatures" "$pressures" "$wall" "$user" "$sys" "$(nproc)" <<'PY'
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
t, p, wall, user, system, cores = sys.argv[1], sys.argv[2], *map(float, sys.argv[3:6]), sys.argv[6]
points = count(t) * count(p)
print(f"co2table grid: {points} points ({count(t)} temperatures x {count(p)} pressures), {cores} cores")
print(f"wall {wall:.2f} s, cpu {user + system:.2f} s")
print(f"{points / wall:.0f} points/s, {wall / points * 1e6:.1f} us per point (wall), "
      f"{(user + system) / points * 1e6:.1f} us per point (cpu)")
PY
