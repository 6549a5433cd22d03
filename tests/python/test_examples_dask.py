"""examples/dask_grid.py on a LocalCluster: the Zarr store holds the very bits of one table() call."""

import os
import subprocess
import sys

import numpy as np
import zarr

import co2calc


def test_dask_grid_store_equals_one_table_call(tmp_path):
    out = tmp_path / "grid.zarr"
    # 7 x 9 points in chunks of 20: uneven blocks over both axes, the saturation pressure (0) and a
    # row above 100 C (flagged) included.
    subprocess.run([sys.executable, os.path.join(os.environ["CO2_EXAMPLES"], "dask_grid.py"), str(out),
                    "--temperature=-0.5:102:7", "--pressure=0:100:9", "--columns", "sol_m,rho_sol,kH",
                    "--chunk", "20", "--workers", "2"], check=True, capture_output=True, timeout=240)
    store = zarr.open_group(str(out), mode="r")
    t, p = store["T_C"][:], store["P_MPa"][:]
    assert t.shape == (7,) and p.shape == (9,)
    assert store["sol_m"].chunks == (2, 9)
    want = co2calc.table(t[:, None], p, columns=["sol_m", "rho_sol", "kH"])
    for name in ("sol_m", "rho_sol", "kH"):
        assert store[name][:].tobytes() == want[name].tobytes(), name
    np.testing.assert_array_equal(store["flags"][:], want["flags"])
    assert (want["flags"][-1] & co2calc.FLAGS["warn_T"]).all() and not (want["flags"][0] & co2calc.FLAGS["warn_T"]).any()
    assert store.attrs["units"]["kH"] == co2calc.QUANTITIES["kH"][0]
