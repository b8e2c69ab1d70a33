#!/bin/sh
# Transfer benchmark: serves 64 MB, 256 MB and 1 GB files from the test download
# server on 127.0.0.1 and measures, under Wine,
#   (a) a bare WinINet loop of 4096-byte reads into a file,
#   (b) a download job with the install worker's status callback, as a whole
#       and its transfer phase alone (after the length query),
#   (d) the same job while the server cuts the connection every 16 MB: its
#       time against (b)'s, whether the file is byte-identical, and the bytes
#       the server sent against the file's size,
#   (c) curl on the same URL,
# on the 256 MB file (RUNS times each, median), then the processor time of a
# job held for 10 s, the peak working set of a job on 64 MB and on 1 GB (one
# process per size), and, RUNS times each on the 64 MB file, the time from a
# stall's start to the next attempt's first byte (default stall limit) and
# the time a cancellation takes during a read that blocks. Prints one table.
# With HASH=1 it measures only what checking a SHA-256 while writing costs:
#   (b) the download job on the 256 MB file, and
#   (h) the same job given the file's SHA-256 (PEL_BENCH_SHA256), in turns,
# RUNS times each, and prints their medians and (h)/(b).
#
# Usage: tools/bench/transfer_bench.sh [BUILD_DIR] (a windows-preset tree; default build/windows)
# Environment: RUNS (default 3), HASH (1: the hash comparison only).
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
head -c 256M /dev/urandom > "$data/f256.bin"
if [ "${HASH:-}" != 1 ]; then
    head -c 64M /dev/urandom > "$data/f64.bin"
    head -c 1024M /dev/urandom > "$data/f1g.bin"
fi

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

# A job keeps "<file>.partial" and "<file>.resume" after a cancellation; the
# next run must not continue them.
clean_out() { rm -f "$1" "$1.partial" "$1.resume"; }

run_bench() { # mode url out [file the output must equal] -> the program's line
    line=$("$winerun" "$bench" "$1" "$2" "$(winpath "$3")" 2>/dev/null | tr -d '\r')
    same=
    if [ -n "${4:-}" ]; then
        if cmp -s "$3" "$4"; then same=yes; else same=no; fi
    fi
    clean_out "$3"
    [ "$(field "$line" ok)" = 1 ] || { echo "TransferBench $1 $2 failed: $line" >&2; exit 1; }
    [ "$same" != no ] || { echo "TransferBench $1 $2: the file differs from $4" >&2; exit 1; }
    printf '%s\n' "$line"
}
ratio() { awk "BEGIN {printf \"%.3f\", $1 / $2}"; }

if [ "${HASH:-}" = 1 ]; then
    sha=$(sha256sum "$data/f256.bin" | cut -d' ' -f1)
    : > "$data/b.txt"; : > "$data/h.txt"
    for i in $(seq "$runs"); do
        echo "run $i of $runs ..." >&2
        # In turns, the order changing with each run: neither always comes first.
        if [ $((i % 2)) = 1 ]; then order="b h"; else order="h b"; fi
        for which in $order; do
            if [ "$which" = h ]; then hash=$sha; else hash=; fi
            field "$(PEL_BENCH_SHA256=$hash run_bench job "$base/f256.bin" "$data/out.bin" "$data/f256.bin")" \
                mbps >> "$data/$which.txt"
        done
    done
    b=$(median < "$data/b.txt"); h=$(median < "$data/h.txt")
    printf '\n%-60s %12s %s\n' "measure" "value" "goal"
    printf '%-60s %12s\n' "(b) download job + status callback, 256 MB (MB/s)" "$b"
    printf '%-60s %12s\n' "(h) the same job checking the file's SHA-256 (MB/s)" "$h"
    printf '%-60s %12s %s\n' "(h)/(b)" "$(ratio "$h" "$b")" ">= 0.95"
    printf '(medians of %s runs; single runs: b=%s h=%s)\n' "$runs" "$(tr '\n' ' ' < "$data/b.txt")" \
        "$(tr '\n' ' ' < "$data/h.txt")"
    exit 0
fi

