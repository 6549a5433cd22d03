"""The solubility of CO2 in pure water and in brines, and the properties of pure water, pure CO2,
CO2 at infinite dilution and the solution, from -1.48 to 100 C and 0.1 to 100 MPa.

    >>> import numpy as np, co2calc
    >>> co2calc.state(25, 10)["sol_m"]               # mol CO2 per kg of water, the fast default
    1.4527788439279832
    >>> co2calc.state(25, 10, exact=True)["sol_m"]   # the calculator's arithmetic, to the last bit
    1.4527788439279663
    >>> grid = co2calc.table(np.arange(0, 101, 10)[:, None], np.linspace(0.5, 100, 200))
    >>> grid["sol_m"].shape                          # numpy broadcasting
    (11, 200)
    >>> co2calc.curve(1, np.arange(-1.5, 31, 0.5))["P"].shape  # along H2O(l)-CO2(l)-CO2(v)
    (65,)
    >>> co2calc.state(50, 10, nacl=2)["sol_m"]       # in a brine of 2 mol NaCl per kg of water
    0.7783283480090979
    >>> co2calc.state(50, 10, nacl_w=0.1)["m_NaCl"]  # 10 % NaCl by mass
    1.9011941780871402

Quantities are named as co2table's columns; QUANTITIES maps each name to (unit, description).

Flags: state() gives a dict of booleans; table() and curve() give an array of flag bits, which
FLAGS (name -> bit) decodes, e.g. ``result["flags"] & co2calc.FLAGS["warn_psat"] != 0``:

    warn_T             temperature outside -1.48 .. 100 C
    warn_P             pressure above 100 MPa
    warn_psat          below the water saturation pressure: no liquid water
    warn_m             molality above the solubility
    hydrate            inside the CO2-clathrate stability field
    co2_gas, co2_liquid, co2_supercritical
                       the phase of pure CO2 (one of them for a computed point)
    no_solubility      no liquid water, or a negative solubility

Where no_solubility is set, the solubility and solution quantities (but a given molality) describe
no real solution and are NaN, and y_CO2_vap is NaN where there is no liquid water, as in co2table
and the C and C++ interfaces, unless raw=True. A point whose computation fails has NaN values and its
message in ``error`` (None for a computed point); it never affects another point.

Arithmetic: exact=True carries the calculator's extended intermediates and gives its numbers to the
last bit (sol_m 1.4527788439279663 at 25 C, 10 MPa); the default computes in double precision where
that prints the same digits (1.4527788439279832).
"""

import numbers

import numpy as np

from . import _co2calc

__all__ = ["state", "table", "curve", "QUANTITIES", "FLAGS", "FLAG_DESCRIPTIONS", "CURVES", "CURVE_RANGES",
           "__version__"]

__version__ = _co2calc.library_version

#: name -> (unit, description), in report order; "-" is the unit of pure numbers.
QUANTITIES = {name: (unit, description) for name, unit, description, _ in _co2calc.quantities}

#: name -> bit of the flags arrays of table() and curve().
FLAGS = {name: bit for name, bit, _ in _co2calc.flags}

#: flag name -> what it says.
FLAG_DESCRIPTIONS = {name: description for name, _, description in _co2calc.flags}

#: curve option -> the phase boundary it follows.
CURVES = {option: name for option, name, _, _ in _co2calc.curves}

#: curve option -> (lowest, highest) temperature in C that the curve accepts.
CURVE_RANGES = {option: (t_min, t_max) for option, _, t_min, t_max in _co2calc.curves}

_NAMES = [q[0] for q in _co2calc.quantities]
_INDEX = {name: i for i, name in enumerate(_NAMES)}


def _numbers(value, name, unit):
    """value as a float64 array; a TypeError or ValueError naming the argument otherwise."""
    if isinstance(value, np.ma.MaskedArray):
        # np.asarray would drop the mask and compute the masked points as if they were data.
        raise TypeError(f"{name}: a masked array is not taken; pass its .compressed() values or "
                        f".filled(...) with a value of your choosing")
    if isinstance(value, (str, bytes)):
        raise TypeError(f"{name}: expected a number or an array of numbers in {unit}, got {value!r}")
    try:
        array = np.asarray(value)
    except Exception as e:  # ragged sequences and the like
        raise ValueError(f"{name}: not an array of numbers ({e})") from None
    if array.dtype.kind not in "iuf":
        got = repr(value) if array.ndim == 0 else f"{array.dtype} values"
        raise TypeError(f"{name}: expected numbers in {unit}, got {got}")
    array = array.astype(np.float64, copy=False)
    bad = ~np.isfinite(array)
    if bad.any():
        raise ValueError(f"{name}: {array[bad].flat[0]} is not a finite number of {unit}")
    return array


def _nonnegative(array, name, unit):
    if (array < 0).any():
        raise ValueError(f"{name}: {array[array < 0].flat[0]:g} {unit} is negative")
    return array


