#!/usr/bin/env bash
# Records the committed demos anew, from short scenes of driven play (tarvo-demoscenes):
#   village.demo   the hero walks to the nearest villager, talks and buys something
#   fight.demo     the first fight: an enemy painted by shots, killed, its gem picked up
#   gameover.demo  the hero walks into the enemies, dies, and Enter on "Game Over" leads
#                  to the title
#   long/playthrough.demo  the computer player's whole game (for ./tarvo bench)
# Run it after a change that is meant to change play (CTest's demo_* tests then fail):
#   bash tests/demos/record.sh [BUILD]        (default: build)
# TARVO_DEMOS_SHORT=1 leaves the whole game's demo as it is (it takes some ten minutes).
# It builds what it needs and records under Xvfb; a scene that misses its goal fails it.
set -euo pipefail
cd "$(dirname "$0")/../.."
TOP=$(pwd)
BUILD=$(cd "${1:-build}" && pwd)
OUT="$TOP/tests/demos"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-x11}"
cmake --build "$BUILD" --target tarvo tarvo-demoscenes tarvo-playthrough content >/dev/null

record() { # NAME SCENE
    local name=$1 scene=$2 work
    work=$(mktemp -d)
    echo "recording $name"
    if ! (cd "$BUILD/game" && TARVO_DEMO="$work/$name.demo" xvfb-run -a \
        -s "-screen 0 800x600x24" "$BUILD/tarvo-demoscenes" "$scene" 150 2>/dev/null); then
        rm -rf "$work"
        echo "record.sh: the $scene scene missed its goal; $name.demo is kept as it was" >&2
        return 1
    fi
    mv "$work/$name.demo" "$OUT/$name.demo"
    rm -rf "$work"
}

record village village
record fight fight
record gameover death

# The computer player's whole game, intro to credits (some minutes): replayed by ./tarvo bench
# for the frame times, too long for the tests.
if [ -n "${TARVO_DEMOS_SHORT:-}" ]; then
    echo "recorded; replay them with: xvfb-run -a ctest --test-dir $BUILD -L demo"
    exit 0
fi
echo "recording long/playthrough (the whole game)"
mkdir -p "$OUT/long"
work=$(mktemp -d)
if (cd "$BUILD/game" && TARVO_DEMO="$work/playthrough.demo" xvfb-run -a \
    -s "-screen 0 800x600x24" "$BUILD/tarvo-playthrough" finish "$work" 1500 skip | tail -n 1); then
    mv "$work/playthrough.demo" "$OUT/long/playthrough.demo"
else
    echo "record.sh: the computer player did not reach the credits; long/playthrough.demo is kept" >&2
fi
rm -rf "$work"
echo "recorded; replay them with: xvfb-run -a ctest --test-dir $BUILD -L demo"
