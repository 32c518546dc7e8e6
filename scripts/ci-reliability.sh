#!/usr/bin/env bash
# Reliability stage of CI, after the normal suite: the library's, the engine's and the
# tool logic's tests under AddressSanitizer and UndefinedBehaviorSanitizer (the target
# aerial_sanitizer_suite and the tests labelled sanitized, tests/CMakeLists.txt), the
# engine's tests under ThreadSanitizer (simulations on several threads at once), bounded
# libFuzzer runs of main4, of the engine's C API and of the layout import, and valgrind
# memcheck runs of the tool (its run and its report) on the bundled example.
# Usage: scripts/ci-reliability.sh [fuzz-seconds]   (per fuzz target; default 30)
# Build folders: build-sanitize, build-tsan, build-fuzz; the normal build folder is $BUILD (build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fuzz_seconds=${1:-30}
build=${BUILD:-build}
jobs=${JOBS:-2}

scripts/install-deps.sh --reliability

stage() { echo "== $1"; stage_start=$(date +%s); }
done_stage() { echo "== $1: $(( $(date +%s) - stage_start )) s"; }

stage "sanitizer build and suite"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAERIAL_SANITIZE=ON -DAERIAL_WERROR=ON \
    -DAERIAL_BUILD_PYTHON=OFF >/dev/null
cmake --build build-sanitize -j "$jobs" --target aerial_sanitizer_suite
LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" \
    ctest --test-dir build-sanitize -j "$jobs" -L sanitized --output-on-failure
done_stage "sanitizer build and suite"

# Only the library, the engine and their test: 8 simulations on 4 threads (and 100 inputs)
# against serial runs, the engine's arrays against main4's tables, its C API.
stage "thread sanitizer: the engine's tests"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAERIAL_THREAD_SANITIZE=ON -DAERIAL_WERROR=ON \
    -DAERIAL_BUILD_TOOL=OFF -DAERIAL_BUILD_PYTHON=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target aerial_engine_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/bin/aerial_engine_tests
done_stage "thread sanitizer: the engine's tests"

stage "fuzz smoke (${fuzz_seconds} s per target)"
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DAERIAL_BUILD_FUZZ=ON -DAERIAL_BUILD_TESTS=OFF -DAERIAL_BUILD_TOOL=OFF -DAERIAL_BUILD_PYTHON=OFF \
    -DAERIAL_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$jobs" --target aerial_main4_fuzzer aerial_engine_fuzzer aerial_import_fuzzer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# fuzz TARGET DICT MAX_LEN SEED...: runs build-fuzz/bin/TARGET for fuzz_seconds from the
# seeds; any finding fails the stage and is printed in base64.
fuzz() {
    local target=$1 dict=$2 max_len=$3; shift 3
    local dir="$work/$target"
    mkdir -p "$dir/corpus" "$dir/tmp" "$dir/findings"
    local n=0 seed
    for seed in "$@"; do n=$((n + 1)); cp "$seed" "$dir/corpus/seed-$n"; done
    echo "$target: $n seed inputs"
    local status=0
    TMPDIR="$dir/tmp" "build-fuzz/bin/$target" "$dir/corpus" \
        -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" -len_control=0 \
        -dict="$dict" -artifact_prefix="$dir/findings/" \
        -print_final_stats=1 >"$dir/fuzz.log" 2>&1 || status=$?
    grep -E '^(Done|stat::)' "$dir/fuzz.log" || true
    if [ "$status" -ne 0 ] || [ -n "$(ls -A "$dir/findings")" ]; then
        tail -60 "$dir/fuzz.log"
        local f
        for f in "$dir/findings"/*; do
            [ -e "$f" ] || continue
            echo "finding of $target $(basename "$f") (base64; add it to the tests):"
            base64 -w 0 "$f"; echo
        done
        exit 1
    fi
}

# main4 from every bundled example and every input fixture of the tests.
mapfile -d '' main4_seeds < <(find examples tests/fixtures -type f \( -name 'IN_FM.txt' -o -path 'tests/fixtures/fuzz/*' \) -print0 2>/dev/null)
fuzz aerial_main4_fuzzer "$root/fuzz/input.dict" 16384 "${main4_seeds[@]}"
# The engine's C API from the same inputs.
fuzz aerial_engine_fuzzer "$root/fuzz/input.dict" 16384 "${main4_seeds[@]}"
# The layout import from small layouts written by gdspy and the test fixtures (repeated,
# collinear and clockwise vertices, half database units, placements near 1e308).
fuzz aerial_import_fuzzer "$root/fuzz/gds.dict" 16384 fuzz/gds-seeds/*.gds tests/fixtures/layouts/*.gds
done_stage "fuzz smoke (${fuzz_seconds} s per target)"

# The bundled example at its own N = 128 (seconds under memcheck with the fast evaluation);
# AERIAL_VALGRIND_GRID=32 runs a smaller copy of it.
grid=${AERIAL_VALGRIND_GRID:-128}
stage "valgrind memcheck of the example at N = $grid"
[ -x "$build/bin/aerial" ] || { cmake -S . -B "$build" >/dev/null && cmake --build "$build" -j "$jobs"; }
mkdir "$work/example"
cp examples/two-rectangles/IN_FM.txt "$work/example/"
"$build/bin/aerial" set "$work/example" grid="$grid"
memcheck() {
    valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
        --suppressions="$root/tests/valgrind.supp" -q "$@"
}
memcheck "$build/bin/aerial" run "$work/example"
# The report: the tool's code the sanitizer suite leaves out (its commands, the PDF's pages).
memcheck "$build/bin/aerial" report "$work/example" -q
done_stage "valgrind memcheck of the example at N = $grid"
