#!/usr/bin/env bash
# The utility's windows ask a real window manager (openbox, under Xvfb, in the lab) for exactly
# the decorations their templates name: a caption, a system menu and a close box, a fixed size,
# no minimise or maximise box. Read back from the main window, the About box, IP Configuration and
# a message box: the Motif hints the window sets, and the actions the window manager then allows.
# Needs root (the lab), Xvfb, xdotool, xprop and openbox.
#   window_decorations_e2e.sh LAB APSIM APMANAGER FLEET
set -euo pipefail
readonly TITLE='Access Point Management'
# Motif hints: flags, functions, decorations.
readonly MWM_FUNC_MINIMIZE=0x08 MWM_FUNC_MAXIMIZE=0x10 MWM_FUNC_CLOSE=0x20
readonly MWM_DECOR_TITLE=0x08 MWM_DECOR_MENU=0x10 MWM_DECOR_MINIMIZE=0x20 MWM_DECOR_MAXIMIZE=0x40

die() {
    echo "window decorations: $*" >&2
    exit 1
}

# Checks one window; $2 names it in messages.
check_window() {
    local window=$1 name=$2 hints actions functions decorations
    hints=$(xprop -id "$window" _MOTIF_WM_HINTS)
    actions=$(xprop -id "$window" _NET_WM_ALLOWED_ACTIONS)
    echo "$name: $hints"
    echo "$name: $actions"
    # "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x26, 0x1e, 0x0, 0x0"
    read -r _ functions decorations _ < <(sed 's/.*= //; s/,//g' <<<"$hints")
    [[ -n $decorations ]] || die "$name sets no Motif hints"
    ((functions & MWM_FUNC_CLOSE)) || die "$name: the hints do not offer Close"
    ((!(functions & (MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE)))) ||
        die "$name: the hints offer minimise or maximise"
    ((decorations & MWM_DECOR_TITLE)) || die "$name: the hints ask for no caption"
    ((decorations & MWM_DECOR_MENU)) || die "$name: the hints ask for no system menu"
    ((!(decorations & (MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE)))) ||
        die "$name: the hints ask for a minimise or maximise box"
    local action
    for action in _NET_WM_ACTION_CLOSE _NET_WM_ACTION_MOVE; do
        grep -q "$action" <<<"$actions" || die "$name: the window manager does not allow $action"
    done
    for action in _NET_WM_ACTION_MAXIMIZE_HORZ _NET_WM_ACTION_MAXIMIZE_VERT _NET_WM_ACTION_RESIZE; do
        ! grep -q "$action" <<<"$actions" || die "$name: the window manager allows $action"
    done
}

# The first visible window with this title other than $2, once the window manager manages it.
managed_window() {
    local title=$1 other=$2 window found="" tries=0
    while [[ -z $found ]]; do
        ((tries++ < 100)) || die "the window '$title' did not appear"
        sleep 0.05
        for window in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
            [[ $window != "$other" ]] && found=$window
        done
    done
    tries=0
    until xprop -id "$found" _NET_WM_ALLOWED_ACTIONS 2>/dev/null | grep -q ACTION; do
        ((tries++ < 100)) || die "the window '$title' was not managed by the window manager"
        sleep 0.05
    done
    echo "$found"
}

# Clicks a point of a window given in its template's dialog units.
click_units() {
    local window=$1 width_units=$2 height_units=$3 x=$4 y=$5 WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
    xdotool mousemove --window "$window" $((x * WIDTH / width_units)) $((y * HEIGHT / height_units)) \
        click 1
    sleep 0.3
}

# IP Configuration for the fleet's first row (an access point on a foreign subnet), and the
# message box its OK gives with no address typed; both closed again.
check_config_and_box() {
    local main=$1 apmanager=$2 config box
    click_units "$main" 400 195 264 174
    config=$(managed_window "IP Configuration" "")
    check_window "$config" "IP Configuration"
    click_units "$config" 206 206 49 84
    xdotool key --clearmodifiers Return
    box=$(managed_window "$(basename "$apmanager")" "")
    check_window "$box" "message box"
    xdotool key --clearmodifiers Return
    sleep 0.3
    xdotool key --clearmodifiers Escape
}

# Inside the lab, under Xvfb.
inside() {
    local apmanager=$1
    [[ $(ip netns identify $$) == apmlab-* ]] || die "refusing to run the utility outside the lab"
    runtime_dir=$(mktemp -d)
    export XDG_RUNTIME_DIR=$runtime_dir
    openbox >/dev/null 2>&1 &
    wm=$!
    # As on a desktop, the window manager is running before the utility starts: a window mapped
    # while openbox is still taking over the screen may be left unmapped.
    local tries=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        ((tries++ < 100)) || die "openbox did not start"
        sleep 0.1
    done
    "$apmanager" &
    app=$!
    trap 'kill "$app" "$wm" 2>/dev/null || true; rm -rf "$runtime_dir"' EXIT
    local main=""
    tries=0
    until main=$(xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | head -n 1) &&
        [[ -n $main ]] && xprop -id "$main" _NET_WM_ALLOWED_ACTIONS | grep -q ACTION; do
        ((tries++ < 300)) || die "the main window did not appear under the window manager (window: ${main:-none})"
        sleep 0.1
    done
    check_window "$main" "main window"
    # The About box from the system menu, once the first discovery has returned: the sockets it
    # holds while it runs are closed.
    local had_sockets=false
    tries=0
    while :; do
        if ss -uanp 2>/dev/null | grep -q "pid=$app,"; then
            had_sockets=true
        elif $had_sockets; then
            break
        fi
        ((tries++ < 600)) || die "the first discovery did not return"
        sleep 0.05
    done
    xdotool windowfocus --sync "$main" 2>/dev/null || true
    xdotool key --clearmodifiers shift+F10
    sleep 0.5
    xdotool key --clearmodifiers a
    local about
    about=$(managed_window "$TITLE" "$main")
    check_window "$about" "About box"
    xdotool key --clearmodifiers Escape
    sleep 0.3
    check_config_and_box "$main" "$apmanager"
    echo "window decorations: exactly the templates' decorations asked for and allowed"
}

if [[ ${1:-} == --inside ]]; then
    shift
    inside "$@"
    exit 0
fi

[[ $# -eq 4 ]] || die "usage: window_decorations_e2e.sh LAB APSIM APMANAGER FLEET"
lab_script=$1 apsim=$2 apmanager=$3 fleet=$4
[[ $(id -u) -eq 0 ]] || die "must run as root: the lab creates network namespaces"
for tool in xvfb-run xdotool xprop openbox; do
    command -v "$tool" >/dev/null || die "$tool is missing (scripts/setup-deps installs it)"
done
lab=("$lab_script" --id "deco$$" --apsim "$apsim")
trap '"${lab[@]}" down >/dev/null 2>&1 || true' EXIT
"${lab[@]}" up "$fleet" >/dev/null
"${lab[@]}" exec -- env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$(realpath "$0")" --inside "$apmanager"
