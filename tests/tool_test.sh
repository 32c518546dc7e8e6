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

# A small copy of the example keeps the test quick.
mkdir "$work/run"
sed 's/^\(grid size\t[^\t]*\t\)128/\132/' "$example/IN_FM.txt" >"$work/run/IN_FM.txt"
out=$("$tool" run "$work/run" 2>&1)
check "run" 0 $?
contains "summary names the grid" "$out" "grid 32 x 32, 2 rectangles"
contains "summary names the folder" "$out" "$work/run"
for t in OUT_MR.xls OUT_MI.xls OUT_M.xls; do
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
contains "missing input names it" "$err" "$work/empty/IN_FM.txt"
[ -z "$(ls "$work/empty")" ] && echo "ok: nothing written" || fail "wrote into empty"

err=$("$tool" run "$work/run" --library "$work/none.so" 2>&1)
check "unloadable library" 2 $?
contains "unloadable library names it" "$err" "$work/none.so"

err=$("$tool" run "$work/run" --library /lib/x86_64-linux-gnu/libm.so.6 2>&1)
check "library without main4" 2 $?
contains "missing symbol named" "$err" "main4"

rm "$work/run/OUT_M.xls" && mkdir "$work/run/OUT_M.xls"
err=$("$tool" run "$work/run" 2>&1)
check "unwritable table" 1 $?
contains "unwritable table named" "$err" "OUT_M.xls"

# Faults of the folder, the input, the tables and the library: each a one-line message
# naming what is wrong, and no success reported for tables this run did not complete.
complete() { # table file, grid size: N + 3 lines, ending in TAB CR LF CR LF
    [ "$(tr -cd '\n' <"$1" | wc -c)" -eq $(($2 + 3)) ] &&
        [ "$(tail -c 5 "$1" | od -An -c | tr -d ' ')" = '\t\r\n\r\n' ]
}

: >"$work/plain-file"
err=$("$tool" run "$work/plain-file" 2>&1)
check "folder that is a file" 2 $?
contains "folder that is a file named" "$err" "$work/plain-file: not a folder"

mkdir -p "$work/input-dir/IN_FM.txt"
err=$("$tool" run "$work/input-dir" 2>&1)
check "IN_FM.txt a folder" 2 $?
contains "IN_FM.txt a folder named" "$err" "$work/input-dir/IN_FM.txt"
[ "$(ls "$work/input-dir")" = "IN_FM.txt" ] && pass "IN_FM.txt a folder: nothing written" || fail "IN_FM.txt a folder: wrote tables"

if [ "$(id -u)" -ne 0 ]; then
    mkdir "$work/locked" && cp "$work/run/IN_FM.txt" "$work/locked/" && chmod 555 "$work/locked"
    err=$("$tool" run "$work/locked" 2>&1)
    check "folder not writable" 1 $?
    contains "folder not writable named" "$err" "folder is not writable"
    for t in OUT_MR.xls OUT_MI.xls OUT_M.xls; do contains "folder not writable names $t" "$err" "$t"; done
    chmod 755 "$work/locked"
else
    echo "skip: folder not writable (running as root, every folder is writable)"
fi

# A folder named like the first table: the other two are still written, and only it is named.
mkdir "$work/first" && cp "$work/run/IN_FM.txt" "$work/first/" && mkdir "$work/first/OUT_MR.xls"
err=$("$tool" run "$work/first" 2>&1)
check "first table a folder" 1 $?
contains "first table a folder named" "$err" "OUT_MR.xls: a folder has the table's name"
case "$err" in *OUT_MI.xls* | *OUT_M.xls*) fail "first table a folder: other tables reported" ;; *) pass "first table a folder: only it reported" ;; esac
complete "$work/first/OUT_MI.xls" 32 && complete "$work/first/OUT_M.xls" 32 &&
    pass "first table a folder: the others complete" || fail "first table a folder: the others incomplete"

# Tables cut short by a file size limit (as by a full disk) are not reported as written.
mkdir "$work/short" && cp "$work/run/IN_FM.txt" "$work/short/"
err=$(trap '' XFSZ; ulimit -f 4; "$tool" run "$work/short" 2>&1)
check "tables cut short" 1 $?
for t in OUT_MR.xls OUT_MI.xls OUT_M.xls; do contains "cut short names $t" "$err" "$t: table is incomplete"; done

printf 'not a library\n' >"$work/text.so"
err=$("$tool" run "$work/run" --library "$work/text.so" 2>&1)
check "library that is a text file" 2 $?
contains "library that is a text file named" "$err" "cannot load library $work/text.so"
err=$("$tool" run "$work/run" --library "$work" 2>&1)
check "library that is a folder" 2 $?
contains "library that is a folder named" "$err" "cannot load library $work"

# A run killed during imaging leaves both finished spectrum tables complete and exactly as
# a whole run writes them, and the input untouched.
mkdir "$work/killed" "$work/whole"
sed 's/^\(grid size\t[^\t]*\t\)128/\196/' "$example/IN_FM.txt" >"$work/killed/IN_FM.txt"
cp "$work/killed/IN_FM.txt" "$work/whole/IN_FM.txt"
"$tool" run -q "$work/killed" &
pid=$!
for _ in $(seq 1 3000); do
    [ -f "$work/killed/OUT_MI.xls" ] && complete "$work/killed/OUT_MI.xls" 96 && break
    sleep 0.01
done
kill -KILL "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ -e "$work/killed/OUT_M.xls" ] && echo "note: the run ended before it was killed"
"$tool" run -q "$work/whole"
check "whole run" 0 $?
for t in OUT_MR.xls OUT_MI.xls; do
    cmp -s "$work/killed/$t" "$work/whole/$t" && pass "killed run: $t complete" || fail "killed run: $t differs"
done
cmp -s "$work/killed/IN_FM.txt" "$work/whole/IN_FM.txt" &&
    [ "$(cat "$work/killed/IN_FM.txt")" = "$(sed 's/^\(grid size\t[^\t]*\t\)128/\196/' "$example/IN_FM.txt")" ] &&
    pass "killed run: input untouched" || fail "killed run: input modified"

finish
