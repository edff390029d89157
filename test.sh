#!/usr/bin/env bash
# Installs what is missing, builds program, tests and benchmarks, runs every test
# (with GCC, then once more with clang).
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"
lumi_install_packages
# Warnings are errors here. GCC builds everything; clang then builds the
# libraries and tests a second time (no benchmarks), and both runs must pass.
lumi_build "$LUMI_ROOT/build-test" -DLUMI_WERROR=ON
(cd "$LUMI_ROOT/build-test" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@")
lumi_build "$LUMI_ROOT/build-test-clang" -DLUMI_WERROR=ON -DLUMI_BUILD_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++
(cd "$LUMI_ROOT/build-test-clang" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@")
