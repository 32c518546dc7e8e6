#!/bin/bash
# The aerial tool as users run it: exit codes, messages and the tables it leaves.
set -u
tool=$1
example=$2
. "$(dirname "$0")/shell_checks.sh"

"$tool" --help >"$work/help" 2>&1
check "--help" 0 $?
contains "--help names run" "$(cat "$work/help")" "run"
version=$("$tool" --version 2>&1)
check "--version" 0 $?
contains "--version" "$version" "aerial"
"$tool" >/dev/null 2>&1
check "no subcommand is a usage error" 2 $?
"$tool" run --bogus >/dev/null 2>&1
check "unknown option is a usage error" 2 $?

# A small copy of the example keeps the test quick; the pitch grows with it so that the
# pupil spans the same 5 samples and the source points stay apart.
case_of run grid=32 sample-pitch=0.04 >/dev/null
out=$("$tool" run "$work/run" 2>&1)
check "run" 0 $?
contains "summary names the grid" "$out" "grid 32 x 32, 2 rectangles"
contains "summary names the folder" "$out" "$work/run"
for t in $tables; do
    [ -s "$work/run/$t" ] && echo "ok: $t written" || fail "$t missing"
done

(cd "$work/run" && "$tool" run -q >"$work/quiet" 2>&1)
check "run in the current folder" 0 $?
[ ! -s "$work/quiet" ] && echo "ok: --quiet prints nothing" || fail "--quiet printed"

err=$("$tool" run "$work/absent" 2>&1)
check "missing folder" 2 $?
contains "missing folder names it" "$err" "$work/absent"

mkdir "$work/empty"
err=$("$tool" run "$work/empty" 2>&1)
check "missing input" 2 $?
contains "missing input names it" "$err" "$work/empty/$input_file"
[ -z "$(ls "$work/empty")" ] && echo "ok: nothing written" || fail "wrote into empty"

err=$("$tool" run "$work/run" --library "$work/none.so" 2>&1)
check "unloadable library" 2 $?
contains "unloadable library names it" "$err" "$work/none.so"

err=$("$tool" run "$work/run" --library /lib/x86_64-linux-gnu/libm.so.6 2>&1)
check "library without main4" 2 $?
contains "missing symbol named" "$err" "main4"

rm "$work/run/$image_table" && mkdir "$work/run/$image_table"
err=$("$tool" run "$work/run" 2>&1)
check "unwritable table" 1 $?
contains "unwritable table named" "$err" "$image_table"

# Faults of the folder, the input, the tables and the library: each a one-line message
# naming what is wrong, and no success reported for tables this run did not complete.
complete() { # table file, grid size: N + 3 lines, ending in TAB CR LF CR LF
    [ "$(tr -cd '\n' <"$1" | wc -c)" -eq $(($2 + 3)) ] &&
        [ "$(tail -c 5 "$1" | od -An -c | tr -d ' ')" = '\t\r\n\r\n' ]
}

: >"$work/plain-file"
err=$("$tool" run "$work/plain-file" 2>&1)
check "folder that is a file" 2 $?
contains "folder that is a file named" "$err" "$work/plain-file: a file; run takes the folder"

mkdir -p "$work/input-dir/$input_file"
err=$("$tool" run "$work/input-dir" 2>&1)
check "input a folder" 2 $?
contains "input a folder named" "$err" "$work/input-dir/$input_file"
[ "$(ls "$work/input-dir")" = "$input_file" ] && pass "input a folder: nothing written" || fail "input a folder: wrote tables"

err=$("$tool" run "$work/run/$input_file" 2>&1)
check "run on the input file" 2 $?
contains "run on the input file: pass its folder" "$err" "run takes the folder that holds $input_file (aerial run $work/run)"

if [ "$(id -u)" -ne 0 ]; then
    mkdir "$work/locked" && cp "$work/run/$input_file" "$work/locked/" && chmod 555 "$work/locked"
    err=$("$tool" run "$work/locked" 2>&1)
    check "folder not writable" 1 $?
    contains "folder not writable named" "$err" "folder is not writable"
    for t in $tables; do contains "folder not writable names $t" "$err" "$t"; done
    chmod 755 "$work/locked"
