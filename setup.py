"""The extension _co2calc from the repository's C++ sources, for `pip install .` and `python3 -m build`.

The source lists are read from the CMake files, which stay the one place that names them, so a new
model file cannot be forgotten here."""

import pathlib
import re

from pybind11.setup_helpers import Pybind11Extension, build_ext
from setuptools import setup

ROOT = pathlib.Path(__file__).resolve().parent


def library_sources(directory, target):
    text = (ROOT / directory / "CMakeLists.txt").read_text()
    match = re.search(r"add_library\(\s*" + target + r"\s+STATIC\s+([^)]*)\)", text)
    if not match:
        raise RuntimeError(f"{directory}/CMakeLists.txt: no add_library({target} STATIC ...)")
    return [f"{directory}/{name}" for name in match.group(1).split()]


def project_version():
    match = re.search(r"project\(\s*co2calc\s+VERSION\s+([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    if not match:
        raise RuntimeError("CMakeLists.txt: no project(co2calc VERSION ...)")
    return match.group(1)


VERSION = project_version()

extension = Pybind11Extension(
    "co2calc._co2calc",
    ["python/_co2calc.cpp", *library_sources("model", "co2model"), *library_sources("core", "co2core")],
    include_dirs=[".", "model", "model/include"],
    define_macros=[("CO2MODEL_VERSION", f'"{VERSION}"')],
    cxx_std=20,
    # The numbers must be the CMake build's to the last bit: no contraction into fused
    # multiply-adds and no value-changing optimisation, whatever the environment's CFLAGS say.
    extra_compile_args=["-O2", "-ffp-contract=off", "-fno-fast-math"],
    extra_link_args=["-pthread"],
)

setup(version=VERSION, ext_modules=[extension], cmdclass={"build_ext": build_ext})
