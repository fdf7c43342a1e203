#!/usr/bin/env bash
# Runs Kervola2 on the bundled detector simulator: the simulator on a free loopback port, a data
# folder of the demo's own (never the user's) with an address book that points at it, and an INI
# file that connects at start. Without a display the program runs under xvfb-run, a screenshot is
# saved after a few seconds, and the demo ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build
sim=$build/tools/zelmont-sim/zelmont-sim
program=$build/program/Kervola2
data=$build/demo-data
rm -rf "$data"
mkdir -p "$data"

"$sim" --port 0 --log "$data/simulator.log" > "$data/simulator.out" 2>&1 &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true; wait $sim_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    grep -q '^listening on' "$data/simulator.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$data/simulator.out")
[ -n "$port" ] || { echo "the simulator did not start:"; cat "$data/simulator.out"; exit 1; }
echo "Detector simulator listening on 127.0.0.1:$port"

printf '<kervola>\r\n <rec caption="Simulator" ip="127.0.0.1" port="%s" login="root" pass="kvtp" created="%s"/>\r\n</kervola>\r\n' \
    "$port" "$(date '+%d.%m.%Y %H:%M:%S')" > "$data/hosts.ini"
chmod 600 "$data/hosts.ini"
printf '[AUTOSTART]\nCONNECTION=0\nLEFT=40\nTOP=40\nWIDTH=720\nHEIGHT=576\n' > "$data/kervola.ini"

export KERVOLA_DATA_DIR=$data
export KERVOLA_DOC_DIR=$build/share/kervola/
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting Kervola2 (right click on the picture for the main menu, F1 for help)"
    "$program" "$data/kervola.ini"
else
    shot=$build/demo-screenshot.png
    echo "No display: running Kervola2 under xvfb-run for a few seconds"
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        "$1" "$2" &
        app=$!
        sleep 6
        import -window root "$3"
        title=$(xwininfo -root -tree 2>/dev/null | grep -o "\"KERVOLA[^\"]*\"" | head -1)
        [ -n "$title" ] && echo "Window title: $title"
        kill $app 2>/dev/null
        wait $app 2>/dev/null || true' _ "$program" "$data/kervola.ini" "$shot"
    echo "Screenshot of the running program: $shot"
fi
