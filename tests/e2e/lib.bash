# Shared helpers for the end-to-end scripts: each script runs itself under its own
# Xvfb (re-executing through xvfb-run with the screen size it needs).
set -u
: "${TARVO_BIN:?}" "${TARVO_GAME_DIR:?}" "${TARVO_BUILD_DIR:?}"
ARTIFACTS="$TARVO_BUILD_DIR/artifacts"
mkdir -p "$ARTIFACTS" "$TARVO_GAME_DIR"

# The colour at (x, y) of screenshot NAME as "r g b" (0 to 255).
pixel() {
    convert "$ARTIFACTS/$1.png" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}

# Whether screenshot NAME shows the old-paper conversation box: two points of its inside
# are paper coloured (light, warm: red well above blue).
box_shown() {
    local p r g b
    for p in "350 40" "600 250"; do
        read -r r g b <<<"$(pixel "$1" $p)"
        [ -n "$b" ] && [ "$r" -gt 170 ] && [ "$g" -gt 140 ] && [ "$r" -gt $((b + 30)) ] || return 1
    done
    return 0
}

# Whether screenshot NAME shows the title: its golden letters cross (400, 130).
title_shown() {
    local r g b
    read -r r g b <<<"$(pixel "$1" 400 130)"
    [ -n "$b" ] && [ "$r" -gt 150 ] && [ "$g" -gt 120 ] && [ "$b" -lt 120 ]
}

# Whether screenshots A and B differ in any pixel.
differ() { [ "$(compare -metric AE "$ARTIFACTS/$1.png" "$ARTIFACTS/$2.png" null: 2>&1 | cut -d' ' -f1)" != 0 ]; }

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# wait_window NAME [SECONDS]: prints the id of the first window with that name.
wait_window() {
    local name=$1 limit=${2:-20} i id
    for ((i = 0; i < limit * 5; i++)); do
        id=$(xdotool search --name "^$name\$" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# wait_display [SECONDS]: waits until this script's X server answers. One that never does is
# the test machine's fault, not the game's, and is reported as such.
wait_display() {
    local limit=${1:-10} i
    for ((i = 0; i < limit * 5; i++)); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    fail "the X server on ${DISPLAY:-(no DISPLAY)} does not answer; the game was not started"
}

screenshot() {
    import -window root "$ARTIFACTS/$1.png" 2>/dev/null || true
}

# wait_exit PID [SECONDS]: the process's exit status, or 124 after the time limit.
wait_exit() {
    local pid=$1 limit=${2:-10} i
    for ((i = 0; i < limit * 5; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            return $?
        fi
        sleep 0.2
    done
    kill "$pid" 2>/dev/null
    return 124
}

# stop_game: ends the game this script started, if it still runs: a polite request first,
# then, after 3 s, for certain (a game that never got its window never reads the quit request
# that its signal handler queues, and would spin on after the X server has gone).
stop_game() {
    local i
    [ -n "${GAME_PID:-}" ] && kill "$GAME_PID" 2>/dev/null || return 0
    for ((i = 0; i < 15; i++)); do
        kill -0 "$GAME_PID" 2>/dev/null || return 0
        sleep 0.2
    done
    kill -KILL "$GAME_PID" 2>/dev/null
    return 0
}

# The game goes with the script however the script ends: on a failed check, at its end, or
# stopped by a signal (from ctest's time limit or xvfb-run), which without a trap of its own
# would end the shell without running the exit trap. A script that sets its own exit trap
# calls stop_game in it.
trap stop_game EXIT
trap 'exit 143' TERM INT HUP

# start_game NAME: starts the game in the background (its output in NAME.log, its pid in
# GAME_PID).
start_game() {
    (cd "$TARVO_GAME_DIR" && exec "$TARVO_BIN") >"$ARTIFACTS/$1.log" 2>&1 &
    GAME_PID=$!
}

# start_at_title NAME: starts the game (log NAME.log), waits for its window (its id in $id),
# focuses it and skips the intro with Return; the title is up when this returns.
start_at_title() {
    start_game "$1"
    id=$(wait_window "Project Tarvo" 60) || fail "no window named Project Tarvo"
    sleep 2
    xdotool windowfocus --sync "$id" 2>/dev/null
    xdotool key Return # skip the intro
    # Up once its letters show (within 3 s), and a moment later it takes the mouse.
    local i
    for ((i = 0; i < 12; i++)); do
        screenshot "$1-title-up"
        title_shown "$1-title-up" && break
        sleep 0.25
    done
    sleep 0.5
}

# move DX DY: moves the cursor by (DX, DY) screen pixels in small steps, as a player's
# mouse does (the game reads the mouse in relative mode).
move() {
    local dx=$1 dy=$2 i sx sy
    sx=$((dx / 10)) sy=$((dy / 10))
    for ((i = 0; i < 10; i++)); do
        xdotool mousemove_relative -- "$sx" "$sy"
        sleep 0.05
    done
}

# hold KEY SECONDS: keeps a key down for a while (the focused window gets it).
hold() {
    xdotool keydown "$1"
    sleep "$2"
    xdotool keyup "$1"
}

# A script re-run under its own xvfb-run starts its game only once that server answers.
[ -z "${TARVO_E2E_INNER:-}" ] || wait_display
