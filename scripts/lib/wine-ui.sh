# Helpers for the scripts that drive the Windows programs under Wine on an X display, sourced by
# them. Each wait has a deadline and polls its condition; nothing relies on a fixed delay.

source "$(dirname "${BASH_SOURCE[0]}")/await.sh"

# start_tray: starts a tray host (trayer) and sets TRAY_PANEL to its window; its pid goes into
# the caller's `pids` array.
start_tray() {
    trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
        </dev/null >/dev/null 2>&1 &
    pids+=($!)
    await 15 xdotool search --classname '^panel$' || return 1
    TRAY_PANEL=$(xdotool search --classname '^panel$' | head -1)
}

# The icons docked in the tray host, one window id a line (Wine's explorer docks them; the
# host's own 1x1 window is none).
tray_icons() {
    xwininfo -children -id "$TRAY_PANEL" |
        awk '/^ *0x/ && $0 ~ / [0-9]+x[0-9]+\+/ && $0 !~ / 1x1\+/ {print $1}'
}
tray_icon_count() { tray_icons | grep -c . || true; }
tray_has_icons() { [ "$(tray_icon_count)" -ge "$1" ]; }
tray_has_at_most() { [ "$(tray_icon_count)" -le "$1" ]; }

# The visible top-level window whose title is exactly TITLE (first one found).
window_named() {
    xdotool search --onlyvisible --name "^$(printf '%s' "$1" | sed 's/[.[\*^$()+?{|]/\\&/g')\$" 2>/dev/null | head -1 | grep .
}
# await_window SECONDS TITLE: waits for that window and prints its id.
await_window() {
    await "$1" window_named "$2" || return 1
    window_named "$2"
}
# Whether the window with that id is off the screen: unmapped or destroyed. (A search by title
# can fail for a moment while another window is being destroyed; an id does not.)
unmapped() {
    local info
    info=$(xwininfo -id "$1" 2>/dev/null) || return 0
    ! grep -q IsViewable <<<"$info"
}

# Keys for a window: no window manager here, so the window is given the keyboard focus directly.
keys_to() {
    local window=$1
    shift
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key --delay 40 "$@"
}

# Whether the process has ended (a child that ended but was not waited for counts as ended).
process_gone() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null)
    [ -z "$state" ] || [[ $state == Z* ]]
}
