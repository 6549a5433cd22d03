#!/usr/bin/env bash
# Sets up this machine (packages, build in build/) and starts the calculator.
set -euo pipefail
cd "$(dirname "$0")"
tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target co2calc co2table 2>/dev/null || cmake --build build
if [ ! -x build/co2calc ]; then
  echo "run.sh: build/co2calc has not been built yet; nothing to start." >&2
  exit 1
fi
exec build/co2calc "$@"