size256=$(stat -c %s "$data/f256.bin")
for f in a b bs bt bq c d ds dw dx dr; do : > "$data/$f.txt"; done
for i in $(seq "$runs"); do
    echo "run $i of $runs ..." >&2
    field "$(run_bench bare "$base/f256.bin" "$data/out.bin")" mbps >> "$data/a.txt"
    job=$(run_bench job "$base/f256.bin" "$data/out.bin")
    field "$job" mbps >> "$data/b.txt"
    field "$job" seconds >> "$data/bs.txt"
    field "$job" transfer_mbps >> "$data/bt.txt"
    field "$job" before_transfer_s >> "$data/bq.txt"
    # (d): every response ends after 16 MB of its body; the run's tag tells its
    # requests apart in the server's log.
    cutjob=$(run_bench job "$base/f256.bin?__cutevery=16777216&run=d$i" "$data/out.bin" "$data/f256.bin")
    field "$cutjob" mbps >> "$data/d.txt"
    field "$cutjob" seconds >> "$data/ds.txt"
    field "$cutjob" retry_waits_s >> "$data/dw.txt"
    field "$cutjob" break_gaps_s >> "$data/dx.txt"
    field "$cutjob" retries >> "$data/dr.txt"
    curl -s -o "$data/out.bin" -w '%{speed_download}\n' "$base/f256.bin" |
        awk '{printf "%.1f\n", $1 / 1048576}' >> "$data/c.txt"
    rm -f "$data/out.bin"
done
a=$(median < "$data/a.txt"); b=$(median < "$data/b.txt"); c=$(median < "$data/c.txt")
bt=$(median < "$data/bt.txt"); bq=$(median < "$data/bq.txt"); bs=$(median < "$data/bs.txt")
d=$(median < "$data/d.txt"); ds=$(median < "$data/ds.txt"); dw=$(median < "$data/dw.txt")
dx=$(median < "$data/dx.txt"); dr=$(median < "$data/dr.txt")
# (d) without its waits: each run's time less the waits its retries announced.
dn=$(paste "$data/ds.txt" "$data/dw.txt" | awk '{printf "%.3f\n", $1 - $2}' | median)

# The bytes the server sent for each (d) run: BYTES_SENT (4th field) of its requests.
curl -s "$base/__control/log" > "$data/log.txt"
: > "$data/dbytes.txt"; : > "$data/dreq.txt"
for i in $(seq "$runs"); do
    awk -v tag="run=d$i" '{ n = split($2, q, /[?&]/); for (k = 2; k <= n; k++) if (q[k] == tag) { r++; s += $4 } }
        END { printf "%d %d\n", r, s }' "$data/log.txt" > "$data/dsum.txt"
    cut -d' ' -f1 "$data/dsum.txt" >> "$data/dreq.txt"
    awk -v size="$size256" '{printf "%.4f\n", $2 / size}' "$data/dsum.txt" >> "$data/dbytes.txt"
done
dbytes=$(median < "$data/dbytes.txt"); dreq=$(median < "$data/dreq.txt")

echo "pause and working set ..." >&2
pause=$(run_bench pause "$base/f64.bin" "$data/out.bin")
ws64=$(run_bench job "$base/f64.bin" "$data/out.bin")
ws1g=$(run_bench job "$base/f1g.bin" "$data/out.bin")

# Stall: the first request of each run sends 8 MB, then nothing for 60 s (a
# rule for one request); the job's default 30 s stall limit ends that attempt
# and the next one asks for the rest.
echo "stall and cancel ..." >&2
: > "$data/st.txt"; : > "$data/cr.txt"; : > "$data/c4.txt"
for i in $(seq "$runs"); do
    curl -s "$base/__control/set?path=/f64.bin&cut=8388608&stall=60&times=1" >/dev/null
    field "$(run_bench stall "$base/f64.bin?run=s$i" "$data/out.bin" "$data/f64.bin")" \
        stall_to_next_byte_s >> "$data/st.txt"
    # Every request of this URL stalls after 8 MB; the job is cancelled 2 s into it.
    cancel=$(run_bench cancel "$base/f64.bin?__cut=8388608&__stall=60&run=x$i" "$data/out.bin")
    field "$cancel" cancel_to_cancelled_s >> "$data/cr.txt"
    field "$cancel" cancel_to_state4_s >> "$data/c4.txt"
