#!/bin/sh
# package.sh BUILD_DIR CPACK: builds the Debian package, unpacks it into a scratch root and runs
# what it holds from there (co2table, the Python module, both man pages), then lints it: lintian
# errors fail the test, its warnings are listed.
set -eu
build=$1
cpack=$2
scratch=$build/package/test
rm -rf "$build/package"
mkdir -p "$scratch"

(cd "$build" && "$cpack" -G DEB >"$build/package/cpack.log" 2>&1) || {
  cat "$build/package/cpack.log"
  exit 1
}
set -- "$build"/package/co2calc_*_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "expected one co2calc_VERSION_ARCH.deb, got: $*"; exit 1; }
deb=$1
echo "package: $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Architecture Maintainer Depends Recommends

fail() { echo "FAILED: $*"; exit 1; }
# Depends: SDL 1.2 and SDL_mixer found by dpkg-shlibdeps, Python and numpy for the module.
depends=$(dpkg-deb --field "$deb" Depends)
for want in libsdl1.2debian libsdl-mixer1.2 python3 python3-numpy; do
  echo "$depends" | grep -q "$want" || fail "Depends lacks $want: $depends"
done
dpkg-deb --field "$deb" Recommends | grep -q gnuplot-nox || fail "Recommends lacks gnuplot-nox"

dpkg -x "$deb" "$scratch/root"
root=$scratch/root
for f in usr/bin/co2calc usr/bin/co2table usr/share/applications/co2calc.desktop \
  usr/share/icons/hicolor/16x16/apps/co2calc.png usr/share/icons/hicolor/128x128/apps/co2calc.png \
  usr/share/doc/co2calc/copyright usr/share/doc/co2calc/changelog.gz usr/share/doc/co2calc/README.md \
  usr/share/doc/co2calc/docs/validation.png usr/lib/python3/dist-packages/co2calc/__init__.py \
  usr/include/co2model.hpp usr/include/co2model.h usr/lib/libco2model.a usr/lib/pkgconfig/co2model.pc \
  usr/lib/cmake/co2model/co2modelConfig.cmake; do
  [ -f "$root/$f" ] || fail "$f is not in the package"
done

# 1.4527788439279663 mol/kg at 25 C and 10 MPa (the calculator's report prints 1.4528).
"$root/usr/bin/co2table" --temperature 25 --pressure 10 --columns sol_m >"$scratch/table.csv"
grep -q '^1\.45277' "$scratch/table.csv" || fail "co2table from the package: $(cat "$scratch/table.csv")"

PYTHONPATH=$root/usr/lib/python3/dist-packages /usr/bin/python3 -c '
import co2calc, sys
assert co2calc.__file__.startswith(sys.argv[1]), co2calc.__file__
sol = co2calc.state(25, 10)["sol_m"]
assert abs(sol - 1.45278) < 1e-5, sol
print("module from the package:", co2calc.__file__, sol)
' "$root" || fail "the Python module from the package"

for page in co2calc co2table; do
  file=$root/usr/share/man/man1/$page.1.gz
  out=$(MANPAGER=cat man -l "$file" 2>"$scratch/man.err") || fail "man -l $page"
  [ ! -s "$scratch/man.err" ] || fail "man -l $page: $(cat "$scratch/man.err")"
  echo "$out" | grep -q "^NAME" || fail "$page(1) renders without a NAME section"
done

lintian --display-info --tag-display-limit 0 --fail-on error "$deb" >"$scratch/lintian.txt" 2>&1 || {
  cat "$scratch/lintian.txt"
  fail "lintian found errors"
}
echo "lintian: no errors; warnings and notes:"
cat "$scratch/lintian.txt"
echo "package test passed"
