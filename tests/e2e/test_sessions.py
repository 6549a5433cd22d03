"""Whole sessions of co2calc through its headless front end: the output file line by line and the
screen through the transcript.

Reference values and where they come from:
  * texts, templates, curve correlations and range bounds: the program's documented dialogue and
    report layout, formatted here by hand;
  * liquid water density and the saturation pressure of water: IAPWS-95 (Debian python3-iapws);
    the water equation the program uses (Hill 1990) agrees with it to about 1e-4;
  * the Henry constant of CO2 in water: the IAPWS G7-04 guideline as python3-iapws implements it
    (iapws._iapws._Henry);
  * consistency relations between printed values (V = M / d, g/kg = mol/kg * 44.0098, activity of
    water = (1 - x) * gamma, ...), which hold whatever the model computes.
"""

import math
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import session  # noqa: E402
from session import REPORT_LAYOUT, CURVE_LABELS, fits_picture, parse_reports, run  # noqa: E402

try:
    from iapws import IAPWS95
    from iapws._iapws import _Henry
except ImportError:  # Debian's python3-iapws is missing: the reference checks are skipped
    IAPWS95 = None

START = b"x"  # any key leaves the start-up screen
M_H2O = 18.0152
M_CO2 = 44.0098

WARNING_T = "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.48 - 100 C"
WARNING_P = "         WARNING:    PRESSURE OUT OF ALLOwABLE RANGE 0 - 100 MPa"
WARNING_LIQUID = "         WARNING:    PRESSURE BELOW WATER SATURATION PRESSURE: NO LIQUID WATER"
WARNING_M = "         WARNING:    INPUT CONCENTRATION GREATER THAN SOLUBILITY"  # its trailing blank is cut
CURVE_WARNINGS = {
    1: "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.6 - +31.48 C",
    2: "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE +9.93 - +20.0 C",
    3: "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.48 - +9.93 C",
    4: "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.48 - -0.125 C",
}
SEPARATOR = "_" * 80


def water_saturation_pressure_mpa(t_c):
    """The vapour-pressure auxiliary of the water equation, evaluated here from its documented
    form and coefficients (critical point 647.067 K, 220.46 bar): the pressure that replaces a
    typed 0. It lies within about 0.1 % of IAPWS-95."""
    a = [-7.85823, 1.83991, -11.7811, 22.6705, -15.9393, 1.77516]
    t = t_c + 273.15
    theta = 1 - t / 647.067
    s = (a[0] * theta + a[1] * theta ** 1.5 + a[2] * theta ** 3 + a[3] * theta ** 3.5 + a[4] * theta ** 4
         + a[5] * theta ** 7.5)
    return math.exp(647.067 / t * s) * 220.46 / 10


def option0(t, p, m=""):
    return f"0\n{t}\n{p}\n{m}\n".encode()


def curve(option, t, m=""):
    return f"{option}\n{t}\n{m}\n".encode()


def refused(option, t):
    return f"{option}\n{t}\n".encode()


def prompt_row(temperature_shown, typed_temperature, pressure_shown, typed_pressure=""):
    """The input row of option 0: the temperature prompt from column 1, the pressure prompt from
    column 35. The shown values are the templates "####.##" and "###.#####" applied by hand."""
    left = f" Temperature, C ={temperature_shown}? {typed_temperature}".ljust(34)
    return f"{left} Total Pressure, MPa ={pressure_shown}? {typed_pressure}"


class SessionTestCase(unittest.TestCase):
    ARGS = ()  # further options of every session of the class

    def session(self, keys, code=0, **kw):
        kw.setdefault("args", self.ARGS)
        result = run(START + keys, **kw)
        self.assertEqual(result.returncode, code, result.stderr[-2000:])
        return result

    def reports(self, result):
        self.assertIsNotNone(result.file_bytes, "CO2out.txt was not created")
        lines = result.file_lines()
        self.assertEqual(lines[-1], b"", "the file must end with a complete line")
        for line in lines[:-1]:
            self.assertNotIn(b"\n", line, "every line ends in CR LF")
            self.assertNotIn(b"\r", line, "every line ends in CR LF")
        dates, reports = parse_reports(lines[:-1])
        return dates, reports

    def assertReportLayout(self, report, option):
        for n, ((label, picture), text) in enumerate(zip(REPORT_LAYOUT, report.lines), start=1):
            if label == "<curve>":
                self.assertEqual(text, CURVE_LABELS[option], f"line {n}")
            elif picture is None:
                self.assertEqual(text, label, f"line {n}")
            else:
                self.assertTrue(text.startswith(label), f"line {n}: {text!r}")
                self.assertTrue(fits_picture(picture, text[len(label):]), f"line {n}: {text!r} vs {picture!r}")

    def assertClose(self, actual, expected, tolerance, what=""):
        self.assertLessEqual(abs(actual - expected), tolerance, f"{what}: {actual} vs {expected}")


