#!/usr/bin/env bash
# Started with no display (no X server, no Wayland compositor), as from a text console or
# over ssh: the game says in one line which display it looked for and ends with status 1 at
# once, instead of running unseen on a driver that draws into memory.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.bash"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -m 700 "$tmp/run"

# no_display NAME [VAR=VALUE...]: runs the game without a display, with the variables given.
no_display() {
    local name=$1 start status ms
    shift
    start=$(date +%s%N)
    (cd "$TARVO_GAME_DIR" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
        XDG_RUNTIME_DIR="$tmp/run" "$@" timeout 20 "$TARVO_BIN") >"$tmp/out" 2>"$tmp/err"
    status=$?
    ms=$((($(date +%s%N) - start) / 1000000))
    cp "$tmp/err" "$ARTIFACTS/nodisplay-$name.log"
    [ "$status" -ne 124 ] || fail "$name: the game did not end"
    [ "$status" -eq 1 ] || fail "$name: exit status $status, not 1: $(cat "$tmp/err")"
    [ "$ms" -lt 5000 ] || fail "$name: the game took $ms ms to end"
    [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "$name: it said more than one line: $(cat "$tmp/err")"
    [ ! -s "$tmp/out" ] || fail "$name: it wrote to standard output: $(cat "$tmp/out")"
    echo "ok $name: status $status after $ms ms: $(cat "$tmp/err")"
}

no_display unset
grep -q "DISPLAY is not set" "$tmp/err" || fail "the line does not say what was looked for: $(cat "$tmp/err")"
# A display named but not there: the line names it.
no_display absent DISPLAY=:97
grep -qF ":97" "$tmp/err" || fail "the line does not name the display: $(cat "$tmp/err")"
echo "no-display checks passed"
