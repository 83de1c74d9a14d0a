#!/usr/bin/env bash
# The intro left alone, then every screen after it, in one run of the real game: from launch
# through the first scene (the hero by the tree, its light swelling) and the second (Doduda
# and his lines) to the title, by itself. A screenshot every 10 s must show a scene, not a
# black screen (the fade at the end of the first scene falls between two shots); keys other
# than Enter change nothing. On the title the cursor ball follows the mouse, "Play Game"
# leads into the level, Escape back to the title, and "Quit" ends the program with status 0.
# A screenshot of each screen. (Enter skipping the intro is what every other script that
# starts at the title does first.)
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TARVO_E2E_INNER:-}" ]; then
    TARVO_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0"
fi
. "$here/lib.bash"

# The share of pixels of a screenshot brighter than a dim grey: the scenes are figures on
# black, so a lit scene has 2 to 13 percent; a black screen with a few glowing sparks of
# the flare has under 1.
lit_share() {
    convert "$ARTIFACTS/$1.png" -colorspace Gray -threshold 12% -format "%[fx:mean]" info: 2>/dev/null
}
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; }
# Mean brightness of a screenshot, 0 to 1.
brightness() { convert "$ARTIFACTS/$1.png" -colorspace Gray -format "%[fx:mean]" info: 2>/dev/null; }
brighter() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

start_game intro
# The window can take long to open while the rest of the suite starts beside it.
id=$(wait_window "Project Tarvo" 60) || fail "no window"
launched=$(date +%s)
# The first scene's script lasts 105 s and its light fades out over its last 3 s; the
# second lasts 23.4 s. Shots at 5, 15, ... 95 s (first scene) and 115, 125 s (second).
for t in 5 6 15 25 35 45 55 65 75 85 95 115 125; do
    while [ $(($(date +%s) - launched)) -lt "$t" ]; do sleep 0.2; done
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended during the intro"
    if [ "$t" -eq 6 ]; then
        screenshot intro-first-scene
        b=$(brightness intro-first-scene)
        brighter "$b" 0.02 || fail "the first scene is black (brightness $b)"
        continue
    fi
    screenshot "intro-$t"
    share=$(lit_share "intro-$t")
    echo "intro at $t s: lit share $share"
    at_least "$share" 0.01 || fail "the intro is black at $t s (lit share $share)"
    if [ "$t" -eq 25 ]; then
        xdotool windowfocus --sync "$id" 2>/dev/null
        xdotool key Escape space w Left ctrl+Shift_L 2>/dev/null
    fi
    if [ "$t" -eq 35 ]; then
        title_shown intro-35 && fail "a key other than Enter left the intro (the title's letters)"
    fi
done

# The title comes by itself once the second scene is over, 140 s after launch at the latest.
while :; do
    screenshot title
    title_shown title && break
    [ $(($(date +%s) - launched)) -lt 140 ] || fail "no title 140 s after launch"
    sleep 1
done
echo "the title after $(($(date +%s) - launched)) s"
sleep 2 # its letters still brighten
screenshot title
b=$(brightness title)
brighter "$b" 0.05 || fail "the title is black (brightness $b)"
xdotool windowfocus --sync "$id" 2>/dev/null
move 150 -100
sleep 1
screenshot title-ball-moved
differ title title-ball-moved || fail "the ball did not follow the mouse"

# The ball rests on "Play Game" (770, 180), origin bottom left, right of its words; "Play
# Game" is x 440..800, y 140..220. Back there from (800, 280) (the cursor stops at the edge).
move -150 100
sleep 0.5
xdotool click 1
sleep 8
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended after Play Game"
screenshot play
differ title play || fail "Play Game changed nothing"

move 300 -200 # turning the hero must not move the next title's ball
sleep 0.5
# The first Escape only asks; the second leaves.
xdotool key Escape
sleep 0.5
xdotool key Escape
sleep 3
screenshot title-again
# "Quit" is x 510..670, y 20..95: from the ball's rest (770, 180) go to (590, 50).
move -180 130
sleep 0.5
xdotool click 1
wait_exit "$GAME_PID" 15
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after Quit"
echo "intro and screens checks passed"
