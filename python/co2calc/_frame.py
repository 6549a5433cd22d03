"""Tidy results: frame() gives a pandas DataFrame with one row per state point, dataset() an xarray
Dataset over the temperature and pressure axes. pandas and xarray are imported only here, when
one of them is asked for, so that ``import co2calc`` needs numpy alone.

Units: ``units={"pressure": "bar", "density": "kg/m3", "temperature": "K"}`` converts every
column of that kind (pressure: P, f_H2O, f_CO2, kH; density: rho_H2O, rho_CO2, rho_sol;
temperature: T_C, then named T_K) exactly as co2table's --pressure-unit, --density-unit and
--temperature-unit do: the library's unit table and conversion (powers of ten and 273.15 on the
decimal digits, psi in extended precision), so a frame and a co2table CSV in the same units agree
cell for cell. ln_kH stays the logarithm of the Henry constant in MPa, as its description says.
Inputs are always given in C, MPa and mol/kg.
"""


import numpy as np

from . import FLAG_DESCRIPTIONS as _FLAG_DESCRIPTIONS
from . import FLAGS, QUANTITIES, _co2calc, curve, table

#: kind -> {unit name -> the symbol headers show}; the first of each kind is the report's own.
UNITS = {}
for _kind, _name, _symbol in _co2calc.units:
    UNITS.setdefault(_kind, {})[_name] = _symbol
PRESSURE_UNITS = tuple(UNITS["pressure"])
DENSITY_UNITS = tuple(UNITS["density"])
TEMPERATURE_UNITS = tuple(UNITS["temperature"])

#: The boolean columns: every flag but the three phase bits, which make the phase_CO2 column.
_PHASES = {"co2_gas": "gas", "co2_liquid": "liquid", "co2_supercritical": "supercritical"}
_FLAG_COLUMNS = [name for name in FLAGS if name not in _PHASES]

# co2table's note texts, so that a DataFrame and a co2table CSV say the same thing.
_NOTE_NO_WATER = "no liquid water: pressure below the water saturation pressure"
_NOTE_NEGATIVE = "negative solubility: outside the model's range"


def _units(units):
    """kind -> unit name for pressure, density and temperature, from a dict, checked."""
    if units is None:
        units = {}
    if not isinstance(units, dict):
        raise TypeError(f"units: expected a dict such as {{'pressure': 'bar'}}, got {units!r}")
    for kind, unit in units.items():
        if kind not in UNITS:
            raise ValueError(f"units: unknown kind {kind!r} (known: {', '.join(UNITS)})")
        if unit not in UNITS[kind]:
            raise ValueError(f"units: {kind} unit {unit!r} is not one of {', '.join(UNITS[kind])}")
    return {kind: units.get(kind, next(iter(names))) for kind, names in UNITS.items()}


def _convert(kind, unit, values):
    if unit == next(iter(UNITS[kind])):
        return values
    return _co2calc.to_unit(kind, unit, values)


def _evaluate(t_celsius, p_mpa, molality, curve_option, columns, exact, threads, raw):
    if curve_option is None:
        if p_mpa is None:
            raise TypeError("p_mpa: a pressure is needed unless curve= is given")
        return table(t_celsius, p_mpa, molality, columns=columns, exact=exact, threads=threads, raw=raw)
    if p_mpa is not None:
        raise TypeError("p_mpa: a curve gives the pressure; pass p_mpa=None with curve=")
    return curve(curve_option, t_celsius, molality, columns=columns, exact=exact, threads=threads, raw=raw)


def _columns(raw_result, units, names):
    """The quantity columns in the chosen units: (ordered dict of name -> array, name -> unit)."""
    values, unit_of = {}, {}
    for name in names:
        value, unit = raw_result[name], QUANTITIES[name][0]
        kind = _co2calc.quantity_kinds.get(name)
        if kind is not None:
            value, unit = _convert(kind, units[kind], value), UNITS[kind][units[kind]]
            if kind == "temperature" and units[kind] == "K":
                name = "T_K"
        values[name], unit_of[name] = value, unit
    return values, unit_of


def _descriptions(unit_of):
    text = {name: QUANTITIES[name][1] for name in QUANTITIES if name in unit_of}
    if "T_K" in unit_of:
        text["T_K"] = QUANTITIES["T_C"][1]
    return text


def _notes(bits, failed):
    no_water = (bits & FLAGS["warn_psat"]) != 0
    none = (bits & FLAGS["no_solubility"]) != 0
    notes = np.where(no_water, _NOTE_NO_WATER, np.where(none, _NOTE_NEGATIVE, ""))
    notes[failed] = ""
    return notes


def _phases(bits, failed):
    phase = np.full(bits.shape, "", dtype=object)
    for flag, label in _PHASES.items():
        phase[(bits & FLAGS[flag]) != 0] = label
    phase[failed] = ""
    return phase


def _names(columns):
    if columns is None:
        return list(QUANTITIES)
    return [columns] if isinstance(columns, str) else list(columns)


