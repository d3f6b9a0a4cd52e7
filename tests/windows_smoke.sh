#!/bin/sh
# Runs the Windows build under wine on what only Windows does: Unicode file
# names, CR LF line ends, the 1A byte that ends text input, the same file
# refused under another name; and standard output sent by this shell to the
# output or the input file, whose handle wine cannot tell all about.
set -eu
exe=$1
wine_run=$(cd "$(dirname "$0")/.." && pwd)/cmake/wine-run.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export WINEDEBUG=-all
fail() { echo "FAILED: $*"; exit 1; }

printf 'uno due tre quattro;\r\ncinque sei;\032 dopo;' >'testo😀.txt'
sh "$wine_run" "$exe" 'testo😀.txt' 'sintesi è.txt' 2 >console.txt || fail "status $?"
printf 'Periodizzazione in corso da testo😀.txt a sintesi è.txt, con 2 parole per periodo\r\nPeriodizzato in sintesi è.txt\r\n' >expected.txt
cmp console.txt expected.txt || fail "console: $(od -c console.txt)"
printf 'uno due;\r\ncinque sei;\r\n;\r\n' >expected.txt
cmp 'sintesi è.txt' expected.txt || fail "output: $(od -c 'sintesi è.txt')"

cp 'testo😀.txt' before.txt
for name in 'testo😀.txt' './TESTO😀.TXT'; do
    status=0
    sh "$wine_run" "$exe" 'testo😀.txt' "$name" >console.txt || status=$?
    [ "$status" = 1 ] || fail "same file as $name: status $status"
    printf 'Errore apertura file output\r\n' >expected.txt
    cmp console.txt expected.txt || fail "same file as $name: $(od -c console.txt)"
    cmp 'testo😀.txt' before.txt || fail "same file as $name: the input changed"
done
# Wine cannot tell that this shell's >> adds after the text: the refusal
# goes to standard error, and the earlier result stays as it was.
printf 'PRE\n' >log.txt
status=0
sh "$wine_run" "$exe" 'testo😀.txt' log.txt >>log.txt 2>errors.txt || status=$?
[ "$status" = 1 ] || fail "standard output's file as output: status $status"
printf 'PRE\n' >expected.txt
cmp log.txt expected.txt || fail "standard output's file as output: $(od -c log.txt)"
printf 'Errore apertura file output\r\n' >expected.txt
cmp errors.txt expected.txt || fail "standard output's file as output: $(od -c errors.txt)"

status=0
sh "$wine_run" "$exe" 'testo😀.txt' other.txt >>'testo😀.txt' 2>errors.txt || status=$?
[ "$status" = 1 ] || fail "standard output's file as input: status $status"
cmp 'testo😀.txt' before.txt || fail "standard output's file as input: the input changed"
[ ! -e other.txt ] || fail "standard output's file as input: the output was made"
echo "windows ok"
