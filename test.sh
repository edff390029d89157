#!/usr/bin/env bash
# Installs what is missing, builds program, tests and benchmarks, runs every test.
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"
lumi_install_packages
lumi_build "$LUMI_ROOT/build-test"
cd "$LUMI_ROOT/build-test"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@"
