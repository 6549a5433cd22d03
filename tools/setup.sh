#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing (Debian). Sourced by run.sh and test.sh.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl1.2-dev libsdl-mixer1.2-dev
  kbd console-data         # console-data: the VGA font the window's glyph table was generated from
  xvfb xdotool x11-apps imagemagick tmux sox util-linux
  python3 python3-iapws    # IAPWS-95 reference values for the water tests
  gnuplot-nox fonts-dejavu-core  # co2table's plots, in the font named for byte-reproducible figures
  pybind11-dev python3-dev python3-pybind11 python3-numpy python3-pytest python3-matplotlib  # the Python module
  scdoc man-db groff-base lintian desktop-file-utils dpkg-dev fakeroot  # man pages, the Debian package and its checks
  gfortran                 # the Fortran client of the C interface
  python3-pandas python3-xarray python3-dask python3-distributed python3-zarr  # frames, datasets, grids past one machine
  jupyter-nbconvert python3-nbconvert python3-ipykernel python3-nbformat  # the notebook, executed by the suite
  python3-venv python3-pip python3-setuptools python3-wheel python3-build  # pip install into a fresh environment
  emscripten binaryen node-acorn  # the model as WebAssembly for the browser page
  chromium chromium-driver python3-selenium  # the page tested in a real browser
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq "${missing[@]}"
fi