class FileReportTests(SessionTestCase):
    def test_report_at_25C_10MPa_is_date_line_and_45_lines(self):
        result = self.session(option0(25, 10))
        dates, reports = self.reports(result)
        self.assertEqual(len(dates), 1)
        self.assertEqual(len(reports), 1)
        self.assertTrue(result.file_lines()[0].startswith(b" " * 45 + b"  Date "))
        report = reports[0]
        self.assertReportLayout(report, 0)
        self.assertEqual(report.lines[0], " Temperature (in C) =   25.000")
        self.assertEqual(report.lines[2], " Total Pressure (in MPa) =   10.000000 ")

    def test_report_values_agree_with_references_and_each_other(self):
        (_, [report]) = self.reports(self.session(option0(25, 10)))
        v = report.values
        # Printed values derived from one another, to the rounding of their templates.
        self.assertClose(v["VH2O"], M_H2O / v["rhoH2O"], 1e-4, "V(H2O) = M / d")
        self.assertClose(v["VCO2"], M_CO2 / v["rhoCO2"], 1e-4, "V(CO2) = M / d")
        self.assertClose(v["phiH2O"], v["fH2O"] / 10.0, 1e-4, "fugacity coefficient of water = f / P")
        self.assertClose(v["phiCO2"], v["fCO2"] / 10.0, 1e-4, "fugacity coefficient of CO2 = f / P")
        self.assertClose(v["lnKH_MPa"], math.log(v["Henry"]), 1e-3, "ln(kH, MPa) = ln(Henry)")
        self.assertClose(v["gPerKg"], v["mSat"] * M_CO2, 8e-4, "g/kg = mol/kg * M(CO2)")
        x_sat = v["molPercent"] / 100
        self.assertClose(v["mSat"], 1000 / M_H2O * x_sat / (1 - x_sat), 1e-4, "mol/kg from mol%")
        self.assertEqual(v["m"], v["mSat"], "Enter at the molality prompt takes the solubility")
        x = v["m"] / (1000 / M_H2O + v["m"])
        self.assertClose(v["aH2O"], (1 - x) * v["gammaH2O"], 2e-5, "activity of water = (1 - x) gamma")
        self.assertClose(v["rhoSol"], ((1 - x) * M_H2O + x * M_CO2) / v["Vsol"], 2e-6, "solution density")
        self.assertGreater(v["rhoCO2"], 0.6, "CO2 at 25 C and 10 MPa is a dense fluid")

    @unittest.skipIf(IAPWS95 is None, "python3-iapws is not installed")
    def test_water_and_henry_constant_agree_with_iapws(self):
        (_, [report]) = self.reports(self.session(option0(25, 10)))
        v = report.values
        rho = IAPWS95(T=298.15, P=10).rho / 1000
        self.assertClose(v["rhoH2O"], rho, 2e-4, "liquid water density against IAPWS-95")
        (_, [report]) = self.reports(self.session(option0(25, 0.1)))
        self.assertClose(report.values["Henry"], _Henry(298.15, "CO2"), 0.05 * _Henry(298.15, "CO2"),
                         "Henry constant against IAPWS G7-04")
        # The offsets of the water functions are set to give these values at 25 C and 0.1 MPa.
        self.assertClose(report.values["SH2O"], 69.95, 1e-5, "S(H2O)")
        self.assertClose(report.values["hH2O"], -285830.0, 1e-2, "h(H2O)")
        self.assertLess(report.values["phiCO2"], 1.0)
        self.assertGreater(report.values["phiCO2"], 0.99)

    def test_second_run_appends_its_date_line_and_report(self):
        directory = tempfile.mkdtemp(prefix="co2e2e-")
        try:
            with open(os.path.join(directory, "CO2out.txt"), "wb") as f:
                f.write(b"kept line\r\n")
            first = run(START + option0(25, 10), directory=directory)
            second = run(START + option0(30, 20), directory=directory)
            self.assertEqual(first.returncode, 0)
            self.assertEqual(second.returncode, 0)
            self.assertTrue(second.file_bytes.startswith(first.file_bytes), "earlier content is kept")
            self.assertTrue(first.file_bytes.startswith(b"kept line\r\n"))
            dates, reports = parse_reports(second.file_lines()[1:-1])
            self.assertEqual(len(dates), 2)
            self.assertEqual([r.values["T_C"] for r in reports], [25.0, 30.0])
        finally:
            shutil.rmtree(directory)

    def test_file_holds_no_warnings_and_no_separator(self):
        result = self.session(option0(100.01, 100.0001))
        self.assertNotIn(b"WARNING", result.file_bytes)
        self.assertNotIn(b"___", result.file_bytes)
        (_, [report]) = self.reports(result)
        self.assertReportLayout(report, 0)


