#!/bin/sh
# Makes every artifact of this release from this checkout, each with its own
# workflow (the Debian packages for amd64 and arm64, the Linux tarballs for
# x86-64 and aarch64, the Windows ZIP, the source tarball), copies them into
# one folder, $1 or build/dist, writes SHA256SUMS there for them, in name
# order, and checks it. A folder given must be empty or not exist yet;
# build/dist is emptied first.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "FAILED: $*"; exit 1; }
if [ $# -gt 0 ]; then
    dist=$1
    [ ! -e "$dist" ] || [ -z "$(ls -A "$dist")" ] || fail "$dist is not empty"
else
    dist=$here/build/dist
    rm -rf "$dist"
fi
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)
cd "$here"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
for workflow in deb deb-arm64 tarball tarball-arm64 zip source; do
    echo "making: cmake --workflow --preset $workflow"
    cmake --workflow --preset "$workflow" >"$log" 2>&1 || { cat "$log"; fail "$workflow"; }
done

# The version the artifacts were built with, so that none left over from
# another version is taken for them.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
[ -n "$version" ] || fail "no version in build/release/CMakeCache.txt"
for artifact in \
    build/release/sfoltitesto_"$version"_amd64.deb \
    build/deb-arm64/sfoltitesto_"$version"_arm64.deb \
    build/tarball/sfoltitesto-"$version"-linux-x86_64.tar.gz \
    build/tarball-arm64/sfoltitesto-"$version"-linux-aarch64.tar.gz \
    build/zip/sfoltitesto-"$version"-win64.zip \
    build/release/sfoltitesto-"$version".tar.gz; do
    [ -f "$artifact" ] || fail "no $artifact"
    cp "$artifact" "$dist/"
done
cd "$dist"
# Listed before SHA256SUMS is made; the names hold no blank.
files=$(ls | LC_ALL=C sort)
sha256sum $files >SHA256SUMS
sha256sum -c SHA256SUMS
echo "release $version in $dist"
