#!/usr/bin/env bash
# Installs what is missing, builds the program in Release and starts it.
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"
lumi_install_packages
lumi_build "$LUMI_ROOT/build" -DLUMI_BUILD_TESTS=OFF -DLUMI_BUILD_BENCH=OFF
exec "$LUMI_ROOT/build/app/lumiseite" "$@"
