#!/usr/bin/env bash
# The desktop and software-centre entries validate, and the Debian package holds the
# installed game with its run-time libraries and nothing of the build or test tools.
# Usage: dist.sh SOURCE_DIR BUILD_DIR GAME_DIR
set -u
src=$1
build=$2
game=$3
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

meta="$src/tools/dist/io.github.tarvo.Tarvo.metainfo.xml"
appstreamcli validate --no-net "$meta" || fail "the software-centre entry does not validate"
desktop-file-validate "$src/tools/dist/tarvo.desktop" || fail "the desktop entry does not validate"
# The entry's id is its file name, and it launches the desktop entry we install.
grep -q "<id>$(basename "$meta" .metainfo.xml)</id>" "$meta" || fail "the entry's id differs from its file name"
launches=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$meta")
[ -f "$src/tools/dist/$launches" ] || fail "the entry launches $launches, which is not installed"
size=$(identify -format '%wx%h' "$src/tools/dist/screenshot-play.png") || fail "the screenshot is no image"
grep -q "width=\"${size%x*}\" height=\"${size#*x}\"" "$meta" || fail "the screenshot is $size, not the size the entry gives"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack --config CPackConfig.cmake -B "$work") >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    fail "cpack failed"
}
deb=$(ls "$work"/tarvo_*_*.deb) || fail "no tarvo_VERSION_ARCH.deb was made"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "the package is not in the games section"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2-2.0-0 libopenal1 libsndfile1 libpugixml1v5 libfreetype6 libfontconfig1 \
    libx11-6 fonts-liberation2 fonts-dejavu-core; do
    echo "$depends" | grep -Eq "(^|[ ,|])$lib( |,|$)" || fail "the package does not depend on $lib: $depends"
done
if echo "$depends" | grep -Eq -- '-dev\b|cmake|gtest|gmock|benchmark|xvfb|xdotool|imagemagick|espeak|clang'; then
    fail "the package depends on build or test tools: $depends"
fi

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' | grep -v '/$' | sort >"$work/files"
for f in usr/games/tarvo usr/games/tarvo-check usr/lib/tarvo/tarvo \
    usr/share/applications/tarvo.desktop usr/share/metainfo/io.github.tarvo.Tarvo.metainfo.xml \
    usr/share/icons/hicolor/128x128/apps/tarvo.png usr/share/man/man6/tarvo.6.gz \
    usr/share/man/man1/tarvo-check.1.gz usr/share/doc/tarvo/copyright usr/share/doc/tarvo/changelog.gz \
    usr/share/doc/tarvo/screenshots/play.png; do
    grep -qx "$f" "$work/files" || fail "$f is not in the package"
done
# The content is packed whole, and nothing of the build came along.
(cd "$game" && find . -type f ! -name .content-stamp | sed 's|^\./|usr/share/tarvo/|' | sort) >"$work/made"
grep '^usr/share/tarvo/' "$work/files" >"$work/packed"
diff "$work/made" "$work/packed" >&2 || fail "the packed content differs from the generated"
if grep -Ev '^usr/(games|lib/tarvo|share/(tarvo|applications|metainfo|icons|man|doc/tarvo))/' "$work/files"; then
    fail "the package holds files outside the game's places"
fi
echo "package checks passed"
