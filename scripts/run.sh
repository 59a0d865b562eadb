#!/usr/bin/env bash
# Installs the dependencies, builds and starts the client.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
exec "$BUILD_DIR/src/app/scrivora" "$@"
