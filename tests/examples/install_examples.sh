#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds the C++, C and Fortran examples against that
# copy, once with find_package and once with pkg-config, then runs them: the exact solubility at
# 25 C and 10 MPa to the last digit, the fast one within 1e-9, and the error codes of two points
# that fail.
set -euo pipefail
build=$1
source=$2
prefix=$build/install-test
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

check() { # name, output
    local name=$1 out=$2
    echo "$out" | sed "s/^/$name: /"
    grep -qx 'exact sol_m 1.4527788439279663 .*mol/kg' <<<"$out" || { echo "$name: exact value wrong" >&2; return 1; }
    awk '/^fast sol_m/ { d = $3 - 1.4527788439279663; if (d < 0) d = -d; ok = d < 1e-9 } END { exit !ok }' \
        <<<"$out" || { echo "$name: fast value wrong" >&2; return 1; }
    grep -q '^20 C, 0.001 MPa: error 5: runtime error 5: Illegal function call' <<<"$out" ||
        { echo "$name: no runtime error for a point without liquid water" >&2; return 1; }
    grep -qx 'curve 1 at 40 C: error -1: curve 1: TEMPERATURE OUT OF ALLOwABLE RANGE -1.6 - +31.48 C' <<<"$out" ||
        { echo "$name: no curve refusal" >&2; return 1; }
}

for lang in cpp c fortran; do
    dir=$prefix/build-$lang
    cmake -S "$source/examples/$lang" -B "$dir" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    cmake --build "$dir" >/dev/null
    check "find_package $lang" "$("$dir/example_$lang")"
done

pc=$(dirname "$(find "$prefix" -name co2model.pc | head -n 1)")
export PKG_CONFIG_PATH=$pc
c++ -std=c++20 "$source/examples/cpp/main.cpp" $(pkg-config --cflags --libs co2model) -o "$prefix/pc_cpp"
check "pkg-config cpp" "$("$prefix/pc_cpp")"
cc "$source/examples/c/main.c" $(pkg-config --cflags --libs co2model) -o "$prefix/pc_c"
check "pkg-config c" "$("$prefix/pc_c")"
# gfortran writes the example's module file where it is told, not into the caller's directory.
mkdir -p "$prefix/pc_fortran_modules"
gfortran -J "$prefix/pc_fortran_modules" "$source/examples/fortran/main.f90" $(pkg-config --libs co2model) \
    -o "$prefix/pc_fortran"
check "pkg-config fortran" "$("$prefix/pc_fortran")"