class ScreenTests(SessionTestCase):
    def test_startup_screen_then_title_box_date_and_menu(self):
        result = self.session(b"")
        rows = result.transcript
        self.assertTrue(result.rows_containing("Press any key to continue..."))
        self.assertTrue(result.rows_containing("                             <CTRL-C>      Quit the Program"))
        self.assertTrue(result.rows_containing("             Output is appended to the ASCII file CO2OUT.TXT"))
        self.assertTrue([r for r in rows if "co2calc" in r], "the author line names the program")
        top = " \u2554" + "\u2550" * 74 + "\u2557 "
        middle = " \u2551   CO2 solubility in water from -1.48 to 100 C and from 0.1 to 100 MPa    \u2551 "
        bottom = " \u255a" + "\u2550" * 74 + "\u255d "
        i = rows.index(top.ljust(80))
        self.assertEqual(rows[i + 1], middle.ljust(80))
        self.assertEqual(rows[i + 2], bottom.ljust(80))
        self.assertRegex(rows[i + 3], r"^ {45}  Date \d\d-\d\d-\d{4}  Time  \d\d:\d\d:\d\d {2}$")
        self.assertEqual(rows[i + 4].rstrip(), "                               Input Options")
        self.assertEqual(rows[i + 5].rstrip(), "    (0) Temperature and Pressure")
        self.assertEqual(rows[i + 9].rstrip(), "    (4) Temperature on the H2O(l)-H2O(ice)-CO2(v)  curve")
        self.assertTrue(rows[i + 10].startswith("                 Specify number of desired option "))

    def test_prompt_row_and_report_columns(self):
        result = self.session(option0(25, 10))
        prompt = result.rows_containing(" Total Pressure, MPa =")[0]
        self.assertEqual(prompt.rstrip(), prompt_row("   0.00", "25", "  0.00000", "10"))
        self.assertEqual(prompt.index("Total Pressure") - 1, 34, "the pressure prompt starts in column 35")
        rows = result.transcript
        water = [r for r in rows if r.startswith("    d(H2O) = ")][0]
        self.assertEqual(water[39:51], "    V(H2O) =", "the second value pair starts in column 40")
        co2 = [r for r in rows if r.startswith("    S(CO2) = ")][0]
        self.assertEqual(co2[39:52], "   Cp(CO2) = ")
        self.assertTrue(result.rows_containing("   Hill P.G. / J. Phys. Chem. Ref. Data / 1990, v. 19, p. 1233-1274"))
        fugacity = [r for r in rows if r.startswith("    f(H2O) = ")][0]
        self.assertIn("       fugacity Coeff. =", fugacity)
        molality = [r for r in rows if r.startswith(" At finite concentration:    CO2 molality =")][0]
        self.assertRegex(molality, r"^ At finite concentration:    CO2 molality = +\d+\.\d{5} \? ")
        self.assertIn(SEPARATOR, rows)
        after = rows[rows.index(SEPARATOR) + 1]
        self.assertTrue(after.startswith(" \u2554"), "the next pass starts with the title box")

    def test_screen_and_file_show_the_same_values(self):
        result = self.session(option0(40, 35, 0.5))
        (_, [report]) = self.reports(result)
        v = report.values
        rows = result.transcript

        def numbers(prefix):
            row = [r for r in rows if r.startswith(prefix)][0]
            return [float(x) for x in re.findall(r"-?\d+\.\d+", row[len(prefix):])]

        expected = {
            "    d(H2O) = ": ["rhoH2O", "VH2O"], "    S(H2O) = ": ["SH2O", "CpH2O"],
            "    g(H2O) = ": ["gH2O", "hH2O"], "    f(H2O) = ": ["fH2O", "phiH2O"],
            " Mole fraction of CO2 in vapour phase": ["yCO2Vap"],
            "    d(CO2) = ": ["rhoCO2", "VCO2"], "    S(CO2) = ": ["SCO2", "CpCO2"],
            "    g(CO2) = ": ["gCO2", "hCO2"], "    f(CO2) = ": ["fCO2", "phiCO2"],
            "  Henry = ": ["Henry", "lnKH_MPa"], "  Gaq = ": ["Gaq", "S2", "V2", "Cp2"],
            "  CO2 solubility       ": ["molPercent", "mSat", "gPerKg"],
            "      Activity coefficient of CO2": ["gammaCO2"], "      Osmotic coefficient": ["phiOsm"],
            "      Activity of H2O": ["aH2O"], "      Activity coefficient of H2O": ["gammaH2O"],
            "      Excess H2O entropy": ["SexH2O"], "      Excess H2O heat capacity": ["CpexH2O"],
            "      Excess CO2 entropy": ["SexCO2"], "      Excess CO2 heat capacity": ["CpexCO2"],
            "      Excess solution volume": ["Vex"], "      Bulk solution volume": ["Vsol"],
            "      Density of solution": ["rhoSol"],
        }
        for prefix, names in expected.items():
            self.assertEqual(numbers(prefix)[-len(names):], [v[n] for n in names], prefix)

    def test_long_temperature_text_is_overwritten_by_the_pressure_prompt(self):
        result = self.session(option0("25.0000000000", 10))
        prompt = result.rows_containing(" Total Pressure, MPa =")[0]
        self.assertEqual(prompt[26:34], "25.00000")
        self.assertEqual(prompt[34:56], " Total Pressure, MPa =")
        (_, [report]) = self.reports(result)
        self.assertEqual(report.values["T_C"], 25.0)


class MenuTests(SessionTestCase):
    def test_enter_alone_selects_option_0(self):
        result = self.session(b"\n25\n10\n\n")
        (_, [report]) = self.reports(result)
        self.assertEqual(report.curve_label, CURVE_LABELS[0])

    def test_other_numbers_show_the_menu_again_without_a_message(self):
        result = self.session(b"5\n-1\n1.5\n7E0\n" + option0(25, 10))
        menus = result.rows_containing("Specify number of desired option")
        self.assertEqual(len(menus), 6, "four refusals, the accepted 0, the menu after the report")
        self.assertFalse(result.rows_containing("WARNING"))
        (_, reports) = self.reports(result)
        self.assertEqual(len(reports), 1)


