"""pip install and a wheel, from a copy of the sources, into fresh virtual environments that see
the system's numpy and pybind11 (no package index is reachable)."""

import csv
import io
import json
import os
import pathlib
import shutil
import subprocess
import sys
import venv

import numpy as np

SOURCE = pathlib.Path(os.environ["CO2_SOURCE"])
CO2TABLE = os.environ["CO2TABLE"]
# What a user's checkout holds that the build reads: copying only this proves the list complete.
TREE = ["pyproject.toml", "setup.py", "README.md", "CMakeLists.txt", "core", "model", "python"]

PROBE = r"""
import json, sys, numpy as np, co2calc
t = np.array([0.5, 25, 60, 100])[:, None]
p = np.array([0.1, 7.5, 10, 100])
table = co2calc.table(t, p, columns=["sol_m", "rho_sol", "f_CO2"], exact=True)
print(json.dumps({"file": co2calc.__file__, "state": co2calc.state(25, 10)["sol_m"],
                  "table": {k: [repr(x) for x in table[k].ravel()] for k in ("sol_m", "rho_sol", "f_CO2")}}))
"""


def fresh_env(where):
    venv.EnvBuilder(system_site_packages=True, with_pip=True).create(where)
    return where / "bin" / "python"


# The build tree's module must not shadow the installed one.
ENVIRONMENT = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME")}


def probe(python):
    out = subprocess.run([python, "-c", PROBE], check=True, capture_output=True, text=True, cwd="/",
                         env=ENVIRONMENT).stdout
    return json.loads(out)


def test_pip_install_and_wheel_give_co2tables_numbers(tmp_path):
    src = tmp_path / "src"
    src.mkdir()
    for name in TREE:
        (shutil.copytree if (SOURCE / name).is_dir() else shutil.copy)(SOURCE / name, src / name)

    python = fresh_env(tmp_path / "env")
    subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "."], cwd=src,
                   check=True, capture_output=True, env=ENVIRONMENT)
    installed = probe(python)
    assert installed["file"].startswith(str(tmp_path / "env"))
    assert installed["state"] == 1.4527788439279832  # the module's docstring; co2table agrees below

    out = subprocess.run([CO2TABLE, "--temperature", "0.5,25,60,100", "--pressure", "0.1,7.5,10,100", "--exact",
                          "--columns", "T_C,P,sol_m,rho_sol,f_CO2"], check=True, capture_output=True, text=True).stdout
    header, *cells = csv.reader(io.StringIO(out))
    rows = [dict(zip([name.split(" [")[0] for name in header], row)) for row in cells]
    assert len(rows) == 16
    for name in ("sol_m", "rho_sol", "f_CO2"):
        # co2table prints numbers that read back as the very doubles (NaN where it leaves a cell out).
        expected = np.array([float(row[name]) if row[name] not in ("", "nan") else np.nan for row in rows])
        got = np.array([float(x) for x in installed["table"][name]])
        np.testing.assert_array_equal(got, expected, err_msg=name)

    subprocess.run([sys.executable, "-m", "build", "--wheel", "--no-isolation", "--outdir", tmp_path / "dist"],
                   cwd=src, check=True, capture_output=True, env=ENVIRONMENT)
    wheel, = (tmp_path / "dist").glob("co2calc-*.whl")
    python = fresh_env(tmp_path / "wheel-env")
    subprocess.run([python, "-m", "pip", "install", "--no-index", wheel], check=True, capture_output=True,
                   env=ENVIRONMENT)
    from_wheel = probe(python)
    assert from_wheel["file"].startswith(str(tmp_path / "wheel-env"))
    assert {**from_wheel, "file": None} == {**installed, "file": None}
