#!/bin/sh
# Starts Project Tarvo from anywhere: the game reads its files relative to its
# working directory, so enter the installed content first.
here=$(dirname "$(readlink -f "$0")")
prefix=$(dirname "$here")
cd "$prefix/share/tarvo" || {
    echo "tarvo: the game's files are missing from $prefix/share/tarvo" >&2
    exit 1
}
exec "$prefix/lib/tarvo/tarvo" "$@"
