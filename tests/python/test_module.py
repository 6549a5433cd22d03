"""The Python module against co2table (the same library through another front door), against itself
(vectorised against point by point, one thread against several), and on bad input."""

import csv
import doctest
import io
import math
import os
import struct
import subprocess
import sys

import numpy as np
import pytest

import co2calc

CO2TABLE = os.environ["CO2TABLE"]
OUTPUT = os.environ.get("CO2_TEST_OUTPUT", ".")
EXAMPLES = os.environ["CO2_EXAMPLES"]


def co2table(*args):
    """co2table's rows as dicts of column name -> text."""
    out = subprocess.run([CO2TABLE, *args], check=True, capture_output=True, text=True).stdout
    rows = list(csv.reader(io.StringIO(out)))
    names = [cell.split(" [")[0] for cell in rows[0]]
    return [dict(zip(names, row)) for row in rows[1:]]


def bits(x):
    return struct.pack("<d", x)


def same(a, b):
    """Equal to the last bit (NaN equals NaN)."""
    a = np.asarray(a, dtype=np.float64)
    b = np.asarray(b, dtype=np.float64)
    return a.shape == b.shape and a.tobytes() == b.tobytes()


def test_quantities_are_co2tables_columns():
    names = ",".join(co2calc.QUANTITIES)  # a pure-water table leaves out the brine's, unless named
    header = subprocess.run([CO2TABLE, "--temperature", "25", "--pressure", "10", "--columns", names], check=True,
                            capture_output=True, text=True).stdout.splitlines()[0].split(",")
    units = {c.split(" [")[0]: c.split(" [")[1].rstrip("]") for c in header if " [" in c}
    assert list(co2calc.QUANTITIES) == list(units)
    assert {name: unit for name, (unit, _) in co2calc.QUANTITIES.items()} == units
    assert all(description for _, description in co2calc.QUANTITIES.values())


# co2table prints numbers that read back as the very doubles: each arithmetic path must give them to
# the last bit, flags, phases and failures included. Where co2table leaves a solubility or solution
# cell empty the module's value is NaN too; where it prints one, the raw value matches.
@pytest.mark.parametrize("exact", [False, True])
@pytest.mark.parametrize("args", [
    ["--temperature", "0,25,31.04,60,100", "--pressure", "0,0.1,7.5,10,100"],
    ["--temperature", "25", "--pressure", "10", "--molality", "0,0.5,1.5"],
    ["--temperature", "-1.5,5,20,31.48,40", "--curve", "1"],
    ["--temperature", "0,5,9.93", "--curve", "3"],
])
def test_values_are_co2tables(args, exact):
    curve = int(args[args.index("--curve") + 1]) if "--curve" in args else 0
    # A pressure of 0 asks for the water saturation pressure, and the P column then shows the
    # pressure used; the module must be asked the same question, not given that pressure.
    pressures = [float(p) for p in args[args.index("--pressure") + 1].split(",")] if "--pressure" in args else []

    def asked(shown):
        return shown if shown in pressures else 0.0
    rows = co2table(*args, *(["--exact"] if exact else []), "--columns", ",".join([*co2calc.QUANTITIES, "warn_T", "warn_P", "warn_psat", "warn_m", "hydrate", "phase_CO2"]))
    assert rows
    for row in rows:
        t = float(row["T_C"])
        m = float(row["m"]) if "--molality" in args else None
        got = {}
        for raw in (False, True):
            if curve:
                r = {k: v.item() for k, v in co2calc.curve(curve, t, molality=m, exact=exact, raw=raw).items()}
                r["flags"] = {name: bool(r["flags"] & bit) for name, bit in co2calc.FLAGS.items()}
            else:
                r = co2calc.state(t, asked(float(row["P"])), molality=m, exact=exact, raw=raw)
            got[raw] = r
        where = f"{args} at T={t} P={row['P']}"
        for name in co2calc.QUANTITIES:
            value = got[bool(row[name])][name]
            want = float(row[name]) if row[name] else math.nan
            assert bits(value) == bits(want) or (math.isnan(want) and math.isnan(value)), \
                f"{name} {where}: {value!r} != {row[name]!r}"
        flags = got[False]["flags"]
        for name in ("warn_T", "warn_P", "warn_psat", "warn_m", "hydrate"):
            assert flags[name] == (row[name] == "1"), f"{name} {where}"
        phases = [p for p in ("gas", "liquid", "supercritical") if flags["co2_" + p]]
        assert phases == ([row["phase_CO2"]] if row["phase_CO2"] else []), f"phase {where}"
        assert (got[False]["error"] is None) == (row["error"] == ""), f"{where}: {got[False]['error']!r} / {row['error']!r}"


def test_state_at_25_c_and_10_mpa():
    r = co2calc.state(25, 10)
    assert abs(r["sol_m"] - 1.45278) < 1e-5
    assert r["error"] is None
    assert [name for name, on in r["flags"].items() if on] == ["co2_liquid"]
    assert set(r) == set(co2calc.QUANTITIES) | {"flags", "error"}


