#!/bin/bash
# The library's sources refuse to compile with any value-changing floating-point option,
# passed outside the project's own flags (as another build system would pass them): each
# part of fast-math on its own, and fast-math itself. The project's flags alone compile.
# Options the compiler does not announce by a macro (Clang names only finite-math-only and
# fast-math) cannot be seen by the sources and are reported as not checked.
# Usage: precision_guard_test.sh CXX SOURCE_DIR
set -u
cxx=$1
source=$2
failures=0
sources=(src/optics/line_transform.cpp src/output/format_number.cpp)
compile() { # flags...: syntax-checks every source of the list, stderr to $log
    local s
    for s in "${sources[@]}"; do
        "$cxx" -std=c++20 -I"$source/src" -I"$source/include" "$@" -fsyntax-only "$source/$s" || return 1
    done
}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

if ! compile -ffp-contract=off -fno-fast-math 2>"$log"; then
    cat "$log"
    echo "FAIL: the sources do not compile with the project's own flags"
    exit 1
fi

# flags | the macro they define | a part of the guard's message
checks=(
    "-ffinite-math-only|__FINITE_MATH_ONLY__ 1|-ffinite-math-only"
    "-fno-signed-zeros|__NO_SIGNED_ZEROS__|-fno-signed-zeros"
    "-fassociative-math -fno-signed-zeros -fno-trapping-math|__ASSOCIATIVE_MATH__|-fassociative-math"
    "-freciprocal-math|__RECIPROCAL_MATH__|-freciprocal-math"
    "-ffast-math|__FAST_MATH__|fast-math"
)
for check in "${checks[@]}"; do
    IFS='|' read -r flags macro message <<<"$check"
    # shellcheck disable=SC2086 # the flags are separate words
    if ! echo | "$cxx" $flags -dM -E -x c++ - | grep -q "#define $macro"; then
        echo "not checked: $cxx announces no macro for $flags"
        continue
    fi
    # shellcheck disable=SC2086
    for s in "${sources[@]}"; do
        if "$cxx" -std=c++20 -I"$source/src" -I"$source/include" $flags -fsyntax-only "$source/$s" 2>"$log"; then
            echo "FAIL: $s compiles with $flags"
            failures=$((failures + 1))
        elif ! grep -q -e "#error" -e "error: #error" "$log" || ! grep -q -- "$message" "$log"; then
            cat "$log"
            echo "FAIL: $s fails with $flags, but not at the guard"
            failures=$((failures + 1))
        else
            echo "ok: $s stops at the guard with $flags"
        fi
    done
done
[ "$failures" -eq 0 ]
