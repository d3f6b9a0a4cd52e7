#!/usr/bin/env bash
# Times whole runs on small texts, where starting the program is most of
# the cost: the release program and the statically linked one against the
# plainest C program that does the same work a byte at a time (bytewise.c)
# and a plain read/write copy (copy.c), both built with `cc -O2`, on an
# empty file and 600 B, 4 KiB and 64 KiB of the benchmarks' corpora.
# Every output is checked against the C program's.
# Usage: bench/small.sh [runs]   (1000 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000}
work=/dev/shm/sfoltitesto-small
mkdir -p "$work"

cmake --workflow --preset release >/dev/null
cmake --preset static >/dev/null
cmake --build --preset static --target sfoltitesto >/dev/null
cmake --preset bench >/dev/null
cmake --build --preset bench --target timing >/dev/null
timing=build/bench/bench/timing
# Every program run from the same folder: where a program's file lies
# changes what starting it costs by several percent here.
release=$work/release
static=$work/static
cp build/release/sfoltitesto "$release"
cp build/static/sfoltitesto "$static"
"${CC:-cc}" -O2 -o "$work/bytewise" bench/bytewise.c
"${CC:-cc}" -O2 -o "$work/copy" bench/copy.c

size=$((64 * 1024))
. bench/corpora.sh
: >"$work/empty"

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)
echo "Machine: $cpu, $(nproc) cores; $("${CC:-cc}" --version | head -n 1)."
echo "Texts in /dev/shm, output to /dev/shm, limit 7; the commands taken in turn, $runs rounds;"
echo "medians of wall (elapsed) and cpu (user + system) time of each run, in microseconds,"
echo "each started by fork and exec from $work. x C: against the byte-at-a-time C program's."
echo
printf '| %-8s | %6s | %7s | %6s | %7s | %6s | %7s | %5s | %7s | %5s | %7s | %5s | %7s | %5s |\n' \
    corpus bytes "C wall" "C cpu" "copy w" "copy c" release "x C" release "x C" static "x C" \
    static "x C"
printf '| %-8s | %6s | %7s | %6s | %7s | %6s | %7s | %5s | %7s | %5s | %7s | %5s | %7s | %5s |\n' \
    "" "" "" "" "" "" wall "" cpu "" wall "" cpu ""
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' ---------- -------- --------- -------- \
    --------- -------- --------- ------- --------- ------- --------- ------- --------- -------
row() { # corpus file bytes
    local in="$work/$2.$3"
    if [ "$3" = 0 ]; then in="$work/empty"; else head -c "$3" "$work/$2" >"$in"; fi
    "$work/bytewise" "$in" "$work/c.out" >/dev/null
    for program in "$release" "$static"; do
        "$program" "$in" "$work/p.out" >/dev/null
        cmp "$work/p.out" "$work/c.out"
    done
    "$timing" "$runs" \
        c "$work/bytewise" "$in" "$work/c.out" :: \
        copy "$work/copy" "$in" "$work/copy.out" :: \
        release "$release" "$in" "$work/r.out" :: \
        static "$static" "$in" "$work/s.out" >"$work/times"
    awk -v s="$1" -v b="$3" '{ w[$1] = $2 * 1000; c[$1] = $3 * 1000 } END {
        printf "| %-8s | %6d | %7.0f | %6.0f | %7.0f | %6.0f | %7.0f | %5.2f | %7.0f | %5.2f | %7.0f | %5.2f | %7.0f | %5.2f |\n",
            s, b, w["c"], c["c"], w["copy"], c["copy"], w["release"], w["release"] / w["c"],
            c["release"], c["release"] / c["c"], w["static"], w["static"] / w["c"],
            c["static"], c["static"] / c["c"] }' "$work/times"
}
row empty prose.txt 0
for corpus in prose lines scripts; do
    for bytes in 600 4096 65536; do
        row $corpus $corpus.txt $bytes
    done
done
