#!/bin/bash
# check, metrics, plot and sweep as users run them: exit codes, files left, what differs.
set -u
tool=$1
example=$2
. "$(dirname "$0")/shell_checks.sh"

# A 32-sample copy of the example keeps every run quick; the pitch grows with it so that
# the pupil spans the same 5 samples and the source points stay apart.
case_of case grid=32 sample-pitch=0.04 >/dev/null

out=$("$tool" check "$work/case" 2>&1)
check "check: clean input" 0 $?
contains "check: lists the pitch cell" "$out" "'0.04'"
contains "check: clean input has no warnings" "$out" "no warnings"
contains "check: the rounded source is a note" "$out" "effective sigma"
contains "check: the Rayleigh unit is not called a depth of focus" "$out" "Rayleigh focus unit"
lacks "check: no 'depth of focus' figure" "$out" "depth of focus  "
cp "$work/case/$input_file" "$work/zero-wavelength.txt"
"$tool" set "$work/zero-wavelength.txt" wavelength=0
check "set: a file of another name" 0 $?
out=$("$tool" check "$work/zero-wavelength.txt" 2>&1)
check "check: a file of another name with a warning" 1 $?
contains "check: zero wavelength" "$out" "wavelength is 0"
out=$("$tool" check --json "$work/zero-wavelength.txt" 2>&1)
check "check --json" 1 $?
contains "check --json has warnings" "$out" '"warnings": ['
contains "check --json has optics" "$out" '"pupil_radius_samples"'
cp "$work/case/$input_file" "$work/infinite.txt"
"$tool" set "$work/infinite.txt" defocus=inf shift-x=nan ax1=-inf
out=$("$tool" check --json "$work/infinite.txt" 2>&1)
contains "check --json writes inf as a string" "$out" '"value": "inf"'
contains "check --json writes nan as a string" "$out" '"value": "nan"'
contains "check --json writes -inf as a string" "$out" '"value": "-inf"'
"$tool" check "$work/absent" >/dev/null 2>&1
check "check: unreadable input" 2 $?

# set: named cells only, and an unknown name changes nothing.
cp "$work/case/$input_file" "$work/before.txt"
err=$("$tool" set "$work/case" sigma=0.5 bogus=1 2>&1)
check "set: unknown name" 2 $?
contains "set: unknown name lists the names" "$err" "sigma shift-x shift-y defocus ax1"
cmp -s "$work/case/$input_file" "$work/before.txt" && pass "set: unknown name changes nothing" ||
    fail "set: unknown name changed the file"
"$tool" set "$work/case" >/dev/null 2>&1
check "set: nothing to set" 2 $?
contains "set --list names the cells" "$layout" "defocus"

err=$("$tool" metrics "$work/case" 2>&1)
check "metrics before any run" 2 $?
contains "metrics before any run: run first" "$err" "run first (aerial run $work/case)"
err=$("$tool" plot "$work/case" 2>&1)
check "plot before any run" 2 $?
contains "plot before any run: run first" "$err" "run first (aerial run $work/case)"
out=$("$tool" run "$work/case" --metrics --threshold 0.3 2>&1)
check "run --metrics" 0 $?
contains "run --metrics prints the contrast" "$out" "contrast"
contains "run --metrics prints runs" "$out" "bright"
out=$("$tool" metrics "$work/case" --threshold 0.2 --axis x --at -0.12 --json 2>&1)
check "metrics --json on a moved cut" 0 $?
contains "metrics --json names the cut" "$out" '"cut_position": -0.12'
contains "metrics --json has crossings" "$out" '"nils"'
"$tool" metrics "$work/case" --at 5 >/dev/null 2>&1
check "metrics: a cut off the grid" 2 $?
err=$("$tool" metrics "$work/case" --threshold -1 2>&1)
check "metrics: a threshold out of range" 2 $?
contains "metrics: the range in one line" "$err" "--threshold: must be a finite intensity above 0, got '-1'"

