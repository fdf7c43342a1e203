#!/usr/bin/env bash
# watch and count-check against the simulator: a detector that misses a fifth of the vehicles and
# invents one for every ten, its truth file, and the counts it says it made.
# usage: count_check_cli_test.sh KERVOLA_CLI ZELMONT_SIM
cli=$1
sim=$2
dir=$(mktemp -d)
source "$(dirname "$0")/../cli/testlib.sh"

# Waits (bounded) until FILE has at least N lines matching PATTERN.
wait_lines() { # file pattern n
    for _ in $(seq 600); do
        local n
        n=$(grep -c -- "$2" "$1" 2>/dev/null)
        [ "${n:-0}" -ge "$3" ] && return 0
        sleep 0.05
    done
    return 1
}

# About 60 s of the scene's traffic, four times faster. The window is a tenth of a second of wall
# time: well above the loopback's delay, well below the gap between two vehicles of a lane at
# this speed, and ghosts come only where a zone stays free for longer.
start_sim truth --seed 7 --speed 4 --miss 0.2 --ghost 0.1 --truth "$dir/truth.csv"
"$cli" watch --host 127.0.0.1 --port "$port" -o "$dir/watch.csv" 2>"$dir/watch.err" &
watch=$!
wait_lines "$dir/truth.log" '<truth ' 100 || echo "FAIL truth: the simulator recorded too few vehicles"
kill -TERM $watch
wait $watch
check "watch ends cleanly on SIGTERM" 0 $?
check "watch log header" "time,zone,source,state" "$(head -1 "$dir/watch.csv")"
check "watch rows: three decimals, detector, on or off" "" \
    "$(tail -n +2 "$dir/watch.csv" | grep -Ev '^[0-9]+\.[0-9]{3},[1-4],detector,(on|off)$')"
check "watch asked as the program does" "sm data=on gs ge" \
    "$(received truth | grep -v '^gc$' | head -3 | tr '\n' ' ' | sed 's/ $//')"

"$cli" count-check "$dir/watch.csv" "$dir/truth.csv" --window 0.1 --json >"$dir/check.json"
check "count-check exit" 0 $?
kill "${pids[0]}"
wait "${pids[0]}" 2>/dev/null
# What the simulator says it did with each vehicle while it was watched.
seen=$(grep -c '<truth [0-9]* seen>' "$dir/truth.log")
unseen=$(grep -Ec '<truth [0-9]* (missed|hidden)>' "$dir/truth.log")
ghosts=$(grep -c '<ghost ' "$dir/truth.log")
check "truth rows" $((seen + unseen)) "$(tail -n +2 "$dir/truth.csv" | grep -c ',truth,on$')"
check "matched = the vehicles the detector reported" "$seen" "$(jq .total.matched "$dir/check.json")"
check "missed = the vehicles it missed" "$unseen" "$(jq .total.missed "$dir/check.json")"
check "false = the vehicles it invented" "$ghosts" "$(jq .total.false "$dir/check.json")"
check "recall" "$(jq -n "$seen / ($seen + $unseen)")" "$(jq .total.recall "$dir/check.json")"
[ "$ghosts" -gt 0 ] && [ "$unseen" -gt 0 ] || echo "FAIL the run had no misses or no ghosts"
for zone in 1 2 3 4; do
    check "zone $zone matched" "$(grep -c "<truth $zone seen>" "$dir/truth.log")" \
        "$(jq ".zones[] | select(.zone == \"$zone\") | .matched" "$dir/check.json")"
    check "zone $zone false" "$(grep -c "<ghost $zone>" "$dir/truth.log")" \
        "$(jq ".zones[] | select(.zone == \"$zone\") | .false" "$dir/check.json")"
done

# The table: a row per zone and the total, in columns.
"$cli" count-check "$dir/watch.csv" "$dir/truth.csv" --window 0.1 >"$dir/check.txt"
check "table rows" "ZONE 1 2 3 4 total" "$(awk '{print $1}' "$dir/check.txt" | tr '\n' ' ' | sed 's/ $//')"

# A lost connection ends the watch with 1, and what was logged stays a valid log.
start_sim lost --seed 3 --speed 4
"$cli" watch --host 127.0.0.1 --port "$port" -o "$dir/lost.csv" 2>"$dir/lost.err" &
watch=$!
wait_lines "$dir/lost.csv" ',detector,on$' 2 || echo "FAIL lost: no events logged"
kill "${pids[1]}"
wait $watch
check "lost connection exit" 1 $?
"$cli" count-check "$dir/lost.csv" >/dev/null
check "the kept log reads" 0 $?

# --seconds ends it by itself.
start_sim timed --seed 3
"$cli" watch --host 127.0.0.1 --port "$port" --seconds 0.3 -o "$dir/timed.csv" 2>/dev/null
check "watch --seconds exit" 0 $?
check "timed log header" "time,zone,source,state" "$(head -1 "$dir/timed.csv")"

# Malformed input names the file and the line; a merged hand count with unsorted rows is fine.
printf 'time,zone,source,state\n1765296000.500,1,detector,on\n1765296000,1,detector,on\n' >"$dir/d.csv"
printf 'time,zone,source,state\n1765296000.200,1,hand,on\n1765296000.900,1,hand,on\n' >"$dir/h.csv"
printf 'time,zone,source,state\n1765296000.200,1,hand,on\n1765296000;2,1,hand,on\n' >"$dir/bad.csv"
check "unsorted merge" "2 2 0 0" \
    "$("$cli" count-check "$dir/d.csv" "$dir/h.csv" --json | jq -r '.total | "\(.matched) \(.reference) \(.missed) \(.false)"')"
"$cli" count-check "$dir/d.csv" "$dir/bad.csv" 2>"$dir/bad.err" >/dev/null
check "malformed exit" 1 $?
grep -q "bad.csv:3" "$dir/bad.err" || echo "FAIL malformed: $(cat "$dir/bad.err")"
check "malformed under --json" "false" "$("$cli" count-check "$dir/bad.csv" --json 2>/dev/null | jq .ok)"
"$cli" count-check "$dir/d.csv" --window 0 >/dev/null 2>&1
check "bad window" 2 $?
check "comma window" "0.5" "$("$cli" count-check "$dir/d.csv" --window 0,5 --json | jq .window_s)"
check "empty ratios are null" "null null" \
    "$("$cli" count-check "$dir/d.csv" --json | jq -r '.total | "\(.recall) \(.error_pct)"')"

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
