#!/usr/bin/env bash
# Installs what is missing, builds, starts the headless services and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
# Each stage says how long it took, for the CI log.
stage() { echo "stage $1: $((SECONDS - stage_start)) s"; stage_start=$SECONDS; }
stage_start=$SECONDS
scripts/deps.sh
stage "packages"
scripts/build.sh
stage "build"
BUILD_DIR="${BUILD_DIR:-build}"
# shellcheck source=headless-services.sh
source scripts/headless-services.sh
(cd "$BUILD_DIR" && ctest --output-on-failure --parallel "$(nproc)" --timeout 300)
# Fails, naming them, when the tests left processes running.
scrivora_stop_services
stage "tests"
# CI also runs the suite built with the sanitizers, after the normal run.
if [ "${SCRIVORA_SANITIZERS:-0}" = 1 ]; then
    scripts/test-sanitizers.sh
    stage "sanitizer build and tests"
fi
# CI then runs every fuzz target over its seeds and for a short while (FUZZ_SECONDS each).
if [ "${SCRIVORA_FUZZ_CI:-0}" = 1 ]; then
    FUZZ_JOBS="${FUZZ_JOBS:-3}" scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
    stage "fuzzing"
fi
echo "all stages: ${SECONDS} s"
