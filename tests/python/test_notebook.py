"""examples/solubility.ipynb runs from top to bottom in a fresh kernel and draws its three figures."""

import base64
import os
import subprocess
import sys

import nbformat


def test_notebook_executes_and_draws_its_figures(tmp_path):
    out = tmp_path / "solubility.ipynb"
    environment = {k: v for k, v in os.environ.items() if k != "MPLBACKEND"}  # the kernel's inline backend
    subprocess.run([sys.executable, "-m", "nbconvert", "--to", "notebook", "--execute", "--ExecutePreprocessor.timeout=120",
                    "solubility.ipynb", "--output", str(out)], cwd=os.environ["CO2_EXAMPLES"], check=True,
                   capture_output=True, env=environment, timeout=240)
    outputs = [o for cell in nbformat.read(out, 4).cells for o in cell.get("outputs", [])]
    assert not [o for o in outputs if o["output_type"] == "error"]
    figures = [base64.b64decode(o["data"]["image/png"]) for o in outputs if "image/png" in o.get("data", {})]
    assert len(figures) == 3 and all(f.startswith(b"\x89PNG") and len(f) > 10_000 for f in figures)
    printed = "".join(o.get("text", "") for o in outputs)
    assert " points, median |deviation| " in printed and not printed.startswith("0 points")
