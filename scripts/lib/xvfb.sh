# Shared helpers: one virtual X display per Wine prefix, started on first use.
# Source it, then call lumentrax_ensure_display PREFIX (exports DISPLAY) or
# lumentrax_stop_display PREFIX.

lumentrax_ensure_display() {
    local prefix=$1 state="$1.display" n pid
    mkdir -p "$(dirname "$state")"
    exec 9>"$state.lock"
    flock 9
    if [ -f "$state" ]; then
        read -r n pid <"$state"
        if kill -0 "$pid" 2>/dev/null; then
            export DISPLAY=":$n"
            flock -u 9
            return 0
        fi
    fi
    for n in $(seq 91 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$pid" 2>/dev/null; then
            echo "$n $pid" >"$state"
            export DISPLAY=":$n"
            flock -u 9
            return 0
        fi
    done
    flock -u 9
    return 1
}

lumentrax_stop_display() {
    local state="$1.display" n pid
    if [ -f "$state" ]; then
        read -r n pid <"$state"
        kill "$pid" 2>/dev/null
        rm -f "$state"
    fi
}
