#!/usr/bin/env bash
# The built game starts from anywhere: from the source folder, from /tmp and from its content
# folder it finds build/game and shows the first scene (not a black window); a copy of the
# binary with no content anywhere near says so in one line and ends at once.
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TARVO_E2E_INNER:-}" ]; then
    TARVO_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0"
fi
. "$here/lib.bash"
: "${TARVO_XCLOSE:?}" "${TARVO_SOURCE_DIR:?}"

brightness() { convert "$ARTIFACTS/$1.png" -colorspace Gray -format "%[fx:mean]" info: 2>/dev/null; }
brighter() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

starts=("$TARVO_GAME_DIR")
if [ "$(cd "$(dirname "$TARVO_BIN")" && pwd)/game" = "$(cd "$TARVO_GAME_DIR" && pwd)" ]; then
    starts+=("$TARVO_SOURCE_DIR" /tmp)
else
    echo "note: the content is not beside the binary here; only its own folder is tried"
fi

n=0
for dir in "${starts[@]}"; do
    n=$((n + 1))
    name="start-anywhere-$n"
    (cd "$dir" && exec "$TARVO_BIN") >"$ARTIFACTS/$name.log" 2>&1 &
    GAME_PID=$!
    id=$(wait_window "Project Tarvo" 20) ||
        fail "started from $dir: no window; the game said: $(cat "$ARTIFACTS/$name.log")"
    # The scene's light swells: look once a second until it shows, for 6 s at most.
    for ((i = 1; i <= 6; i++)); do
        sleep 1
        kill -0 "$GAME_PID" 2>/dev/null || fail "started from $dir: the game ended by itself"
        screenshot "$name"
        b=$(brightness "$name")
        brighter "$b" 0.02 && break
    done
    brighter "$b" 0.02 || fail "started from $dir: the first scene is black (brightness $b)"
    grep -q "Couldn't load" "$ARTIFACTS/$name.log" && fail "started from $dir: $(cat "$ARTIFACTS/$name.log")"
    kill -0 "$GAME_PID" 2>/dev/null || fail "started from $dir: the game ended by itself"
    "$TARVO_XCLOSE" "$id"
    wait_exit "$GAME_PID" 10
    status=$?
    [ "$status" -eq 0 ] || fail "started from $dir: exit status $status after the close request"
    echo "ok from $dir (brightness $b)"
done

# A copy of the binary two folders down in an empty tree: no content in the working folder,
# beside the binary, or in either share/tarvo above it.
tmp=$(mktemp -d)
trap 'stop_game; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/bin/tarvo-copy" "$tmp/elsewhere"
cp "$TARVO_BIN" "$tmp/bin/tarvo-copy/tarvo"
start=$(date +%s%N)
(cd "$tmp/elsewhere" && exec timeout 10 "$tmp/bin/tarvo-copy/tarvo") >"$tmp/out" 2>"$tmp/err"
status=$?
ms=$((($(date +%s%N) - start) / 1000000))
cp "$tmp/err" "$ARTIFACTS/start-anywhere-missing.log"
[ "$status" -ne 0 ] || fail "without content the game ended with status 0"
[ "$status" -ne 124 ] || fail "without content the game did not end"
[ "$ms" -lt 2000 ] || fail "without content the game took $ms ms to end"
[ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "without content it said more than one line: $(cat "$tmp/err")"
[ ! -s "$tmp/out" ] || fail "without content it wrote to standard output: $(cat "$tmp/out")"
grep -q "./tarvo build" "$tmp/err" || fail "the message does not say how to make the content: $(cat "$tmp/err")"
grep -qF "$tmp/elsewhere" "$tmp/err" && grep -qF "$tmp/bin/tarvo-copy/game" "$tmp/err" ||
    fail "the message does not name the places looked in: $(cat "$tmp/err")"
[ -z "$(xdotool search --name '^Project Tarvo$' 2>/dev/null)" ] || fail "without content a window opened"
echo "ok without content: status $status after $ms ms: $(cat "$tmp/err")"
echo "start-anywhere checks passed"
