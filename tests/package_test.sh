#!/bin/sh
# Builds the Debian package from the build folder $1 (version $2, for
# architecture $3), runs lintian on it, unpacks it into a scratch root, checks
# its fields and files, and runs the installed program on the installed
# sample, through the emulator given after that if any; checks what `cmake
# --install` installs from the same build.
set -eu
build=$1
version=$2
architecture=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
# What this needs beyond the build, by the Debian package that has it.
for need in cpack:cmake dpkg-deb:dpkg zcat:gzip groff:groff-base readelf:binutils; do
    command -v "${need%%:*}" >/dev/null ||
        fail "${need%%:*} is not installed (Debian's ${need#*:}); the package cannot be checked"
done

(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/*.deb)
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = sfoltitesto ] || fail "package name: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version: $(field Version)"
[ "$(field Section)" = text ] || fail "section: $(field Section)"
[ "$(field Architecture)" = "$architecture" ] || fail "architecture: $(field Architecture)"
# The program needs the C library and no C++ runtime, GCC library or libm
# (a sanitized build needs its sanitizers' too).
case "$(field Depends)" in *libstdc++* | *libgcc-s* | "") fail "depends: $(field Depends)" ;; esac
field Depends | grep -q 'libc6' || fail "depends: $(field Depends)"
field Maintainer | grep -q '@' || fail "maintainer: $(field Maintainer)"

# What Debian's own tooling says: no error, no warning.
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || {
        cat "$work/lintian.log"
        fail "lintian"
    }
else
    echo "lintian is not installed: the package is not checked by it"
fi

dpkg -x "$deb" "$work/root"
doc=usr/share/doc/sfoltitesto
files() { (cd "$1" && find . -type f | LC_ALL=C sort | tr '\n' ' '); }
[ "$(files "$work/root")" = "./usr/bin/sfoltitesto ./$doc/README.md ./$doc/changelog.gz ./$doc/copyright \
./$doc/testo.txt ./usr/share/man/it/man1/sfoltitesto.1.gz ./usr/share/man/man1/sfoltitesto.1.gz " ] ||
    fail "the package holds: $(files "$work/root")"
for library in $(readelf -d "$work/root/usr/bin/sfoltitesto" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    case $library in libstdc++* | libgcc_s* | libm.*) fail "the program needs $library" ;; esac
done
# Installed elsewhere, the licence and changelog are the project's own
# files; stripped, the program is the package's.
cmake --install "$build" --prefix "$work/install/usr" --strip >"$work/install.log" ||
    { cat "$work/install.log"; exit 1; }
cmp -s "$work/install/usr/bin/sfoltitesto" "$work/root/usr/bin/sfoltitesto" ||
    fail "cmake --install --strip installs another program than the package's"
[ "$(files "$work/install")" = "./usr/bin/sfoltitesto ./$doc/CHANGELOG.md ./$doc/LICENSE ./$doc/README.md \
./$doc/testo.txt ./usr/share/man/it/man1/sfoltitesto.1.gz ./usr/share/man/man1/sfoltitesto.1.gz " ] ||
    fail "cmake --install installs: $(files "$work/install")"
head -n 1 "$work/root/$doc/copyright" | grep -q 'copyright-format/1.0' || fail "copyright format"
zcat "$work/root/$doc/changelog.gz" | head -n 1 | grep -q "^sfoltitesto ($version)" || fail "changelog"

# "$@" is the emulator, if any.
"$@" "$work/root/usr/bin/sfoltitesto" "$work/root/$doc/testo.txt" "$work/sintesi.txt" >"$work/console"
grep -q '^Periodizzato in ' "$work/console" || fail "$(cat "$work/console")"
[ "$(head -n 1 "$work/sintesi.txt")" = "Il paese si sveglia presto, quando la;" ] || fail "$(cat "$work/sintesi.txt")"
[ "$("$@" "$work/root/usr/bin/sfoltitesto" --version)" = "sfoltitesto $version" ] || fail "--version"

# The man pages name this version and render without a single groff warning.
for page in "$work"/root/usr/share/man/man1/sfoltitesto.1.gz "$work"/root/usr/share/man/it/man1/sfoltitesto.1.gz; do
    zcat "$page" | head -n 1 | grep -q "sfoltitesto $version" || fail "$page: version"
    warnings=$(zcat "$page" | groff -ww -man -Tutf8 -K utf8 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
done
echo "package ok: $(basename "$deb")"
