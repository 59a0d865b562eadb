#!/usr/bin/env bash
# Installs what is missing, builds, starts the headless services and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
# shellcheck source=headless-services.sh
source scripts/headless-services.sh
cd "$BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