# The continuous image needs 2 floor(R) below N/2: at 16 samples of 0.1 um the pupil radius
# is 0.75 x 0.1 x 16 / 0.193 = 6.2 samples and the degree 12 is not below 8, so the cut is
# measured on its samples, and every output says so.
coarse=$(case_of coarse grid=16 sample-pitch=0.1)
out=$("$tool" run "$coarse" --metrics --threshold 0.3 2>&1)
contains "metrics says sampled and why" "$out" "image      sampled (2 floor(R) = 12, R = 6.218, is not below N/2 = 8)"
contains "metrics --json says sampled" "$("$tool" metrics "$coarse" --threshold 0.3 --json)" '"image": "sampled"'
contains "metrics --json: continuous otherwise" "$("$tool" metrics "$work/case" --json)" '"image": "continuous"'
"$tool" sweep "$coarse" --defocus 0:0.1:0.1 -q 2>/dev/null
contains "sweep says sampled" "$(sed -n 2p "$coarse/sweep/results.csv")" ",sampled"

# Tables older than the input: measured, with a warning.
stale=$(case_of stale grid=32 sample-pitch=0.04)
"$tool" run -q "$stale"
touch -d @$(($(date +%s) + 60)) "$stale/$input_file"
err=$("$tool" metrics "$stale" 2>&1 >/dev/null)
check "metrics on tables older than the input" 0 $?
contains "metrics warns of older tables" "$err" "older than $stale/$input_file"

"$tool" plot "$work/case" --threshold 0.3 -q
check "plot" 0 $?
for t in $tables; do
    p=${t%.*}.png
    [ "$(head -c 4 "$work/case/$p" | tail -c 3)" = "PNG" ] && echo "ok: $p is a PNG" || fail "$p"
done
p=${image_table%.*}_cut.png
[ "$(head -c 4 "$work/case/$p" | tail -c 3)" = "PNG" ] && echo "ok: $p is a PNG" || fail "$p"
mkdir "$stale/${image_table%.*}.png"
err=$("$tool" plot -q "$stale" 2>&1)
check "plot: a picture that cannot be written" 2 $?
contains "plot says why it cannot write" "$err" "cannot write: Is a directory"

# A focus series of three: three folders whose inputs differ from the parent only in the
# defocus cell, and a table of three rows.
out=$("$tool" sweep "$work/case" --defocus -0.1:0.1:0.1 --jobs 2 2>&1)
check "sweep" 0 $?
[ "$(ls -d "$work"/case/sweep/defocus_* | wc -l)" = 3 ] && echo "ok: three folders" || fail "three folders"
for v in -0.1 0 0.1; do
    member="$work/case/sweep/defocus_$v"
    changed=$(diff "$work/case/$input_file" "$member/$input_file" | grep '^[<>]')
    expected=$(printf '< defocus\tum\t0\n> defocus\tum\t%s' "$v")
    if [ "$v" = 0 ]; then expected=""; fi
    [ "$changed" = "$expected" ] && echo "ok: defocus $v changes only its cell" || fail "defocus $v: $changed"
    [ -s "$member/$image_table" ] && echo "ok: defocus $v ran" || fail "defocus $v did not run"
done
[ "$(wc -l <"$work/case/sweep/results.csv")" = 4 ] && echo "ok: header and three rows" || fail "results.csv rows"
contains "sweep table header" "$(head -1 "$work/case/sweep/results.csv")" "defocus,threshold,cd,status"
[ -s "$work/case/sweep/bossung.png" ] && echo "ok: Bossung picture" || fail "Bossung picture"
contains "sweep says where the table is" "$out" "3 points, 3 rows in $work/case/sweep/results.csv"
case "$out" in *measured*) fail "sweep printed the table without --print-csv" ;; *) pass "no table on stdout" ;; esac

out=$("$tool" sweep "$work/case" --defocus 0.2:0.4:0.1 --print-commands 2>/dev/null)
check "sweep --print-commands" 0 $?
[ "$(printf '%s\n' "$out" | wc -l)" = 3 ] && echo "ok: three commands" || fail "three commands: $out"
contains "commands run the member folders" "$out" "run -q --no-check $work/case/sweep/defocus_0.3"
[ ! -e "$work/case/sweep/defocus_0.3/$image_table" ] && echo "ok: nothing ran" || fail "--print-commands ran"
"$tool" sweep "$work/case" --defocus 0:1 >/dev/null 2>&1
check "sweep: malformed range" 2 $?

finish
