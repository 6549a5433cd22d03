#!/usr/bin/python3
"""The page's WebAssembly against the native co2table on one grid: the same bytes, or a summary
of the numbers that differ (per column: how many, by how many units in the last place), and a
failure for any text cell that differs or any number off by more than REL_LIMIT.

Usage: compare_grid.py CO2TABLE NODE SITE [co2table arguments...]"""
import math
import struct
import subprocess
import sys


# Emscripten's libm (exp, log, pow) rounds differently from glibc's in about one argument in 1500;
# those one-ulp differences travel through the model's iterations. Anything beyond this, or any
# differing text cell (flag, phase, note, error), is a fault.
REL_LIMIT = 1e-12


def ulps(a, b):
    def key(x):
        i = struct.unpack("<q", struct.pack("<d", x))[0]
        return i if i >= 0 else -(i & 0x7FFFFFFFFFFFFFFF)
    try:
        x, y = float(a), float(b)
    except ValueError:
        return None
    if math.isnan(x) or math.isnan(y):
        return None
    return abs(key(x) - key(y))


def compare_tables(native, wasm):
    """Lines that sum the comparison up, and the faults (empty when the tables agree)."""
    if native == wasm:
        return ["the WebAssembly table equals co2table's byte for byte"], []
    rows_n, rows_w = native.splitlines(), wasm.splitlines()
    if len(rows_n) != len(rows_w) or rows_n[0] != rows_w[0]:
        return [], [f"tables differ in shape: native {len(rows_n)} lines, wasm {len(rows_w)}"]
    header = rows_n[0].split(",")
    values = differing = 0
    worst = {}
    faults = []
    for r, (a, b) in enumerate(zip(rows_n[1:], rows_w[1:]), start=1):
        cells_a, cells_b = a.split(","), b.split(",")
        if len(cells_a) != len(cells_b):
            faults.append(f"row {r}: native {a!r}, wasm {b!r}")
            continue
        for c, (x, y) in enumerate(zip(cells_a, cells_b)):
            gap = ulps(x, y)
            values += gap is not None
            if x == y:
                continue
            differing += 1
            rel = abs(float(x) - float(y)) / max(abs(float(x)), 1e-300) if gap is not None else math.inf
            # Two texts of one double: the WebAssembly number text is wrong, whatever the model.
            if gap is None or gap == 0 or rel > REL_LIMIT:
                faults.append(f"row {r}: {header[c]}: native {x!r}, wasm {y!r}")
            w = worst.get(header[c], (0, 0.0, 0))
            worst[header[c]] = (max(w[0], gap or 0), max(w[1], rel), w[2] + 1)
    lines = [f"{values} numbers compared, {differing} differ:"]
    for name, (gap, rel, n) in sorted(worst.items(), key=lambda kv: -kv[1][2]):
        lines.append(f"  {name}: {n} values, at most {gap} ulp ({rel:.1e} relative)")
    return lines, faults


def main():
    co2table, node, site, *args = sys.argv[1:]
    native = subprocess.run([co2table, *args], check=True, capture_output=True).stdout.decode()
    here = __file__.rsplit("/", 1)[0]
    wasm = subprocess.run([node, here + "/wasm_table.js", site, *args], check=True,
                          capture_output=True).stdout.decode()
    print(f"grid: co2table {' '.join(args)}: {len(native.splitlines()) - 1} points")
    lines, faults = compare_tables(native, wasm)
    print("\n".join(lines))
    for fault in faults[:50]:
        print("FAULT", fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
