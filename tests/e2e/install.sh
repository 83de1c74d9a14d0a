#!/usr/bin/env bash
# The install target lays the game out like a Linux game, and the installed launcher,
# started from another directory, opens the game's window.
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TARVO_E2E_INNER:-}" ]; then
    TARVO_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0"
fi
. "$here/lib.bash"
: "${TARVO_XCLOSE:?}"

prefix=$(mktemp -d)
trap 'stop_game; rm -rf "$prefix"' EXIT
cmake --install "$TARVO_BUILD_DIR" --prefix "$prefix" >"$ARTIFACTS/install.log" 2>&1 ||
    fail "cmake --install failed (see install.log)"

for f in bin/tarvo bin/tarvo-check lib/tarvo/tarvo share/applications/tarvo.desktop \
    share/icons/hicolor/128x128/apps/tarvo.png share/man/man6/tarvo.6 \
    share/tarvo/data/flatlandriver.xml share/tarvo/Data/flatland.raw; do
    [ -f "$prefix/$f" ] || fail "$f was not installed"
done
[ -x "$prefix/bin/tarvo" ] || fail "the launcher is not executable"
[ ! -e "$prefix/share/tarvo/.content-stamp" ] || fail "the build's stamp file was installed"
# Every file the build generated is installed, byte for byte.
(cd "$TARVO_GAME_DIR" && find . -type f ! -name .content-stamp | sort) >"$prefix/made.txt"
(cd "$prefix/share/tarvo" && find . -type f | sort) >"$prefix/installed.txt"
diff -q "$prefix/made.txt" "$prefix/installed.txt" >/dev/null || fail "the installed content differs from the built"
head -c 8 "$prefix/share/icons/hicolor/128x128/apps/tarvo.png" | od -An -tx1 | grep -q "89 50 4e 47" ||
    fail "the icon is not a PNG"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/tarvo.desktop" || fail "desktop entry refused"
fi
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man6/tarvo.6" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "manual page warnings: $warnings"
fi

# Started from elsewhere, the launcher finds its files and opens the window.
(cd / && exec "$prefix/bin/tarvo") >"$ARTIFACTS/install-run.log" 2>&1 &
GAME_PID=$!
id=$(wait_window "Project Tarvo" 30) || fail "the installed game opened no window"
sleep 1
kill -0 "$GAME_PID" 2>/dev/null || fail "the installed game ended by itself"
screenshot "installed-game"
"$TARVO_XCLOSE" "$id"
wait_exit "$GAME_PID" 10
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after the close request"
echo "install checks passed"
