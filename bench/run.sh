#!/usr/bin/env bash
# Times whole runs of the program as shipped (its output written by a second
# thread), in one thread, and built for SSE2 alone (in one thread), against a
# block copy of the same file and the per-byte reference, on six shapes of
# real text, and counts instructions per input byte.
# Usage: bench/run.sh [runs]
# Needs hyperfine, jq, valgrind, GNU time, iconv, base-files and vim-runtime.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
work=/dev/shm/sfoltitesto-bench
mkdir -p "$work"

cmake --workflow --preset bench >/dev/null
program=build/bench/sfoltitesto
one=build/bench/bench/sfoltitesto_one_thread
sse2=build/bench/bench/sfoltitesto_sse2
reference=build/bench/bench/sfoltitesto_reference

# Each corpus is its texts with sentence ends turned into ';', repeated up
# to 128 MiB.
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
size=$((128 * mib))
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
make_corpus small.txt $mib /usr/share/common-licenses/*
head -c $((64 * mib)) /dev/zero | tr '\0' 'w' >"$work/word.txt"

# Shape, corpus, limit.
shapes=(
    "long periods|prose.txt|7"
    "short lines|lines.txt|7"
    "CR LF|crlf.txt|7"
    "non-Latin UTF-8|scripts.txt|7"
    "Windows-1252|cp1252.txt|7"
    "short lines|lines.txt|1"
    "short lines|lines.txt|1000"
)

median() { jq -r --arg n "$2" '.results[] | select(.command == $n) | .median' "$1"; }
instructions() { # program corpus limit
    head -c $((16 * mib)) "$work/$2" >"$work/slice.txt"
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" "$work/slice.txt" \
        "$work/slice.out" "$3" 2>&1 >/dev/null | sed -n 's/.*Collected : //p'
}

rows=()
for shape in "${shapes[@]}"; do
    IFS='|' read -r label corpus limit <<<"$shape"
    in="$work/$corpus"
    json="$work/$corpus.$limit.json"
    hyperfine --runs "$runs" --warmup 1 --export-json "$json" -N \
        -n program "$program $in $work/out.txt $limit" \
        -n one "$one $in $work/out_one.txt $limit" \
        -n sse2 "$sse2 $in $work/out_sse2.txt $limit" \
        -n dd "dd if=$in of=$work/copy.txt bs=128k status=none" \
        -n reference "$reference $in $work/ref.txt $limit" >/dev/null 2>"$work/hyperfine.log"
    for out in out out_one out_sse2; do cmp "$work/$out.txt" "$work/ref.txt"; done
    rows+=("$label|$limit|$(median "$json" dd)|$(median "$json" program)|$(median "$json" one)|$(median "$json" sse2)|$(median "$json" reference)|$(instructions "$one" "$corpus" "$limit")|$(instructions "$sse2" "$corpus" "$limit")")
done

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)
build=sse2
grep -qw avx2 /proc/cpuinfo && grep -qw bmi2 /proc/cpuinfo && build=avx2
echo "Machine: $cpu, $(nproc) cores; the program runs its $build build here."
echo "Corpora of 128 MiB in /dev/shm, output to /dev/shm; wall times are medians of $runs runs;"
echo "instructions per input byte from callgrind on the first 16 MiB of each corpus (one thread)."
echo "program: as shipped, the output written by a second thread; 1 thread: without it."
echo
printf '| %-15s | %5s | %6s | %7s | %5s | %8s | %5s | %8s | %5s | %8s | %9s | %9s |\n' shape limit \
    "dd ms" "program" "vs dd" "1 thread" "vs dd" "sse2 1 t" "vs dd" "ref ms" "instr/B" "sse2 i/B"
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' ----------------- ------- -------- --------- \
    ------- ---------- ------- ---------- ------- ---------- ----------- -----------
for row in "${rows[@]}"; do
    IFS='|' read -r label limit dd fast one slow ref ifast islow <<<"$row"
    awk -v l="$label" -v n="$limit" -v d="$dd" -v f="$fast" -v o="$one" -v s="$slow" -v r="$ref" \
        -v i="$ifast" -v j="$islow" -v b=$((16 * mib)) 'BEGIN {
        printf "| %-15s | %5s | %6.1f | %7.1f | %5.2f | %8.1f | %5.2f | %8.1f | %5.2f | %8.0f | %9.2f | %9.2f |\n",
            l, n, d * 1000, f * 1000, f / d, o * 1000, o / d, s * 1000, s / d, r * 1000, i / b, j / b }'
done
echo
echo "Times faster than the reference (program, one thread, sse2 in one thread):"
for row in "${rows[@]}"; do
    IFS='|' read -r label limit dd fast one slow ref ifast islow <<<"$row"
    awk -v l="$label" -v n="$limit" -v f="$fast" -v o="$one" -v s="$slow" -v r="$ref" \
        'BEGIN { printf "  %-15s limit %4s: %5.1f  %5.1f  %5.1f\n", l, n, r / f, r / o, r / s }'
done
echo
echo "Peak memory (maximum resident set, KiB):"
for corpus in small.txt prose.txt word.txt; do
    kib=$(/usr/bin/time -f %M "$program" "$work/$corpus" "$work/out.txt" 2>&1 >/dev/null)
    printf '  %-10s %6s MiB input: %s KiB\n' "$corpus" "$(($(stat -c %s "$work/$corpus") / mib))" "$kib"
done
