# Shared helpers: one virtual X display per Wine prefix, started on first use.
# Source it, then call lumentrax_ensure_display PREFIX (exports DISPLAY) or
# lumentrax_stop_display PREFIX.
# The state file PREFIX.display remembers "DISPLAY_NUMBER PID", PREFIX.display.lock
# serialises its users. Scripts run as root, and trust neither file nor process blindly:
# - a state or lock file that is a symbolic link or belongs to another user is refused
#   (someone else put it there), and neither is ever opened for writing in place, so no
#   link can make root truncate or write through it;
# - a remembered pid is taken only while it is an Xvfb of the caller's own serving that
#   display: a pid reused by some other process after a reboot or a crash, or another
#   user's X server, is never killed or taken for the display.
lumentrax_display_wait=60  # seconds a caller waits for another one's lock

# True when PID is an Xvfb process of the caller's user that holds display N (its lock
# file, also the caller's, names the pid) and the display's socket, the caller's, exists.
lumentrax_is_our_display() {
    local n=$1 pid=$2 me
    me=$(id -u)
    [[ $pid =~ ^[0-9]+$ && $n =~ ^[0-9]+$ ]] || return 1
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] || return 1
    [ "$(stat -c %u "/proc/$pid" "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n" 2>/dev/null | sort -u)" = "$me" ] ||
        return 1
    [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$pid" ] && [ -S "/tmp/.X11-unix/X$n" ]
}

# Fails, saying why, when FILE exists and is a link, not a plain file, or not the caller's.
lumentrax_own_file() {
    [ -e "$1" ] || [ -L "$1" ] || return 0
    [ ! -L "$1" ] && [ -f "$1" ] && [ -O "$1" ] && return 0
    echo "xvfb: refusing $1: a link, not a plain file, or not $(id -un)'s" >&2
    return 1
}

# Opens PREFIX's lock file as descriptor 9 and takes the lock (at most the wait above).
# The file is opened without truncation and then checked to be the very file its name
# shows, a plain one of the caller's, so a link swapped in on the way is refused too.
lumentrax_lock_display() {
    local lock="$1.display.lock"
    lumentrax_own_file "$lock" || return 1
    exec 9<>"$lock" || return 1
    if [ "$(stat -L -c %d:%i:%u:%F "/proc/$BASHPID/fd/9")" != \
        "$(stat -c %d:%i:%u:%F "$lock" 2>/dev/null)" ] || ! lumentrax_own_file "$lock"; then
        exec 9<&-
        echo "xvfb: refusing $lock: it changed while it was opened" >&2
        return 1
    fi
    flock -w "$lumentrax_display_wait" 9 && return 0
    exec 9<&-
    echo "xvfb: $lock still held after $lumentrax_display_wait s" >&2
    return 1
}

lumentrax_unlock_display() { flock -u 9; exec 9<&-; }

# Writes the state through a new file of a fresh name renamed over the old one: a link
# put in its place is replaced, never followed.
lumentrax_write_display() {
    local new
    new=$(mktemp "$1.XXXXXX") && echo "$2" >"$new" && mv -f "$new" "$1"
}

lumentrax_ensure_display() {
    local prefix=$1 state="$1.display" n pid
    mkdir -p "$(dirname "$state")"
    lumentrax_lock_display "$prefix" || return 1
    if ! lumentrax_own_file "$state"; then
        lumentrax_unlock_display
        return 1
    fi
    if [ -f "$state" ]; then
        read -r n pid <"$state"
        if lumentrax_is_our_display "$n" "$pid"; then
            export DISPLAY=":$n"
            lumentrax_unlock_display
            return 0
        fi
        rm -f "$state"
    fi
    for n in $(seq 91 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 9<&- &
        pid=$!
        # Two scripts may pick the same free number at once; the display is ours only
        # if our Xvfb won its lock file.
        for _ in $(seq 1 50); do
            lumentrax_is_our_display "$n" "$pid" && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if lumentrax_is_our_display "$n" "$pid"; then
            lumentrax_write_display "$state" "$n $pid"
            export DISPLAY=":$n"
            lumentrax_unlock_display
            return 0
        fi
        kill "$pid" 2>/dev/null
    done
    lumentrax_unlock_display
    return 1
}

lumentrax_stop_display() {
    local state="$1.display" n pid
    lumentrax_own_file "$state" || return 1
    if [ -f "$state" ]; then
        read -r n pid <"$state"
        lumentrax_is_our_display "$n" "$pid" && kill "$pid" 2>/dev/null
        rm -f "$state"
    fi
}
