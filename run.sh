#!/usr/bin/env bash
# Sets up this machine (packages, build in build/) and starts the calculator.
set -euo pipefail
cd "$(dirname "$0")"
tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The build's own messages stay visible: a failed build must say why.
if ! cmake --build build --target co2calc co2table; then
  echo "run.sh: the build failed; its errors are above." >&2
  exit 1
fi
if [ ! -x build/co2calc ]; then
  echo "run.sh: build/co2calc has not been built yet; nothing to start." >&2
  exit 1
fi
exec build/co2calc "$@"
