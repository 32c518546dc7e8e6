# Shared by the tool's shell tests: a scratch folder, a failure count and its checks, and
# the file names of a run as the tool states them (aerial set --list), so no test spells
# them out. Source it after setting tool and example; end the test with `finish`.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

pass() { echo "ok: $1"; }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
check() { [ "$2" = "$3" ] && echo "ok: $1" || fail "$1: exit status $3, expected $2"; }
contains() { case "$2" in *"$3"*) echo "ok: $1" ;; *) fail "$1: output lacks '$3' in: $2" ;; esac; }
lacks() { case "$2" in *"$3"*) fail "$1: output has '$3' in: $2" ;; *) echo "ok: $1" ;; esac; }
finish() { [ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }; }

layout=$("$tool" set --list) || { echo "FAIL: aerial set --list"; exit 1; }
read -r _ input_file <<<"$(grep '^input ' <<<"$layout")"
read -r _ spectrum_amplitude_table spectrum_phase_table image_table <<<"$(grep '^tables ' <<<"$layout")"
tables="$spectrum_amplitude_table $spectrum_phase_table $image_table"
[ -n "$input_file" ] && [ -n "$image_table" ] || { echo "FAIL: no file names in: $layout"; exit 1; }

# A copy of the example in a new folder under $work, with the named cells changed:
# case_of NAME [NAME=VALUE ...] prints the folder.
case_of() {
    local dir="$work/$1"
    shift
    mkdir -p "$dir" && cp "$example/$input_file" "$dir/" &&
        { [ $# -eq 0 ] || "$tool" set --any-text "$dir" "$@"; } && echo "$dir"
}
