#!/usr/bin/env bash
# The real game from its start: the first scene with its swelling light, Enter to the
# title, the cursor ball following the mouse, "Play Game" into the level, Escape back to
# the title, "Quit" ending the program with status 0. A screenshot of each screen.
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TARVO_E2E_INNER:-}" ]; then
    TARVO_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0"
fi
. "$here/lib.bash"

# Mean brightness of a screenshot, 0 to 1.
brightness() { convert "$ARTIFACTS/$1.png" -colorspace Gray -format "%[fx:mean]" info: 2>/dev/null; }
brighter() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

start_game screens
id=$(wait_window "Project Tarvo" 20) || fail "no window"
sleep 6
screenshot intro-first-scene
b=$(brightness intro-first-scene)
brighter "$b" 0.02 || fail "the first scene is black (brightness $b)"

xdotool windowfocus --sync "$id" 2>/dev/null; xdotool key Return
sleep 3
screenshot title
b=$(brightness title)
brighter "$b" 0.05 || fail "the title is black (brightness $b)"
move 150 -100
sleep 1
screenshot title-ball-moved
differ title title-ball-moved || fail "the ball did not follow the mouse"

# The cursor started at (400, 300), origin bottom left; "Play Game" is x 440..800, y 140..220.
move 50 220
sleep 0.5
xdotool click 1
sleep 8
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended after Play Game"
screenshot play
differ title play || fail "Play Game changed nothing"

xdotool key Escape
sleep 3
screenshot title-again
# "Quit" is x 520..670, y 20..70: from (600, 180) go to (595, 45).
move -10 130
sleep 0.5
xdotool click 1
wait_exit "$GAME_PID" 15
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after Quit"
echo "screens checks passed"