class CurveTests(SessionTestCase):
    def pressure_row(self, result, n=0):
        return result.rows_containing(" Total Pressure, MPa =")[n]

    def test_each_curve_gives_its_pressure_and_label(self):
        # Pressures from the correlations evaluated by hand (bar):
        #   option 1 at 0 C: the constant term 34.776
        #   option 2 at 10 C: 44.97 + 3865.7 - 12897 + 14845 - 7062.9 + 1254.2 = 49.97
        #   option 3 at 0 C: 10 exp(57308.65/273.15 - 446.88395 + 0.868805*273.15) = 12.670005...
        #   option 4 at -1 C: 0.07965 + 7.3651 = 7.44475
        keys = curve(1, 0) + curve(2, 10) + curve(3, 0) + curve(4, -1)
        result = self.session(keys)
        (_, reports) = self.reports(result)
        self.assertEqual([r.curve_label for r in reports], [CURVE_LABELS[n] for n in (1, 2, 3, 4)])
        expected = [3.4776, 4.997, 1.2670005253621, 0.744475]
        for report, p in zip(reports, expected):
            self.assertClose(report.values["P"], p, 6e-7, report.curve_label)
        shown = [self.pressure_row(result, n)[34:].rstrip() for n in range(4)]
        self.assertEqual(shown, [" Total Pressure, MPa =  3.478", " Total Pressure, MPa =  4.9970",
                                 " Total Pressure, MPa =  1.267", " Total Pressure, MPa =  0.744"])

    def test_temperatures_at_the_bounds(self):
        accepted = [(1, -1.6), (1, 31.48), (1, 31.48001), (2, 9.93), (2, 20), (3, -1.48), (3, 9.93),
                    (4, -0.125), (4, -1.48)]
        rejected = [(1, 31.5), (1, -1.61), (2, 20.0000001), (2, 9.9299), (3, 9.931), (3, -1.481),
                    (4, -0.12), (4, -1.49)]
        keys = b"".join(curve(o, t) for o, t in accepted) + b"".join(refused(o, t) for o, t in rejected)
        result = self.session(keys)
        (_, reports) = self.reports(result)
        self.assertEqual([(r.curve_label, r.values["T_C"]) for r in reports],
                         [(CURVE_LABELS[o], round(t, 3)) for o, t in accepted])
        warnings = [row.rstrip() for row in result.transcript if "OUT OF ALLOwABLE RANGE -1.6" in row
                    or "+9.93 - +20.0" in row or "-1.48 - +9.93" in row or "-1.48 - -0.125" in row]
        self.assertEqual(warnings, [CURVE_WARNINGS[o] for o, _ in rejected])

    def test_refused_temperature_is_offered_next_and_curve_pressure_is_kept(self):
        result = self.session(refused(1, 31.5) + curve(1, 0) + option0("", ""))
        prompts = result.rows_containing(" Temperature, C =")
        self.assertTrue(prompts[1].startswith(" Temperature, C =  31.50? 0"), prompts[1])
        self.assertEqual(prompts[2][34:].rstrip(), " Total Pressure, MPa =  3.47760?")
        (_, reports) = self.reports(result)
        self.assertEqual(len(reports), 2, "the refused temperature computes nothing")
        self.assertEqual(reports[1].lines[2], reports[0].lines[2], "Enter keeps the curve pressure")

    def test_option_2_above_100_MPa_warns_and_reports(self):
        result = self.session(curve(2, 20))
        self.assertTrue(result.rows_containing(WARNING_P))
        (_, [report]) = self.reports(result)
        self.assertGreater(report.values["P"], 100)


class KeepOldValueTests(SessionTestCase):
    def test_enter_keeps_temperature_and_pressure(self):
        result = self.session(option0(25, 10) + option0("", ""))
        prompts = result.rows_containing(" Total Pressure, MPa =")
        self.assertEqual(prompts[1].rstrip(), prompt_row("  25.00", "", " 10.00000").rstrip())
        (_, reports) = self.reports(result)
        self.assertEqual(reports[1].lines[:3], reports[0].lines[:3])
        self.assertEqual(reports[1].lines, reports[0].lines)

    def test_enter_keeps_a_curve_temperature(self):
        (_, reports) = self.reports(self.session(curve(3, 5) + curve(3, "")))
        self.assertEqual(reports[1].lines, reports[0].lines)

    def test_enter_after_a_zero_pressure_keeps_the_saturation_pressure(self):
        # Going through MPa and back (P_bar / 10 * 10) can land one unit in the last place below the
        # saturation pressure, where the water equation takes its vapour root; Enter must keep the
        # pressure itself. -0.871 C is such a temperature; the others sweep the range.
        temperatures = [-0.871, -0.5, 0.3, 2.2, 4.7, 8.1, 13.3, 19.9, 27.5, 38.8, 52.6, 71.3, 88.8, 99.4]
        keys = b"".join(option0(t, 0) + option0("", "") for t in temperatures)
        result = self.session(keys)
        (_, reports) = self.reports(result)
        self.assertEqual(len(reports), 2 * len(temperatures))
        for first, second in zip(reports[0::2], reports[1::2]):
            self.assertEqual(second.lines, first.lines, first.lines[0])
            self.assertGreater(second.values["rhoH2O"], 0.9, "saturated liquid, not vapour")
        echoes = [r for r in result.transcript if r.startswith(" Temperature, C =") and r[66:75].strip()]
        self.assertEqual(len(echoes), 2 * len(temperatures), "both passes echo the saturation pressure")


