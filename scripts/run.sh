#!/usr/bin/env bash
# Installs the dependencies, builds and starts the client.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
if [ -x "$BUILD_DIR/src/app/scrivora" ]; then
    exec "$BUILD_DIR/src/app/scrivora" "$@"
fi
echo "Built the libraries and tests in $BUILD_DIR; the client program itself is not there yet."
