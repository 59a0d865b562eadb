#!/usr/bin/env bash
# Configures and builds into ./build (BUILD_DIR overrides): every target, or
# only those named as arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
    LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
TARGETS=()
for target in "$@"; do
    TARGETS+=(--target "$target")
done
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${LAUNCHER[@]}"
cmake --build "$BUILD_DIR" --parallel "$(nproc)" "${TARGETS[@]}"
