#!/usr/bin/env bash
# Builds the fuzz targets with clang under ASan+UBSan and runs each for a bounded time.
# usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKERVOLA_FUZZ=ON -DKERVOLA_GUI=OFF -DKERVOLA_SANITIZE=ON -DKERVOLA_BENCH=OFF \
    -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build build-fuzz --target fuzz_all -j "$(nproc)"
status=0
for target in $(find build-fuzz/fuzz -maxdepth 2 -type f -name 'fuzz_*' -perm -u+x | sort); do
    name=$(basename "$target")
    corpus=build-fuzz/corpus/$name
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
    echo "== $name for ${seconds}s"
    log=build-fuzz/$name.log
    rc=0
    "$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="build-fuzz/$name-" "$corpus" "${seeds[@]}" >"$log" 2>&1 || rc=$?
    tail -n 12 "$log"
    [ $rc -eq 0 ] || { echo "$name: finding or failure (exit $rc), see $log"; status=1; }
done
exit $status
