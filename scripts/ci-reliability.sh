#!/usr/bin/env bash
# Reliability stage of CI, after the normal suite: the whole suite under AddressSanitizer
# and UndefinedBehaviorSanitizer, a bounded libFuzzer run of main4, and a valgrind memcheck
# run of the tool on the bundled example.
# Usage: scripts/ci-reliability.sh [fuzz-seconds]   (default 60)
# Build folders: build-sanitize, build-fuzz; the normal build folder is $BUILD (build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fuzz_seconds=${1:-60}
build=${BUILD:-build}
jobs=${JOBS:-2}

scripts/install-deps.sh --reliability

stage() { echo "== $1"; stage_start=$(date +%s); }
done_stage() { echo "== $1: $(( $(date +%s) - stage_start )) s"; }

stage "sanitizer build and suite"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAERIAL_SANITIZE=ON -DAERIAL_WERROR=ON >/dev/null
cmake --build build-sanitize -j "$jobs"
LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" \
    ctest --test-dir build-sanitize -j "$jobs" --output-on-failure
done_stage "sanitizer build and suite"

stage "fuzz smoke (${fuzz_seconds} s)"
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DAERIAL_BUILD_FUZZ=ON -DAERIAL_BUILD_TESTS=OFF -DAERIAL_BUILD_TOOL=OFF -DAERIAL_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$jobs" --target aerial_main4_fuzzer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus" "$work/tmp" "$work/findings"
# Seeds: every bundled example and every input fixture of the tests.
n=0
while IFS= read -r -d '' seed; do
    n=$((n + 1)); cp "$seed" "$work/corpus/seed-$n"
done < <(find examples tests/fixtures -type f \( -name 'IN_FM.txt' -o -path 'tests/fixtures/*' \) -print0 2>/dev/null)
echo "$n seed inputs"
status=0
TMPDIR="$work/tmp" build-fuzz/bin/aerial_main4_fuzzer "$work/corpus" \
    -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 -len_control=0 \
    -dict="$root/fuzz/input.dict" -artifact_prefix="$work/findings/" \
    -print_final_stats=1 >"$work/fuzz.log" 2>&1 || status=$?
grep -E '^(Done|stat::)' "$work/fuzz.log" || true
if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/findings")" ]; then
    tail -60 "$work/fuzz.log"
    for f in "$work/findings"/*; do
        [ -e "$f" ] || continue
        echo "finding $(basename "$f") (base64; add it under tests/fixtures/fuzz/):"
        base64 -w 0 "$f"; echo
    done
    exit 1
fi
done_stage "fuzz smoke (${fuzz_seconds} s)"

# The bundled example at its own N = 128 (seconds under memcheck with the fast evaluation);
# AERIAL_VALGRIND_GRID=32 runs a smaller copy of it.
grid=${AERIAL_VALGRIND_GRID:-128}
stage "valgrind memcheck of the example at N = $grid"
[ -x "$build/bin/aerial" ] || { cmake -S . -B "$build" >/dev/null && cmake --build "$build" -j "$jobs"; }
mkdir "$work/example"
cp examples/two-rectangles/IN_FM.txt "$work/example/"
"$build/bin/aerial" set "$work/example" grid="$grid"
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
    -q "$build/bin/aerial" run "$work/example"
done_stage "valgrind memcheck of the example at N = $grid"
