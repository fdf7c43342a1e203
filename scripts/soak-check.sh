#!/usr/bin/env bash
# Judges the samples of a soak run: resident memory, open descriptors and threads must stay flat
# once the program has settled. The first minute is start-up (connection, first pictures, the
# recorder's buffers, the toolkit's caches) and is left out; every later sample is held against
# the first later one, not against its neighbour, so that a slow creep of a little per sample is
# caught as well as a jump.
# usage: soak-check.sh SAMPLES.csv [WARMUP_SECONDS] [TOLERANCE_PERCENT]
# The file has a header line and the columns seconds,rss_kb,fds,threads first (more may follow).
# Exit 0 when flat, 1 when a sample is off, 2 when there is nothing to judge.
set -euo pipefail
csv=${1:?usage: soak-check.sh SAMPLES.csv [WARMUP_SECONDS] [TOLERANCE_PERCENT]}
warmup=${2:-60}
tolerance=${3:-5}
[ -r "$csv" ] || { echo "soak-check: cannot read $csv" >&2; exit 2; }

awk -F, -v warmup="$warmup" -v tol="$tolerance" '
function abs(x) { return x < 0 ? -x : x }
NR == 1 {
    if ($1 != "seconds" || $2 != "rss_kb" || $3 != "fds" || $4 != "threads") {
        print "soak-check: unexpected header: " $0 > "/dev/stderr"
        bad_input = 1
        exit
    }
    name[2] = "rss_kb"; name[3] = "fds"; name[4] = "threads"
    next
}
# A sample the sampler could not take whole (the program gone, a cut line) is not a figure.
NF < 4 || $1 !~ /^[0-9]+$/ || $2 !~ /^[0-9]+$/ || $3 !~ /^[0-9]+$/ || $4 !~ /^[0-9]+$/ {
    print "soak-check: line " NR " is not a sample: " $0 > "/dev/stderr"
    bad_input = 1
    exit
}
{
    samples++
    if ($1 + 0 < warmup + 0)
        next
    judged++
    if (judged == 1) base_t = $1
    for (c = 2; c <= 4; c++) {
        v = $c + 0
        if (judged == 1) { base[c] = v; lo[c] = v; hi[c] = v; worst[c] = 0 }
        if (v < lo[c]) lo[c] = v
        if (v > hi[c]) hi[c] = v
        # In whole numbers: 100 * |v - base| > tol * base, so that exactly 5 % still passes.
        off = abs(v - base[c])
        pct = base[c] > 0 ? 100 * off / base[c] : (off > 0 ? 100 : 0)
        if (pct > worst[c]) worst[c] = pct
        if (100 * off > tol * base[c]) {
            printf "OFF  %s at %d s: %d against %d at %d s (%+.1f %%)\n", name[c], $1, v, base[c], base_t, (base[c] > 0 ? 100 * (v - base[c]) / base[c] : 100)
            failed = 1
        }
    }
}
END {
    if (bad_input) exit 2
    if (judged == 0) {
        printf "soak-check: no sample from %d s on (%d samples in all): nothing to judge\n", warmup, samples > "/dev/stderr"
        exit 2
    }
    printf "%d samples, %d judged from %d s on against the one at %d s (tolerance %s %%)\n", samples, judged, warmup, base_t, tol
    printf "%-8s %12s %12s %12s %10s\n", "metric", "first", "min", "max", "worst %"
    for (c = 2; c <= 4; c++)
        printf "%-8s %12d %12d %12d %10.1f\n", name[c], base[c], lo[c], hi[c], worst[c]
    if (failed) { print "NOT FLAT"; exit 1 }
    print "FLAT"
}' "$csv"
