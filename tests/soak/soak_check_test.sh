#!/usr/bin/env bash
# The soak's judgement on samples of its own: each row is a small CSV and the exit status the
# check must give. A check that compared neighbours, started at the first sample, or judged one
# direction only would pass a leak; each such way is a row.
# usage: soak_check_test.sh PATH/TO/soak-check.sh
set -uo pipefail
check=${1:?usage: soak_check_test.sh SOAK_CHECK_SCRIPT}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
header=seconds,rss_kb,fds,threads,avi_bytes,pictures

# row NAME EXPECTED_STATUS SAMPLE... (each sample "seconds,rss,fds,threads")
row() {
    local name=$1 expected=$2
    shift 2
    {
        echo "$header"
        for s in "$@"; do echo "$s,0,0"; done
    } >"$work/$name.csv"
    local out status
    out=$(bash "$check" "$work/$name.csv" 2>&1)
    status=$?
    if [ "$status" -ne "$expected" ]; then
        echo "FAIL $name: exit $status, expected $expected"
        echo "$out" | sed 's/^/    /'
        failures=$((failures + 1))
    fi
}

row flat 0 0,50000,30,12 10,90000,31,14 60,100000,40,16 70,100000,40,16 80,101000,40,16
# The start-up may grow as it likes: only what follows the first minute counts.
row growth_in_first_minute_only 0 0,10000,10,4 50,100000,40,16 60,100000,40,16 600,100000,40,16
row exactly_five_percent 0 60,100000,40,20 70,105000,42,21 80,95000,38,19
row memory_just_over 1 60,100000,40,16 70,105001,40,16
row memory_drops 1 60,100000,40,16 70,94000,40,16
# One more descriptor of 20 is 5 % and passes; of 19 it is more.
row one_fd_of_twenty 0 60,100000,20,16 70,100000,21,16
row one_fd_of_nineteen 1 60,100000,19,16 70,100000,20,16
row thread_added 1 60,100000,40,16 900,100000,40,17
# Each step is 2 %, the sum is not: against the neighbour it would pass.
row slow_creep 1 60,100000,40,16 70,102000,40,16 80,104000,40,16 90,106000,40,16
# The baseline is the first sample after the minute, not the first sample of the run.
row baseline_after_warmup 0 0,40000,20,8 60,100000,40,16 70,100000,40,16
row late_jump_back 1 60,100000,40,16 70,100000,40,16 1190,110000,40,16
row nothing_after_warmup 2 0,100000,40,16 50,100000,40,16
row torn_sample 2 60,100000,40,16 70,100000,

# A file with other columns is refused, not read by position.
printf 'time,fds,rss_kb,threads\n60,40,100000,16\n' >"$work/header.csv"
bash "$check" "$work/header.csv" >/dev/null 2>&1
[ $? -eq 2 ] || { echo "FAIL header: a foreign header was read"; failures=$((failures + 1)); }
bash "$check" "$work/missing.csv" >/dev/null 2>&1
[ $? -eq 2 ] || { echo "FAIL missing: a missing file was not refused"; failures=$((failures + 1)); }

# The summary the closing note quotes: first, min and max of each metric.
out=$(bash "$check" "$work/flat.csv")
echo "$out" | grep -Eq '^rss_kb +100000 +100000 +101000 ' ||
    { echo "FAIL summary: $out"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "all rows pass"
exit $((failures > 0))
