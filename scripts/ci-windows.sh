#!/usr/bin/env bash
# The Windows build as Windows hosts get it: aerial.dll cross-built with MinGW-w64, linked
# statically so it needs only system DLLs, exporting exactly main4. Under wine a host that
# uses LoadLibrary and GetProcAddress runs it on the bundled examples, and its tables are
# compared with the Linux build's: the same layout bytes, numbers within 1e-6.
# Usage: scripts/ci-windows.sh [LINUX_BUILD_DIR]   (default: build, as `make build` leaves it)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
linux_build=${1:-build}
mingw_build=build-mingw

scripts/install-deps.sh g++-mingw-w64-x86-64-win32 wine64 wine

step() { echo "== $* ($SECONDS s)"; }

step "cross-build aerial.dll"
cmake --no-warn-unused-cli -S . -B "$mingw_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DAERIAL_BUILD_TESTS=OFF -DAERIAL_BUILD_TOOL=OFF >/dev/null
cmake --build "$mingw_build" -j2 --target aerial
dll=$source_dir/$mingw_build/bin/aerial.dll
host=$source_dir/$mingw_build/main4_host.exe
x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -Werror -static -o "$host" examples/windows-host/main4_host.c

step "export and import tables"
x86_64-w64-mingw32-objdump -p "$dll" >"$mingw_build/aerial.dll.headers"
exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {exit} on {print $NF}' \
    "$mingw_build/aerial.dll.headers")
if [ "$exports" != main4 ]; then
    echo "FAIL: aerial.dll exports '$exports', not exactly main4"
    exit 1
fi
echo "ok: aerial.dll exports exactly main4"
for file in "$dll" "$host"; do
    imports=$(x86_64-w64-mingw32-objdump -p "$file" | awk '/DLL Name:/ {print $3}' | sort -u | tr '\n' ' ')
    for name in $imports; do
        case "${name,,}" in
        kernel32.dll | msvcrt.dll) ;;
        *) echo "FAIL: $(basename "$file") needs $name, not a system DLL"; exit 1 ;;
        esac
    done
    echo "ok: $(basename "$file") needs only $imports"
done

step "Linux runs"
tool=$linux_build/bin/aerial
if [ ! -x "$tool" ]; then
    cmake -S . -B "$linux_build" >/dev/null
    cmake --build "$linux_build" -j2 --target aerial_tool
fi
work=$(mktemp -d)
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The third case holds the contact-hole input with CR LF line ends and a 0x1A byte in its
# first line: a reader in text mode would stop there on Windows and see no grid at all.
mkdir -p "$work/cases/two-rectangles" "$work/cases/contact-holes" "$work/cases/crlf-ctrl-z"
cp examples/two-rectangles/IN_FM.txt "$work/cases/two-rectangles/"
cp examples/python/contact-holes/IN_FM.txt "$work/cases/contact-holes/"
sed -e '1s/^/title \x1a /' -e 's/$/\r/' examples/python/contact-holes/IN_FM.txt >"$work/cases/crlf-ctrl-z/IN_FM.txt"
head -c 8 "$work/cases/crlf-ctrl-z/IN_FM.txt" | od -c | grep -q '032' || { echo "FAIL: no 0x1A in the case"; exit 1; }
cases=(two-rectangles contact-holes crlf-ctrl-z)
for name in "${cases[@]}"; do
    for side in linux windows; do
        mkdir "$work/$side-$name"
        cp "$work/cases/$name/IN_FM.txt" "$work/$side-$name/"
    done
    "$tool" run "$work/linux-$name"
done
for table in OUT_MR.xls OUT_MI.xls OUT_M.xls; do
    cmp "$work/linux-contact-holes/$table" "$work/linux-crlf-ctrl-z/$table"
done
echo "ok: CR LF and 0x1A leave the Linux tables as they were"

step "wine runs"
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }
for name in "${cases[@]}"; do
    start=$SECONDS
    if ! wine "$host" "$(windows_path "$dll")" "$(windows_path "$work/windows-$name")" \
        >"$work/wine.log" 2>&1; then
        cat "$work/wine.log"
        echo "FAIL: main4_host.exe on $name"
        exit 1
    fi
    echo "ok: wine main4_host.exe aerial.dll on $name ($((SECONDS - start)) s)"
done

step "compare"
pairs=()
for name in "${cases[@]}"; do pairs+=("$work/linux-$name" "$work/windows-$name"); done
python3 scripts/compare_tables.py "${pairs[@]}"