def _inputs(t_celsius, p_mpa, molality):
    t = _numbers(t_celsius, "t_celsius", "C")
    p = None if p_mpa is None else _nonnegative(_numbers(p_mpa, "p_mpa", "MPa"), "p_mpa", "MPa")
    m = None if molality is None else _nonnegative(_numbers(molality, "molality", "mol/kg"), "molality", "mol/kg")
    return t, p, m


def _flag(value, name):
    if not isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name}: expected True or False, got {value!r}")
    return bool(value)


def _option(option):
    if isinstance(option, (bool, np.bool_)) or not isinstance(option, numbers.Integral):
        raise TypeError(f"option: expected a curve number 1..4, got {option!r}")
    if option not in CURVES:
        raise ValueError(f"option: {option} is not one of 1, 2, 3, 4")
    return int(option)


def _columns(columns):
    if columns is None:
        return list(_NAMES)
    if isinstance(columns, str):
        columns = [columns]
    try:
        names = list(columns)
    except TypeError:
        raise TypeError(f"columns: expected a list of quantity names, got {columns!r}") from None
    if not names:
        raise ValueError("columns: the list is empty")
    for c in names:
        if not isinstance(c, str):
            raise TypeError(f"columns: expected quantity names, got {c!r}")
        if c not in _INDEX:
            raise ValueError(f"columns: unknown quantity {c!r} (see co2calc.QUANTITIES)")
    return names


def _threads(threads):
    if threads is None:
        return _co2calc.hardware_threads
    if isinstance(threads, (bool, np.bool_)) or not isinstance(threads, numbers.Integral):
        raise TypeError(f"threads: expected a whole number, got {threads!r}")
    if not 1 <= threads <= 1024:
        raise ValueError(f"threads: {threads} is not from 1 to 1024")
    return int(threads)


def _scalar(array, name):
    if array is not None and array.ndim != 0:
        raise TypeError(f"{name}: expected one number (table() takes arrays), got shape {array.shape}")
    return None if array is None else float(array)


def _salt(ions, salt_model):
    if ions is None:
        ions = {}
    if not isinstance(ions, dict):
        raise TypeError(f"ions: expected a dict of ion molalities in mol/kg, e.g. {{'Na': 1, 'Cl': 1}}, got {ions!r}")
    out = {}
    for name, value in ions.items():
        if not isinstance(name, str):
            raise TypeError(f"ions: expected ion names, got {name!r}")
        out[name] = float(_scalar(_numbers(value, f"ions[{name!r}]", "mol/kg"), f"ions[{name!r}]"))
    if not isinstance(salt_model, str):
        raise TypeError(f"salt_model: expected a name, got {salt_model!r}")
    return out, salt_model


def _salinity(nacl, nacl_w):
    """The NaCl molalities of nacl (mol/kg water) or nacl_w (mass fractions, kg NaCl per kg of
    brine), as an array; None for pure water."""
    if nacl is not None and nacl_w is not None:
        raise TypeError("nacl and nacl_w exclude each other: give the brine one way")
    if nacl_w is None:
        return None if nacl is None else _nonnegative(_numbers(nacl, "nacl", "mol/kg"), "nacl", "mol/kg")
    w = _numbers(nacl_w, "nacl_w", "kg NaCl per kg of brine")
    bad = ~((w >= 0) & (w < 1))
    if bad.any():
        raise ValueError("nacl_w: " + _co2calc.mass_fraction_problem(float(w[bad].flat[0])))
    return np.asarray(_co2calc.nacl_molality_of_mass_fraction(w), dtype=np.float64)


def _model(model):
    if not isinstance(model, str):
        raise TypeError(f"model: expected a name, got {model!r}")
    return model


def _point(curve, t, p, m, exact, raw, nacl=0.0, ions=None, salt_model="duan-sun-2003", model="own"):
    ions, salt_model = _salt(ions, salt_model)
    values, bits, error = _co2calc.evaluate_one(curve, t, 0.0 if p is None else p,
                                                float("nan") if m is None else m, exact, raw,
                                                nacl, ions, salt_model, _model(model))
    result = dict(zip(_NAMES, values))
    result["flags"] = {name: bool(bits & bit) for name, bit in FLAGS.items()}
    result["error"] = error
    return result


