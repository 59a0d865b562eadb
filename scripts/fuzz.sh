#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang, ASan, UBSan) into their own
# build folder and runs each one over its seed corpus and then for the given time.
#
#   scripts/fuzz.sh [seconds] [target...]    default 60 s per target, every target
#   FUZZ_JOBS=3     targets run at once (each one process, under nice)
#   FUZZ_BUILD_DIR  build folder (default build-fuzz)
#   FUZZ_BUILD_JOBS parallel compile jobs (default: every core)
#
# New inputs go to <build>/fuzz/<target>/corpus, crashes, time-outs and
# out-of-memory inputs to <build>/fuzz/<target>/crashes; the log of each run to
# <build>/fuzz/<target>.log. Exits non-zero when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
SECONDS_EACH="${1:-60}"
shift || true
BUILD_DIR="${FUZZ_BUILD_DIR:-build-fuzz}"
JOBS="${FUZZ_JOBS:-1}"

LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
    LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${LAUNCHER[@]}" \
    -DSCRIVORA_FUZZ=ON -DSCRIVORA_BUILD_TESTS=OFF -DSCRIVORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" --target fuzz_targets --parallel "${FUZZ_BUILD_JOBS:-$(nproc)}"

if [ $# -gt 0 ]; then
    TARGETS=("$@")
else
    mapfile -t TARGETS < <(sed -n 's/^ *scrivora_add_fuzzer(\([a-z_]*\).*/\1/p' tests/fuzz/CMakeLists.txt)
fi

OUT="$ROOT/$BUILD_DIR/fuzz"
mkdir -p "$OUT"
# The targets talk to nothing but loopback; keep their settings and files out of the user's.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:abort_on_error=1:symbolize=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$ROOT/tests/fuzz/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"

run_target() {
    local target="$1"
    local dir="$OUT/$target"
    local home
    # In memory where possible: settings and command files are written with
    # fdatasync, which on a disk costs more than the code under test.
    local base="${TMPDIR:-/tmp}"
    [ -w /dev/shm ] && base=/dev/shm
    home="$(mktemp -d "$base/scrivora-fuzz-$target.XXXXXX")"
    mkdir -p "$dir/corpus" "$dir/crashes"
    local args=(-max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                -artifact_prefix="$dir/crashes/")
    case "$target" in
        fuzz_server_frames | fuzz_command_file | fuzz_rest_replies | fuzz_rest_loopback | fuzz_form_frames)
            args+=(-dict=tests/fuzz/json.dict) ;;
        fuzz_odt_content) args+=(-dict=tests/fuzz/xml.dict) ;;
        fuzz_settings_file | fuzz_profile_files | fuzz_selftest_settings) args+=(-dict=tests/fuzz/ini.dict) ;;
        fuzz_http_request) args+=(-dict=tests/fuzz/http.dict) ;;
    esac
    # Extra libFuzzer options of a target, one per line.
    [ -f "tests/fuzz/$target.options" ] && mapfile -t -O "${#args[@]}" args <"tests/fuzz/$target.options"
    local status=0
    local run=(env HOME="$home" TMPDIR="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
               XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home" nice -n 10 "$BUILD_DIR/tests/fuzz/$target")
    # Leak stacks need the slow unwinder (Debian's Qt has no frame pointers), which
    # costs most of the speed: fuzz without leak checks, then run every input kept
    # (seeds and new ones) once more with them.
    ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" "${run[@]}" "${args[@]}" -detect_leaks=0 \
        "$dir/corpus" "tests/fuzz/corpus/$target" >"$dir.log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
        ASAN_OPTIONS="fast_unwind_on_malloc=0:$ASAN_OPTIONS" "${run[@]}" -runs=0 -detect_leaks=1 -timeout=30 \
            -artifact_prefix="$dir/crashes/" "$dir/corpus" "tests/fuzz/corpus/$target" >"$dir.leaks.log" 2>&1 || status=$?
        [ "$status" -eq 0 ] || cat "$dir.leaks.log" >>"$dir.log"
    fi
    rm -rf "$home"
    echo "$status" >"$dir.status"
    local runs coverage features
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir.log" | tail -n1)"
    coverage="$(grep -o 'cov: [0-9]*' "$dir.log" | tail -n1 | cut -d' ' -f2)"
    features="$(grep -o 'ft: [0-9]*' "$dir.log" | tail -n1 | cut -d' ' -f2)"
    if [ "$status" -eq 0 ]; then
        echo "fuzz $target: ok, ${runs:-?} runs, coverage ${coverage:-?}, features ${features:-?}"
    else
        echo "fuzz $target: FAILED (exit $status), ${runs:-?} runs; see $dir.log and $dir/crashes/"
        grep -m1 -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$dir.log" || true
    fi
    return "$status"
}

for target in "${TARGETS[@]}"; do
    rm -f "$OUT/$target.status"
    run_target "$target" &
    while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do
        wait -n || true
    done
done
wait || true
failed=0
for target in "${TARGETS[@]}"; do
    [ "$(cat "$OUT/$target.status" 2>/dev/null)" = 0 ] || failed=$((failed + 1))
done
echo "$((${#TARGETS[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
