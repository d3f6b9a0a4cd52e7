#!/bin/sh
# Builds the Debian package from the build folder $1, unpacks it into a scratch
# root, checks its fields, and runs the installed program on the installed sample.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/*.deb)
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = sfoltitesto ] || { echo "package name: $(field Package)"; exit 1; }
[ "$(field Section)" = text ] || { echo "section: $(field Section)"; exit 1; }
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || { echo "architecture"; exit 1; }
field Depends | grep -q 'libc6' || { echo "depends: $(field Depends)"; exit 1; }
field Maintainer | grep -q '@' || { echo "maintainer: $(field Maintainer)"; exit 1; }

dpkg -x "$deb" "$work/root"
for f in usr/bin/sfoltitesto usr/share/man/man1/sfoltitesto.1 usr/share/man/it/man1/sfoltitesto.1 \
    usr/share/doc/sfoltitesto/README.md usr/share/doc/sfoltitesto/testo.txt; do
    [ -e "$work/root/$f" ] || { echo "missing from the package: $f"; exit 1; }
done

"$work/root/usr/bin/sfoltitesto" "$work/root/usr/share/doc/sfoltitesto/testo.txt" "$work/sintesi.txt" >"$work/console"
grep -q '^Periodizzato in ' "$work/console" || { cat "$work/console"; exit 1; }
[ "$(head -n 1 "$work/sintesi.txt")" = "Il paese si sveglia presto, quando la;" ] || {
    cat "$work/sintesi.txt"
    exit 1
}

# The man pages render without a single groff warning.
for page in "$work"/root/usr/share/man/man1/sfoltitesto.1 "$work"/root/usr/share/man/it/man1/sfoltitesto.1; do
    warnings=$(groff -ww -man -Tutf8 -K utf8 "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$page: $warnings"; exit 1; }
done
echo "package ok: $(basename "$deb")"
