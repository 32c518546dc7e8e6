#!/bin/bash
# main4 gives the same bytes under any floating-point environment of its host and leaves
# that environment as it found it. The reference is a plain host rounding to nearest; the
# others: a host built with -Ofast (flush-to-zero and denormals-are-zero for the whole
# process), hosts that select another rounding mode, hosts that trap division by zero,
# invalid operations and overflow. Each runs every case in one process, one after another,
# and fails by itself when main4 returns with its environment changed.
# Cases: a transmission whose spectrum lies among the subnormal numbers, a zero wavelength
# (division by zero, NaN everywhere), NaN in every cell, the held-out-like inputs of the
# Windows comparison and the bundled example.
# Usage: float_environment_test.sh PLAIN_HOST FAST_HOST LIBRARY SOURCE_DIR
set -u
plain=$1
fast=$2
library=$3
source=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The subnormal case first: its phase is checked below.
inputs=()
for d in "$source"/tests/fixtures/float-environment/subnormal-transmission \
         "$source"/tests/fixtures/float-environment/zero-wavelength "$source"/tests/fixtures/windows/* \
         "$source"/examples/two-rectangles; do
    inputs+=("$d/IN_FM.txt")
done
inputs+=("$source/tests/fixtures/fuzz/nan-in-every-real-cell")

# run NAME HOST OPTIONS...: copies every case into $work/NAME/ and runs them in one host.
run() {
    local name=$1 host=$2
    shift 2
    local folders=() k=0 input
    for input in "${inputs[@]}"; do
        mkdir -p "$work/$name/$k"
        cp "$input" "$work/$name/$k/IN_FM.txt"
        folders+=("$work/$name/$k")
        k=$((k + 1))
    done
    local status=0
    "$host" "$library" "$@" "${folders[@]}" >"$work/$name.log" 2>&1 || status=$?
    # 128 + n: killed by signal n (SIGFPE: a trap the run did not mask)
    [ "$status" -eq 0 ] || fail "$name: exit status $status $(tail -n +2 "$work/$name.log")"
}
environment() { head -1 "$work/$1.log"; } # the environment the host of run NAME printed

run reference "$plain"
[ "$(environment reference)" = "flush-to-zero 0 denormals-are-zero 0 rounding nearest traps 0" ] ||
    fail "the plain host does not run in the default environment: $(environment reference)"
run fast "$fast"
[ "$(environment fast)" = "flush-to-zero 1 denormals-are-zero 1 rounding nearest traps 0" ] ||
    fail "the -Ofast host does not flush subnormals to zero, so it cannot show their effect: $(environment fast)"
run upward "$plain" --round upward
run fast-downward-traps "$fast" --round downward --traps
[ "$(environment fast-downward-traps)" = "flush-to-zero 1 denormals-are-zero 1 rounding downward traps 1" ] ||
    fail "the trapping host does not run as asked: $(environment fast-downward-traps)"
run towardzero-traps "$plain" --round towardzero --traps

for name in fast upward fast-downward-traps towardzero-traps; do
    for ((k = 0; k < ${#inputs[@]}; ++k)); do
        for table in OUT_MR.xls OUT_MI.xls OUT_M.xls; do
            if ! cmp -s "$work/reference/$k/$table" "$work/$name/$k/$table"; then
                fail "$name: $table of ${inputs[$k]#"$source"/} differs from the plain host's"
            fi
        done
    done
done

# The subnormal case's spectrum at x = 0, y = 1, the frequencies (-8, -7) samples:
# transmission 3e-308 + 1e-309i (the imaginary part subnormal), X factor (1 - i)/(16 pi) for
# the edges -2.5..2, Y factor 2 sin(2.625 pi)/(14 pi) > 0 for -3..3: a subnormal value of
# phase atan(1/30) - pi/4 = -0.752077. Denormals-are-zero would read the imaginary part as 0
# (-0.785398), flush-to-zero the products as 0 (0.000000).
expected=$(awk 'BEGIN { printf "%f", atan2(1, 30) - atan2(1, 1) }')
corner=$(sed -n 4p "$work/reference/0/OUT_MI.xls" | cut -f2)
[ "$corner" = "$expected" ] || fail "the subnormal case's phase at x = 0, y = 1 is $corner, not $expected"

[ "$failures" -eq 0 ] || exit 1
echo "ok: ${#inputs[@]} inputs give the plain host's bytes under -Ofast, three other rounding modes and traps"
