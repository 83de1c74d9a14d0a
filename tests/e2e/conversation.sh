#!/usr/bin/env bash
# A conversation end to end: from the title into play, walk up to the village, hold T
# next to a character until the old-paper box shows, step through chat, menu and reply
# with Enter, and see the box go away again in play.
# Exit status 77 means the game never reached play (nothing to talk in yet).
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TARVO_E2E_INNER:-}" ]; then
    TARVO_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0"
fi
. "$here/lib.bash"
: "${TARVO_XCLOSE:?}"

start_at_title "conversation"
# The ball rests on "Play Game" when the title opens.
sleep 0.5
xdotool click 1
sleep 8
screenshot "conversation-play"
box_shown "conversation-play" && fail "a paper box shows before anyone talked"

# The village lies ahead of the hero's start; walk and ask until someone answers.
talking=0
for step in $(seq 1 40); do
    hold w 0.25
    hold t 0.2
    screenshot "conversation-chat"
    if box_shown "conversation-chat"; then
        talking=1
        break
    fi
done
if [ "$talking" -ne 1 ]; then
    echo "SKIP: no conversation started (is the play state there?)" >&2
    exit 77
fi

# Chat -> menu -> reply -> play, one Enter each; the box stays until the last.
for stage in menu reply; do
    xdotool key Return
    sleep 0.7
    screenshot "conversation-$stage"
    box_shown "conversation-$stage" || fail "the box went away before the $stage"
done
cmp -s "$ARTIFACTS/conversation-chat.png" "$ARTIFACTS/conversation-menu.png" &&
    fail "Enter did not move from the chat to the menu"
xdotool key Return
sleep 0.7
screenshot "conversation-after"
box_shown "conversation-after" && fail "the box stays after the reply"
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended during the conversation"
"$TARVO_XCLOSE" "$id"
wait_exit "$GAME_PID" 10
echo "conversation ok"
