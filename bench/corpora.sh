#!/usr/bin/env bash
# Makes the benchmarks' corpora in $work (set by the script that sources
# this), each of $size bytes: each corpus is its texts with sentence ends
# turned into ';', repeated. Needs iconv, base-files and vim-runtime.
mib=$((1024 * 1024))
make_corpus() { # name size files...
    local name=$1 size=$2
    shift 2
    local one="$work/$name.one"
    cat "$@" | sed -E 's/([.!?。])([[:space:]]|$)/\1;\2/g' >"$one"
    : >"$work/$name"
    while [ "$(stat -c %s "$work/$name")" -lt "$size" ]; do cat "$one" >>"$work/$name"; done
    truncate -s "$size" "$work/$name"
    rm -f "$one"
}
vim=$(ls -d /usr/share/vim/vim9* | head -n 1)
# Long periods: the licences Debian ships.
make_corpus prose.txt $size /usr/share/common-licenses/*
# Short lines, line feeds inside periods, tabs: vim's user manual.
make_corpus lines.txt $size "$vim"/doc/usr_*.txt
# The same with CR LF line ends, as a Windows file read on Linux.
sed 's/$/\r/' "$work/lines.txt" >"$work/crlf.txt"
truncate -s $size "$work/crlf.txt"
# UTF-8 in non-Latin scripts: vim's Greek, Russian, Ukrainian, Bulgarian,
# Japanese, Korean and Chinese tutors.
make_corpus scripts.txt $size "$vim"/tutor/tutor.{el,ru,uk,bg,ja,ko,zh}*.utf-8
# Italian in the Windows 8-bit code page, where à è ì ò are lead bytes.
iconv -f latin1 -t cp1252 "$vim/tutor/tutor.it" >"$work/it.cp1252"
make_corpus cp1252.txt $size "$work/it.cp1252"
rm -f "$work/it.cp1252"
