# The desktop a test brings up on this machine without a screen, sourced by scripts/test-desktops
# and scripts/test-accessibility: a scratch folder per case, Xvfb, a window manager, a session
# bus and its services, a tray host, the demo program, and waits for what the user would see.
# The caller sets `demo` (the program), `python`, `bus_tool`, `main_title` and `capture_size`,
# and `case` names the case in failures.
# Helpers shared by the cases. Each case runs in a subshell with its own scratch folder and
# background processes, which end with it.

pids=()
work=""
case_start() {
    work=$(mktemp -d)
    mkdir -m 700 "$work/tmp" "$work/run"
    pids=()
    trap case_end EXIT
}
case_end() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
fail() {
    echo "$(basename "$0"): case $case: $*" >&2
    for log in "$work"/*.log; do
        [ -s "$log" ] && sed "s|^|$(basename "$log" .log): |" "$log" >&2
    done
    if [ -n "${DISPLAY:-}" ]; then
        xwininfo -root -tree 2>/dev/null | grep '"verada-rede-demo"' | sed 's/^/screen: /' >&2
    fi
    exit 1
}
source "$(dirname "${BASH_SOURCE[0]}")/await.sh"
# Installs the Debian packages of a desktop that only some cases meet, if they are missing.
need_packages() {  # need_packages PACKAGE...
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "$(basename "$0"): installing ${missing[*]}" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=300 \
        --no-install-recommends "${missing[@]}" >/dev/null || fail "cannot install ${missing[*]}"
}
start_x() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 2>"$work/xvfb.log" &
    pids+=($!)
    exec 3>&-
    await 10 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$work/display")"
    xsetroot -solid '#3a6ea5' 2>/dev/null || true
}
# A window manager that cannot open the display at once (seen when other X servers start on the
# same machine) is started again.
start_wm() {  # start_wm openbox|metacity|xfwm4 [OPTIONS...]
    local attempt
    for attempt in 1 2 3; do
        "$@" >>"$work/wm.log" 2>&1 &
        pids+=($!)
        await 10 wm_running "$!" && return 0
    done
    fail "$1 did not start"
}
wm_running() {  # wm_running PID
    kill -0 "$1" && xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'
}
start_bus() {
    dbus-daemon --session --nofork --print-address=3 3>"$work/bus-address" 2>"$work/bus.log" &
    pids+=($!)
    await 10 test -s "$work/bus-address" || fail "the session bus did not start"
    export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus-address")
}
serve_bus() {  # serve_bus NAME OPTIONS...: the test's desktop services, logged to NAME.log
    local name=$1
    shift
    "$python" "$bus_tool" serve "$@" >"$work/$name.log" 2>&1 &
    pids+=($!)
    await 10 grep -q '^ready' "$work/$name.log" || fail "the $name service did not start"
}
start_trayer() {
    trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
        --transparent false --tint 0xdddddd >/dev/null 2>&1 &
    trayer_pid=$!
    pids+=($trayer_pid)
    await 10 xdotool search --name '^panel$' || fail "the tray did not start"
}
# Starts the demo with the environment given; its capture file is then $capture.
start_demo() {  # start_demo VAR=VALUE...
    local tmp="$work/tmp"
    env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY \
        DBUS_SESSION_BUS_ADDRESS="${DBUS_SESSION_BUS_ADDRESS:-disabled:}" TMPDIR="$tmp" "$@" \
        "$demo" >"$work/demo.log" 2>&1 &
    demo_pid=$!
    pids+=($demo_pid)
    capture="$tmp/verada-rede-$(id -u)/vrtemp.csv"
    for assignment in "$@"; do
        case $assignment in XDG_RUNTIME_DIR=*) capture="${assignment#*=}/vrtemp.csv" ;; esac
    done
}
transfer_received() {
    [ "$(stat -c %s "$capture" 2>/dev/null)" = "$capture_size" ]
}
await_transfer() {
    await 20 transfer_received || fail "no transfer received within 20 s"
}
# xdotool search ARGS...: the windows' ids, one a line, or status 1 for none. A window that goes
# while the search walks the tree ends xdotool with an X error: the search is made again then.
search() {
    local attempt found
    for attempt in 1 2 3 4 5; do
        found=$(xdotool search "$@" 2>"$work/search.err")
        grep -q "X Error" "$work/search.err" || break
    done
    [ -n "$found" ] && echo "$found"
}
gone() { ! search --onlyvisible --name "$1"; }  # gone TITLE: no visible window of that title
tray_gone() { ! search --name '^panel$'; }
main_window_up() {
    search --onlyvisible --name "$main_title"
}
shown() { search --onlyvisible --name "$1" | head -n1 | grep .; }
# The accessibility bus of the session, with the screen-reader flag set as a screen reader sets
# it: a Qt program started before the flag is set never registers with it. Needs start_bus.
start_atspi() {
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
    pids+=($!)
    await 10 "$python" -c '
import dbus
dbus.SessionBus().get_object("org.a11y.Bus", "/org/a11y/bus").Set(
    "org.a11y.Status", "ScreenReaderEnabled", dbus.Boolean(True),
    dbus_interface="org.freedesktop.DBus.Properties")' || fail "the accessibility bus did not start"
}
# GNOME Shell on Wayland without a screen, with the AppIndicator extension as its tray (a
# StatusNotifierItem host), on a session bus and a system bus of its own; XWayland's display and
# cookie go into DISPLAY and XAUTHORITY. A second extension puts the shell into its unsafe mode,
# in which it answers org.gnome.Shell.Eval: the one outside view of what it shows of a native
# Wayland window. No pointer can be injected into the headless shell. With "late" the tray comes
# only with gnome_tray_on.
start_gnome() {  # start_gnome [late]
    export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
    export XDG_CACHE_HOME="$work/cache" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/run/system-bus"
    local probe="$XDG_DATA_HOME/gnome-shell/extensions/verada-probe@test"
    mkdir -p "$probe"
    echo '{"uuid": "verada-probe@test", "name": "Test probe", "description": "Lets tests ask",
        "shell-version": ["43"]}' >"$probe/metadata.json"
    echo 'function init() { return { enable() { global.context.unsafe_mode = true; },
        disable() {} }; }' >"$probe/extension.js"
    dbus-daemon --config-file=/usr/share/dbus-1/session.conf --nofork \
        --address="$DBUS_SYSTEM_BUS_ADDRESS" >/dev/null 2>&1 &
    pids+=($!)
    start_bus
    gsettings set org.gnome.shell enabled-extensions "['verada-probe@test']"
    LIBGL_ALWAYS_SOFTWARE=1 XDG_SESSION_TYPE=wayland gnome-shell --wayland --headless \
        --virtual-monitor 1024x768 >"$work/gnome.log" 2>&1 &
    pids+=($!)
    await 30 grep -q 'Using public X11 display' "$work/gnome.log" ||
        fail "GNOME Shell did not start"
    export DISPLAY WAYLAND_DISPLAY=wayland-0 XAUTHORITY
    DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/gnome.log" | head -n1)
    XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* | head -n1)
    await 30 gnome_eval 'global.context.unsafe_mode || null' || fail "the shell does not answer"
    [ "${1:-}" = late ] || gnome_tray_on
}
gnome_tray_on() {  # the AppIndicator extension switched on, as a user does
    gsettings set org.gnome.shell enabled-extensions \
        "['verada-probe@test', 'ubuntu-appindicators@ubuntu.com']"
    await 30 gnome_eval "imports.ui.main.extensionManager.lookup('ubuntu-appindicators@ubuntu.com')
        ?.state === 1 || null" || fail "the AppIndicator extension is not on"
}
# gnome_eval JS: prints what the shell's JavaScript gives, a string as it is; fails on an error or
# a null.
gnome_eval() {
    "$python" -c '
import dbus, json, sys
ok, out = dbus.SessionBus().get_object("org.gnome.Shell", "/org/gnome/Shell").Eval(
    sys.argv[1], dbus_interface="org.gnome.Shell")
value = json.loads(out) if ok and out else None
print(value if ok else out, file=sys.stdout if ok else sys.stderr)
sys.exit(0 if value is not None else 1)' "$1"
}
# The windows the shell manages, one a line: x11|wayland, shown|minimised, the actions it allows
# (MINIMIZE,MAXIMIZE,CLOSE or -), the title.
gnome_windows() {
    gnome_eval 'global.get_window_actors().map(a => a.meta_window).map(w => [
        w.get_client_type() ? "x11" : "wayland", w.minimized ? "minimised" : "shown",
        [w.can_minimize() && "MINIMIZE", w.can_maximize() && "MAXIMIZE", w.can_close() && "CLOSE"]
            .filter(Boolean).join(",") || "-",
        w.get_title()].join(" ")).join("\n")'
}
# The StatusNotifierItems the shell's watcher has, one a line, as SERVICE/PATH.
gnome_items() {
    "$python" -c '
import dbus
for item in dbus.SessionBus().get_object("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher"
        ).Get("org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems",
              dbus_interface="org.freedesktop.DBus.Properties"):
    print(item.replace("@/", "/"))' | grep .
}
# Xfce's panel (xfce4-panel) holding only its tray, which shows StatusNotifierItems and XEmbed
# icons alike, with the panel's settings in the scratch folder rather than the user's. Call
# before start_bus: the settings daemon the bus starts reads them from there. The panel sits at
# the bottom and is as long as its icons.
xfce_settings() {
    # (and Xfce's programs stay off the accessibility bus, which they would start)
    export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" NO_AT_BRIDGE=1
    local folder="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
    mkdir -p "$folder"
    cat >"$folder/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=512;y=755"/>
      <property name="length" type="uint" value="1"/>
      <property name="length-adjust" type="bool" value="true"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="26"/>
      <property name="icon-size" type="uint" value="16"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
}
start_xfce_panel() {
    xfce4-panel >"$work/panel.log" 2>&1 &
    panel_pid=$!
    pids+=($panel_pid)
    await 10 xfce_panel || fail "xfce4-panel did not start"
}
# The panel's window (xfwm4 frames it), and whether it shows an item: the panel holds its tray
# alone, 10 pixels long when empty, and each icon lengthens it.
xfce_panel() {
    local id
    for id in $(search --class '^xfce4-panel$'); do
        [ "$(xwininfo -id "$id" | awk '/Height:/ { print $2 }')" -ge 20 ] && echo "$id" && return 0
    done
    return 1
}
xfce_item_shown() {
    local panel
    panel=$(xfce_panel) || return 1
    [ "$(xwininfo -id "$panel" | awk '/Width:/ { print $2 }')" -gt 16 ] &&
        dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
            /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
            string:org.kde.StatusNotifierWatcher string:RegisteredStatusNotifierItems |
        grep -q /StatusNotifierItem
}