else
    echo "skip: folder not writable (running as root, every folder is writable)"
fi

# A folder named like the first table: the other two are still written, and only it is named.
mkdir "$work/first" && cp "$work/run/$input_file" "$work/first/" && mkdir "$work/first/$spectrum_amplitude_table"
err=$("$tool" run "$work/first" 2>&1)
check "first table a folder" 1 $?
contains "first table a folder named" "$err" "$spectrum_amplitude_table: a folder has the table's name"
case "$err" in *"$spectrum_phase_table"* | *"$image_table"*) fail "first table a folder: other tables reported" ;; *) pass "first table a folder: only it reported" ;; esac
complete "$work/first/$spectrum_phase_table" 32 && complete "$work/first/$image_table" 32 &&
    pass "first table a folder: the others complete" || fail "first table a folder: the others incomplete"

# Tables cut short by a file size limit (as by a full disk) are not reported as written.
mkdir "$work/short" && cp "$work/run/$input_file" "$work/short/"
err=$(trap '' XFSZ; ulimit -f 4; "$tool" run "$work/short" 2>&1)
check "tables cut short" 1 $?
for t in $tables; do contains "cut short names $t" "$err" "$t: table is incomplete"; done

printf 'not a library\n' >"$work/text.so"
err=$("$tool" run "$work/run" --library "$work/text.so" 2>&1)
check "library that is a text file" 2 $?
contains "library that is a text file named" "$err" "cannot load library $work/text.so"
err=$("$tool" run "$work/run" --library "$work" 2>&1)
check "library that is a folder" 2 $?
contains "library that is a folder named" "$err" "cannot load library $work"

# A run killed during imaging leaves both finished spectrum tables complete and exactly as
# a whole run writes them, and the input untouched.
case_of killed grid=96 >/dev/null
mkdir "$work/whole" && cp "$work/killed/$input_file" "$work/whole/" && cp "$work/killed/$input_file" "$work/killed-input"
"$tool" run -q "$work/killed" &
pid=$!
for _ in $(seq 1 3000); do
    [ -f "$work/killed/$spectrum_phase_table" ] && complete "$work/killed/$spectrum_phase_table" 96 && break
    sleep 0.01
done
kill -KILL "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ -e "$work/killed/$image_table" ] && echo "note: the run ended before it was killed"
"$tool" run -q "$work/whole"
check "whole run" 0 $?
for t in "$spectrum_amplitude_table" "$spectrum_phase_table"; do
    cmp -s "$work/killed/$t" "$work/whole/$t" && pass "killed run: $t complete" || fail "killed run: $t differs"
done
cmp -s "$work/killed/$input_file" "$work/killed-input" &&
    pass "killed run: input untouched" || fail "killed run: input modified"

# What check knows, run says: each warning on stderr, and it runs anyway unless --strict.
comma=$(case_of comma grid=32 sample-pitch=0.04 sigma=0,5)
out=$("$tool" run -q "$comma" 2>"$work/comma-err")
check "run with a warning" 0 $?
err=$(cat "$work/comma-err")
contains "run warns of the comma" "$err" "warning: line"
contains "run names the cell text" "$err" "only '0' of '0,5' is read"
contains "run points to the whole report" "$err" "\`aerial check $comma\` gives the whole report"
[ "$(wc -l <"$work/comma-err")" -eq 2 ] && pass "run: one line a warning and one for the report" ||
    fail "run: $(wc -l <"$work/comma-err") lines of warnings"
