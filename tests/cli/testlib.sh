# Shared by the command-line test scripts: source it after setting `dir` (a scratch folder) and,
# for start_sim, `sim` (the simulator). It counts checks and cleans up simulators and `dir` on exit.
failures=0
passes=0
pids=()

cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT

check() { # name expected actual
    if [ "$2" == "$3" ]; then
        passes=$((passes + 1))
    else
        echo "FAIL $1: expected [$2] got [$3]"
        failures=$((failures + 1))
    fi
}

# Starts a simulator with its command log in $dir/NAME.log; sets `port`.
start_sim() { # name, simulator options...
    local name=$1
    shift
    : > "$dir/port.$name"
    "$sim" --port 0 --log "$dir/$name.log" "$@" > "$dir/port.$name" &
    pids+=($!)
    for _ in $(seq 100); do
        grep -q listening "$dir/port.$name" && break
        sleep 0.05
    done
    port=$(sed -n 's/.*://p' "$dir/port.$name")
}

# The command lines the simulator NAME received, login lines left out.
received() { # name
    awk '{ $1 = ""; $2 = ""; sub(/^  /, ""); print }' "$dir/$1.log" | grep -v '^<' |
        grep -v '^root$' | grep -v '^kvtp$'
}

# The summary line and the script's exit status.
finish() {
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ]
}
