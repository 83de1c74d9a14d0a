#!/usr/bin/env bash
# Records the committed demos anew, from the computer player's driven play:
#   village.demo   the hero walks to Virav, talks with him and buys his map
#   fight.demo     the first fight: an enemy painted, killed, its gem picked up
#   gameover.demo  the hero walks into the enemies, dies, and "Game Over" goes to the title
# Run it after a change that is meant to change play (CTest's demo_* tests then fail):
#   bash tests/demos/record.sh [BUILD]        (default: build)
# It needs the build's tarvo-playthrough and content, and records under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/../.."
TOP=$(pwd)
BUILD=$(cd "${1:-build}" && pwd)
OUT="$TOP/tests/demos"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-x11}"
cmake --build "$BUILD" --target tarvo tarvo-playthrough content >/dev/null

record() { # NAME MODE SECONDS
    local name=$1 mode=$2 seconds=$3 work
    work=$(mktemp -d)
    echo "recording $name ($mode, at most $seconds s)"
    (cd "$BUILD/game" && TARVO_DEMO="$work/$name.demo" xvfb-run -a -s "-screen 0 800x600x24" \
        "$BUILD/tarvo-playthrough" "$mode" "$work" "$seconds" skip) | tail -n 3 || true
    mv "$work/$name.demo" "$OUT/$name.demo"
    rm -rf "$work"
}

record village map 300
record fight finish "${TARVO_FIGHT_SECONDS:-75}"
record gameover lose 400
echo "recorded; check them with: ctest --test-dir $BUILD -L demo"
