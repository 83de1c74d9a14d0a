#!/usr/bin/env bash
# The heads-up display and the map trade end to end: from the title into play, check
# what the HUD shows at full life with the green gun and ten gems, walk round the
# village to the old man Virav, ask him for the map (his second item, free) and see it
# drawn with the enemies as red dots while he answers, still up back in play with the hero's
# yellow arrow on it, then put away with M. The box is headed by the speaker's name.
# Exit status 77 means the game never reached play or the hero never got to talk.
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TARVO_E2E_INNER:-}" ]; then
    TARVO_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0"
fi
. "$here/lib.bash"
: "${TARVO_XCLOSE:?}"

# count NAME WxH+X+Y TEST: how many pixels of that rectangle pass TEST (an fx
# expression over r, g, b from 0 to 1).
count() {
    convert "$ARTIFACTS/$1.png" -crop "$2" +repage -fx "($3)?1:0" \
        -format "%[fx:int(mean*w*h+0.5)]" info: 2>/dev/null || echo 0
}

# The life fill: strong red with little green or blue. The frame's wood is brown. The fill is
# 70% red over the scene: over the start's grass about (200, 38, 16), brighter only where the
# village fire's flames used to reach down behind it.
is_fill_red() {
    local r g b
    read -r r g b <<<"$(pixel "$1" "$2" "$3")"
    [ -n "$b" ] && [ "$r" -gt 180 ] && [ "$g" -lt 130 ] && [ "$b" -lt 90 ] && [ "$r" -gt $((g + 100)) ]
}

# Mostly green: the green gun's palette and the gem icon.
is_greenish() {
    local r g b
    read -r r g b <<<"$(pixel "$1" "$2" "$3")"
    [ -n "$b" ] && [ "$g" -gt $((r + 30)) ] && [ "$g" -gt $((b + 20)) ]
}

# The map's dark brown border.
is_map_border() {
    local r g b
    read -r r g b <<<"$(pixel "$1" "$2" "$3")"
    [ -n "$b" ] && [ "$r" -ge 50 ] && [ "$r" -le 120 ] && [ "$g" -ge 30 ] && [ "$g" -le 90 ] &&
        [ "$b" -le 60 ] && [ "$r" -gt "$b" ]
}

PURE_RED="r>0.9&&g<0.1&&b<0.1"
GEM_TEXT="b>0.8&&r<0.25&&g<0.25"
AMMO_TEXT="g>0.85&&r<0.3&&b<0.3"
MENU_RED="r>0.7&&g<0.25&&b<0.25"
NAME_RED="r>g+0.15&&r<0.65&&b<0.25"
ARROW_YELLOW="r>0.8&&g>0.7&&b<0.3"
# Where the map shows below the box (the box covers y 0 to 300).
MAP_BELOW_BOX="306x245+200+305"
# The bands of the menu's first and second item.
ITEM0="360x18+140+124"
ITEM1="360x18+140+147"

start_at_title "hud"
screenshot "hud-title"
# The ball rests on "Play Game" when the title opens.
sleep 0.5
xdotool click 1
sleep 8
screenshot "hud-play"
changed=$(compare -metric AE -fuzz 10% "$ARTIFACTS/hud-title.png" "$ARTIFACTS/hud-play.png" null: 2>&1 | cut -d' ' -f1)
if [ "${changed%.*}" -lt 20000 ] 2>/dev/null; then
    echo "SKIP: the title did not give way to play" >&2
    exit 77
fi

# Life bar at full life: the red fill runs from y 570 up to y 483 between x 40 and 59,
# with the frame's wood just above and below it.
for p in "44 486" "50 486" "56 486" "50 500" "50 530" "44 560" "56 566"; do
    is_fill_red "hud-play" $p || fail "life fill not red at ($p): $(pixel hud-play $p)"
done
for p in "50 480" "44 480" "50 574"; do
    is_fill_red "hud-play" $p && fail "life fill reaches ($p) outside its bar"
done
# The green gun: a green palette with a green "--" in its middle.
for p in "725 495" "695 525" "755 525" "725 560"; do
    is_greenish "hud-play" $p || fail "palette not green at ($p): $(pixel hud-play $p)"
done
ammo=$(count "hud-play" "40x24+708+515" "$AMMO_TEXT")
[ "$ammo" -ge 15 ] || fail "no green \"--\" on the palette ($ammo pixels)"
# The gem icon and its blue "X 10".
is_greenish "hud-play" 665 60 || fail "gem icon not green: $(pixel hud-play 665 60)"
gems=$(count "hud-play" "85x40+705+35" "$GEM_TEXT")
[ "$gems" -ge 100 ] || fail "no blue gem count beside the icon ($gems pixels)"
red=$(count "hud-play" "$MAP_BELOW_BOX" "$PURE_RED")
[ "$red" -lt 25 ] || fail "red dots on the screen before any map was asked for ($red pixels)"

