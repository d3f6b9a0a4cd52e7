#!/bin/sh
# Builds the Windows archive from the build folder $1, checks what it holds,
# and runs the archived program under wine on the archived sample.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G ZIP -B "$work/pkg" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
zip=$(ls "$work"/pkg/*.zip)
mkdir "$work/root"
(cd "$work/root" && cmake -E tar xf "$zip")
for f in sfoltitesto.exe README.md testo.txt; do
    found=$(find "$work/root" -name "$f")
    [ -n "$found" ] || { echo "missing from the archive: $f"; exit 1; }
done
exe=$(find "$work/root" -name sfoltitesto.exe)
sample=$(find "$work/root" -name testo.txt)

cd "$work"
wine "$exe" "$sample" sintesi.txt >console 2>/dev/null
grep -q 'Periodizzato in sintesi.txt' console || { cat console; exit 1; }
# The platform's line ends in the file written.
[ "$(head -n 1 sintesi.txt)" = "$(printf 'Il paese si sveglia presto, quando la;\r')" ] || {
    head -n 2 sintesi.txt | od -c | head
    exit 1
}
