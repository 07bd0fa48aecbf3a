#!/usr/bin/env bash
# The utility's window stays alive during a real discovery: in the lab, under Xvfb, the window
# answers the window manager's keep-alive pings all through a discovery of two networks (which
# takes at least 8 s), and a click on Exit during the discovery ends it and closes the window at
# once. Needs root (the lab), Xvfb and xdotool.
#   live_window_e2e.sh LAB APSIM APMANAGER WM_PING FLEET
set -euo pipefail
readonly TITLE='Access Point Management'

die() {
    echo "live window: $*" >&2
    exit 1
}

since() { echo "$(($(date +%s%N) / 1000000 - $1))"; }

# Inside the lab, under Xvfb.
inside() {
    local apmanager=$1 wm_ping=$2
    [[ $(ip netns identify $$) == apmlab-* ]] || die "refusing to run the utility outside the lab"
    runtime_dir=$(mktemp -d)
    export XDG_RUNTIME_DIR=$runtime_dir
    local start window="" tries=0 status=0
    start=$(($(date +%s%N) / 1000000))
    "$apmanager" &
    app=$!
    trap 'kill "$app" 2>/dev/null || true; rm -rf "$runtime_dir"' EXIT
    until window=$(xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | head -n 1) &&
        [[ -n $window ]]; do
        ((tries++ < 100)) || die "the window did not appear"
        sleep 0.1
    done
    local exit_x exit_y
    # The Exit button's centre, from its place in the template (301, 167, 50 x 14 dialog
    # units) as a share of the window's (400 x 195).
    eval "$(xdotool getwindowgeometry --shell "$window")"
    exit_x=$((WIDTH * 326 / 400))
    exit_y=$((HEIGHT * 174 / 195))
    local shown
    shown=$(since "$start")
    # After the pings, before the discovery of both networks can have ended.
    (
        sleep 6.8
        xdotool mousemove --window "$window" "$exit_x" "$exit_y" click 1
        since "$start" >"$runtime_dir/clicked"
    ) &
    local clicker=$!
    "$wm_ping" "$window" 6 | tail -n 3 || status=$?
    wait "$app" || true
    local closed clicked
    closed=$(since "$start")
    wait "$clicker" || true
    clicked=$(cat "$runtime_dir/clicked")
    echo "shown at $shown ms, Exit clicked at $clicked ms, the window closed at $closed ms"
    ((status == 0)) || die "the window left keep-alive pings unanswered during the discovery"
    # Two networks, each at least 4 s of silence: a window still up 8 s after it was shown
    # waited for the whole discovery.
    ((closed - shown < 8000)) || die "the click was handled only after the discovery"
    ((closed - clicked <= 1000)) || die "the window took $((closed - clicked)) ms to close"
    echo "live window: every ping answered, the discovery ended by the click on Exit"
}

if [[ ${1:-} == --inside ]]; then
    shift
    inside "$@"
    exit 0
fi

[[ $# -eq 5 ]] || die "usage: live_window_e2e.sh LAB APSIM APMANAGER WM_PING FLEET"
lab_script=$1 apsim=$2 apmanager=$3 wm_ping=$4 fleet=$5
[[ $(id -u) -eq 0 ]] || die "must run as root: the lab creates network namespaces"
command -v xvfb-run >/dev/null || die "xvfb-run is missing (apt-get install xvfb)"
command -v xdotool >/dev/null || die "xdotool is missing (apt-get install xdotool)"
lab=("$lab_script" --id "live$$" --apsim "$apsim")
trap '"${lab[@]}" down >/dev/null 2>&1 || true' EXIT
"${lab[@]}" up "$fleet" >/dev/null
"${lab[@]}" exec -- env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$(realpath "$0")" --inside "$apmanager" "$wm_ping"