def test_vectorised_equals_point_by_point_and_threads_give_the_same_bits():
    t = np.array([-1.0, 0.0, 12.5, 25.0, 31.0, 55.0, 99.0, 120.0])[:, None]
    p = np.array([0.0, 0.001, 0.1, 3.0, 10.0, 40.0, 100.0, 150.0])
    one = co2calc.table(t, p, threads=1)
    many = co2calc.table(t, p, threads=3)
    assert one["sol_m"].shape == (8, 8) and one["flags"].dtype == np.uint32
    for name in list(co2calc.QUANTITIES) + ["flags"]:
        assert same(one[name], many[name]), name
    assert (one["error"] == many["error"]).all()
    for i in range(t.shape[0]):
        for j in range(p.size):
            r = co2calc.state(t[i, 0], p[j])
            for name in co2calc.QUANTITIES:
                assert bits(one[name][i, j]) == bits(r[name]), (name, t[i, 0], p[j])
            assert one["error"][i, j] == r["error"]
            assert {k: bool(one["flags"][i, j] & b) for k, b in co2calc.FLAGS.items()} == r["flags"]


def test_molality_broadcasts_and_curves_vectorise():
    m = np.array([0.0, 0.5, 1.0])
    r = co2calc.table(25, 10, molality=m, columns=["m", "gamma_CO2"], exact=True)
    assert list(r) == ["m", "gamma_CO2", "flags", "error"]
    for k in range(m.size):
        assert bits(r["gamma_CO2"][k]) == bits(co2calc.state(25, 10, molality=m[k], exact=True)["gamma_CO2"])
    t = np.array([-1.5, 10.0, 31.0, 40.0])
    c = co2calc.curve(1, t, columns="P")
    for k in range(3):
        assert bits(c["P"][k]) == bits(co2calc.curve(1, [t[k]])["P"][0])
    assert c["error"][0] is None and "range" in c["error"][3].lower()
    assert math.isnan(c["P"][3])


def test_no_solubility_is_nan_unless_raw():
    # 0.1 MPa is just below the water saturation pressure at 100 C: the model runs, but there is no
    # liquid to dissolve in and the solubility comes out negative.
    cols = ["T_C", "sol_m", "m", "rho_sol"]
    r = co2calc.table(100.0, [0.1, 10.0], columns=cols)
    raw = co2calc.table(100.0, [0.1, 10.0], columns=cols, raw=True)
    assert r["error"][0] is None and r["flags"][0] & co2calc.FLAGS["no_solubility"]
    assert np.isnan(r["sol_m"][0]) and np.isnan(r["rho_sol"][0]) and r["T_C"][0] == 100.0
    assert raw["sol_m"][0] < 0
    assert math.isnan(co2calc.state(100, 0.1)["sol_m"]) and co2calc.state(100, 0.1, raw=True)["sol_m"] < 0
    assert not r["flags"][1] & co2calc.FLAGS["no_solubility"]
    for name in cols:
        assert same(r[name][1], raw[name][1]) and not np.isnan(r[name][1])


@pytest.mark.parametrize("call, error, words", [
    (lambda: co2calc.state("25", 10), TypeError, "t_celsius"),
    (lambda: co2calc.state(25, -1), ValueError, "p_mpa"),
    (lambda: co2calc.state(float("nan"), 10), ValueError, "t_celsius"),
    (lambda: co2calc.state(25, 10, molality=-0.5), ValueError, "molality"),
    (lambda: co2calc.state([25, 30], 10), TypeError, "t_celsius"),
    (lambda: co2calc.state(25, 10, exact="yes"), TypeError, "exact"),
    (lambda: co2calc.table([1, 2, 3], [1, 2]), ValueError, "shapes"),
    (lambda: co2calc.table(25, [10, math.inf]), ValueError, "p_mpa"),
    (lambda: co2calc.table(25, 10, columns=["sol_m", "solubility"]), ValueError, "solubility"),
    (lambda: co2calc.table(25, 10, threads=0), ValueError, "threads"),
    (lambda: co2calc.curve(7, 10), ValueError, "option"),
    (lambda: co2calc.curve(1.0, 10), TypeError, "option"),
    (lambda: co2calc.table(np.ma.masked_array([25, 30], mask=[0, 1]), 10), TypeError, "masked"),
    (lambda: co2calc.curve(0, 10), ValueError, "option"),
])
def test_bad_arguments_are_named(call, error, words):
    with pytest.raises(error, match=words):
        call()


def test_isotherms_example_draws_a_picture():
    os.makedirs(OUTPUT, exist_ok=True)
    png = os.path.join(OUTPUT, "isotherms.png")
    if os.path.exists(png):
        os.remove(png)
    subprocess.run([sys.executable, os.path.join(EXAMPLES, "isotherms.py"), png], check=True)
    with open(png, "rb") as f:
        data = f.read()
    assert data.startswith(b"\x89PNG\r\n\x1a\n") and len(data) > 20000