def frame(t_celsius, p_mpa=None, molality=None, *, curve=None, columns=None, units=None, exact=False,
          threads=None, raw=False):
    """The quantities over state points as a pandas DataFrame, one row per point.

    Arguments are those of table() (curve=N instead of p_mpa follows a phase boundary as curve()
    does); the inputs broadcast together and the rows run in C order over the broadcast shape,
    e.g. ``frame(np.arange(0, 101, 10)[:, None], np.linspace(0.5, 100, 200))`` gives 2200 rows,
    temperature by temperature.

    Columns: each quantity (default all of QUANTITIES; T_C and P are the inputs, P being the
    saturation pressure where 0 was given; w_CO2 the CO2 mass fraction of the liquid), the flags as booleans, phase_CO2
    and note as categoricals, and error (None or the message of a failed point). df.attrs holds
    "units" and "descriptions" (column name -> text) and "version". units= chooses the pressure,
    density and temperature units (see the module's text)."""
    import pandas as pd

    chosen = _units(units)
    names = _names(columns)
    result = _evaluate(t_celsius, p_mpa, molality, curve, names, exact, threads, raw)
    values, unit_of = _columns(result, chosen, names)
    bits = result["flags"].reshape(-1)
    error = result["error"].reshape(-1)
    failed = np.array([e is not None for e in error], dtype=bool)

    data = {name: np.asarray(v).reshape(-1) for name, v in values.items()}
    for name in _FLAG_COLUMNS:
        data[name] = (bits & FLAGS[name]) != 0
    data["phase_CO2"] = pd.Categorical(_phases(bits, failed), categories=list(_PHASES.values()))
    notes = _notes(bits, failed)
    data["note"] = pd.Categorical(np.where(notes == "", None, notes), categories=[_NOTE_NO_WATER, _NOTE_NEGATIVE])
    data["error"] = error
    df = pd.DataFrame(data)

    descriptions = _descriptions(unit_of)
    descriptions.update({name: _FLAG_DESCRIPTIONS[name] for name in _FLAG_COLUMNS})
    descriptions["phase_CO2"] = "phase of pure CO2: gas, liquid or supercritical"
    descriptions["note"] = "why the solubility and solution columns are NaN"
    descriptions["error"] = "the runtime error of a point that failed, or why it was not computed"
    df.attrs["units"] = unit_of
    df.attrs["descriptions"] = descriptions
    from . import __version__
    df.attrs["version"] = __version__
    return df


def dataset(t_celsius, p_mpa, molality=None, *, columns=None, units=None, exact=False, threads=None, raw=False):
    """The quantities over the grid of 1-D t_celsius (C) by 1-D p_mpa (MPa) as an xarray Dataset
    with dimensions "temperature" and "pressure" (coordinates as given, in the chosen units; the
    variables T_C and P keep co2table's meaning, P being the saturation pressure where 0 was
    given): each quantity a variable with its
    "units" and "description" attributes, the flags as boolean variables, phase_CO2, note and error
    as string variables ("" where none). molality is None or one number."""
    import xarray as xr

    t = np.asarray(t_celsius, dtype=np.float64)
    p = np.asarray(p_mpa, dtype=np.float64)
    if t.ndim != 1 or p.ndim != 1:
        raise ValueError(f"dataset: t_celsius and p_mpa must be 1-D axes, got shapes {t.shape} and {p.shape}")
    if molality is not None and np.ndim(molality) != 0:
        raise ValueError("dataset: molality must be None or one number")
    chosen = _units(units)
    names = _names(columns)
    result = table(t[:, None], p[None, :], molality, columns=names, exact=exact, threads=threads, raw=raw)
    values, unit_of = _columns(result, chosen, names)
    descriptions = _descriptions(unit_of)
    bits = result["flags"]
    failed = np.vectorize(lambda e: e is not None, otypes=[bool])(result["error"])

    t_axis = _convert("temperature", chosen["temperature"], t)
    p_axis = _convert("pressure", chosen["pressure"], p)
    dims = ("temperature", "pressure")
    variables = {name: (dims, v, {"units": unit_of[name], "description": descriptions[name]})
                 for name, v in values.items()}
    for name in _FLAG_COLUMNS:
        variables[name] = (dims, (bits & FLAGS[name]) != 0, {"description": _FLAG_DESCRIPTIONS[name]})
    variables["phase_CO2"] = (dims, _phases(bits, failed).astype(str),
                              {"description": "phase of pure CO2: gas, liquid or supercritical"})
    variables["note"] = (dims, _notes(bits, failed).astype(str),
                         {"description": "why the solubility and solution values are NaN"})
    variables["error"] = (dims, np.where(failed, result["error"], "").astype(str),
                          {"description": "the runtime error of a point that failed"})
    coords = {"temperature": ("temperature", t_axis, {"units": UNITS["temperature"][chosen["temperature"]],
                                                      "description": "temperature"}),
              "pressure": ("pressure", p_axis, {"units": UNITS["pressure"][chosen["pressure"]],
                                                "description": "total pressure as given"})}
    from . import __version__
    return xr.Dataset(variables, coords=coords, attrs={"program": "co2calc", "version": __version__})
