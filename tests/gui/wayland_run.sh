#!/usr/bin/env bash
# Runs a GUI test program as a Wayland client: weston's headless backend as the compositor, Qt's
# Wayland platform, the protocol logged. Passes when the program passes and the compositor was
# given a parent for the dialogs it mapped over another window. Skips (77) when weston or Qt's
# Wayland platform is not installed or the compositor does not start.
#   wayland_run.sh PROGRAM [ARGS...]
set -euo pipefail
[[ $# -ge 1 ]] || { echo "usage: wayland_run.sh PROGRAM [ARGS...]" >&2; exit 2; }
skip() {
    echo "SKIP: $*"
    exit 77
}
command -v weston >/dev/null || skip "weston is not installed (scripts/setup-deps test installs it)"
compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null ||
    skip "Qt's Wayland platform is not installed (qt6-wayland)"

runtime_dir=$(mktemp -d)
chmod 700 "$runtime_dir"
socket=apm-test-$$
weston_log=$runtime_dir/weston.log
protocol_log=$runtime_dir/protocol.log
XDG_RUNTIME_DIR=$runtime_dir weston --backend=headless-backend.so --socket="$socket" \
    --idle-time=0 --width=1280 --height=800 >"$weston_log" 2>&1 &
weston_pid=$!
trap 'kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; rm -rf "$runtime_dir"' EXIT
tries=0
until [[ -S $runtime_dir/$socket ]]; do
    if ((tries++ >= 100)) || ! kill -0 "$weston_pid" 2>/dev/null; then
        skip "weston did not start: $(tail -n 3 "$weston_log" | tr '\n' ' ')"
    fi
    sleep 0.1
done

# Under LeakSanitizer, what the Wayland client library keeps until exit is not counted (the
# sanitizer's own options are kept).
suppressions=$(dirname "$(readlink -f "$0")")/wayland.lsan.supp
lsan_options="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$suppressions"

status=0
env LSAN_OPTIONS="$lsan_options" XDG_RUNTIME_DIR="$runtime_dir" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland \
    WAYLAND_DEBUG=client "$@" 2>"$protocol_log" || status=$?
# The program's own diagnostics, without the protocol's lines ("[time] ...").
grep -v '^\[ *[0-9]' "$protocol_log" >&2 || true
if ((status != 0)); then
    exit "$status"
fi
# A dialog opened over another window names that window's toplevel as its parent.
if ! grep -Eq 'xdg_toplevel@[0-9]+\.set_parent\(xdg_toplevel@[0-9]+\)' "$protocol_log"; then
    echo "no dialog was given its owner's toplevel as parent (xdg_toplevel.set_parent)" >&2
    exit 1
fi
echo "under weston: every test passed, and the dialogs' toplevels were given their parents"
