#!/usr/bin/env bash
# Runs every benchmark executable of the release build; each reports its ratios itself.
set -euo pipefail
cd "$(dirname "$0")/.."
found=0
for b in $(find build/bench -type f -name '*_bench' -perm -u+x | sort); do
    found=1
    echo "== $(basename "$b")"
    QT_QPA_PLATFORM=offscreen "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
[ $found -eq 1 ] || echo "no benchmarks built"
