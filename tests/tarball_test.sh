#!/bin/sh
# Makes the tarball of the statically linked program in the build folder
# $1 (version $2, processor $3), checks what it holds, that the program is
# static and position-independent, needs no shared library and no
# interpreter, has its relocations read-only, runs alone in an empty root,
# and checks with the helper $4 (built the same way) that a static program
# picks the best build of the engine for this processor. Whatever follows is
# the emulator that runs the programs, if any.
set -eu
build=$1
version=$2
processor=$3
dispatch=$4
shift 4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

name=sfoltitesto-$version-linux-$processor
tarball=$build/$name.tar.gz
cmake --build "$build" --target archive >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
[ -f "$tarball" ] || fail "no $name.tar.gz"
mkdir "$work/root"
tar -xzf "$tarball" -C "$work/root"
[ "$(ls "$work/root")" = "$name" ] || fail "top folder: $(ls "$work/root")"
top=$work/root/$name
[ "$(cd "$top" && find . | LC_ALL=C sort | tr '\n' ' ')" = ". ./CHANGELOG.md ./LICENSE ./README.md \
./THIRD-PARTY-NOTICES ./it ./it/sfoltitesto.1 ./sfoltitesto ./sfoltitesto.1 ./testo.txt " ] ||
    fail "contents: $(cd "$top" && find . | LC_ALL=C sort | tr '\n' ' ')"
# Owned by root, whoever built it.
tar -tvzf "$tarball" | awk '$2 != "0/0" && $2 != "root/root" { exit 1 }' || fail "owners"

# Static, and as hardened as the Debian package's program: position
# independent (static PIE), its relocations read-only before main.
program=$top/sfoltitesto
readelf -h "$program" | grep -q 'Type: *DYN' || fail "not position-independent: $(readelf -h "$program" | grep Type)"
! readelf -l "$program" | grep -q INTERP || fail "it asks for an interpreter"
! readelf -d "$program" | grep -q NEEDED || fail "it needs shared libraries"
readelf -l "$program" | grep -q GNU_RELRO || fail "no read-only relocations"
readelf -d "$program" | grep -Eq 'BIND_NOW|FLAGS_1.* NOW' || fail "not bound at start"
[ -z "$(readelf -S "$program" | grep -E '\.symtab|\.debug')" ] || fail "not stripped"

# The program alone in an empty root, with no library, loader or /proc to
# find; cross-built, in place under the emulator, which needs the host's.
mkdir "$work/empty"
cp "$program" "$work/empty/sfoltitesto"
printf 'uno due tre quattro;\n' >"$work/empty/testo.txt"
(
    cd "$work/empty"
    if [ $# -gt 0 ]; then
        set -- "$@" ./sfoltitesto
    elif [ "$(id -u)" = 0 ]; then
        set -- chroot . /sfoltitesto
    elif unshare -r true 2>/dev/null; then
        set -- unshare -r chroot . /sfoltitesto
    else
        echo "no chroot here: the program is not run in an empty root"
        set -- ./sfoltitesto
    fi
    "$@" testo.txt sintesi.txt 2 >console
    grep -q '^Periodizzato in sintesi.txt$' console || fail "$(cat console)"
    [ "$(cat sintesi.txt)" = "$(printf 'uno due;\n;')" ] || fail "$(cat sintesi.txt)"
    [ "$("$@" --version)" = "sfoltitesto $version" ] || fail "--version"
)
for page in sfoltitesto.1 it/sfoltitesto.1; do
    head -n 1 "$top/$page" | grep -q "sfoltitesto $version" || fail "$page: version"
    if command -v groff >/dev/null; then
        warnings=$(groff -ww -man -Tutf8 -K utf8 "$top/$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$page: $warnings"
    fi
done
grep -q '^\.SH "STATO D' "$top/it/sfoltitesto.1" || fail "it/sfoltitesto.1 is not the Italian page"

# The notices of the libraries linked in: each named with the Debian package
# it came from and its sources, and the texts the LGPL asks to go with it.
notices=$top/THIRD-PARTY-NOTICES
for library in "GNU C Library" "support library (libgcc)" "GNU Lesser General Public License" \
    "Runtime Library Exception" "apt-get source .*glibc=[0-9]" "apt-get source .*gcc-[0-9]*=[0-9]" \
    "GNU LESSER GENERAL PUBLIC LICENSE" "Redistributions in binary form must reproduce"; do
    grep -q "$library" "$notices" || fail "THIRD-PARTY-NOTICES does not name $library"
done

# The best build of the engine this processor runs, as the processor says.
case $processor in
x86_64)
    best=avx2
    for flag in avx2 bmi1 bmi2 popcnt; do
        grep -qw "$flag" /proc/cpuinfo || best=sse2
    done
    ;;
aarch64) best=neon ;;
*) best=portable ;;
esac
got=$("$@" "$dispatch")
[ "$got" = "$best" ] || fail "the static program picks $got, not $best"
echo "tarball ok: $name.tar.gz, engine $got"
