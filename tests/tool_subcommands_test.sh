#!/bin/bash
# check, metrics, plot and sweep as users run them: exit codes, files left, what differs.
set -u
tool=$1
example=$2
. "$(dirname "$0")/shell_checks.sh"

# A 32-sample copy of the example keeps every run quick.
mkdir "$work/case"
sed 's/^\(grid size\t[^\t]*\t\)128/\132/' "$example/IN_FM.txt" >"$work/case/IN_FM.txt"

out=$("$tool" check "$work/case" 2>&1)
check "check: clean input" 0 $?
contains "check: lists the pitch cell" "$out" "'0.01'"
contains "check: clean input has no warnings" "$out" "no warnings"
sed 's/^\(wavelength\t[^\t]*\t\)0.193/\10/' "$work/case/IN_FM.txt" >"$work/zero-wavelength.txt"
out=$("$tool" check "$work/zero-wavelength.txt" 2>&1)
check "check: a file of another name with a warning" 1 $?
contains "check: zero wavelength" "$out" "wavelength is 0"
out=$("$tool" check --json "$work/zero-wavelength.txt" 2>&1)
check "check --json" 1 $?
contains "check --json has warnings" "$out" '"warnings": ['
contains "check --json has optics" "$out" '"pupil_radius_samples"'
"$tool" check "$work/absent" >/dev/null 2>&1
check "check: unreadable input" 2 $?

"$tool" metrics "$work/case" >/dev/null 2>&1
check "metrics before any run" 2 $?
out=$("$tool" run "$work/case" --metrics --threshold 0.3 2>&1)
check "run --metrics" 0 $?
contains "run --metrics prints the contrast" "$out" "contrast"
contains "run --metrics prints runs" "$out" "bright"
out=$("$tool" metrics "$work/case" --threshold 0.2 --axis x --at -0.1 --json 2>&1)
check "metrics --json on a moved cut" 0 $?
contains "metrics --json names the cut" "$out" '"cut_position": -0.1'
contains "metrics --json has crossings" "$out" '"nils"'
"$tool" metrics "$work/case" --at 5 >/dev/null 2>&1
check "metrics: a cut off the grid" 2 $?

"$tool" plot "$work/case" --threshold 0.3 -q
check "plot" 0 $?
for p in OUT_M.png OUT_MR.png OUT_MI.png OUT_M_cut.png; do
    [ "$(head -c 4 "$work/case/$p" | tail -c 3)" = "PNG" ] && echo "ok: $p is a PNG" || fail "$p"
done

# A focus series of three: three folders whose inputs differ from the parent only in the
# defocus cell, and a table of three rows.
out=$("$tool" sweep "$work/case" --defocus -0.1:0.1:0.1 --jobs 2 2>&1)
check "sweep" 0 $?
[ "$(ls -d "$work"/case/sweep/defocus_* | wc -l)" = 3 ] && echo "ok: three folders" || fail "three folders"
for v in -0.1 0 0.1; do
    member="$work/case/sweep/defocus_$v"
    changed=$(diff "$work/case/IN_FM.txt" "$member/IN_FM.txt" | grep '^[<>]')
    expected=$(printf '< defocus\tum\t0\n> defocus\tum\t%s' "$v")
    if [ "$v" = 0 ]; then expected=""; fi
    [ "$changed" = "$expected" ] && echo "ok: defocus $v changes only its cell" || fail "defocus $v: $changed"
    [ -s "$member/OUT_M.xls" ] && echo "ok: defocus $v ran" || fail "defocus $v did not run"
done
[ "$(wc -l <"$work/case/sweep/results.csv")" = 4 ] && echo "ok: header and three rows" || fail "results.csv rows"
contains "sweep table header" "$(head -1 "$work/case/sweep/results.csv")" "defocus,threshold,cd,status"
[ -s "$work/case/sweep/bossung.png" ] && echo "ok: Bossung picture" || fail "Bossung picture"
contains "sweep says where the table is" "$out" "3 points, 3 rows in $work/case/sweep/results.csv"
case "$out" in *measured*) fail "sweep printed the table without --print-csv" ;; *) pass "no table on stdout" ;; esac

out=$("$tool" sweep "$work/case" --defocus 0.2:0.4:0.1 --print-commands 2>/dev/null)
check "sweep --print-commands" 0 $?
[ "$(printf '%s\n' "$out" | wc -l)" = 3 ] && echo "ok: three commands" || fail "three commands: $out"
contains "commands run the member folders" "$out" "run -q $work/case/sweep/defocus_0.3"
[ ! -e "$work/case/sweep/defocus_0.3/OUT_M.xls" ] && echo "ok: nothing ran" || fail "--print-commands ran"
"$tool" sweep "$work/case" --defocus 0:1 >/dev/null 2>&1
check "sweep: malformed range" 2 $?

finish
