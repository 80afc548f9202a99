#!/usr/bin/env bash
# The check that decides whether the test run runs the 32-bit Windows suite takes both
# branches: a loader that cannot start (refused by the kernel, or missing) means the suite is
# left out, one that starts means it runs.
#   wine_detection_test.sh <source dir>
set -euo pipefail
source "$1/scripts/wine.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Bytes no kernel runs: exec fails with "Exec format error", as it does for every 32-bit
# program on a machine whose kernel refuses them.
printf '\177ELF\001\000\000\000refused' >"$scratch/refused"
chmod +x "$scratch/refused"

expect() {
    local loader=$1 want=$2 got
    got=$(WINE32_LOADER=$loader win32_suite_runs)
    if [ "$got" != "$want" ]; then
        echo "win32_suite_runs with $loader: $got, expected $want" >&2
        exit 1
    fi
}
expect "$scratch/refused" no
expect "$scratch/missing" no
expect "$(command -v env)" yes
echo "On this machine the 32-bit suite runs: $(win32_suite_runs)"
