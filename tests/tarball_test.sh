#!/bin/sh
# Makes the tarball of the statically linked program in the build folder
# $1 (version $2, processor $3), checks what it holds, that the program needs
# no shared library and no interpreter, runs it on the sample it ships with,
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
[ "$(cd "$top" && ls | sort | tr '\n' ' ')" = "CHANGELOG.md LICENSE README.md sfoltitesto sfoltitesto.1 " ] ||
    fail "contents: $(ls "$top")"
# Owned by root, whoever built it.
tar -tvzf "$tarball" | awk '$2 != "0/0" && $2 != "root/root" { exit 1 }' || fail "owners"

program=$top/sfoltitesto
readelf -h "$program" >/dev/null || fail "not an ELF file"
! readelf -l "$program" | grep -q INTERP || fail "it asks for an interpreter"
readelf -d "$program" | grep -q "no dynamic section" || fail "it has a dynamic section"
[ -z "$(readelf -S "$program" | grep -E '\.symtab|\.debug')" ] || fail "not stripped"

printf 'uno due tre quattro;\n' >"$work/testo.txt"
"$@" "$program" "$work/testo.txt" "$work/sintesi.txt" 2 >"$work/console"
grep -q '^Periodizzato in ' "$work/console" || fail "$(cat "$work/console")"
[ "$(cat "$work/sintesi.txt")" = "$(printf 'uno due;\n;')" ] || fail "$(cat "$work/sintesi.txt")"
[ "$("$@" "$program" --version)" = "sfoltitesto $version" ] || fail "--version"
head -n 1 "$top/sfoltitesto.1" | grep -q "sfoltitesto $version" || fail "manual page version"
if command -v groff >/dev/null; then
    warnings=$(groff -ww -man -Tutf8 -K utf8 "$top/sfoltitesto.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "manual page: $warnings"
fi

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