# Virav's round lies ahead and a little to the left of the start (330, 555), with
# Rarozare just ahead on the way: step left, then walk east into Virav's round at
# (480, 535). +90 degrees of yaw is 628 pixels of mouse motion.
move -628 0 # face -z
sleep 0.5
hold w 0.5 # to about (330, 530)
sleep 1.5
move 628 0 # face +x
sleep 0.5
hold w 3.0 # to about (475, 530)
sleep 1.5
screenshot "hud-arrived"

talking=0
for try in $(seq 1 30); do
    hold t 0.2
    screenshot "hud-chat"
    if box_shown "hud-chat"; then
        talking=1
        break
    fi
    sleep 0.3
done
if [ "$talking" -ne 1 ]; then
    echo "SKIP: nobody came within talking reach" >&2
    exit 77
fi
echo "talking after $try presses of T"
[ "$(count hud-chat "205x33+125+55" "$NAME_RED")" -ge 100 ] || fail "the box does not name the speaker"

xdotool key Return
sleep 1.2
screenshot "hud-menu"
box_shown "hud-menu" || fail "the box went away before the menu"
[ "$(count hud-menu "$ITEM0" "$MENU_RED")" -ge 20 ] ||
    fail "the first item (nothing for now) is not highlighted"
# Down to the map, up to the first item and down again: the highlight moves each time.
xdotool key Down
sleep 1.2
screenshot "hud-menu-down"
[ "$(count hud-menu-down "$ITEM1" "$MENU_RED")" -ge 20 ] || fail "Down did not highlight the second item"
[ "$(count hud-menu-down "$ITEM0" "$MENU_RED")" -lt 5 ] || fail "the first item stays highlighted after Down"
xdotool key Up
sleep 1.2
screenshot "hud-menu-up"
[ "$(count hud-menu-up "$ITEM0" "$MENU_RED")" -ge 20 ] || fail "Up did not come back to the first item"
xdotool key Down
sleep 1.2
screenshot "hud-menu-map"
[ "$(count hud-menu-map "$ITEM1" "$MENU_RED")" -ge 20 ] || fail "Down did not come back to the map item"
red=$(count "hud-menu-map" "$MAP_BELOW_BOX" "$PURE_RED")
[ "$red" -lt 25 ] || fail "red dots before the map was chosen ($red pixels)"

xdotool key Return
sleep 1.2
screenshot "hud-map"
box_shown "hud-map" || fail "the box went away before the reply"
for p in "201 350" "201 500" "498 350" "498 500"; do
    is_map_border "hud-map" $p ||
        fail "no map border at ($p) during the reply (is the partner Virav?): $(pixel hud-map $p)"
done
red=$(count "hud-map" "$MAP_BELOW_BOX" "$PURE_RED")
[ "$red" -ge 100 ] || fail "too few red enemy dots on the map ($red pixels, want 4 dots or more)"
# The map is free: the gem count still reads "X 10".
after=$(count "hud-map" "85x40+705+35" "$GEM_TEXT")
[ "$after" -ge $((gems - 40)) ] && [ "$after" -le $((gems + 40)) ] ||
    fail "the gem count changed for the map ($gems -> $after pixels)"

xdotool key Return
sleep 1.2
screenshot "hud-after"
box_shown "hud-after" && fail "the box stays after the reply"
# The map stays up to be read once the talk is over, small in the top-left corner so that
# the hero stays in view, then goes after its reading time.
is_map_border "hud-after" 11 110 && is_map_border "hud-after" 208 110 ||
    fail "the map went with the conversation"
[ "$(count hud-after "200x200+10+10" "$ARROW_YELLOW")" -ge 20 ] || fail "no \"you are here\" arrow on the map"
# M puts it away before its reading time is over.
xdotool key m
sleep 1.2
screenshot "hud-map-gone"
is_map_border "hud-map-gone" 11 110 && is_map_border "hud-map-gone" 208 110 &&
    fail "M did not put the map away"
red=$(count "hud-map-gone" "200x200+10+10" "$PURE_RED")
[ "$red" -lt 25 ] || fail "red dots stay after M ($red pixels)"
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended during the check"
"$TARVO_XCLOSE" "$id"
wait_exit "$GAME_PID" 10
echo "hud ok"
