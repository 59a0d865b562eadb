#!/usr/bin/env bash
# Installs the dependencies, builds the client and the fake server of the
# README's walk-through (nothing else), and starts the client.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh scrivora FakeServer
BUILD_DIR="${BUILD_DIR:-build}"
exec "$BUILD_DIR/src/app/scrivora" "$@"
