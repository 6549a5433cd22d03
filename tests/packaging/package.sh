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
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
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
  usr/include/co2model.hpp usr/include/co2model.h "usr/lib/$multiarch/libco2model.a" \
  "usr/lib/$multiarch/pkgconfig/co2model.pc" "usr/lib/$multiarch/cmake/co2model/co2modelConfig.cmake" \
  usr/share/co2calc/data/co2_solubility_measured.csv usr/share/doc/co2calc/docs/data/co2_solubility_measured.csv \
  usr/share/doc/co2calc/examples/isotherms.py usr/share/doc/co2calc/docs/speed.md; do
  [ -f "$root/$f" ] || fail "$f is not in the package"
done
for script in postinst prerm; do
  dpkg-deb --info "$deb" "$script" >/dev/null || fail "no $script"
done

# Every relative link of the installed README leads to a file of the package.
doc=$root/usr/share/doc/co2calc
grep -o '](\([^)#]*\))' "$doc/README.md" | sed 's/^](//; s/)$//' | grep -v '^[a-z]*:' | sort -u |
  while read -r link; do
    [ -e "$doc/$link" ] || { echo "FAILED: the README links $link, which the package does not hold"; exit 1; }
  done || exit 1

# The README's validation command from the installed files: the shipped measurements are read.
(cd "$doc" && "$root/usr/bin/co2table" --temperature 25,50 --pressure 1:20:1 --plot "$scratch/validation.png" \
  --plot-measured docs/data/co2_solubility_measured.csv >"$scratch/validation.txt" 2>&1) ||
  fail "the validation command from the package: $(cat "$scratch/validation.txt")"
grep -q "95 measured" "$scratch/validation.txt" || fail "validation: $(cat "$scratch/validation.txt")"

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

lintian --display-info --tag-display-limit 0 --fail-on error,warning "$deb" >"$scratch/lintian.txt" 2>&1 || {
  cat "$scratch/lintian.txt"
  fail "lintian found errors or warnings"
}
echo "lintian: no errors, no warnings; notes:"
cat "$scratch/lintian.txt"

# Installed and removed by dpkg in a scratch root (its own database; the maintainer scripts run
# with DPKG_ROOT set): postinst byte-compiles the module, and removal leaves no file behind.
if [ "$(id -u)" -eq 0 ]; then
  droot=$scratch/dpkg-root
  mkdir -p "$droot/var/lib/dpkg/info" "$droot/var/lib/dpkg/updates"
  : >"$droot/var/lib/dpkg/status"
  dpkg_root() { dpkg --root="$droot" --force-script-chrootless --force-depends --log=/dev/null "$@"; }
  dpkg_root --install "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg --install"; }
  ls "$droot"/usr/lib/python3/dist-packages/co2calc/__pycache__/__init__.*.pyc >/dev/null 2>&1 ||
    fail "postinst did not byte-compile the module"
  PYTHONPATH=$droot/usr/lib/python3/dist-packages /usr/bin/python3 -c 'import co2calc, pandas; co2calc.frame(25, 10)'
  dpkg_root --remove co2calc >>"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg --remove"; }
  left=$(find "$droot" -mindepth 1 ! -path "$droot/var" ! -path "$droot/var/*")
  [ -z "$left" ] || fail "dpkg --remove left: $left"
  echo "dpkg: installed, byte-compiled, removed without a trace"
else
  echo "dpkg install/remove in a scratch root: skipped (needs root)"
fi
echo "package test passed"
