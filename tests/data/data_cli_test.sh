#!/usr/bin/env bash
# kervola-cli data download and data convert against the detector simulator: bytes, exit codes
# and what is left on disk.
set -u
cli=$1
simulator=$2
dir=$(mktemp -d)
source "$(dirname "$0")/../cli/testlib.sh"
sim_pid=
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$dir"' EXIT

start_sim() { # simulator options; sets port
    stop_sim
    : > "$dir/sim.out"
    "$simulator" --port 0 "$@" > "$dir/sim.out" 2>/dev/null &
    sim_pid=$!
    port=
    for _ in $(seq 100); do
        port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$dir/sim.out")
        [ -n "$port" ] && return
        sleep 0.05
    done
    echo "FAIL simulator did not start"
    exit 1
}

stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    sim_pid=
}

download() { # FILE [options]
    local file=$1
    shift
    "$cli" data download -o "$file" --host 127.0.0.1 --port "$port" "$@" \
        > "$dir/out.txt" 2> "$dir/err.txt"
}

# Each record size: the table, the raw bytes, and the raw bytes converted to the same table.
for size in 136 144 288; do
    start_sim --record-size $size --records 30
    download "$dir/d.csv"
    check "download $size exit" 0 $?
    check "download $size counts" "$((30 * size)) bytes, 30 records of $size bytes" "$(cat "$dir/out.txt")"
    check "download $size lines" 30 "$(grep -c $'\r$' "$dir/d.csv")"
    columns=$([ $size == 288 ] && echo 61 || echo 23)
    check "download $size columns" $columns "$(head -1 "$dir/d.csv" | tr -d '\r' | awk -F, '{print NF}')"
    grep -q 'download: .*bytes (100%)' "$dir/err.txt"
    check "download $size progress" 0 $?
    download "$dir/d.Bin"
    check "download $size raw" $((30 * size)) "$(stat -c %s "$dir/d.Bin")"
    "$cli" data convert --record-size $size "$dir/d.Bin" > "$dir/converted.csv"
    check "convert $size exit" 0 $?
    cmp -s "$dir/d.csv" "$dir/converted.csv"
    check "convert $size equals the download" 0 $?
    "$cli" data convert --record-size $size "$dir/d.Bin" -o "$dir/out.csv"
    cmp -s "$dir/d.csv" "$dir/out.csv"
    check "convert $size -o" 0 $?
done

# Firmware below 38: "gd", and the bytes as received whatever the name.
start_sim --record-size 144 --records 4 --firmware '"Zelmont SF 5.1 37"'
download "$dir/old.csv"
check "old firmware exit" 0 $?
check "old firmware raw" 576 "$(stat -c %s "$dir/old.csv")"
check "old firmware counts" "576 bytes" "$(cat "$dir/out.txt")"

# Days back: only the recent part of ten days of records.
start_sim --records 100
download "$dir/recent.csv" --days 1
recent=$(grep -c $'\r$' "$dir/recent.csv")
[ "$recent" -gt 5 ] && [ "$recent" -lt 20 ]
check "one day of ten ($recent records)" 0 $?
download "$dir/all.csv" --days 0
check "days 0 is all data" 100 "$(grep -c $'\r$' "$dir/all.csv")"

# An empty answer fails and leaves an empty table in place of an older one.
start_sim --records 0
echo older > "$dir/empty.csv"
download "$dir/empty.csv"
check "empty answer exit" 1 $?
check "empty answer file" 0 "$(stat -c %s "$dir/empty.csv")"
check "empty answer message" 1 "$(grep -c "^kervola-cli: 127.0.0.1:$port: no data" "$dir/err.txt")"
echo older > "$dir/empty.bin"
download "$dir/empty.bin"
check "empty answer raw exit" 1 $?
check "empty answer raw file kept" older "$(cat "$dir/empty.bin")"
download "$dir/missing/x.csv"
check "unwritable exit" 1 $?
check "unwritable message" "kervola-cli: $dir/missing/x.csv: cannot write the file" "$(cat "$dir/err.txt")"
stop_sim

# No detector: one line naming it.
"$cli" data download -o "$dir/x.csv" --host 127.0.0.1 --port "$port" > /dev/null 2> "$dir/err.txt"
check "unreachable exit" 1 $?
check "unreachable message" "kervola-cli: 127.0.0.1:$port: cannot reach the detector" "$(cat "$dir/err.txt")"
check "unreachable leaves no file" no "$([ -e "$dir/x.csv" ] && echo yes || echo no)"

# convert refuses a partial record and writes nothing.
head -c 137 /dev/zero > "$dir/partial.bin"
"$cli" data convert --record-size 136 "$dir/partial.bin" -o "$dir/partial.csv" > "$dir/out.txt" 2> "$dir/err.txt"
check "partial exit" 1 $?
check "partial message" "kervola-cli: $dir/partial.bin: 137 bytes are not a whole number of 136-byte records" "$(cat "$dir/err.txt")"
check "partial writes nothing" no "$([ -e "$dir/partial.csv" ] && echo yes || echo no)"
"$cli" data convert --record-size 136 "$dir/none.bin" 2>/dev/null
check "convert missing file" 1 $?
: > "$dir/zero.bin"
check "convert empty file" "0:" "$("$cli" data convert --record-size 288 "$dir/zero.bin"; echo "$?:")"

# Usage errors exit 2, --help 0.
"$cli" data convert "$dir/zero.bin" > /dev/null 2>&1; check "convert without size" 2 $?
"$cli" data convert --record-size 100 "$dir/zero.bin" > /dev/null 2>&1; check "convert size 100" 2 $?
"$cli" data convert --record-size 136 > /dev/null 2>&1; check "convert without IN" 2 $?
"$cli" data download --host 127.0.0.1 > /dev/null 2>&1; check "download without -o" 2 $?
"$cli" data download -o "$dir/y.csv" > /dev/null 2>&1; check "download without detector" 2 $?
"$cli" data download -o "$dir/y.csv" --host h --days x > /dev/null 2>&1; check "download bad days" 2 $?
"$cli" data download -o "$dir/y.csv" --host h --days -1 > /dev/null 2>&1; check "download negative days" 2 $?
for c in convert download; do "$cli" data $c --help > /dev/null; check "$c --help" 0 $?; done

finish