[ -z "$out" ] && pass "run -q: warnings only on stderr" || fail "run -q printed: $out"
for t in $tables; do complete "$comma/$t" 32 && pass "run with a warning writes $t" || fail "run with a warning: $t"; done
strict=$(case_of strict grid=32 sample-pitch=0.04 sigma=0,5)
err=$("$tool" run --strict "$strict" 2>&1)
check "run --strict with a warning" 2 $?
contains "run --strict says why" "$err" "--strict: not run"
[ "$(ls "$strict")" = "$input_file" ] && pass "run --strict: no table written" || fail "run --strict wrote: $(ls "$strict")"
"$tool" run --strict -q "$(case_of clean grid=32 sample-pitch=0.04)"
check "run --strict on a clean input" 0 $?
err=$("$tool" run -q --no-check "$comma" 2>&1)
check "run --no-check" 0 $?
[ -z "$err" ] && pass "run --no-check: no warnings" || fail "run --no-check printed: $err"

mkdir "$work/spaces" && tr '\t' ' ' <"$work/run/$input_file" >"$work/spaces/$input_file"
out=$("$tool" check "$work/spaces" 2>&1)
check "check: spaces instead of TABs" 1 $?
contains "check says no TAB was found" "$out" "no TAB anywhere in the file"
# A file without TABs holds no value: run refuses it in check's words, --no-check runs it.
words=$(sed -n 's/^ *\(no TAB anywhere.*\)$/\1/p' <<<"$out")
[ -n "$words" ] || fail "check's words on the missing TABs: $out"
err=$("$tool" run -q "$work/spaces" 2>&1)
check "run: spaces instead of TABs" 2 $?
contains "run refuses in check's words" "$err" "not run: $words"
contains "run names the way past it" "$err" "--no-check"
[ ! -e "$work/spaces/$image_table" ] && pass "run: no table of a file without TABs" || fail "run wrote a table"
"$tool" run -q --no-check "$work/spaces" 2>/dev/null
check "run --no-check: a file without TABs runs as it is" 0 $?
out=$("$tool" sweep "$work/spaces" --vary sigma=0.5,0.6 -q 2>&1)
check "sweep: a file without TABs" 2 $?
contains "sweep refuses in check's words" "$out" "not run: $words"

# The unit column left out: the value sits where the unit goes and the value cell is empty.
unitless=$(case_of unitless grid=32 sample-pitch=0.04)
sed -i 's/^sigma\t\t0.5$/sigma\t0.5/' "$unitless/$input_file"
grep -q "^sigma.0.5$" "$unitless/$input_file" || fail "the unitless fixture: $(grep ^sigma "$unitless/$input_file")"
out=$("$tool" check "$unitless" 2>&1)
check "check: the unit column left out" 1 $?
contains "check says where the value went" "$out" "the value is in column 1 ('0.5'): is the unit column missing?"
"$tool" run -q --strict "$unitless" 2>/dev/null
check "run --strict: the unit column left out" 2 $?

# Control characters of the input reach the terminal escaped.
bell=$(case_of bell grid=32 sample-pitch=0.04 sigma=$'0.5\e[31m\a')
for args in "check $bell" "run -q $bell"; do
    out=$("$tool" $args 2>&1)
    contains "$args: the escape shown as \\x1b" "$out" '\x1b[31m\x07'
    [[ $out != *$'\e'* && $out != *$'\a'* ]] && pass "$args: no control byte printed" || fail "$args printed ESC or BEL"
done
# Bytes that are not UTF-8: escaped in text, replaced in JSON (which cannot hold them).
latin=$(case_of latin grid=32 sample-pitch=0.04 sigma=$'0.5\xb5')
contains "check: a byte that is not UTF-8 escaped" "$("$tool" check "$latin" 2>&1)" "'0.5\xb5'"
out=$("$tool" check --json "$latin")
check "check --json: a cell that is not UTF-8" 1 $?
python3 -c 'import json, sys; assert json.load(sys.stdin)["parameters"][4]["cell"] == "0.5\ufffd"' <<<"$out" &&
    pass "check --json: valid JSON, the byte replaced" || fail "check --json: $out"

"$tool" run "$work/run" --json >/dev/null 2>&1
check "run --json without --metrics" 2 $?
err=$("$tool" run "$work/run" --threshold 0.3 2>&1)
check "run --threshold without --metrics" 2 $?
contains "run --threshold needs --metrics" "$err" "requires --metrics"

finish
