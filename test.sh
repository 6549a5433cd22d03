#!/usr/bin/env bash
# Sets up this machine, builds the program and its sanitizer and fuzz companions, and runs the
# whole suite with ctest. The sanitizer and fuzz trees are separate builds (their flags apply to
# every object); the main tree's ctest runs their test binaries too, so one summary covers all.
set -euo pipefail
cd "$(dirname "$0")"
tools/setup.sh

jobs=$(nproc)
configure() { # dir, extra cmake arguments...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

echo "== ASan+UBSan build (unit tests)"
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DCO2_SANITIZE=asan -DCO2_UNIT_ONLY=ON
cmake --build build-asan -j "$jobs"

echo "== TSan build"
configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DCO2_SANITIZE=tsan
cmake --build build-tsan -j "$jobs"

echo "== libFuzzer build"
CC=clang CXX=clang++ configure build-fuzz -DCMAKE_BUILD_TYPE=Debug -DCO2_FUZZ=ON -DCO2_UNIT_ONLY=ON
cmake --build build-fuzz -j "$jobs"

echo "== Main build"
configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCO2_ASAN_DIR="$PWD/build-asan" -DCO2_TSAN_DIR="$PWD/build-tsan" -DCO2_FUZZ_DIR="$PWD/build-fuzz"
cmake --build build -j "$jobs"

echo "== Test suite"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 900
