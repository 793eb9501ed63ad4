#!/usr/bin/env bash
# verada-rede-cli against input it cannot trust: each case must end at once (no hang on a FIFO or
# a device, no abort), in one line "verada-rede-cli: <message>" naming the problem, status 1.
# Usage: untrusted_input.sh CLI
set -uo pipefail
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export TMPDIR=$work/tmp
unset XDG_RUNTIME_DIR
mkdir tmp
mkfifo fifo.hid
truncate -s $(((64 << 20) + 1)) huge.hid
header=$'R: 6 06 a0 ff 09 01 c0\nI: 3 11d2 0001\n'
printf '%sE: -0.5 8 41 42 43 44 45 46 47 48\n' "$header" >negative.hid
printf '%sE: 0.5 8 %s\n' "$header" "$(head -c 70000 /dev/zero | tr '\0' 4)" >long.hid
printf '%s' "$header" >quiet.hid
own=tmp/verada-rede-$(id -u)/vrtemp.csv

failures=0
check() {  # check EXPECTED-TEXT ARGS...
    local why=$1
    shift
    local err status
    err=$(timeout 10 "$cli" "$@" 2>&1 >/dev/null)
    status=$?
    if [ "$status" -ne 1 ] || [ "$(printf '%s\n' "$err" | wc -l)" -ne 1 ] ||
        [[ "$err" != "verada-rede-cli: "*"$why"* ]]; then
        echo "FAIL: $* -> status $status, \"$err\" (expected status 1 and \"$why\")"
        failures=$((failures + 1))
    fi
}
check "not an ordinary file" list --simulate /dev/zero
check "not an ordinary file" list --simulate fifo.hid
check "larger than 64 MiB" list --simulate huge.hid
check "bad time" list --simulate negative.hid
check "a line longer than" list --simulate long.hid
check "does not exist" capture --simulate quiet.hid --out missing/c.bin
check "own capture file" capture --simulate quiet.hid --out "$own"
[ ! -e missing ] && [ ! -e vrtemp.csv.lock ] || { echo "FAIL: stray files"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] && echo "PASS: every untrusted input refused in one line"
exit "$failures"
