"""frame() and dataset() against co2table's CSV (every cell, in each unit system) and against table()."""

import csv
import decimal
import io
import math
import os
import subprocess
import sys

import numpy as np
import pytest

import co2calc

CO2TABLE = os.environ["CO2TABLE"]

GRID = {"t": [0, 25, 60, 100], "p": [0, 0.01, 0.1, 7.5, 100]}


def co2table_rows(*args, kelvin=False):
    temperatures = [f"{t + 273.15:g}" if kelvin else str(t) for t in GRID["t"]]
    # co2table reads pressures in its output unit: psi only at the saturation pressure (0), which
    # no typed psi value hits exactly; kPa by the decimal shift.
    unit = args[args.index("--pressure-unit") + 1] if "--pressure-unit" in args else "MPa"
    pressures = {"MPa": GRID["p"], "kPa": [p * 1000 for p in GRID["p"]], "psi": [0]}[unit]
    out = subprocess.run([CO2TABLE, "--temperature", ",".join(temperatures),
                          "--pressure", ",".join(f"{p:g}" for p in pressures), *args],
                         capture_output=True, text=True).stdout
    rows = list(csv.reader(io.StringIO(out)))
    return rows[0], rows[1:]


# The same unit system asked of co2table and of frame(): every cell must agree, text for text.
@pytest.mark.parametrize("options,units", [
    ([], None),
    (["--temperature-unit", "K", "--raw"], {"temperature": "K"}),
    (["--pressure-unit", "psi", "--density-unit", "kg/m3"], {"pressure": "psi", "density": "kg/m3"}),
    (["--pressure-unit", "kPa"], {"pressure": "kPa"}),
])
def test_frame_is_co2tables_table(options, units):
    # co2table reads temperatures in its output unit; frame() always takes C.
    header, rows = co2table_rows(*options, kelvin=bool(units) and units.get("temperature") == "K")
    t, p = np.array(GRID["t"], dtype=float), np.array(GRID["p"], dtype=float)
    if units and units.get("pressure") == "psi":
        p = np.array([0.0])
    raw = "--raw" in options
    df = co2calc.frame(t[:, None], p[None, :], units=units, raw=raw)
    names = [h.split(" [")[0] for h in header]
    heading = {c: f"{c} [{u}]" for c, u in df.attrs["units"].items()}
    assert len(rows) == len(df)
    for name, cell in zip(names, header):
        if name in heading:
            assert cell == heading[name], name
    for i, row in enumerate(rows):
        for name, text in zip(names, row):
            value = df[name].iloc[i]
            if name in df.attrs["units"]:
                if name in ("T_C", "T_K", "P") and df["error"].iloc[i] is not None:
                    continue  # a failed row shows its inputs; the frame has them as computed
                assert (text == "" and math.isnan(value)) or float(text) == value, (name, i, text, value)
            elif name in ("phase_CO2", "note"):
                assert text == ("" if isinstance(value, float) else value), (name, i)
            elif name == "error":
                assert text == (value or ""), i
            else:
                assert text == ("" if df["error"].iloc[i] is not None else str(int(value))), (name, i)


def test_frame_is_table_broadcast():
    t, p = np.arange(0, 101, 10)[:, None], np.linspace(0.5, 100, 20)
    df = co2calc.frame(t, p, molality=0.5)
    grid = co2calc.table(t, p, 0.5)
    assert len(df) == 11 * 20
    for name in co2calc.QUANTITIES:
        assert df[name].to_numpy().tobytes() == grid[name].reshape(-1).tobytes(), name
    for name, bit in co2calc.FLAGS.items():
        if name in df:
            assert (df[name].to_numpy() == ((grid["flags"].reshape(-1) & bit) != 0)).all(), name
    assert np.allclose(df["w_CO2"], grid["sol_g"].reshape(-1) / (1000 + grid["sol_g"].reshape(-1)))
    assert set(df["phase_CO2"].cat.categories) == {"gas", "liquid", "supercritical"}
    assert str(df["note"].dtype) == "category"
    assert df.attrs["units"]["sol_m"] == "mol/kg" and df.attrs["descriptions"]["hydrate"]


def test_curve_frame_and_bad_arguments():
    df = co2calc.frame([0, 5, 40], curve=1)
    assert df["error"].iloc[2] is not None and df["error"].iloc[0] is None
    assert df["P"].to_numpy()[:2].tobytes() == co2calc.curve(1, [0, 5])["P"].tobytes()
    with pytest.raises(ValueError, match="one of MPa, bar, kPa, psi"):
        co2calc.frame(25, 10, units={"pressure": "atm"})
    with pytest.raises(ValueError, match="unknown kind"):
        co2calc.frame(25, 10, units={"energy": "kJ"})
    with pytest.raises(TypeError, match="curve"):
        co2calc.frame(25, 10, curve=1)
    with pytest.raises(TypeError, match="pressure"):
        co2calc.frame(25)


def test_dataset_axes_and_values():
    t, p = np.array([0.0, 25, 50]), np.array([0.0, 1, 10, 50])
    ds = co2calc.dataset(t, p, units={"pressure": "bar"})
    grid = co2calc.table(t[:, None], p)
    assert ds["sol_m"].dims == ("temperature", "pressure") and ds["sol_m"].shape == (3, 4)
    assert ds["sol_m"].values.tobytes() == grid["sol_m"].tobytes()
    # bar is MPa's decimal digits shifted: 1.1 MPa is 11 bar, not 11.000000000000002.
    assert ds["f_CO2"].attrs["units"] == "bar" and (ds["pressure"].values == [0, 10, 100, 500]).all()
    for name in ("f_CO2", "kH"):
        assert [float(decimal.Decimal(repr(v)).scaleb(1)) for v in grid[name].ravel()] == ds[name].values.ravel().tolist(), name
    assert co2calc._co2calc.to_unit("pressure", "bar", [1.1]).tolist() == [11.0]
    kg = co2calc.dataset(t, p, units={"density": "kg/m3"})
    assert kg["rho_H2O"].attrs["units"] == "kg/m³" and np.allclose(kg["rho_H2O"], grid["rho_H2O"] * 1000, rtol=1e-15)
    assert ds["hydrate"].values.tolist() == ((grid["flags"] & co2calc.FLAGS["hydrate"]) != 0).tolist()
    with pytest.raises(ValueError, match="1-D"):
        co2calc.dataset(t[:, None], p)


def test_import_needs_no_pandas():
    code = "import sys, co2calc; co2calc.state(25, 10); print('pandas' in sys.modules, 'xarray' in sys.modules)"
    out = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True, text=True).stdout
    assert out.split() == ["False", "False"]
