#!/usr/bin/env bash
# The demo on a virtual screen: its tray icon appears in the tray host, the simulated transfer
# brings its window up, Save (Alt+S, a file name typed into the dialog) writes the log as CSV and
# sends the window back to the tray, and Exit from the tray menu (opened with a left click) ends
# it without a question, nothing being left unsaved.
set -euo pipefail

demo=$1
expected=$2  # the CSV file the demo's log makes
case=smoke
main_title='^Zorvik Technologies Verada Rede$'
source "$(dirname "$0")/../../scripts/lib/desk.sh"
case_start
start_x
start_trayer
panel=$(search --name '^panel$' | head -n1)
# Under the sanitizers, what the X and Qt libraries leave at exit is not the program's to answer.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
start_demo QT_QPA_PLATFORM=xcb

tray_icon() {
    xwininfo -tree -id "$panel" | awk '/"verada-rede-demo"/ { print $1; exit }' | grep .
}
await 20 tray_icon || fail "no tray icon appeared"
icon=$(tray_icon)

# The adapter appears after 3 s, the log follows, and one second of silence ends the transfer.
await 40 xdotool search --onlyvisible --name '^Zorvik Technologies Verada Rede$' ||
    fail "the transfer did not bring the window up"

# Save: the file name typed into the dialog's name box, which has the focus.
window=$(xdotool search --onlyvisible --name '^Zorvik Technologies Verada Rede$' | head -n1)
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key --window "$window" alt+s
await 10 xdotool search --onlyvisible --name '^Save CSV file' || fail "no save dialog"
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Save CSV file' | head -n1)" \
    2>/dev/null || true
xdotool type --delay 10 "$work/log.csv"
xdotool key Return
await 20 cmp -s "$work/log.csv" "$expected" || fail "the saved CSV file differs from $expected"
await 10 test ! -e "$capture" || fail "the capture file is still there after the save"
await 10 bash -c "! xdotool search --onlyvisible --name '^Zorvik Technologies Verada Rede$'" ||
    fail "the window did not go back to the tray"

# The tray menu (lower than 60 pixels, named like the program) and its only item, E&xit.
tray_menu() {
    local id width height
    while read -r id width height; do
        if [ "$width" -gt 30 ] && [ "$height" -lt 60 ] && xwininfo -id "$id" | grep -q 'IsViewable'; then
            echo "$id"
            return 0
        fi
    done < <(xwininfo -root -children | sed -n \
        's/^ *\(0x[0-9a-f]*\) "Verada Rede": ("verada-rede-demo".*)  *\([0-9]*\)x\([0-9]*\)+.*/\1 \2 \3/p')
    return 1
}
xdotool mousemove --window "$icon" 8 8 click 1
await 10 tray_menu || fail "the tray menu did not open"
xdotool mousemove --window "$(tray_menu)" 20 10 click 1

await 10 bash -c "! kill -0 $demo_pid" || fail "the demo did not end after Exit"
status=0
wait "$demo_pid" || status=$?
[ "$status" -eq 0 ] || fail "the demo ended with status $status"
echo "demo smoke test: passed"
