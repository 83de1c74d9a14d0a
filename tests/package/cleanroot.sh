#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root, where none of the build's
# tools or libraries are, with apt-get (which fetches its dependencies), then starts
# the installed game under Xvfb and keeps a screenshot of the intro.
# Usage: cleanroot.sh PACKAGE.deb [ROOT]
#   ROOT: a folder made by debootstrap to reuse (made in a scratch folder when absent).
# Needs root (debootstrap, chroot) and the network; `./tarvo package --check` runs it.
set -euo pipefail
deb=$(readlink -f "$1")
name=$(basename "$deb")
artifacts="$(dirname "$deb")/artifacts/package"
mkdir -p "$artifacts"
fail() {
    echo "tarvo: package check failed: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || fail "run it as root (it uses debootstrap and chroot)"
if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
fi

root=${2:-}
scratch=""
if [ -z "$root" ]; then
    scratch=$(mktemp -d /var/tmp/tarvo-root.XXXXXX)
    root=$scratch
fi
mounted=()
cleanup() {
    local m
    for m in "${mounted[@]}"; do umount -l "$m" || true; done
    # Only a root this script made is removed, and never through a mount left behind.
    if [ -n "$scratch" ] && ! grep -q " $scratch/" /proc/mounts; then
        rm -rf --one-file-system "$scratch"
    fi
}
trap cleanup EXIT

if [ ! -f "$root/etc/debian_version" ]; then
    echo "tarvo: making a fresh Debian 12 root in $root"
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >"$artifacts/debootstrap.log" 2>&1 ||
        fail "debootstrap failed (is the network there? see $artifacts/debootstrap.log)"
fi
for m in proc dev; do
    mkdir -p "$root/$m"
done
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount --bind /dev "$root/dev" && mounted+=("$root/dev")
cp "$deb" "$root/tmp/$name"

in_root() {
    chroot "$root" env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/games HOME=/root \
        DEBIAN_FRONTEND=noninteractive "$@"
}
echo "tarvo: installing $name and its dependencies in the fresh root"
in_root apt-get update >"$artifacts/apt.log" 2>&1 || fail "apt-get update failed (see $artifacts/apt.log)"
# Xvfb and xwd only to look at the game; the game's own needs come from the package.
in_root apt-get install -y --no-install-recommends "/tmp/$name" xvfb xauth x11-apps >>"$artifacts/apt.log" 2>&1 ||
    fail "apt-get install failed (see $artifacts/apt.log)"
for tool in cmake g++ libsdl2-dev libgtest-dev; do
    if in_root dpkg-query -W -f='${Status}' "$tool" 2>/dev/null | grep -q 'ok installed'; then
        fail "$tool came along with the package"
    fi
done

echo "tarvo: starting the installed game"
rm -f "$root/tmp/intro.xwd"
in_root xvfb-run -a -s "-screen 0 800x600x24" sh -c '
    cd / && tarvo >/tmp/tarvo-run.log 2>&1 &
    pid=$!
    sleep 8
    xwd -root -silent >/tmp/intro.xwd
    kill -0 $pid || exit 3
    kill $pid
    wait $pid 2>/dev/null
    exit 0' || fail "the installed game did not stay up (see $artifacts/run.log)"
cp "$root/tmp/tarvo-run.log" "$artifacts/run.log" 2>/dev/null || true
convert "xwd:$root/tmp/intro.xwd" "$artifacts/installed-intro.png" || fail "no screenshot"
# The intro is a lit scene; a black or one-coloured screen means the game drew nothing.
spread=$(convert "$artifacts/installed-intro.png" -colorspace Gray -format '%[fx:standard_deviation*1000]' info:)
[ "${spread%.*}" -ge 20 ] || fail "the screen is blank (see $artifacts/installed-intro.png)"
echo "tarvo: the installed package starts; screenshot in $artifacts/installed-intro.png"
