#!/usr/bin/env bash
# The fleet under faults, measured: `fleet status` and `fleet backup` over HEALTHY sound simulated
# detectors and COPIES sets of eight faulty ones (drop, slow, split, garbage, close mid-body, huge
# announce, a refused login, a detector that never answers), with --jobs 16. Prints each run's
# exit code, wall time and maximum resident memory, and the faulty detectors' rows.
#   scripts/fleet-faults.sh [BUILD [HEALTHY [COPIES]]]      (defaults: build 32 1)
set -u
build=${1:-build}
healthy=${2:-32}
copies=${3:-1}
cli=$(realpath "$build/cli/kervola-cli")
sim=$(realpath "$build/tools/zelmont-sim/zelmont-sim")
dir=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$dir"' EXIT
export KERVOLA_DATA_DIR=$dir

wait_listening() { # file count
    for _ in $(seq 200); do
        local n
        n=$(grep -c listening "$1" 2> /dev/null)
        [ "${n:-0}" -ge "$2" ] && return
        sleep 0.05
    done
}

"$sim" --port 0 --detectors "$healthy" --write-hosts "$dir/hosts.ini" > "$dir/sound.port" &
pids+=($!)
wait_listening "$dir/sound.port" "$healthy"
n=0
for copy in $(seq "$copies"); do
    for fault in "DROP --drop-gp 1 --drop-sc 1" "SLOW --slow-ms 400" "SPLIT --split 7" \
        "GARBAGE --garbage" "CLOSE --close-mid-body --body-fault-every 1" \
        "HUGE --huge-announce --body-fault-every 1" "REFUSED --password other" "MUTE --mute"; do
        set -- $fault
        label=$1-$copy
        shift
        n=$((n + 1))
        "$sim" --port 0 --level high "$@" > "$dir/fault$n.port" &
        pids+=($!)
        wait_listening "$dir/fault$n.port" 1
        "$cli" hosts add "$label" 127.0.0.1 --port "$(sed -n 's/.*://p' "$dir/fault$n.port")" \
            2> /dev/null || exit 1
    done
done
for command in status "backup -o $dir/backups"; do
    # shellcheck disable=SC2086
    /usr/bin/time -f "%e s, max RSS %M KB" -o "$dir/time" \
        "$cli" fleet $command --jobs 16 > "$dir/table" 2> /dev/null
    echo "fleet ${command%% *}: exit $?, $(tail -1 "$dir/time")"
    grep -v '^SIM-' "$dir/table"
done
