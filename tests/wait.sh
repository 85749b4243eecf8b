# shellcheck shell=bash disable=SC2034  # sourced; the variables it sets are for its callers
# Waits shared by the test scripts (sourced). Each blocks on its event and gives up only at
# a ceiling that a busy machine does not reach, so that reaching it means a real fault.
wait_ceiling=${QUILL_WAIT_CEILING:-120}

# Starts Xvfb with the given arguments (all but -displayfd) once it accepts clients: sets
# xvfb_pid and xvfb_display; false if it ended or the ceiling passed without a display.
start_xvfb() {
    local fifo number=""
    fifo=$(mktemp -u)
    mkfifo "$fifo" || return 1
    Xvfb -displayfd 3 "$@" 3>"$fifo" 2>/dev/null </dev/null &
    xvfb_pid=$!
    read -r -t "$wait_ceiling" number <"$fifo"
    rm -f "$fifo"
    [ -n "$number" ] || return 1
    xvfb_display=":$number"
}

# Waits for process $1 (a child or not) to end, at most $2 seconds (the ceiling if none);
# false if it is still running.
await_end() {
    timeout "${2:-$wait_ceiling}" tail --pid="$1" -s 0.05 -f /dev/null
}

# Waits for child $1 to end and sets child_status to its exit status; at the ceiling the
# child is killed and it is false.
await_child() {
    if ! await_end "$1"; then
        kill -9 "$1" 2>/dev/null
        wait "$1" 2>/dev/null
        child_status=timeout
        return 1
    fi
    wait "$1"
    child_status=$?
}

# Prints the id of the first window xdotool search finds with the given options once one
# exists; nothing if none appears within the ceiling.
await_window() {
    timeout "$wait_ceiling" xdotool search --sync "$@" 2>/dev/null | head -n1
}

# Screenshots window $1 back to back into $2 until it shows a picture (more than one
# colour); false if the window goes or at the ceiling.
await_drawn() {
    local deadline=$((SECONDS + wait_ceiling))
    while [ "$SECONDS" -lt "$deadline" ]; do
        import -window "$1" "$2" 2>/dev/null || return 1
        [ "$(convert "$2" -format %k info: 2>/dev/null)" -gt 1 ] && return 0
    done
    return 1
}

# Screenshots window $1 into $2 until the picture holds still: two consecutive screenshots
# alike and more than one colour. $2 holds the last one; false at the ceiling.
await_still_picture() {
    local next=${2%.png}-next.png deadline=$((SECONDS + wait_ceiling))
    import -window "$1" "$2" 2>/dev/null
    while [ "$SECONDS" -lt "$deadline" ]; do
        import -window "$1" "$next" 2>/dev/null || return 1
        if [ "$(compare -metric AE "$2" "$next" null: 2>&1)" = 0 ] &&
            [ "$(convert "$2" -format %k info: 2>/dev/null)" -gt 1 ]; then
            rm -f "$next"
            return 0
        fi
        mv "$next" "$2"
    done
    return 1
}

# Prints the first line of file $1, from line $2 on, that matches the extended regular
# expression $3, once it is written (tail follows the file as it grows); false at the ceiling.
await_file_line() {
    local follow follower line
    exec {follow}< <(exec timeout "$wait_ceiling" tail -n "+$2" -F "$1" 2>/dev/null)
    follower=$!
    while read -r -u "$follow" line; do
        [[ $line =~ $3 ]] && break
    done
    kill "$follower" 2>/dev/null
    exec {follow}<&-
    [[ $line =~ $3 ]] && echo "$line"
}

# Waits until the root window's property $1 has a value matching $2 (what a client sets
# once it is ready, as a window manager its _NET_SUPPORTING_WM_CHECK); false at the ceiling.
await_root_property() {
    local spy spier line
    # All properties: xprop cannot follow one whose atom the server does not know yet.
    exec {spy}< <(exec timeout "$wait_ceiling" xprop -root -spy 2>/dev/null)
    spier=$!
    while read -r -u "$spy" line; do
        [[ $line == "$1"* && $line =~ $2 ]] && break
    done
    kill "$spier" 2>/dev/null
    exec {spy}<&-
    [[ $line == "$1"* && $line =~ $2 ]]
}
