#!/usr/bin/python3
"""What a Python user would write instead of calling the library: the Spycher, Pruess and
Ennis-King (2003) solubility and water content in plain Python (the non-iterative formulation with
its Redlich-Kwong volume, as model/spycher_pruess.cpp computes it), timed per point against the
library's full state point in one run.

    PYTHONPATH=build/python bench/bench_python_alternative.py [--points N]

Prints microseconds per point for the plain-Python point (its Redlich-Kwong volume by the closed
form of the cubic, and by numpy.roots), for co2calc.table (one thread, every quantity of the
report, in co2table's order: pressures fastest), and the ratios. The plain-Python
point is first checked against the library's own implementation of the same formulation
(model="spycher-pruess-2003"), so that both sides compute the same thing.
"""
import argparse
import math
import sys
import time

import numpy as np

import co2calc

R = 83.1447  # bar cm3/(mol K)
WATER_MOLALITY = 55.508
B_CO2, B_H2O, A_H2O_CO2 = 27.80, 18.18, 7.89e7
V_H2O, V_CO2 = 18.1, 32.6


def a_co2(T):
    return 7.54e7 - 4.13e4 * T


def rk_ln_phi(T, P, V, bk, ak):
    a, b = a_co2(T), B_CO2
    rt15 = R * T**1.5
    ln_vb = math.log((V + b) / V)
    return (math.log(V / (V - b)) + bk / (V - b) - 2 * ak / (rt15 * b) * ln_vb
            + a * bk / (rt15 * b * b) * (ln_vb - b / (V + b)) - math.log(P * V / (R * T)))


def rk_volume(T, P):
    a, b = a_co2(T), B_CO2
    c2 = -R * T / P
    c1 = -(R * T * b / P - a / (P * math.sqrt(T)) + b * b)
    c0 = -a * b / (P * math.sqrt(T))
    p = c1 - c2 * c2 / 3
    q = 2 * c2**3 / 27 - c2 * c1 / 3 + c0
    shift = -c2 / 3
    disc = q * q / 4 + p**3 / 27
    if disc > 0:
        s = math.sqrt(disc)
        return shift + math.copysign(abs(-q / 2 + s)**(1 / 3), -q / 2 + s) + \
            math.copysign(abs(-q / 2 - s)**(1 / 3), -q / 2 - s)
    r = 2 * math.sqrt(-p / 3)
    theta = math.acos(max(-1.0, min(1.0, 3 * q / (p * r)))) / 3
    roots = [shift + r * math.cos(theta - 2 * math.pi * k / 3) for k in range(3)]
    gas, liquid = max(roots), min(roots)
    if not liquid > b:
        return gas
    return gas if rk_ln_phi(T, P, gas, b, a_co2(T)) <= rk_ln_phi(T, P, liquid, b, a_co2(T)) else liquid


def rk_volume_numpy(T, P):
    """The same root, found the way a first script often finds it: numpy.roots of the cubic."""
    a, b = a_co2(T), B_CO2
    roots = np.roots([1, -R * T / P, -(R * T * b / P - a / (P * math.sqrt(T)) + b * b), -a * b / (P * math.sqrt(T))])
    real = sorted(float(r.real) for r in roots if abs(r.imag) < 1e-9 * abs(r.real))
    gas, liquid = real[-1], real[0]
    if len(real) == 1 or not liquid > b:
        return gas
    return gas if rk_ln_phi(T, P, gas, b, a_co2(T)) <= rk_ln_phi(T, P, liquid, b, a_co2(T)) else liquid


def spycher_pruess(t_c, p_mpa, volume=rk_volume):
    """(m_CO2 in mol/kg, y_H2O) in pure water."""
    T, P = t_c + 273.15, 10 * p_mpa
    V = volume(T, P)
    liquid = t_c < 31 and V < 94
    log10_k = (1.169 + 1.368e-2 * t_c - 5.380e-5 * t_c**2) if liquid else \
        (1.189 + 1.304e-2 * t_c - 5.446e-5 * t_c**2)
    ln_phi_co2 = rk_ln_phi(T, P, V, B_CO2, a_co2(T))
    ln_phi_h2o = rk_ln_phi(T, P, V, B_H2O, A_H2O_CO2)
    dP = P - 1
    log10_kw = -2.209 + 3.097e-2 * t_c - 1.098e-4 * t_c**2 + 2.048e-7 * t_c**3
    A = 10**log10_kw / (math.exp(ln_phi_h2o) * P) * math.exp(dP * V_H2O / (R * T))
    B = math.exp(ln_phi_co2) * P / (WATER_MOLALITY * 10**log10_k) * math.exp(-dP * V_CO2 / (R * T))
    y = (1 - B) / (1 / A - B)
    x = B * (1 - y)
    return WATER_MOLALITY * x / (1 - x), y


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=20000)
    args = parser.parse_args()
    temperatures = np.arange(12.0, 100.0, 88.0 / max(1, args.points // 200))
    pressures = np.linspace(0.5, 60.0, 200)
    t, p = np.meshgrid(temperatures, pressures, indexing="ij")
    t, p = t.ravel(), p.ravel()
    n = t.size

    # The same formulation on both sides.
    check = co2calc.table(t[:500], p[:500], columns=["sol_m", "y_H2O"], model="spycher-pruess-2003", threads=1)
    for i in range(500):
        m, y = spycher_pruess(float(t[i]), float(p[i]))
        if not (math.isclose(m, check["sol_m"][i], rel_tol=1e-9) and math.isclose(y, check["y_H2O"][i], rel_tol=1e-9)):
            sys.exit(f"plain-Python point differs from the library's at {t[i]} C, {p[i]} MPa: "
                     f"{m} {y} against {check['sol_m'][i]} {check['y_H2O'][i]}")

    tl, pl = t.tolist(), p.tolist()
    start = time.process_time()
    for i in range(n):
        spycher_pruess(tl[i], pl[i])
    python_us = (time.process_time() - start) / n * 1e6
    start = time.process_time()
    for i in range(n):
        spycher_pruess(tl[i], pl[i], rk_volume_numpy)
    numpy_us = (time.process_time() - start) / n * 1e6

    start = time.process_time()
    co2calc.table(t, p, threads=1)
    library_us = (time.process_time() - start) / n * 1e6

    print(f"{n} points, microseconds a point (ratio to the library's full point):")
    print(f"  plain-Python Spycher-Pruess, closed-form cubic  {python_us:8.2f}  ({python_us / library_us:.2f})")
    print(f"  plain-Python Spycher-Pruess, numpy.roots cubic  {numpy_us:8.2f}  ({numpy_us / library_us:.2f})")
    print(f"  co2calc.table, every quantity, one thread       {library_us:8.2f}")


if __name__ == "__main__":
    main()