def state(t_celsius, p_mpa, molality=None, exact=False, raw=False, nacl=None, ions=None,
          salt_model="duan-sun-2003", nacl_w=None, model="own"):
    """Every quantity at one state point: temperature in C, total pressure in MPa (0: the water
    saturation pressure), CO2 molality in mol/kg of the solution quantities (None: at the
    solubility; 0 means 1e-8).

    Returns a dict: each quantity of QUANTITIES (float, NaN when the point failed), "flags" (a
    dict of booleans, see FLAGS) and "error" (None, or why the point failed).

    A brine: nacl (mol NaCl per kg of water) and/or ions ({"Na": ..., "Cl": ..., "K", "Ca", "Mg",
    "SO4"}, mol/kg water, charges balanced) with salt_model "duan-sun-2003" (default),
    "rumpf-1994" or "spycher-pruess-2010"; sol_m, sol_g and sol_x (salt-free) are the brine's,
    gamma_salt the salting-out coefficient, and the solution quantities NaN (they assume a
    pure-water solvent). A composition the models cannot take is a failed point whose error says why.
    nacl_w gives the NaCl as a mass fraction w instead (kg NaCl per kg of brine, 0 <= w < 1), taken
    as w / (M_NaCl (1 - w)) mol/kg with M_NaCl = 0.0584428 kg/mol, as co2table's
    --nacl-mass-fraction.

    model chooses the solubility model of sol_x, sol_m, sol_g, w_CO2 and y_H2O: "own" (default),
    "spycher-pruess-2003" (Spycher, Pruess & Ennis-King 2003 with its Redlich-Kwong volume) or
    "spycher-pruess-2003-sw" (with this model's Span-Wagner volume of pure CO2); with the second
    the solution quantities are NaN unless a molality is given, and the flag warn_sol_model marks
    points outside its stated 12-100 C, up to 60 MPa."""
    t, p, m = _inputs(t_celsius, p_mpa, molality)
    exact, raw = _flag(exact, "exact"), _flag(raw, "raw")
    salinity = _salinity(nacl, nacl_w)
    salt = 0.0 if salinity is None else _scalar(salinity, "nacl" if nacl_w is None else "nacl_w")
    return _point(0, _scalar(t, "t_celsius"), _scalar(p, "p_mpa"), _scalar(m, "molality"), exact, raw,
                  salt, ions, salt_model, model)


def _grid(curve, arrays, columns, exact, threads, raw, ions=None, salt_model="duan-sun-2003", model="own"):
    names = _columns(columns)
    exact, raw = _flag(exact, "exact"), _flag(raw, "raw")
    threads = _threads(threads)
    present = [a for a in arrays if a is not None]
    try:
        shape = np.broadcast_shapes(*(a.shape for a in present))
    except ValueError:
        labels = ["t_celsius", "p_mpa", "molality", "nacl"]
        shapes = ", ".join(f"{label} {a.shape}" for label, a in zip(labels, arrays) if a is not None)
        raise ValueError(f"the shapes do not broadcast together: {shapes}") from None
    flat = [None if a is None else np.ascontiguousarray(np.broadcast_to(a, shape)).reshape(-1) for a in arrays]
    ions, salt_model = _salt(ions, salt_model)
    values, bits, failures = _co2calc.evaluate_many(
        curve, flat[0], flat[1], flat[2], [_INDEX[n] for n in names], exact, threads, raw, flat[3], ions, salt_model,
        _model(model))
    result = {name: values[i].reshape(shape) for i, name in enumerate(names)}
    result["flags"] = bits.reshape(shape)
    errors = np.empty(len(flat[0]), dtype=object)
    for index, message in failures:
        errors[index] = message
    result["error"] = errors.reshape(shape)
    return result


def table(t_celsius, p_mpa, molality=None, columns=None, exact=False, threads=None, raw=False, nacl=None,
          ions=None, salt_model="duan-sun-2003", nacl_w=None, model="own"):
    """The quantities over arrays of state points, broadcast together as numpy does (t_celsius in
    C, p_mpa in MPa, molality in mol/kg or None for the solubility at each point).

    Returns a dict: each selected quantity (default: all of QUANTITIES) as a float array of the
    broadcast shape, NaN where a point failed; "flags", an array of flag bits (see FLAGS); and
    "error", an object array holding None or the message of a failed point. The points run on
    `threads` threads (default: one per core) without the GIL. nacl (mol/kg water) or nacl_w (mass
    fraction) broadcasts like the other inputs; ions, salt_model and model are as in state()."""
    t, p, m = _inputs(t_celsius, p_mpa, molality)
    return _grid(0, [t, p, m, _salinity(nacl, nacl_w)], columns, exact, threads, raw, ions, salt_model, model)


def curve(option, t_celsius, molality=None, columns=None, exact=False, threads=None, raw=False):
    """The quantities along phase-boundary curve `option` (1..4, see CURVES), where the pressure
    follows from the temperature; vectorised over t_celsius (and molality) as table() is. A
    temperature outside the curve's range gives a failed point whose error says so."""
    option = _option(option)
    t, _, m = _inputs(t_celsius, None, molality)
    return _grid(option, [t, None, m, None], columns, exact, threads, raw)


# Tidy DataFrame and xarray results; pandas and xarray are imported only when these are called.
from ._frame import UNITS, dataset, frame  # noqa: E402

__all__ += ["frame", "dataset", "UNITS"]
