#!/usr/bin/env bash
# A long run of Kervola2 as an operator leaves it on a desk: live pictures at 25 a second from the
# bundled simulator, data mode on, and a recording running, under Xvfb. Resident memory, open
# descriptors and threads of the program are sampled every 10 s into build/soak/samples.csv; after
# the first minute they must stay within 5 % of the first sample that follows it
# (scripts/soak-check.sh judges). The run stops early when the pictures or the recording stop,
# since flat figures of a program that does nothing prove nothing.
# SOAK_SECONDS (default 1200) sets the length of the sampling.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Always a display of its own: no window manager to steal the keys, nothing on the user's screen.
if [ -z "${KERVOLA_SOAK_DISPLAY:-}" ]; then
    export KERVOLA_SOAK_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

seconds=${SOAK_SECONDS:-1200}
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "SOAK_SECONDS must be a whole number of seconds"; exit 2; }
interval=10
warmup=60
build=$root/build
sim=$build/tools/zelmont-sim/zelmont-sim
program=$build/program/Kervola2
out=$build/soak
data=$out/data
csv=$out/samples.csv
simlog=$out/simulator.log
avi=$data/output.avi
rm -rf "$out"
mkdir -p "$data"

app=
sim_pid=
stop_all() {
    if [ -n "$app" ] && kill "$app" 2>/dev/null; then wait "$app" 2>/dev/null || true; fi
    if [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; then wait "$sim_pid" 2>/dev/null || true; fi
}
trap stop_all EXIT
fail() {
    echo "soak: $*"
    echo "(program output: $out/program.out, simulator log: $simlog)"
    exit 1
}
# wait_for SECONDS COMMAND...: polls the command until it succeeds, at most that long.
wait_for() {
    local limit=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$limit" ] || return 1
        kill -0 "$app" 2>/dev/null || fail "Kervola2 ended"
        sleep 0.2
    done
}

"$sim" --port 0 --fps 25 --log "$simlog" >"$out/simulator.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
    grep -q '^listening on' "$out/simulator.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$out/simulator.out")
[ -n "$port" ] || fail "the simulator did not start: $(cat "$out/simulator.out")"

# The automatic connection of the INI file starts live pictures at 25 a second with data mode on.
printf '<kervola>\r\n <rec caption="Simulator" ip="127.0.0.1" port="%s" login="root" pass="kvtp" created="%s"/>\r\n</kervola>\r\n' \
    "$port" "$(date '+%d.%m.%Y %H:%M:%S')" >"$data/hosts.ini"
chmod 600 "$data/hosts.ini"
printf '[AUTOSTART]\nCONNECTION=0\nLEFT=40\nTOP=40\nWIDTH=720\nHEIGHT=576\n' >"$data/kervola.ini"
KERVOLA_DATA_DIR=$data KERVOLA_DOC_DIR=$build/share/kervola/ \
    "$program" "$data/kervola.ini" >"$out/program.out" 2>&1 &
app=$!

window_of() { xdotool search --all --onlyvisible --pid "$app" --name "$1" 2>/dev/null | head -1; }
# The title ends in the pictures of the last second and the word for them ("fps" or its Russian).
title_rate() { xdotool getwindowname "$main" 2>/dev/null | sed -n 's/.* \([0-9][0-9]*\) [^ ]*$/\1/p'; }
live() { [ "$(title_rate)" -gt 0 ] 2>/dev/null; }
pictures_asked() { awk '$3 == "gp"' "$simlog" | wc -l; }
avi_bytes() { stat -c %s "$avi" 2>/dev/null || echo 0; }

main=
find_main() { main=$(window_of '^KERVOLA'); [ -n "$main" ]; }
wait_for 30 find_main || fail "no main window"
wait_for 30 live || fail "no live pictures; title: $(xdotool getwindowname "$main")"
# The simulator reports a vehicle in a zone only to a client that has data mode on and watches.
zone_events() { grep -c '<truth [0-9]* seen>' "$simlog" || true; }
reported() { [ "$(zone_events)" -gt 0 ]; }
wait_for 30 reported || fail "no zone event was reported: data mode is off"

# F12 opens the capture dialog, whose caption is the time code; its first button starts.
xdotool windowfocus --sync "$main"
xdotool key F12
dialog=
find_dialog() { dialog=$(window_of '^00:00:00:00$'); [ -n "$dialog" ]; }
wait_for 15 find_dialog || fail "the capture dialog did not open"
# A dialog just mapped may not take the click yet: click again until the file appears (once
# started, the start button is disabled, so a second click does nothing).
recording() { [ "$(avi_bytes)" -gt 0 ]; }
for _ in 1 2 3 4 5; do
    xdotool mousemove --window "$dialog" 30 30 click 1
    wait_for 3 recording && break
done
recording || fail "the recording did not start"
echo "Live pictures, data mode on, recording into $avi"
echo "Sampling Kervola2 (pid $app) every $interval s for $seconds s into $csv"

echo "seconds,rss_kb,fds,threads,avi_bytes,pictures" >"$csv"
start=$(date +%s)
last_avi=0
last_pictures=0
for ((t = 0; t <= seconds; t += interval)); do
    now=$(date +%s)
    [ "$now" -ge $((start + t)) ] || sleep $((start + t - now))
    status=/proc/$app/status
    [ -r "$status" ] || fail "Kervola2 ended after $t s"
    rss=$(awk '/^VmRSS:/ { print $2 }' "$status")
    threads=$(awk '/^Threads:/ { print $2 }' "$status")
    fds=$(ls "/proc/$app/fd" | wc -l)
    bytes=$(avi_bytes)
    pictures=$(pictures_asked)
    echo "$t,$rss,$fds,$threads,$bytes,$pictures" >>"$csv"
    if [ "$t" -gt 0 ]; then
        [ "$bytes" -gt "$last_avi" ] || fail "the recording stopped growing at $t s"
        [ "$pictures" -gt "$last_pictures" ] || fail "no picture was asked for between $((t - interval)) and $t s"
    fi
    last_avi=$bytes
    last_pictures=$pictures
    printf '%5d s  rss %8d kB  fds %4d  threads %3d  avi %6d MB\n' "$t" "$rss" "$fds" "$threads" \
        $((bytes / 1048576))
done
elapsed=$(($(date +%s) - start))
rate=$(title_rate)

# The stop button finishes the file: it must play, at 25 frames a second, for about the run.
xdotool mousemove --window "$dialog" 74 30 click 1
closed() { [ -z "$(window_of '^[0-9][0-9]:[0-9][0-9]:[0-9][0-9]:[0-9][0-9]$')" ]; }
wait_for 30 closed || fail "the capture dialog did not close"
movie=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_tag_string,width,height,r_frame_rate,nb_frames \
    -of default=noprint_wrappers=1 "$avi" | tr '\n' ' ')
reported=$(zone_events)
! grep -q ' sm data=off$' "$simlog" || fail "data mode was switched off during the run"

echo
echo "Pictures asked for: $last_pictures in $elapsed s ($((last_pictures / (elapsed > 0 ? elapsed : 1))) a second; last title: $rate a second)"
echo "Zone events reported in data mode: $reported"
echo "Recording: $(avi_bytes) bytes; $movie"
echo
bash "$root/scripts/soak-check.sh" "$csv" "$warmup" 5
