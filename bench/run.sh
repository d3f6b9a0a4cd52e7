#!/usr/bin/env bash
# Times whole runs of the program against a block copy of the same file and
# other tools, on two corpora of real text, and prints medians side by side.
# Usage: bench/run.sh [runs]   (needs hyperfine, jq, GNU time, vim-runtime)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
work=/dev/shm/sfoltitesto-bench
mkdir -p "$work"

cmake --workflow --preset bench >/dev/null
program=build/bench/sfoltitesto
reference=build/bench/bench/sfoltitesto_reference

# Text corpus: the licences Debian ships, sentence ends turned into ';',
# repeated up to 128 MiB. UTF-8 corpus: vim's tutors in Greek, Russian,
# Ukrainian, Bulgarian, Japanese, Korean and Chinese, the same way.
make_corpus() { # name size files...
    local name=$1 size=$2
    shift 2
    local one="$work/$name.one"
    cat "$@" | sed -E 's/([.!?。])([[:space:]]|$)/\1;\2/g' >"$one"
    : >"$work/$name"
    while [ "$(stat -c %s "$work/$name")" -lt "$size" ]; do cat "$one" >>"$work/$name"; done
    rm -f "$one"
}
mib=$((1024 * 1024))
make_corpus text.txt $((128 * mib)) /usr/share/common-licenses/*
make_corpus utf8.txt $((128 * mib)) /usr/share/vim/vim9*/tutor/tutor.{el,ru,uk,bg,ja,ko,zh}*.utf-8
make_corpus small.txt $mib /usr/share/common-licenses/*
head -c $((64 * mib)) /dev/zero | tr '\0' 'w' >"$work/word.txt"

awk_job='BEGIN { RS = ";"; n = 7 } { k = split($0, w, /[ \n\r\f]+/); s = ""; c = 0;
  for (i = 1; i <= k && c < n; i++) if (w[i] != "") { s = s (c ? " " : "") w[i]; c++ }
  print s ";" }'

for corpus in text.txt utf8.txt; do
    in="$work/$corpus"
    hyperfine --runs "$runs" --warmup 1 --export-json "$work/$corpus.json" -N \
        -n sfoltitesto "$program $in $work/out.txt" \
        -n "dd bs=128k" "dd if=$in of=$work/copy.txt bs=128k status=none" \
        -n "wc -w" "wc -w $in" \
        -n "awk" "awk '$awk_job' $in" \
        -n reference "$reference $in $work/ref.txt" >/dev/null 2>"$work/hyperfine.log"
    cmp "$work/out.txt" "$work/ref.txt"
done

echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores;" \
    "corpora of $(($(stat -c %s "$work/text.txt") / mib)) MiB in /dev/shm, output to /dev/shm;" \
    "median of $runs runs"
echo
printf '| %-12s | %14s | %8s | %14s | %8s |\n' command "text (ms)" "vs dd" "UTF-8 (ms)" "vs dd"
printf '|%s|%s|%s|%s|%s|\n' -------------- ---------------- ---------- ---------------- ----------
median() { jq -r --arg n "$2" '.results[] | select(.command == $n) | .median' "$work/$1.json"; }
for name in sfoltitesto "dd bs=128k" "wc -w" awk reference; do
    t=$(median text.txt "$name")
    u=$(median utf8.txt "$name")
    td=$(median text.txt "dd bs=128k")
    ud=$(median utf8.txt "dd bs=128k")
    awk -v n="$name" -v t="$t" -v u="$u" -v td="$td" -v ud="$ud" \
        'BEGIN { printf "| %-12s | %14.1f | %8.2f | %14.1f | %8.2f |\n", n, t * 1000, t / td, u * 1000, u / ud }'
done
t=$(median text.txt reference); p=$(median text.txt sfoltitesto)
u=$(median utf8.txt reference); q=$(median utf8.txt sfoltitesto)
awk -v t="$t" -v p="$p" -v u="$u" -v q="$q" \
    'BEGIN { printf "\nsfoltitesto is %.1f times faster than the reference on text, %.1f on UTF-8.\n", t / p, u / q }'

echo
echo "Peak memory (maximum resident set, KiB):"
for corpus in small.txt text.txt word.txt; do
    kib=$(/usr/bin/time -f %M "$program" "$work/$corpus" "$work/out.txt" 2>&1 >/dev/null)
    printf '  %-10s %6s MiB input: %s KiB\n' "$corpus" "$(($(stat -c %s "$work/$corpus") / mib))" "$kib"
done
