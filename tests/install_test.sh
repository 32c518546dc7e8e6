#!/bin/bash
# The installed tree as hosts use it. cmake --install puts it in a staging folder, which is
# then moved, so nothing may depend on the prefix it was installed to. From the moved tree
# the installed tool, a C++ host found with find_package and a C host built with pkg-config
# each run main4 on a bundled example, and a C++ and a C host of the engine (find_package,
# pkg-config aerial-engine) write the tables from a run in memory; all five must leave the
# same tables. The installed Python module imports.
# Usage: install_test.sh CMAKE BUILD_DIR SOURCE_DIR VERSION   (the project's, e.g. 1.0.0)
set -u
cmake=$1
build=$2
source=$3
version=$4
major=${version%%.*}
example=$source/examples/python/contact-holes
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

ok() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
must() { # description, command...: a failed step stops the test with its output
    local what=$1
    shift
    if "$@" >"$work/step.log" 2>&1; then
        ok "$what"
    else
        cat "$work/step.log"
        echo "FAIL: $what"
        exit 1
    fi
}
case_folder() { # name: a fresh copy of the example
    mkdir "$work/$1" && cp "$example/$input_file" "$work/$1/" && echo "$work/$1"
}

must "cmake --install" "$cmake" --install "$build" --prefix "$work/staging"
mv "$work/staging" "$work/prefix"
prefix=$work/prefix

pc=$(find "$prefix" -name aerial.pc)
libdir=$(dirname "$(dirname "$pc")")
for file in bin/aerial include/aerial/main4.h include/aerial/engine.h include/aerial/engine.hpp \
    include/aerial/input_values.hpp "${libdir#"$prefix"/}/libaerial.so.$version" \
    "${libdir#"$prefix"/}/libaerial-engine.so.$version" "${libdir#"$prefix"/}/pkgconfig/aerial-engine.pc" \
    "${libdir#"$prefix"/}/cmake/aerial/aerialConfig.cmake"; do
    [ -e "$prefix/$file" ] && ok "installed $file" || fail "$file not installed"
done
soname=$(readelf -d "$libdir/libaerial.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libaerial.so.$major" ] && ok "soname $soname" || fail "soname '$soname'"

tool_version=$("$prefix/bin/aerial" --version 2>&1)
[ "$tool_version" = "aerial $version" ] && ok "tool version $version" || fail "tool version '$tool_version'"
config_version="$libdir/cmake/aerial/aerialConfigVersion.cmake"
grep -q "set(PACKAGE_VERSION \"$version\")" "$config_version" && ok "CMake package version $version" ||
    fail "CMake package version not $version"

# The file names of a run, as the installed tool states them.
layout=$("$prefix/bin/aerial" set --list)
read -r _ input_file <<<"$(grep '^input ' <<<"$layout")"
read -r _ tables <<<"$(grep '^tables ' <<<"$layout")"
[ -n "$input_file" ] && [ -n "$tables" ] && ok "file names from the installed tool" || fail "no file names in: $layout"

tool_case=$(case_folder tool)
must "installed tool finds the installed library" "$prefix/bin/aerial" run "$tool_case"

must "find_package(aerial) host configures" \
    "$cmake" -S "$source/examples/cpp-host" -B "$work/cpp-build" -DCMAKE_PREFIX_PATH="$prefix"
must "find_package(aerial) host builds" "$cmake" --build "$work/cpp-build"
cpp_case=$(case_folder cpp)
must "find_package(aerial) host runs" "$work/cpp-build/run_main4" "$cpp_case"
cpp_engine_case=$(case_folder cpp-engine)
must "find_package(aerial) engine host runs" env LD_LIBRARY_PATH="$libdir" "$work/cpp-build/run_engine" "$cpp_engine_case"

export PKG_CONFIG_PATH=$libdir/pkgconfig
pc_version=$(pkg-config --modversion aerial)
[ "$pc_version" = "$version" ] && ok "pkg-config version $pc_version" || fail "pkg-config version '$pc_version'"
# shellcheck disable=SC2046 # the flags are meant to split into words
must "pkg-config host builds" cc -Wall -Wextra -Werror -o "$work/c-host" \
    "$source/examples/c-host/run_main4.c" $(pkg-config --cflags --libs aerial)
c_case=$(case_folder c)
must "pkg-config host runs" env LD_LIBRARY_PATH="$libdir" "$work/c-host" "$c_case"
# shellcheck disable=SC2046
must "pkg-config engine host builds" cc -Wall -Wextra -Werror -o "$work/c-engine-host" \
    "$source/examples/c-host/run_engine.c" $(pkg-config --cflags --libs aerial-engine)
c_engine_case=$(case_folder c-engine)
must "pkg-config engine host runs" env LD_LIBRARY_PATH="$libdir" "$work/c-engine-host" "$c_engine_case"

python_dir=$(find "$prefix" -path '*/dist-packages/aerial*.so' -exec dirname {} \; | head -1)
if [ -n "$python_dir" ]; then
    must "installed Python module imports" env PYTHONPATH="$python_dir" /usr/bin/python3 -c "import aerial"
else
    fail "Python module not installed"
fi

for table in $tables; do
    if [ ! -s "$tool_case/$table" ]; then
        fail "$table not written by the installed tool"
    elif cmp -s "$tool_case/$table" "$cpp_case/$table" && cmp -s "$tool_case/$table" "$c_case/$table" &&
        cmp -s "$tool_case/$table" "$cpp_engine_case/$table" && cmp -s "$tool_case/$table" "$c_engine_case/$table"; then
        ok "$table the same from all five hosts"
    else
        fail "$table differs between the hosts"
    fi
done

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
