# Shared helpers: one virtual X display per Wine prefix, started on first use.
# Source it, then call lumentrax_ensure_display PREFIX (exports DISPLAY) or
# lumentrax_stop_display PREFIX.
# The state file PREFIX.display remembers "DISPLAY_NUMBER PID". Scripts run as root, so a
# remembered pid is trusted only while it is still an Xvfb process serving that display:
# a pid reused by some other process after a reboot or a crash is never killed or taken
# for the display.

# True when PID is the Xvfb process that holds display N (its lock file names the pid)
# and the display's socket exists.
lumentrax_is_our_display() {
    local n=$1 pid=$2
    [[ $pid =~ ^[0-9]+$ && $n =~ ^[0-9]+$ ]] || return 1
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] || return 1
    [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$pid" ] || return 1
    [ -S "/tmp/.X11-unix/X$n" ]
}

lumentrax_ensure_display() {
    local prefix=$1 state="$1.display" n pid
    mkdir -p "$(dirname "$state")"
    exec 9>"$state.lock"
    flock 9
    if [ -f "$state" ]; then
        read -r n pid <"$state"
        if lumentrax_is_our_display "$n" "$pid"; then
            export DISPLAY=":$n"
            flock -u 9
            return 0
        fi
        rm -f "$state"
    fi
    for n in $(seq 91 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        pid=$!
        # Two scripts may pick the same free number at once; the display is ours only
        # if our Xvfb won its lock file.
        for _ in $(seq 1 50); do
            lumentrax_is_our_display "$n" "$pid" && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if lumentrax_is_our_display "$n" "$pid"; then
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
        lumentrax_is_our_display "$n" "$pid" && kill "$pid" 2>/dev/null
        rm -f "$state"
    fi
}
