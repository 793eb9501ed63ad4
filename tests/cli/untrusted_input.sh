#!/usr/bin/env bash
# verada-rede-cli against input it cannot trust: each case must end at once (no hang on a FIFO or
# a device, no abort), in one line "verada-rede-cli: <message>" naming the problem, status 1.
# Usage: untrusted_input.sh CLI
set -uo pipefail
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export TMPDIR=$work/tmp XDG_STATE_HOME=$work/state
unset XDG_RUNTIME_DIR
mkdir tmp
mkfifo fifo.hid
truncate -s $(((64 << 20) + 1)) huge.hid
header=$'R: 6 06 a0 ff 09 01 c0\nI: 3 11d2 0001\n'
printf '%sE: -0.5 8 41 42 43 44 45 46 47 48\n' "$header" >negative.hid
printf '%sE: 0.5 8 %s\n' "$header" "$(head -c 70000 /dev/zero | tr '\0' 4)" >long.hid
printf '%s' "$header" >quiet.hid
head -c $((64 << 20)) /dev/zero | tr '\0' '\n' >blank.hid
{ printf '%s' "$header" && yes 'E:0 1 0' | head -n 2097153; } >steps.hid
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
check "line 2097155: more than 2097152 events and directives" list --simulate steps.hid
# A scenario's memory stays near its size: these once took 2 GiB and 300 MiB.
for file in blank.hid steps.hid; do
    kib=$(/usr/bin/time -f %M "$cli" list --simulate "$file" 2>&1 >/dev/null | tail -n 1)
    [ "$kib" -le $((3 << 16)) ] || { echo "FAIL: $file took $kib KiB"; failures=$((failures + 1)); }
done
check "does not exist" capture --simulate quiet.hid --out missing/c.bin
check "own capture file" capture --simulate quiet.hid --out "$own"
[ ! -e missing ] && [ ! -e vrtemp.csv.lock ] || { echo "FAIL: stray files"; failures=$((failures + 1)); }
# A folder deeper than the system's path limit: its full path cannot be told, so a save there
# could not be finished from elsewhere after a crash; it is refused before it starts.
python3 - "$cli" <<'END' || { echo "FAIL: a save in a folder too deep"; failures=$((failures + 1)); }
import os, subprocess, sys
for _ in range(25):  # a path too long to name at once: made and entered a folder at a time
    os.mkdir("d" * 200)
    os.chdir("d" * 200)
open("c.bin", "w").write("a,1\r\n")
run = subprocess.run([sys.argv[1], "export", "--keep-capture", "c.bin", "out.csv"],
                     capture_output=True, text=True)
sys.exit(run.returncode != 1 or "full path cannot be told" not in run.stderr or
         os.path.exists("out.csv") or not os.path.exists("c.bin"))
END
[ "$failures" -eq 0 ] && echo "PASS: every untrusted input refused in one line"
exit "$failures"
