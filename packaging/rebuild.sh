#!/bin/sh
# Builds the amd64 Debian package and the x86-64 tarball twice, from two
# clones of this checkout's last commit in folders of different names and
# depths, and checks that the two builds give the same bytes. Uncommitted
# changes take no part.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

for dir in first another/second; do
    git clone -q "$here" "$work/$dir"
    (cd "$work/$dir" && cmake --workflow --preset deb && cmake --workflow --preset tarball) \
        >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "building in $dir"; }
done
for artifact in build/release/sfoltitesto_*_amd64.deb build/tarball/sfoltitesto-*-linux-x86_64.tar.gz; do
    one=$(ls "$work"/first/$artifact)
    two=$(ls "$work"/another/second/$artifact)
    cmp "$one" "$two" || fail "$(basename "$one") differs between the two builds"
    echo "same bytes twice: $(basename "$one") $(sha256sum "$one" | cut -c1-16)"
done
