#!/usr/bin/env bash
# The hero in play, driven like a player: after "Play Game" the camera swoops in on the
# hero; W walks, the mouse turns, Space jumps, the wheel changes the gun, the left button
# fires, Left Shift rolls. Each step must change the picture, the game must live through
# all of it, and a screenshot of each is kept.
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TARVO_E2E_INNER:-}" ]; then
    TARVO_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0"
fi
. "$here/lib.bash"
: "${TARVO_XCLOSE:?}"

alive() { kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended $1"; }

start_at_title play
# The ball rests on "Play Game" when the title opens.
sleep 0.5
xdotool click 1
sleep 1
screenshot play-swoop
sleep 7
screenshot play-start
differ play-swoop play-start || fail "the camera did not move in on the hero"
alive "after Play Game"

hold w 1.5
sleep 0.5
screenshot play-walked
differ play-start play-walked || fail "W did not walk"

move 200 0
sleep 1
screenshot play-turned
differ play-walked play-turned || fail "the mouse did not turn the hero"

xdotool key space
sleep 0.3
screenshot play-jump
sleep 1.5
screenshot play-landed
differ play-jump play-landed || fail "Space did not jump"

xdotool click 5 # the wheel: the next gun
sleep 0.7
screenshot play-gun
differ play-landed play-gun || fail "the wheel did not change the gun"

xdotool click 1
sleep 0.2
screenshot play-shot
sleep 1.5
screenshot play-after-shot
differ play-shot play-after-shot || fail "the shot left no trace"

hold Shift_L 0.2
sleep 0.2
screenshot play-roll
alive "during the roll"
sleep 1.5
"$TARVO_XCLOSE" "$id"
wait_exit "$GAME_PID" 10
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after the window closed"
echo "play checks passed"
