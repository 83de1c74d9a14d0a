#!/usr/bin/env bash
# However the game's window goes away, the game ends at once with status 0 and its sound
# shut down: the window destroyed from outside (fullscreen and windowed), the X server
# gone, SIGTERM and SIGINT. Each case runs on an X server of its own; the mix goes to
# OpenAL Soft's wave writer, which completes the WAV header only when the device is closed,
# so a finished header is the sign that the sound was shut down.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.bash"

work=$(mktemp -d /tmp/tarvo-e2e-gone-XXXXXX)
XPID=
trap '[ -n "$XPID" ] && kill "$XPID" 2>/dev/null; kill -KILL "${GAME_PID:-}" 2>/dev/null; rm -rf "$work"' EXIT

# start_x SIZE: a new X server; its display in $DISPLAY, its pid in $XPID.
start_x() {
    local fifo="$work/displayfd"
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XPID=$!
    local n
    read -r -t 10 n <"$fifo" || fail "Xvfb did not start"
    export DISPLAY=":$n"
}

# The RIFF size in the header of a WAV, and its file size.
wav_complete() {
    local riff size
    riff=$(od -An -tu4 -j4 -N4 "$1" | tr -d ' ')
    size=$(stat -c %s "$1")
    [ "$riff" = $((size - 8)) ]
}

# run_case NAME SIZE HOW: starts the game, waits for its window and a few frames, makes the
# window go away by HOW, and checks how the game ended.
run_case() {
    local name=$1 size=$2 how=$3 id status
    local wav="$work/$name.wav"
    printf '[general]\ndrivers=wave\n[wave]\nfile=%s\n' "$wav" >"$work/$name.conf"
    start_x "$size"
    ALSOFT_CONF="$work/$name.conf" start_game "gone-$name"
    id=$(wait_window "Project Tarvo" 60) || fail "$name: no window named Project Tarvo"
    if [ "$size" = 1024x768 ] && box=$(wait_window "Vaxa GL" 2); then
        xdotool key --window "$box" Return # go on windowed
        id=$(wait_window "Project Tarvo" 60) || fail "$name: no game window after the question"
    fi
    sleep 3
    kill -0 "$GAME_PID" 2>/dev/null || fail "$name: the game ended by itself"
    case "$how" in
    destroy) xdotool windowclose "$id" ;;
    xserver) kill "$XPID" ;;
    term) kill -TERM "$GAME_PID" ;;
    int) kill -INT "$GAME_PID" ;;
    esac
    wait_exit "$GAME_PID" 10
    status=$?
    kill "$XPID" 2>/dev/null
    wait "$XPID" 2>/dev/null
    XPID=
    [ "$status" -ne 124 ] || fail "$name: the game still ran 10 s after its window went ($how)"
    [ "$status" -eq 0 ] || fail "$name: exit status $status after $how"
    if [ -s "$wav" ]; then
        wav_complete "$wav" || fail "$name: the sound was not shut down (the WAV is unfinished)"
    else
        echo "$name: no wave output written; the sound check is skipped" >&2
    fi
    echo "ok: $name"
}

run_case destroyed-fullscreen 800x600 destroy
run_case destroyed-windowed 1024x768 destroy
run_case xserver-gone 800x600 xserver
run_case sigterm 800x600 term
run_case sigint 800x600 int
echo "window-gone checks passed"