class PressureZeroTests(SessionTestCase):
    def test_zero_pressure_echoes_the_saturation_pressure_at_column_67(self):
        result = self.session(option0(25, 0))
        prompt = result.rows_containing(" Total Pressure, MPa =")[0]
        # The echo starts on the blank after the prompt's "?" and covers the typed "0".
        self.assertEqual(prompt[:66], prompt_row("   0.00", "25", "  0.00000")[:66])
        psat = water_saturation_pressure_mpa(25)
        self.assertEqual(prompt[66:75], f"{psat:9.5f}")
        (_, [report]) = self.reports(result)
        self.assertEqual(report.lines[2], f" Total Pressure (in MPa) =  {psat:10.6f} ")
        if IAPWS95 is not None:
            self.assertClose(report.values["P"], IAPWS95(T=298.15, x=0).P, 5e-6, "against IAPWS-95")
        self.assertFalse(result.rows_containing("PRESSURE BELOW"), "saturated liquid is not below saturation")
        # Pure water vapour above the liquid leaves no CO2 to dissolve: the solubility is 0, and the
        # molality offered (0, taken as 1e-8) lies above it.
        self.assertEqual(report.values["mSat"], 0.0)
        self.assertTrue(result.rows_containing(WARNING_M))

    def test_first_pass_with_enter_everywhere_uses_the_saturation_pressure_at_0C(self):
        result = self.session(option0("", ""))
        prompt = result.rows_containing(" Total Pressure, MPa =")[0]
        self.assertEqual(prompt[:66], prompt_row("   0.00", "", "  0.00000")[:66])
        psat = water_saturation_pressure_mpa(0)
        self.assertEqual(prompt[66:75], f"{psat:9.5f}")
        (_, [report]) = self.reports(result)
        self.assertEqual(report.lines[2], f" Total Pressure (in MPa) =  {psat:10.6f} ")


class MolalityTests(SessionTestCase):
    def test_zero_or_text_without_digits_means_1e_minus_8(self):
        result = self.session(option0(25, 10, 0) + option0("", "", "abc"))
        (_, reports) = self.reports(result)
        for report in reports:
            self.assertEqual(report.lines[33], " At finite concentration =     0.00000  ")
            self.assertEqual(report.values["gammaCO2"], 1.0)
            self.assertEqual(report.values["aH2O"], 1.0)
            self.assertEqual(report.values["phiOsm"], 1.0)
        self.assertFalse(result.rows_containing("WARNING"))

    def test_molality_above_the_solubility_warns_and_is_used(self):
        result = self.session(option0(25, 10, 5))
        rows = [r.rstrip() for r in result.transcript]
        self.assertIn(WARNING_M, rows)
        i = rows.index(WARNING_M)
        self.assertTrue(rows[i - 1].startswith(" At finite concentration:    CO2 molality ="))
        self.assertTrue(rows[i + 1].startswith("      Activity coefficient of CO2 (molal scale)"))
        (_, [report]) = self.reports(result)
        self.assertEqual(report.lines[33], " At finite concentration =     5.00000  ")

    def test_enter_uses_the_solubility_without_warning(self):
        result = self.session(option0(25, 10))
        self.assertFalse(result.rows_containing("WARNING"))

    def test_a_molality_no_template_can_print_still_ends_its_line(self):
        # Far outside the model's range the molality comes out as no number; its box is answered
        # and the line keeps its CR LF, so the report keeps its 45 lines.
        for t, p in [(-273, 0), (-50, 200), (-50, 10), (1e4, 0), (1e5, 10), (1e6, 10)]:
            result = self.session(option0(t, p), args=("--on-error", "continue"))
            lines = result.file_lines()
            self.assertEqual(len(lines), 1 + 45 + 1, (t, p))
            for (label, _), line in zip(REPORT_LAYOUT, lines[1:]):
                if label != "<curve>":
                    self.assertTrue(line.startswith(label.encode()), (t, p, label, line))


