#!/usr/bin/env bash
# kervola-cli's cleaning commands against the simulator: what they print, their exit codes and,
# from the simulator's command log, what reached the detector.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
dir=$(mktemp -d)
source "$(dirname "$0")/../cli/testlib.sh"

# cleaning level: each fixed level of the simulator.
for row in high:high low:low none:unknown; do
    start_sim "${row%%:*}" --level "${row%%:*}"
    out=$("$cli" cleaning level --host 127.0.0.1 --port "$port"); rc=$?
    check "level ${row%%:*} exit" 0 $rc
    check "level ${row%%:*}" "${row##*:}" "$out"
    check "level ${row%%:*} sent" "gg" "$(received "${row%%:*}")"
done

# cleaning run: every timing corrected as the dialog corrects it, one line to the detector.
start_sim run
out=$("$cli" cleaning run 45 x -3 7 --host 127.0.0.1 --port "$port"); rc=$?
check "run exit" 0 $rc
check "run prints the line" "cl 30,1,0,7" "$out"
check "run sent" "cl 30,1,0,7" "$(received run)"
"$cli" cleaning run 1 2 3 --host 127.0.0.1 --port "$port" > /dev/null 2>&1; check "run three timings" 2 $?
"$cli" cleaning run 1 2 3 4 5 --host 127.0.0.1 --port "$port" > /dev/null 2>&1; check "run five timings" 2 $?
"$cli" cleaning run 1 2 3 4 --host 127.0.0.1 --port "$port" --fast > /dev/null 2>&1; check "run unknown option" 2 $?
"$cli" cleaning level extra --host 127.0.0.1 --port "$port" > /dev/null 2>&1; check "level extra argument" 2 $?
check "nothing sent on usage errors" "cl 30,1,0,7" "$(received run)"

# A detector that cannot be reached: exit 1 and one line naming it, nothing on standard output.
closed=1 # nothing listens on a privileged port here
for c in "level" "run 1 2 3 4"; do
    err=$("$cli" cleaning $c --host 127.0.0.1 --port "$closed" 2>&1 > "$dir/out"); rc=$?
    check "$c unreachable exit" 1 $rc
    check "$c unreachable text" "kervola-cli: 127.0.0.1:$closed: cannot reach the detector" "$err"
    check "$c unreachable output" "" "$(cat "$dir/out")"
done

for c in level run; do
    "$cli" cleaning $c --help > /dev/null; check "$c --help" 0 $?
done

finish
