#!/usr/bin/env bash
# Times whole runs of the program, with its copies made beside the engine
# and without (the same program making them itself, as on one processor),
# and of its SSE2 build, against the floors: what the machine takes to read
# the input alone, then to write an output of the same size alone; on five
# shapes of real text at limits 1, 7 and 1000. Estimates the engine's own
# cycles per 64-byte window at limit 1, counts its instructions per input
# byte, times the program pinned to one processor and on a small text, and
# checks every output against the per-byte reference's.
# Usage: bench/run.sh [runs]
# Needs valgrind, GNU time, taskset, iconv, base-files and vim-runtime.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
work=/dev/shm/sfoltitesto-bench
mkdir -p "$work"

cmake --workflow --preset bench >/dev/null
program=build/bench/sfoltitesto
sse2=build/bench/bench/sfoltitesto_sse2
sequential=build/bench/bench/sfoltitesto_sequential
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
mhz=$(grep -m1 'cpu MHz' /proc/cpuinfo | cut -d: -f2 | xargs)
build=sse2
grep -qw avx2 /proc/cpuinfo && grep -qw bmi2 /proc/cpuinfo && build=avx2
echo "Machine: $cpu at $mhz MHz (as /proc/cpuinfo says), $(nproc) cores; the program runs its $build build here."
echo "Corpora of 128 MiB in /dev/shm, output to /dev/shm; medians of $runs runs of each command,"
echo "taken in turn. wall: elapsed ms; cpu: user + system ms."
echo "read: dd of the input to /dev/null; write: dd of as many zero bytes as the program writes;"
echo "floor: the two added. in turn: the program making its copies itself, between the engine's"
echo "work; beside: the program, its copies made by a thread beside the engine. x floor: wall"
echo "against the floor; x cpu: cpu against the cpu of the run in turn."
echo "i/B: the engine's instructions per input byte (callgrind, first 16 MiB, start-up left out)."
echo
printf '| %-8s | %5s | %4s | %5s | %5s | %7s | %7s | %7s | %7s | %7s | %7s | %5s |\n' \
    shape limit read write floor "in turn" "x floor" cpu beside "x floor" "x cpu" "i/B"
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' ---------- ------- ------ ------- ------- \
    --------- --------- --------- --------- --------- --------- -------
sse2_rows=()
window_rows=()
for corpus in prose lines crlf scripts cp1252; do
    in="$work/$corpus.txt"
    for limit in 1 7 1000; do
        "$reference" "$in" "$work/ref.txt" "$limit"
        "$program" "$in" "$work/out.txt" "$limit" >/dev/null
        cmp "$work/out.txt" "$work/ref.txt"
        blocks=$((($(stat -c %s "$work/out.txt") + 131071) / 131072))
        "$timing" "$runs" \
            read "$dd" "if=$in" of=/dev/null bs=128k status=none :: \
            write "$dd" if=/dev/zero "of=$work/zero.txt" bs=128k "count=$blocks" status=none :: \
            turn "$sequential" "$in" "$work/out_turn.txt" "$limit" :: \
            beside "$program" "$in" "$work/out.txt" "$limit" :: \
            sse2 "$sse2" "$in" "$work/out_sse2.txt" "$limit" >"$work/times"
        cmp "$work/out.txt" "$work/ref.txt"
        cmp "$work/out_turn.txt" "$work/ref.txt"
        cmp "$work/out_sse2.txt" "$work/ref.txt"
        field() { awk -v n="$1" -v f="$2" '$1 == n { print $f }' "$work/times"; }
        ipb=$(per_byte "$program" "$corpus.txt" "$limit")
        awk -v s="$corpus" -v l="$limit" -v r="$(field read 2)" -v w="$(field write 2)" \
            -v tw="$(field turn 2)" -v tc="$(field turn 3)" -v bw="$(field beside 2)" \
            -v bc="$(field beside 3)" -v i="$ipb" 'BEGIN { f = r + w
            printf "| %-8s | %5s | %4.0f | %5.0f | %5.0f | %7.1f | %7.2f | %7.1f | %7.1f | %7.2f | %7.2f | %5.2f |\n",
                s, l, r, w, f, tw, tw / f, tc, bw, bw / f, bc / tc, i }'
        sse2_rows+=("$(awk -v s="$corpus" -v l="$limit" -v r="$(field read 2)" -v w="$(field write 2)" \
            -v sw="$(field sse2 2)" -v sc="$(field sse2 3)" 'BEGIN {
            printf "  %-8s limit %4s: wall %6.1f ms (%.2f x floor), cpu %6.1f ms", s, l, sw, sw / (r + w), sc }')")
        # The engine's own time at limit 1, where its output is least: what a
        # run in turn takes beyond reading and writing.
        if [ "$limit" = 1 ]; then
            window_rows+=("$(awk -v s="$corpus" -v tw="$(field turn 2)" -v r="$(field read 2)" \
                -v w="$(field write 2)" -v m="$mhz" -v b="$size" 'BEGIN {
                printf "  %-8s %5.1f ms, about %3.0f cycles per window", s, tw - r - w, (tw - r - w) * m * 1000 / (b / 64) }')")
        fi
    done
done
echo
echo "The engine's own time at limit 1 (the run in turn less the floor), and its cycles per"
echo "64-byte window at the clock above:"
printf '%s\n' "${window_rows[@]}"
echo
echo "The SSE2 build, as on an x86-64 without AVX2, its copies beside:"
printf '%s\n' "${sse2_rows[@]}"
echo
# Pinned to one processor, the program makes its copies itself; a small text
# is one block, read by the main thread: neither may cost more than before.
taskset=$(command -v taskset)
cp examples/testo.txt "$work/sample.txt"
"$timing" "$runs" \
    turn "$taskset" -c 0 "$sequential" "$work/prose.txt" "$work/out_turn.txt" 7 :: \
    pinned "$taskset" -c 0 "$program" "$work/prose.txt" "$work/out.txt" 7 >"$work/times"
echo "Pinned to one processor (taskset -c 0), prose at limit 7, wall ms:"
awk '{ w[$1] = $2 } END { printf "  in turn %.1f, the program %.1f (%.2f x)\n", w["turn"], w["pinned"], w["pinned"] / w["turn"] }' "$work/times"
"$timing" $((runs * 20)) \
    turn "$sequential" "$work/sample.txt" "$work/out_turn.txt" :: \
    program "$program" "$work/sample.txt" "$work/out.txt" >"$work/times"
cmp "$work/out.txt" "$work/out_turn.txt"
echo "The sample text ($(stat -c %s "$work/sample.txt") bytes), $((runs * 20)) runs each, wall ms:"
awk '{ w[$1] = $2 } END { printf "  in turn %.3f, the program %.3f (%.2f x)\n", w["turn"], w["program"], w["program"] / w["turn"] }' "$work/times"
echo
echo "Peak memory (maximum resident set, KiB):"
for corpus in small.txt prose.txt word.txt; do
    kib=$(/usr/bin/time -f %M "$program" "$work/$corpus" "$work/out.txt" 2>&1 >/dev/null)
    printf '  %-10s %6s MiB input: %s KiB\n' "$corpus" "$(($(stat -c %s "$work/$corpus") / mib))" "$kib"
done
