#!/bin/sh
# Makes every artifact of the release twice (packaging/release.sh), from two
# clones of this checkout's last commit, and checks that the two builds give
# the same bytes: the first clone made and built with umask 022, in UTC, in
# the C locale; the second in a folder of another name and depth, with umask
# 002, at UTC+14, in the C.UTF-8 locale. Lintian checks the second build's
# Debian packages. Uncommitted changes take no part.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

build() { # folder, umask, TZ, locale
    (
        umask "$2"
        export TZ="$3" LC_ALL="$4"
        git clone -q "$here" "$work/$1"
        cd "$work/$1"
        sh packaging/release.sh "$work/$1.dist"
    ) >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "building in $1"; }
}
build first 022 UTC0 C
build another/second 002 XST-14 C.UTF-8

one=$work/first.dist
two=$work/another/second.dist
[ "$(ls "$one")" = "$(ls "$two")" ] || fail "different artifacts: $(ls "$one") / $(ls "$two")"
differ=""
for artifact in $(ls "$one"); do
    if cmp -s "$one/$artifact" "$two/$artifact"; then
        echo "same bytes twice: $artifact $(sha256sum "$one/$artifact" | cut -c1-16)"
    else
        echo "different bytes: $artifact"
        differ="$differ $artifact"
    fi
done
[ -z "$differ" ] || fail "different between the two builds:$differ"
if command -v lintian >/dev/null; then
    for deb in "$two"/*.deb; do
        lintian --fail-on error,warning "$deb" || fail "lintian: $(basename "$deb")"
    done
else
    echo "lintian is not installed: the packages are not checked by it"
fi
