#!/usr/bin/env bash
# The intro left alone: from launch through the first scene (the hero by the tree) and the
# second (Doduda and his lines) to the title, by itself. A screenshot every 10 s must show
# a scene, not a black screen (the fade at the end of the first scene falls between two
# shots); keys other than Enter change nothing; at the end a click on "Quit", which only
# the title answers, ends the game.
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

start_game intro
id=$(wait_window "Project Tarvo" 20) || fail "no window"
launched=$(date +%s)
# The first scene's script lasts 105 s and its light fades out over its last 3 s; the
# second lasts 23.4 s. Shots at 5, 15, ... 95 s (first scene) and 115, 125 s (second).
for t in 5 15 25 35 45 55 65 75 85 95 115 125; do
    while [ $(($(date +%s) - launched)) -lt "$t" ]; do sleep 0.2; done
    kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended during the intro"
    screenshot "intro-$t"
    share=$(lit_share "intro-$t")
    echo "intro at $t s: lit share $share"
    at_least "$share" 0.01 || fail "the intro is black at $t s (lit share $share)"
    if [ "$t" -eq 25 ]; then
        xdotool windowfocus --sync "$id" 2>/dev/null
        xdotool key Escape space w Left ctrl+Shift_L 2>/dev/null
    fi
    if [ "$t" -eq 35 ]; then
        # Still the scene, not the title: the title's golden letters cross (400, 130).
        read -r r g b <<<"$(pixel intro-35 400 130)"
        [ "$r" -gt 150 ] && [ "$g" -gt 120 ] && [ "$b" -lt 120 ] &&
            fail "a key other than Enter left the intro ($r $g $b where the title's letters are)"
    fi
done

# The title comes by itself once the second scene is over.
while [ $(($(date +%s) - launched)) -lt 140 ]; do sleep 0.2; done
screenshot intro-title
xdotool windowfocus --sync "$id" 2>/dev/null
# The cursor starts at (400, 300), origin bottom left; "Quit" is x 520..670, y 20..70.
move 180 250
sleep 0.5
xdotool click 1
wait_exit "$GAME_PID" 15
status=$?
[ "$status" -eq 0 ] || fail "no title 140 s after launch (Quit did not end the game: $status)"
echo "intro checks passed"
