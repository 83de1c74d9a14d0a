#!/bin/sh
# Starts Project Tarvo from anywhere: the game reads its files relative to its
# working directory, so enter the installed content first.
here=$(dirname "$(readlink -f "$0")")
prefix=$(dirname "$here")
# A demo's path is meant from where the player stands, not from the content folder.
first=1
previous=
for arg in "$@"; do
    [ "$first" = 1 ] && set -- && first=0
    case "$previous" in
    --record | --replay) case "$arg" in /*) ;; *) arg="$PWD/$arg" ;; esac ;;
    esac
    set -- "$@" "$arg"
    previous=$arg
done
cd "$prefix/share/tarvo" || {
    echo "tarvo: the game's files are missing from $prefix/share/tarvo" >&2
    exit 1
}
exec "$prefix/lib/tarvo/tarvo" "$@"
