#!/usr/bin/env bash
# No game outlives the end-to-end script that started it: not when the script fails before
# the game's window appears, nor when the script is stopped by a signal. The stand-in game
# here ignores the polite request, as a game that never got its window does.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.bash"

work=$(mktemp -d /tmp/tarvo-e2e-left-XXXXXX)
trap 'rm -rf "$work"' EXIT
cat >"$work/game" <<'GAME'
#!/usr/bin/env bash
trap '' TERM INT HUP
while :; do sleep 0.1; done
GAME
chmod +x "$work/game"

# run_script HOW: a script that starts the stand-in and then fails waiting for a window
# ("fail") or is stopped meanwhile ("term"); prints nothing, leaves the game's pid in $work.
run_script() {
    TARVO_BIN="$work/game" bash -c '
        . "$1/lib.bash"
        start_game left-game
        echo "$GAME_PID" >"$2/pid"
        wait_window "No such window" 2 >/dev/null || fail "no window (as expected)"
    ' script "$here" "$work" 2>/dev/null &
    local script=$!
    for ((i = 0; i < 25; i++)); do
        [ -s "$work/pid" ] && break
        sleep 0.2
    done
    [ "$1" = term ] && sleep 0.5 && kill -TERM "$script"
    wait "$script"
}

# Whether process PID still runs (a killed game whose parent is gone may stay a zombie for a
# moment, until the system reaps it).
running() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "${state#Z}" = "$state" ]
}

for how in fail term; do
    rm -f "$work/pid"
    run_script "$how"
    pid=$(cat "$work/pid")
    [ -n "$pid" ] || fail "$how: the script started no game"
    if running "$pid"; then
        kill -KILL "$pid"
        fail "$how: the game still ran after its script ended"
    fi
    echo "$how: the game ended with its script"
done
echo "left-game checks passed"
