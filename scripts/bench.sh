#!/usr/bin/env bash
# Runs every benchmark executable of the release build; each reports its ratios itself, and the
# lines that name a goal are gathered again at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
found=0
log=build/bench.log
: > "$log"
for b in $(find build/bench -type f -name '*_bench' -perm -u+x | sort); do
    found=1
    echo "== $(basename "$b")" | tee -a "$log"
    # Every repetition is reported, so that ratios can be taken per repetition as well. The
    # machine's speed drifts over seconds, so the repetitions of a benchmark and of its baseline
    # are interleaved: both then see the same drift.
    QT_QPA_PLATFORM=offscreen "$b" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
        --benchmark_color=false | tee -a "$log"
done
[ $found -eq 1 ] || { echo "no benchmarks built"; exit 0; }
echo "== goals"
grep -E 'goal' "$log" || true