done
st=$(median < "$data/st.txt"); cr=$(median < "$data/cr.txt"); c4=$(median < "$data/c4.txt")

pk64=$(field "$ws64" peak_ws_mb); pk1g=$(field "$ws1g" peak_ws_mb)
printf '\n%-60s %12s %s\n' "measure" "value" "goal"
printf '%-60s %12s\n' "(a) bare WinINet 4096-byte loop, 256 MB (MB/s)" "$a"
printf '%-60s %12s\n' "(b) download job + status callback, 256 MB (MB/s)" "$b"
printf '%-60s %12s\n' "    of which the length query before it (s)" "$bq"
printf '%-60s %12s\n' "    its transfer phase alone (MB/s)" "$bt"
printf '%-60s %12s\n' "(c) curl, 256 MB (MB/s)" "$c"
printf '%-60s %12s %s\n' "(b)/(a), whole job" "$(ratio "$b" "$a")" ">= 0.95"
printf '%-60s %12s %s\n' "(b)/(a), transfer phase" "$(ratio "$bt" "$a")" ">= 0.95"
printf '%-60s %12s\n' "(d) job, server cuts every 16 MB, 256 MB (MB/s)" "$d"
printf '%-60s %12s %s\n' "(d) time / (b) time" "$(ratio "$ds" "$bs")" "<= 1.15"
printf '%-60s %12s\n' "    (d) retries" "$dr"
printf '%-60s %12s\n' "    waits its retries announced (s)" "$dw"
printf '%-60s %12s\n' "    last byte before each cut to first byte after, in all (s)" "$dx"
printf '%-60s %12s\n' "    (d) time less the announced waits / (b) time" "$(ratio "$dn" "$bs")"
printf '%-60s %12s %s\n' "(d) file byte-identical to the source (cmp)" "yes, $runs of $runs" "yes"
printf '%-60s %12s %s\n' "(d) bytes the server sent / file size ($dreq requests)" "$dbytes" "<= 1.02"
printf '%-60s %12s %s\n' "CPU seconds during 10 s of pause (b)" "$(field "$pause" paused_cpu_s)" "<= 0.1"
printf '%-60s %12s %s\n' "peak working set (b), 64 MB file (MB)" "$pk64" "<= 32"
printf '%-60s %12s %s\n' "peak working set (b), 1 GB file (MB)" "$pk1g" "<= 32"
printf '%-60s %12s %s\n' "1 GB vs 64 MB peak working set" \
    "$(awk "BEGIN {printf \"%+.1f%%\", ($pk1g - $pk64) * 100 / $pk64}")" "within 10 %"
printf '%-60s %12s %s\n' "stall start to next attempt's first byte, 30 s limit (s)" "$st" "<= 32"
printf '%-60s %12s %s\n' "cancel in a blocked read to Run's return (s)" "$cr" "<= 1"
printf '%-60s %12s\n' "cancel in a blocked read to the state 4 report (s)" "$c4"
printf '(medians of %s runs; single runs: a=%s b=%s b-transfer=%s c=%s)\n' "$runs" \
    "$(tr '\n' ' ' < "$data/a.txt")" "$(tr '\n' ' ' < "$data/b.txt")" "$(tr '\n' ' ' < "$data/bt.txt")" \
    "$(tr '\n' ' ' < "$data/c.txt")"
printf '(single runs: b-seconds=%s d=%s d-seconds=%s d-waits=%s d-bytes/size=%s stall=%s cancel=%s state4=%s)\n' \
    "$(tr '\n' ' ' < "$data/bs.txt")" "$(tr '\n' ' ' < "$data/d.txt")" "$(tr '\n' ' ' < "$data/ds.txt")" \
    "$(tr '\n' ' ' < "$data/dw.txt")" "$(tr '\n' ' ' < "$data/dbytes.txt")" "$(tr '\n' ' ' < "$data/st.txt")" \
    "$(tr '\n' ' ' < "$data/cr.txt")" "$(tr '\n' ' ' < "$data/c4.txt")"
