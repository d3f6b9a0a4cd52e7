#!/usr/bin/env bash
# Times whole runs of the program, and of its SSE2 build, against what the
# machine itself takes to copy the same file, to read it alone and to write
# an output of the same size alone, on five shapes of real text at limits 1,
# 7 and 1000; counts the engine's instructions per input byte; checks every
# output against the per-byte reference's.
# Usage: bench/run.sh [runs]
# Needs valgrind, GNU time, iconv, base-files and vim-runtime.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
work=/dev/shm/sfoltitesto-bench
mkdir -p "$work"

cmake --workflow --preset bench >/dev/null
program=build/bench/sfoltitesto
sse2=build/bench/bench/sfoltitesto_sse2
reference=build/bench/bench/sfoltitesto_reference
timing=build/bench/bench/timing
dd=$(command -v dd)

size=$((128 * 1024 * 1024))
. bench/corpora.sh
make_corpus small.txt $mib /usr/share/common-licenses/*
head -c $((64 * mib)) /dev/zero | tr '\0' 'w' >"$work/word.txt"
: >"$work/empty.txt"

# Instructions of the engine per input byte: callgrind over the first 16 MiB,
# less what a run over an empty file executes (starting the program and
# loading its libraries).
slice=$((16 * mib))
collected() { # program corpus limit
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" "$2" "$work/slice.out" "$3" \
        2>&1 >/dev/null | sed -n 's/.*Collected : //p'
}
per_byte() { # program corpus limit
    head -c $slice "$work/$2" >"$work/slice.txt"
    local whole empty
    whole=$(collected "$1" "$work/slice.txt" "$3")
    empty=$(collected "$1" "$work/empty.txt" "$3")
    awk -v w="$whole" -v e="$empty" -v b=$slice 'BEGIN { printf "%.2f", (w - e) / b }'
}

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)
build=sse2
grep -qw avx2 /proc/cpuinfo && grep -qw bmi2 /proc/cpuinfo && build=avx2
echo "Machine: $cpu, $(nproc) cores; the program runs its $build build here."
echo "Corpora of 128 MiB in /dev/shm, output to /dev/shm; medians of $runs runs of each command,"
echo "taken in turn. wall: elapsed ms; cpu: user + system ms; x dd: against the dd copy's."
echo "read: dd of the input to /dev/null; write: dd of as many zero bytes as the program writes."
echo "i/B: the engine's instructions per input byte (callgrind, first 16 MiB, start-up left out)."
echo
printf '| %-8s | %5s | %4s | %5s | %9s | %9s | %9s | %9s | %9s | %9s | %5s | %5s |\n' \
    shape limit read write "dd wall" "dd cpu" "wall" "x dd" "cpu" "x dd" "i/B" "sse2"
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' ---------- ------- ------ ------- -----------\
    ----------- ----------- ----------- ----------- ----------- ------- -------
sse2_rows=()
for corpus in prose lines crlf scripts cp1252; do
    in="$work/$corpus.txt"
    for limit in 1 7 1000; do
        "$reference" "$in" "$work/ref.txt" "$limit"
        "$program" "$in" "$work/out.txt" "$limit" >/dev/null
        cmp "$work/out.txt" "$work/ref.txt"
        blocks=$((($(stat -c %s "$work/out.txt") + 131071) / 131072))
        "$timing" "$runs" \
            dd "$dd" "if=$in" "of=$work/copy.txt" bs=128k status=none :: \
            read "$dd" "if=$in" of=/dev/null bs=128k status=none :: \
            write "$dd" if=/dev/zero "of=$work/zero.txt" bs=128k "count=$blocks" status=none :: \
            program "$program" "$in" "$work/out.txt" "$limit" :: \
            sse2 "$sse2" "$in" "$work/out_sse2.txt" "$limit" >"$work/times"
        cmp "$work/out_sse2.txt" "$work/ref.txt"
        field() { awk -v n="$1" -v f="$2" '$1 == n { print $f }' "$work/times"; }
        ipb=$(per_byte "$program" "$corpus.txt" "$limit")
        ipb_sse2=$(per_byte "$sse2" "$corpus.txt" "$limit")
        awk -v s="$corpus" -v l="$limit" -v r="$(field read 2)" -v w="$(field write 2)" \
            -v dw="$(field dd 2)" -v dc="$(field dd 3)" -v pw="$(field program 2)" \
            -v pc="$(field program 3)" -v i="$ipb" -v j="$ipb_sse2" 'BEGIN {
            printf "| %-8s | %5s | %4.0f | %5.0f | %9.1f | %9.1f | %9.1f | %9.2f | %9.1f | %9.2f | %5.2f | %5.2f |\n",
                s, l, r, w, dw, dc, pw, pw / dw, pc, pc / dc, i, j }'
        sse2_rows+=("$(awk -v s="$corpus" -v l="$limit" -v dw="$(field dd 2)" -v dc="$(field dd 3)" \
            -v sw="$(field sse2 2)" -v sc="$(field sse2 3)" 'BEGIN {
            printf "  %-8s limit %4s: wall %6.1f ms (%.2f x dd), cpu %6.1f ms (%.2f x dd)",
                s, l, sw, sw / dw, sc, sc / dc }')")
    done
done
echo
echo "The SSE2 build, as on an x86-64 without AVX2:"
printf '%s\n' "${sse2_rows[@]}"
echo
echo "Peak memory (maximum resident set, KiB):"
for corpus in small.txt prose.txt word.txt; do
    kib=$(/usr/bin/time -f %M "$program" "$work/$corpus" "$work/out.txt" 2>&1 >/dev/null)
    printf '  %-10s %6s MiB input: %s KiB\n' "$corpus" "$(($(stat -c %s "$work/$corpus") / mib))" "$kib"
done
