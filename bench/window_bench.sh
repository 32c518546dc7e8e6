#!/bin/bash
# A 9-focus x 11-dose window of the dense-lines example, two runs at a time: the whole
# `aerial window` command (nine runs, the matrix, the window, two pictures), wall time,
# once with --sampled (the sampled foci only) and once as a user runs it, with the runs that
# refine the window's focus edges.
# Usage: bench/window_bench.sh TOOL EXAMPLE [REPEATS]
set -eu
tool=$1
example=$2
repeats=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The input's file name as the tool states it.
read -r _ input_file <<<"$("$tool" set --list | grep '^input ')"
cp "$example/$input_file" "$work/"

# time_window LABEL TARGET_SECONDS [OPTIONS...]
time_window() {
    local label=$1 target=$2
    shift 2
    local times=()
    for ((k = 0; k < repeats; k++)); do
        local start end
        start=$(date +%s.%N)
        "$tool" window "$work" --defocus -0.2:0.2:0.05 --dose 0.9:1.1:0.02 --target-cd 0.12 --jobs 2 -q "$@" >/dev/null
        end=$(date +%s.%N)
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
    done
    local rows sorted best median
    rows=$(($(wc -l <"$work/window/fem.csv") - 1))
    sorted=$(printf '%s\n' "${times[@]}" | sort -n)
    best=$(printf '%s\n' "$sorted" | head -1)
    median=$(printf '%s\n' "$sorted" | sed -n "$(((repeats + 1) / 2))p")
    printf 'window, 9 foci x 11 doses (%d rows), --jobs 2, %s: best %.3f s, median %.3f s of %d\n' \
        "$rows" "$label" "$best" "$median" "$repeats"
    awk -v m="$median" -v t="$target" 'BEGIN { exit !(m < t) }' || { echo "over the $target s target"; exit 1; }
}

time_window "sampled foci (--sampled)" 1 --sampled
refining=$("$tool" window "$work" --defocus -0.2:0.2:0.05 --dose 0.9:1.1:0.02 --target-cd 0.12 --jobs 2 -q --json |
    python3 -c "import json, sys; print(json.load(sys.stdin)['refining_runs'])")
time_window "focus edges refined ($refining more runs)" 4
