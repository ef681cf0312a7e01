# Sourced by the scripts: starts a private Xvfb on a free display number and
# stops it by its process id.
start_x_display() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    X_DISPLAY_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on :$n" >&2
    return 1
}

stop_x_display() {
    if [ -n "${X_DISPLAY_PID:-}" ]; then
        kill "$X_DISPLAY_PID" 2>/dev/null || true
        wait "$X_DISPLAY_PID" 2>/dev/null || true
        X_DISPLAY_PID=
    fi
}
