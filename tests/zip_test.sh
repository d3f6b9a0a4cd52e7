#!/bin/sh
# Makes the Windows archive in the build folder $1 (version $2), checks
# what it holds, and runs the archived program under wine (through $3) on the
# archived sample.
set -eu
build=$1
version=$2
wine_run=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

cmake --build "$build" --target archive >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
zip=$build/sfoltitesto-$version-win64.zip
[ -f "$zip" ] || fail "no $(basename "$zip")"
case "$(basename "$zip")" in sfoltitesto-"$version"-*.zip) ;; *) fail "archive name: $zip" ;; esac
mkdir "$work/root"
(cd "$work/root" && cmake -E tar xf "$zip")
for f in sfoltitesto.exe README.md testo.txt LICENSE THIRD-PARTY-NOTICES; do
    found=$(find "$work/root" -name "$f")
    [ -n "$found" ] || fail "missing from the archive: $f"
done
exe=$(find "$work/root" -name sfoltitesto.exe)
sample=$(find "$work/root" -name testo.txt)

# Text files with the platform's line ends: every line feed after a CR.
for f in README.md testo.txt LICENSE THIRD-PARTY-NOTICES; do
    file=$(find "$work/root" -name "$f")
    lf=$(tr -cd '\n' <"$file" | wc -c)
    crlf=$(grep -c "$(printf '\r')\$" "$file" || true)
    [ "$lf" -gt 0 ] && [ "$lf" = "$crlf" ] || fail "$f: $crlf of $lf lines end with CR LF"
done
# The notices of the libraries linked in: each named with the Debian package
# it came from and its sources, and the notices their licences ask for.
notices=$(find "$work/root" -name THIRD-PARTY-NOTICES)
for library in mingw-w64 "support library (libgcc)" "Runtime Library Exception" \
    "apt-get source .*mingw-w64=[0-9]" "apt-get source .*gcc-[0-9]*=[0-9]" \
    "Redistributions in binary form must reproduce" "Permission is hereby granted"; do
    grep -q "$library" "$notices" || fail "THIRD-PARTY-NOTICES does not name $library"
done
# Stripped, and carrying its version for the Windows shell to show.
[ -z "$(nm "$exe" 2>/dev/null)" ] || fail "the program is not stripped"
strings -el "$exe" | grep -qx "$version" || fail "no version resource $version"

cd "$work"
sh "$wine_run" "$exe" "$sample" sintesi.txt >console 2>/dev/null
grep -q 'Periodizzato in sintesi.txt' console || fail "$(cat console)"
# The platform's line ends in the file written.
[ "$(head -n 1 sintesi.txt)" = "$(printf 'Il paese si sveglia presto, quando la;\r')" ] ||
    fail "$(head -n 2 sintesi.txt | od -c | head)"
[ "$(sh "$wine_run" "$exe" --version)" = "$(printf 'sfoltitesto %s\r' "$version")" ] || fail "--version"
echo "archive ok: $(basename "$zip")"
