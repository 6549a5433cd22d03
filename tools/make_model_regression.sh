#!/usr/bin/env bash
# Regenerates tests/model/data/model_regression.csv, the bit-exact reference of every model
# variable, from the model as it is now: model_tests in write mode, the commit named in the file.
# Only for a deliberate change of results; the speed work must leave the file untouched.
#
#   tools/make_model_regression.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target model_tests
CO2_REGRESSION_WRITE="$(git rev-parse --short HEAD)" "$build/tests/model_tests" \
  --gtest_filter='ModelRegression.*'
