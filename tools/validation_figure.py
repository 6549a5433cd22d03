"""What the validation figures share: the computed points, from the validation program itself,
and a picture written to a temporary file in the output's directory and renamed into place.

The program is run without a shell: its path and the data path are arguments, never a command
line. The picture is reproducible to the byte with a given matplotlib (Agg, a named font, no time
stamp or software tag in the file).
"""
import csv
import os
import subprocess
import tempfile


def computed_points(tool, data):
    with tempfile.TemporaryDirectory() as scratch:
        points = os.path.join(scratch, "points.csv")
        subprocess.run([tool, data, "--points", points], check=True, stdout=subprocess.DEVNULL)
        with open(points, newline="") as f:
            return list(csv.DictReader(f))


def save_replacing(fig, output, prefix):
    directory = os.path.dirname(os.path.abspath(output))
    handle, temporary = tempfile.mkstemp(prefix=prefix, suffix=".png", dir=directory)
    os.close(handle)
    try:
        fig.savefig(temporary, format="png", metadata={"Software": None})
        os.chmod(temporary, 0o644)
        os.replace(temporary, output)
    except BaseException:
        os.unlink(temporary)
        raise
