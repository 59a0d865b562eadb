#!/usr/bin/env bash
# Builds the client and its tests with AddressSanitizer and UndefinedBehaviorSanitizer
# in a folder of their own (./build-asan, SANITIZE_BUILD_DIR overrides) and runs the
# whole suite headless. Any finding (a memory error, undefined behaviour, a leak not
# wholly inside a system library) fails its test; see tests/sanitizers/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${SANITIZE_BUILD_DIR:-build-asan}"
# SANITIZE_JOBS caps the compilers, SANITIZE_TEST_JOBS the tests at once.
JOBS="${SANITIZE_JOBS:-$(nproc)}"
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
    LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# -O1 builds faster than -O2 and keeps stacks readable; the benchmarks are not run.
cmake -S . -B "$BUILD_DIR" -G Ninja -DSCRIVORA_SANITIZE=ON -DSCRIVORA_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" "${LAUNCHER[@]}"
cmake --build "$BUILD_DIR" --parallel "$JOBS"
echo "sanitizer build: ${SECONDS} s"
built=$SECONDS
# shellcheck source=headless-services.sh
source scripts/headless-services.sh
cd "$BUILD_DIR"
# A sanitized test needs two to three times the processor time: half as many at
# once leaves the tests that follow the sound server's clock their share.
ctest --output-on-failure --parallel "${SANITIZE_TEST_JOBS:-$(( (JOBS + 1) / 2 ))}" --timeout 600
echo "sanitizer tests: $((SECONDS - built)) s"
# Fails, naming them, when the tests left processes running.
scrivora_stop_services