def test_brine_table_broadcasts_over_salinity_and_equals_state():
    t, p, nacl = np.array([25.0, 50.0])[:, None, None], np.array([1.0, 10.0])[None, :, None], [0.0, 1.0, 4.0]
    r = co2calc.table(t, p, nacl=nacl, columns=["sol_m", "gamma_salt", "m_NaCl"])
    assert r["sol_m"].shape == (2, 2, 3)
    for i, j, k in np.ndindex(2, 2, 3):
        one = co2calc.state(float(t[i, 0, 0]), float(p[0, j, 0]), nacl=nacl[k])
        assert same(r["sol_m"][i, j, k], one["sol_m"]) and same(r["gamma_salt"][i, j, k], one["gamma_salt"])
    assert (np.diff(r["sol_m"], axis=2) < 0).all()  # salting out
    assert same(r["sol_m"][1, 1, 0], co2calc.state(50, 10)["sol_m"])
    bad = co2calc.state(50, 10, ions={"Na": 1.0, "Cl": 2.0})
    assert "charges do not balance" in bad["error"] and math.isnan(bad["sol_m"])
    with pytest.raises(ValueError, match="salt_model"):
        co2calc.state(50, 10, nacl=1, salt_model="pitzer")


def test_docstring_examples_run():
    """The module's examples, outputs included, are what the module gives."""
    result = doctest.testmod(co2calc, optionflags=doctest.ELLIPSIS)
    assert result.attempted >= 8 and result.failed == 0


def test_brine_by_mass_fraction_or_ions_equals_co2tables():
    rows = co2table("--temperature", "25,60", "--pressure", "10", "--nacl-mass-fraction", "0,0.05,0.2",
                    "--columns", "m_NaCl,sol_m")
    r = co2calc.table(np.array([25.0, 60.0])[:, None], 10.0, nacl_w=[0.0, 0.05, 0.2], columns=["m_NaCl", "sol_m"])
    for row, (i, k) in zip(rows, np.ndindex(2, 3)):
        assert bits(r["m_NaCl"][i, k]) == bits(float(row["m_NaCl"])) and bits(r["sol_m"][i, k]) == bits(float(row["sol_m"]))
    ions = {"Na": 1.0, "Ca": 0.5, "Cl": 2.0}
    row, = co2table("--temperature", "40", "--pressure", "20", "--ions", "Na=1,Ca=0.5,Cl=2", "--columns",
                    "sol_m,gamma_salt,salt_indicative")
    one = co2calc.state(40, 20, ions=ions)
    assert bits(one["sol_m"]) == bits(float(row["sol_m"])) and row["salt_indicative"] == "1"
    assert one["flags"]["salt_indicative"]
    with pytest.raises(TypeError, match="exclude each other"):
        co2calc.state(25, 10, nacl=1, nacl_w=0.05)
    with pytest.raises(ValueError, match="nacl_w: NaCl mass fraction 1 is not between 0 and 1"):
        co2calc.table(25, 10, nacl_w=[0.1, 1.0])


def test_brine_table_equals_co2tables():
    rows = co2table("--temperature", "25,60", "--pressure", "1,10,40", "--nacl", "0,1,3", "--columns",
                    "T_C,P,m_NaCl,sol_m,sol_x,gamma_salt,rho_sol")
    r = co2calc.table(np.array([25.0, 60.0])[:, None, None], np.array([1.0, 10.0, 40.0])[None, :, None],
                      nacl=[0.0, 1.0, 3.0])
    assert len(rows) == 18
    for row, (i, j, k) in zip(rows, np.ndindex(2, 3, 3)):
        for name in ("m_NaCl", "sol_m", "sol_x", "gamma_salt"):
            assert bits(r[name][i, j, k]) == bits(float(row[name])), (name, row)
        assert (row["rho_sol"] == "") == (float(row["m_NaCl"]) > 0)


def test_second_solubility_model_and_water_content():
    # The paper's check value (y_H2O 0.00345 at 50 C, 8.73 MPa) through state() and table(), the
    # own model's sol_x unchanged by the new argument, a bad name refused.
    own = co2calc.state(50, 8.73)
    sp = co2calc.state(50, 8.73, model="spycher-pruess-2003")
    assert abs(sp["y_H2O"] - 0.00345) < 0.5e-5 and abs(own["y_H2O"] - 0.00345) < 0.5e-5
    assert sp["sol_x"] != own["sol_x"] and math.isnan(sp["gamma_CO2"])
    grid = co2calc.table([5, 50], 8.73, columns=["sol_x", "y_H2O"], model="spycher-pruess-2003-sw")
    assert grid["sol_x"][1] == co2calc.state(50, 8.73, model="spycher-pruess-2003-sw")["sol_x"]
    assert not sp["flags"]["warn_sol_model"]
    assert co2calc.state(5, 10, model="spycher-pruess-2003")["flags"]["warn_sol_model"]
    with pytest.raises(ValueError, match="spycher"):
        co2calc.state(50, 8.73, model="spycher")
