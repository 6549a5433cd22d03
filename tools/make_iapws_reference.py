#!/usr/bin/python3
"""Writes reference properties of pure water from IAPWS-95 for the water model's tests.

Run with Debian's interpreter, which has the python3-iapws package:
    /usr/bin/python3 tools/make_iapws_reference.py > tests/model/data/iapws95_water.csv

The C++ tests read the committed CSV, so they need no Python at run time.
"""
import sys

import iapws

# State points: the calculator's range, -1.48..100 C and 0.1..100 MPa, plus saturated liquid
# (pressure column 0: the model then takes the saturation pressure, as the calculator does).
TEMPERATURES_C = [-1.48, 0.0, 5.0, 10.0, 25.0, 40.0, 50.0, 60.0, 75.0, 90.0, 100.0]
PRESSURES_MPA = [0.0, 0.1, 0.5, 1.0, 5.0, 10.0, 20.0, 50.0, 75.0, 100.0]
# Vapour states below the saturation pressure, where the model's solve ends on the vapour root.
VAPOUR_POINTS = [(25.0, 0.001), (60.0, 0.01), (90.0, 0.05)]
OFFSET_K = 273.15
BAR_PER_MPA = 10.0


def main():
    out = sys.stdout
    out.write("# Pure water from IAPWS-95 (Wagner & Pruss 2002), computed by python3-iapws %s\n" % iapws.__version__)
    out.write("# Generator: tools/make_iapws_reference.py (run with /usr/bin/python3).\n")
    out.write("# T = T_C + 273.15 K. P_MPa = 0 marks saturated liquid at the IAPWS-95 saturation pressure.\n")
    out.write("# Columns: T_C, P_MPa (as given to the model), psat_bar (0: none), rho_g_cm3, cp_J_molK, f_bar, drhodP, drhodT, d2rhodT2, phase\n")
    out.write("# rho in g/cm3; cp molar with M = %.6f g/mol; f = fugacity in bar;\n"
              "# drhodP g/(cm3 bar) at constant T; drhodT g/(cm3 K) at constant P; d2rhodT2 = drhodT(T + 0.5 K)\n"
              "# - drhodT(T - 0.5 K) (nan where a neighbour is in the other phase); phase L liquid, V vapour.\n" % iapws.IAPWS95.M)
    for t_c in TEMPERATURES_C:
        t = t_c + OFFSET_K
        # Below the triple point (273.16 K) there is no liquid-vapour saturation in IAPWS-95; the
        # liquid is metastable there and those rows carry no saturation point.
        try:
            sat = iapws.IAPWS95(T=t, x=0)
            psat_mpa = sat.P
        except NotImplementedError:
            sat = None
            psat_mpa = 0.0
        for p_mpa in PRESSURES_MPA:
            if p_mpa == 0.0:
                if sat is None:
                    continue
                st = sat
            else:
                st = iapws.IAPWS95(T=t, P=p_mpa)
            if not st.status:
                continue
            phase = "V" if (p_mpa != 0.0 and p_mpa < psat_mpa) else "L"
            write_row(out, t_c, p_mpa, psat_mpa, st, phase)
    for t_c, p_mpa in VAPOUR_POINTS:
        t = t_c + OFFSET_K
        psat_mpa = iapws.IAPWS95(T=t, x=0).P
        st = iapws.IAPWS95(T=t, P=p_mpa)
        write_row(out, t_c, p_mpa, psat_mpa, st, "V")


def second_derivative(t_c, p_mpa, phase):
    """drho/dT at T + 0.5 K minus drho/dT at T - 0.5 K, at the pressure of the row (g/(cm3 K2)).

    Empty (nan) where a neighbour lies in the other phase: the model's solves stay on the
    root they start from, IAPWS-95 takes the stable one."""
    if p_mpa == 0.0:
        return float("nan")
    sides = []
    for dt in (-0.5, 0.5):
        t = t_c + OFFSET_K + dt
        st = iapws.IAPWS95(T=t, P=p_mpa)
        try:
            psat = iapws.IAPWS95(T=t, x=0).P
        except NotImplementedError:
            psat = 0.0
        if ("V" if p_mpa < psat else "L") != phase:
            return float("nan")
        sides.append(st.drhodT_P / 1000.0)
    return sides[1] - sides[0]


def write_row(out, t_c, p_mpa, psat_mpa, st, phase):
    # drhodP_T: kg/(m3 MPa) -> g/(cm3 bar); drhodT_P: kg/(m3 K) -> g/(cm3 K).
    out.write("%.2f,%.4f,%.12g,%.12g,%.12g,%.12g,%.12g,%.12g,%.12g,%s\n" % (
        t_c, p_mpa, psat_mpa * BAR_PER_MPA, st.rho / 1000.0, st.cp * st.M, st.f * BAR_PER_MPA,
        st.drhodP_T / 1000.0 / BAR_PER_MPA, st.drhodT_P / 1000.0, second_derivative(t_c, p_mpa, phase), phase))


if __name__ == "__main__":
    main()
