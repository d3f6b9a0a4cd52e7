#!/usr/bin/env bash
# Times the Windows program under wine against what the same C runtime takes
# to copy the same file through binary streams ("rb", "wb") and through text
# streams ("r", "w"), 256 KiB at a time, on the benchmark's corpora with
# CR LF line ends, at limits 7 and 1000; checks every output against the
# Linux program's on the same text read as a text stream reads it.
# Usage: bench/wine.sh [runs]
# Needs wine, mingw-w64, perl, GNU time, iconv, base-files and vim-runtime.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
work=/dev/shm/sfoltitesto-bench
mkdir -p "$work"

cmake --workflow --preset bench >/dev/null
cmake --preset windows-bench >/dev/null
cmake --build --preset windows-bench >/dev/null
linux=build/bench/sfoltitesto
timing=build/bench/bench/timing
program=build/windows-bench/sfoltitesto.exe
copy=build/windows-bench/bench/stream_copy.exe
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEDEBUG=-all
# One wine server for all the runs, as a user's desktop has one running.
wineserver -k 2>/dev/null || true
wineserver -p
trap 'wineserver -k || true' EXIT

size=$((128 * 1024 * 1024))
. bench/corpora.sh
# Windows text files: every line feed after a CR (lines.txt is crlf.txt).
for shape in prose scripts cp1252; do
    sed 's/$/\r/' "$work/$shape.txt" >"$work/$shape.crlf"
    truncate -s $size "$work/$shape.crlf"
done
cp "$work/crlf.txt" "$work/lines.crlf"

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)
echo "Machine: $cpu, $(nproc) cores; $(wine --version 2>/dev/null || echo wine)."
echo "Corpora of 128 MiB with CR LF line ends in /dev/shm, output to /dev/shm; medians of"
echo "$runs runs of each command, taken in turn, each started by wine. wall: elapsed ms;"
echo "cpu: user + system ms of the process; x bin: against the binary-stream copy's."
echo
printf '| %-8s | %5s | %9s | %9s | %9s | %9s | %9s | %9s | %9s |\n' \
    shape limit "bin wall" "text wall" "text x" wall "x bin" cpu "x bin"
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' ---------- ------- ----------- ----------- \
    ----------- ----------- ----------- ----------- -----------
for shape in prose lines scripts cp1252; do
    in="$work/$shape.crlf"
    # What the C runtime's text streams would give, by way of the Linux
    # program (the corpora hold no 1A).
    perl -0777 -pe 's/\r\n/\n/g' "$in" >"$work/lf.txt"
    for limit in 7 1000; do
        "$linux" "$work/lf.txt" "$work/ref.txt" "$limit" >/dev/null
        perl -0777 -pi -e 's/\n/\r\n/g' "$work/ref.txt"
        "$timing" "$runs" \
            binary "$wine" "$copy" binary "Z:$in" "Z:$work/copy.txt" :: \
            text "$wine" "$copy" text "Z:$in" "Z:$work/copy.txt" :: \
            program "$wine" "$program" "Z:$in" "Z:$work/out.txt" "$limit" >"$work/times"
        cmp "$work/out.txt" "$work/ref.txt"
        field() { awk -v n="$1" -v f="$2" '$1 == n { print $f }' "$work/times"; }
        awk -v s="$shape" -v l="$limit" -v bw="$(field binary 2)" -v bc="$(field binary 3)" \
            -v tw="$(field text 2)" -v pw="$(field program 2)" -v pc="$(field program 3)" 'BEGIN {
            printf "| %-8s | %5s | %9.1f | %9.1f | %9.2f | %9.1f | %9.2f | %9.1f | %9.2f |\n",
                s, l, bw, tw, tw / bw, pw, pw / bw, pc, pc / bc }'
    done
done
rm -f "$work/lf.txt" "$work/ref.txt" "$work/out.txt" "$work/copy.txt"