class RangeWarningTests(SessionTestCase):
    def warning_rows(self, result):
        return [r.rstrip() for r in result.transcript if "WARNING" in r]

    def test_temperature_and_pressure_out_of_range_warn_in_that_order(self):
        result = self.session(option0(100.01, 100.0001))
        self.assertEqual(self.warning_rows(result), [WARNING_T, WARNING_P])
        rows = [r.rstrip() for r in result.transcript]
        i = rows.index(WARNING_T)
        self.assertEqual(rows[i - 1], "", "an empty line before each warning")
        self.assertEqual(rows[i + 1], "")
        self.assertEqual(rows[i + 2], WARNING_P)
        self.assertTrue(rows[i + 3].startswith("             Partial molar properties of CO2 in solution"))
        self.assertTrue(rows[i - 3].startswith("    f(CO2) = "), "after the carbon dioxide block")

    def test_values_at_the_bounds_do_not_warn(self):
        result = self.session(option0(100.005, 100) + option0(-1.48005, "") + option0(-1.48, ""))
        self.assertEqual(self.warning_rows(result), [])

    def test_just_outside_the_bounds_warns(self):
        result = self.session(option0(-1.4801, 10) + option0(25, 100.00001))
        self.assertEqual(self.warning_rows(result), [WARNING_T, WARNING_P])

    def test_pressure_below_water_saturation_warns(self):
        # The molality 0 (taken as 1e-8) keeps the activity model clear of the negative solubility.
        result = self.session(option0(25, 0.001, 0) + option0(100, 0.1, 0))
        # The solubility comes out negative there, so even 1e-8 mol/kg lies above it.
        self.assertEqual(self.warning_rows(result), [WARNING_LIQUID, WARNING_M, WARNING_LIQUID, WARNING_M])
        (_, reports) = self.reports(result)
        self.assertEqual(len(reports), 2, "the report is still complete")
        self.assertLess(reports[0].values["rhoH2O"], 0.001, "the water is vapour there")


class ErrorBoxTests(SessionTestCase):
    ARGS = ("--on-error", "keys")  # the answers are keys of the script, as a user would type them
    # A molality below -1000/18.0152 makes 1 - x negative, and its logarithm raises error 5.
    NEGATIVE_MOLALITY = option0(25, 10, -100)

    def test_yes_goes_on_with_the_report(self):
        result = self.session(self.NEGATIVE_MOLALITY + b"y" * 20)
        boxes = result.boxes()
        self.assertTrue(boxes, result.stderr)
        caption, text = boxes[0]
        self.assertEqual(caption, "Unhandled Error #5")
        self.assertRegex(text, r"^Line:\d+\nIllegal function call\nContinue\?$")
        (_, [report]) = self.reports(result)
        self.assertEqual(report.values["m"], -100.0)
        self.assertIn(SEPARATOR, result.transcript)

    def test_no_ends_the_program_with_exit_code_0(self):
        result = self.session(self.NEGATIVE_MOLALITY + b"n" + option0(25, 10))
        self.assertEqual(len(result.boxes()), 1)
        self.assertTrue(result.file_bytes.endswith(b"\r\n At finite concentration =  "))
        self.assertNotIn(SEPARATOR, result.transcript)


    def test_typed_number_beyond_the_double_range_is_an_overflow_and_becomes_0(self):
        # Stored as an infinity it would print as nothing and break the file's lines; it is
        # reported once as an overflow and the run goes on with 0.
        result = self.session(b"0\n1E400\ny10\n\n")
        self.assertEqual(result.boxes(), [("Unhandled Error #6", result.boxes()[0][1])])
        self.assertRegex(result.boxes()[0][1], r"^Line:\d+\nOverflow\nContinue\?$")
        (_, [report]) = self.reports(result)
        self.assertEqual(report.lines[0], " Temperature (in C) =    0.000")
        self.assertEqual(report.values["P"], 10.0)

    def test_typed_pressure_beyond_the_double_range_is_an_overflow_and_becomes_0(self):
        # The pressure prompt follows the same rule: one overflow box, then the run at a pressure
        # of 0, which is the water saturation pressure, exactly as a typed 0 gives it.
        result = self.session(b"0\n25\n1E400\ny\n")
        self.assertEqual([caption for caption, _ in result.boxes()], ["Unhandled Error #6"])
        self.assertRegex(result.boxes()[0][1], r"^Line:\d+\nOverflow\nContinue\?$")
        (_, [report]) = self.reports(result)
        (_, [typed_zero]) = self.reports(self.session(b"0\n25\n0\n\n"))
        self.assertEqual(report.lines, typed_zero.lines)
        self.assertLess(report.values["P"], 0.01)


class OutputFileErrorTests(SessionTestCase):
    ARGS = ("--on-error", "keys")

    def test_unopenable_file_shows_a_box_and_the_dialogue_goes_on(self):
        # CO2out.txt is a directory: opening it fails; every later write to the file number that
        # was never opened raises "Bad file name or number". Each box is answered Yes.
        date_line_boxes = 1
        boxes_before_molality = 12 + 1 + 9 + 8 + 3 + 1
        boxes_after_molality = 12
        keys = (b"y" + b"y" * date_line_boxes + b"0\n25\n10\n" + b"y" * boxes_before_molality + b"\n"
                + b"y" * boxes_after_molality)
        result = self.session(keys, code=1, setup=lambda d: os.mkdir(os.path.join(d, "CO2out.txt")))
        self.assertIn("output file operations failed", result.stderr, "lost lines are no success")
        boxes = result.boxes()
        self.assertEqual(len(boxes), 2 + boxes_before_molality + boxes_after_molality, result.stderr[:2000])
        self.assertRegex(boxes[0][0], r"^Unhandled Error #\d+$")
        self.assertTrue(boxes[0][1].endswith("\nContinue?"))
        for caption, text in boxes[1:]:
            self.assertEqual(caption, "Unhandled Error #52")
            self.assertIn("\nBad file name or number\n", text)
        # Each failing write is its own statement: the numbers grow in program-text order and
        # differ from one file line to the next (the eleven activity lines share one in a loop).
        report_lines = [int(re.match(r"Line:(\d+)", text).group(1)) for _, text in boxes[2:]]
        self.assertEqual(report_lines, sorted(report_lines))
        self.assertGreaterEqual(len(set(report_lines)), 34)
        self.assertIn(SEPARATOR, result.transcript, "the report still reaches the screen")
        self.assertTrue(result.rows_containing("    d(H2O) = "))


