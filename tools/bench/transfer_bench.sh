#!/bin/sh
# Transfer benchmark: serves 64 MB, 256 MB and 1 GB files from the test download
# server on 127.0.0.1 and measures, under Wine,
#   (a) a bare WinINet loop of 4096-byte reads into a file,
#   (b) a download job with the install worker's status callback, as a whole
#       and its transfer phase alone (after the length query),
#   (c) curl on the same URL,
# on the 256 MB file (RUNS times each, median), then the processor time of a
# job held for 10 s, and the peak working set of a job on 64 MB and on 1 GB
# (one process per size). Prints one table.
#
# Usage: tools/bench/transfer_bench.sh [BUILD_DIR] (a windows-preset tree; default build/windows)
# Environment: RUNS (default 3).
set -eu

src=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$src/build/windows}
runs=${RUNS:-3}

cmake --build "$build" -j2 --target TransferBench >/dev/null
bench="$build/tools/TransferBench.exe"
winerun="$build/winerun.sh"

data=$(mktemp -d /tmp/pel-transfer-bench.XXXXXX)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$data"
}
trap cleanup EXIT INT TERM

echo "making test files in $data ..." >&2
head -c 64M /dev/urandom > "$data/f64.bin"
head -c 256M /dev/urandom > "$data/f256.bin"
head -c 1024M /dev/urandom > "$data/f1g.bin"

python3 "$src/tools/testserver/pel_test_server.py" --root "$data" --port-file "$data/port" \
    --idle-exit 900 >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$data/port" ] && break; sleep 0.1; done
port=$(cut -d' ' -f1 "$data/port")
base="http://127.0.0.1:$port"

# The programs time the transfer themselves: Wine's start-up is not measured.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
field() { printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

run_bench() { # mode url out -> the program's line
    line=$("$winerun" "$bench" "$1" "$2" "$(winpath "$3")" 2>/dev/null | tr -d '\r')
    rm -f "$3"
    [ "$(field "$line" ok)" = 1 ] || { echo "TransferBench $1 $2 failed: $line" >&2; exit 1; }
    printf '%s\n' "$line"
}

: > "$data/a.txt"; : > "$data/b.txt"; : > "$data/bt.txt"; : > "$data/bq.txt"; : > "$data/c.txt"
for i in $(seq "$runs"); do
    echo "run $i of $runs ..." >&2
    field "$(run_bench bare "$base/f256.bin" "$data/out.bin")" mbps >> "$data/a.txt"
    job=$(run_bench job "$base/f256.bin" "$data/out.bin")
    field "$job" mbps >> "$data/b.txt"
    field "$job" transfer_mbps >> "$data/bt.txt"
    field "$job" before_transfer_s >> "$data/bq.txt"
    curl -s -o "$data/out.bin" -w '%{speed_download}\n' "$base/f256.bin" |
        awk '{printf "%.1f\n", $1 / 1048576}' >> "$data/c.txt"
    rm -f "$data/out.bin"
done
a=$(median < "$data/a.txt"); b=$(median < "$data/b.txt"); c=$(median < "$data/c.txt")
bt=$(median < "$data/bt.txt"); bq=$(median < "$data/bq.txt")

echo "pause and working set ..." >&2
pause=$(run_bench pause "$base/f64.bin" "$data/out.bin")
ws64=$(run_bench job "$base/f64.bin" "$data/out.bin")
ws1g=$(run_bench job "$base/f1g.bin" "$data/out.bin")

pk64=$(field "$ws64" peak_ws_mb); pk1g=$(field "$ws1g" peak_ws_mb)
printf '\n%-52s %12s %s\n' "measure" "value" "goal"
printf '%-52s %12s\n' "(a) bare WinINet 4096-byte loop, 256 MB (MB/s)" "$a"
printf '%-52s %12s\n' "(b) download job + status callback, 256 MB (MB/s)" "$b"
printf '%-52s %12s\n' "    of which the length query before it (s)" "$bq"
printf '%-52s %12s\n' "    its transfer phase alone (MB/s)" "$bt"
printf '%-52s %12s\n' "(c) curl, 256 MB (MB/s)" "$c"
printf '%-52s %12s %s\n' "(b)/(a), whole job" "$(awk "BEGIN {printf \"%.3f\", $b / $a}")" ">= 0.95"
printf '%-52s %12s %s\n' "(b)/(a), transfer phase" "$(awk "BEGIN {printf \"%.3f\", $bt / $a}")" ">= 0.95"
printf '%-52s %12s %s\n' "CPU seconds during 10 s of pause (b)" "$(field "$pause" paused_cpu_s)" "<= 0.1"
printf '%-52s %12s %s\n' "peak working set (b), 64 MB file (MB)" "$pk64" "<= 32"
printf '%-52s %12s %s\n' "peak working set (b), 1 GB file (MB)" "$pk1g" "<= 32"
printf '%-52s %12s %s\n' "1 GB vs 64 MB peak working set" \
    "$(awk "BEGIN {printf \"%+.1f%%\", ($pk1g - $pk64) * 100 / $pk64}")" "within 10 %"
printf '(medians of %s runs; single runs: a=%s b=%s b-transfer=%s c=%s)\n' "$runs" \
    "$(tr '\n' ' ' < "$data/a.txt")" "$(tr '\n' ' ' < "$data/b.txt")" "$(tr '\n' ' ' < "$data/bt.txt")" \
    "$(tr '\n' ' ' < "$data/c.txt")"