def write_file(directory, name, keys):
    path = os.path.join(directory, name)
    with open(path, "wb") as f:
        f.write(keys)
    return path


def wait_for_lines(path, count, process, timeout=60):
    """Waits until the file at `path` holds `count` line ends (or the process has ended)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and process.poll() is None:
        if os.path.exists(path):
            with open(path, "rb") as f:
                if f.read().count(b"\r\n") >= count:
                    return
        time.sleep(0.02)


class ReliabilityTests(SessionTestCase):
    """The output file holds whole lines whatever happens: other instances, a full disk, a
    killed run, a file replaced while the program runs."""

    def assert_whole_lines(self, data):
        self.assertTrue(data.endswith(b"\r\n"), data[-200:])
        torn = [line for line in data[:-2].split(b"\r\n") if not session.whole_line(line)]
        self.assertEqual(torn, [], "torn lines")

    def test_concurrent_instances_interleave_whole_lines(self):
        instances, reports = 4, 100
        with tempfile.TemporaryDirectory(prefix="co2e2e-") as directory:
            processes = []
            for n in range(instances):
                keys = START + b"".join(option0(t, 10 + n) for t in range(reports))
                with open(write_file(directory, f"keys{n}", keys), "rb") as stdin:
                    processes.append(subprocess.Popen([session.PROGRAM, "--headless"], stdin=stdin,
                                                      cwd=directory, stderr=subprocess.PIPE))
            for process in processes:
                _, errors = process.communicate(timeout=300)
                self.assertEqual(process.returncode, 0, errors)
            with open(os.path.join(directory, "CO2out.txt"), "rb") as f:
                data = f.read()
        self.assert_whole_lines(data)
        lines = data.split(b"\r\n")
        self.assertEqual(sum(1 for line in lines if session.DATE_LINE.match(line)), instances)
        self.assertEqual(sum(1 for line in lines if line.startswith(b" Temperature (in C) = ")),
                         instances * reports)

    def test_full_disk_stops_with_disk_full_and_keeps_whole_lines(self):
        # A file size limit of the process is a disk that fills up in the second report.
        def small_disk():
            resource.setrlimit(resource.RLIMIT_FSIZE, (3000, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))

        with tempfile.TemporaryDirectory(prefix="co2e2e-") as directory:
            with open(write_file(directory, "keys", START + option0(25, 10) + option0(30, 10)), "rb") as stdin:
                full = subprocess.run([session.PROGRAM, "--headless"], stdin=stdin, cwd=directory,
                                      capture_output=True, timeout=120, preexec_fn=small_disk)
            self.assertEqual(full.returncode, 3, full.stderr)
            self.assertIn(b"Unhandled Error #61\nLine:", full.stderr)
            self.assertIn(b"\nDisk full\nContinue?", full.stderr)
            # With room again, the next run starts on a line of its own.
            second = run(START + option0(40, 10), directory=directory)
            self.assertEqual(second.returncode, 0, second.stderr)
        self.assert_whole_lines(second.file_bytes)
        lines = second.file_bytes.split(b"\r\n")
        self.assertGreater(len(lines), 46 + 46, "the first report, part of the second, the third")
        self.assertEqual(lines[-46], b" Temperature (in C) =   40.000")

    def test_a_line_torn_by_a_killed_run_is_ended_before_the_next_run(self):
        torn = b"    d(H2O) =  0.99"
        result = self.session(option0(25, 10), setup=lambda d: write_file(
            d, "CO2out.txt", b" Temperature (in C) =   20.000\r\n" + torn))
        lines = result.file_lines()
        self.assertEqual(lines[1], torn)
        self.assertTrue(session.DATE_LINE.match(lines[2]), lines[2])
        self.assertEqual(len(lines), 2 + 1 + 45 + 1)

    def test_a_file_replaced_during_the_session_gets_the_next_report(self):
        with tempfile.TemporaryDirectory(prefix="co2e2e-") as directory:
            path = os.path.join(directory, "CO2out.txt")
            process = subprocess.Popen([session.PROGRAM, "--headless"], stdin=subprocess.PIPE, cwd=directory,
                                       stderr=subprocess.PIPE)
            process.stdin.write(START + option0(25, 10))
            process.stdin.flush()
            wait_for_lines(path, 1 + 45, process)
            os.rename(path, path + ".saved")  # as an editor saves: the old file moves away
            with open(path, "wb") as f:
                f.write(b"edited\r\n")
            process.stdin.write(option0(30, 10))
            _, errors = process.communicate(timeout=120)
            self.assertEqual(process.returncode, 0, errors)
            with open(path + ".saved", "rb") as f:
                saved = f.read().split(b"\r\n")
            with open(path, "rb") as f:
                current = f.read().split(b"\r\n")
        self.assertEqual(len(saved), 1 + 45 + 1)
        self.assertEqual(current[0], b"edited")
        self.assertEqual(current[1], b" Temperature (in C) =   30.000")
        self.assertEqual(len(current), 1 + 45 + 1)


class HeadlessPolicyTests(SessionTestCase):
    """What a script learns: the error-box policy and the exit status."""

    # The molality -100 raises two boxes; read as answers they would shift every later key.
    KEYS = option0(25, 10, -100) + option0(30, 20) + option0(40, 30)

    def test_the_first_error_box_stops_the_run_with_status_3(self):
        result = self.session(self.KEYS, code=3)
        self.assertEqual(len(result.boxes()), 1)
        self.assertEqual(result.boxes()[0][0], "Unhandled Error #5")
        self.assertTrue(result.file_bytes.endswith(b"\r\n At finite concentration =  "))

    def test_continue_answers_yes_and_every_key_reaches_its_prompt(self):
        result = self.session(self.KEYS, args=("--on-error", "continue"))
        self.assertGreaterEqual(len(result.boxes()), 1)
        (_, reports) = self.reports(result)
        self.assertEqual([(r.values["T_C"], r.values["P"]) for r in reports], [(25, 10), (30, 20), (40, 30)])
        self.assertEqual(reports[0].values["m"], -100.0)

    def test_an_output_file_that_cannot_be_opened_is_no_success(self):
        no_file = lambda d: os.mkdir(os.path.join(d, "CO2out.txt"))  # noqa: E731
        self.session(option0(25, 10), code=3, setup=no_file)
        result = self.session(option0(25, 10), code=1, setup=no_file, args=("--on-error", "continue"))
        self.assertIn("output file operations failed", result.stderr)

    def test_signals_end_in_order_with_128_plus_their_number(self):
        for signal_number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with tempfile.TemporaryDirectory(prefix="co2e2e-") as directory:
                path = os.path.join(directory, "CO2out.txt")
                process = subprocess.Popen([session.PROGRAM, "--headless"], stdin=subprocess.PIPE,
                                           cwd=directory, stderr=subprocess.PIPE)
                process.stdin.write(START + option0(25, 10))
                process.stdin.flush()
                wait_for_lines(path, 1 + 45, process)
                process.send_signal(signal_number)
                _, errors = process.communicate(timeout=60)
                self.assertEqual(process.returncode, 128 + signal_number, errors)
                with open(path, "rb") as f:
                    self.assertEqual(f.read().count(b"\r\n"), 1 + 45)

    def test_transcript_to_standard_output_or_nowhere(self):
        with tempfile.TemporaryDirectory(prefix="co2e2e-") as directory:
            completed = subprocess.run([session.PROGRAM, "--headless", "--transcript", "-"],
                                       input=START + option0(25, 10), capture_output=True, timeout=120,
                                       cwd=directory)
            self.assertEqual(completed.returncode, 0, completed.stderr)
            self.assertIn("Specify number of desired option", completed.stdout.decode("utf-8"))
            if os.path.exists("/dev/full"):
                lost = subprocess.run([session.PROGRAM, "--headless", "--transcript", "/dev/full"],
                                      input=START + option0(25, 10), capture_output=True, timeout=120,
                                      cwd=directory)
                self.assertEqual(lost.returncode, 1)
                self.assertIn(b"transcript could not be written to /dev/full", lost.stderr)


class CommandLineTests(unittest.TestCase):
    """--help and --version answer and exit 0 without starting a front end; a mistake keeps 2."""

    def test_help_version_and_unknown_options(self):
        cases = [  # arguments, exit status, text expected, stream
            (["--help"], 0, "--on-error POLICY", "stdout"),
            (["-h"], 0, "Shift+PgUp", "stdout"),
            (["--version"], 0, "co2calc ", "stdout"),
            (["--help", "--bogus"], 2, "unknown option --bogus", "stderr"),
            (["--bogus"], 2, "Usage:", "stderr"),
        ]
        for args, status, text, stream in cases:
            with self.subTest(args=args):
                result = subprocess.run([session.PROGRAM, *args], input=b"", capture_output=True, timeout=30)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(text, getattr(result, stream).decode())


class StopTests(SessionTestCase):
    def test_end_of_input_at_the_molality_prompt_leaves_the_line_unfinished(self):
        result = self.session(b"0\n25\n10\n")
        self.assertTrue(result.file_bytes.endswith(b"\r\n At finite concentration =  "))
        lines = result.file_lines()
        self.assertEqual(len(lines), 1 + 33 + 1)

    def test_ctrl_c_at_the_molality_prompt_ends_the_program(self):
        result = self.session(b"0\n25\n10\n\x03" + option0(30, 10))
        self.assertTrue(result.file_bytes.endswith(b"\r\n At finite concentration =  "))

    def test_ctrl_c_at_the_menu_ends_the_program_after_a_complete_report(self):
        result = self.session(option0(25, 10) + b"\x03" + option0(30, 10))
        (_, reports) = self.reports(result)
        self.assertEqual(len(reports), 1)

    def test_no_key_at_the_startup_screen_opens_no_file(self):
        result = run(b"")
        self.assertEqual(result.returncode, 0)
        self.assertIsNone(result.file_bytes)


if __name__ == "__main__":
    unittest.main()
