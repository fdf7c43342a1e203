#!/usr/bin/env bash
# Runs kervola-cli's detector commands against the simulator and checks what it printed, its
# exit codes and, from the simulator's command log, what reached the detector.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
dir=$(mktemp -d)
source "$(dirname "$0")/testlib.sh"
# The history of configurations lands in the data folder: never the user's own.
export KERVOLA_DATA_DIR="$dir/data"

start_sim sim
conn=(--host 127.0.0.1 --port "$port")

out=$("$cli" time get "${conn[@]}"); rc=$?
check "time get exit" 0 $rc
[[ "$out" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2}$ ]]; check "time get value" 0 $?
check "time set text" "st ok" "$("$cli" time set "2026-01-02 03:04:05" "${conn[@]}")"
check "time set sent" "st t=2026-01-02 03:04:05" "$(received sim | grep '^st ' | tail -1)"
"$cli" time set --now "${conn[@]}" > /dev/null; check "time set --now exit" 0 $?
[[ "$(received sim | grep '^st ' | tail -1)" =~ ^st\ t=[0-9-]{10}( [0-9:]{8})?$ ]]; check "time set --now text" 0 $?
"$cli" time set "${conn[@]}" > /dev/null 2>&1; check "time set without text" 2 $?

check "network get" "$(printf 'address 192.168.0.100\nnetmask 255.255.255.0\ngateway 192.168.0.1\ndns 192.168.0.53\nntp 0.pool.ntp.org,1.pool.ntp.org')" "$("$cli" network get "${conn[@]}")"

"$cli" data delete "${conn[@]}" > /dev/null 2>&1; check "data delete without --yes" 2 $?
check "nothing deleted" "" "$(received sim | grep '^gb dele')"
"$cli" data delete --yes "${conn[@]}"; check "data delete --yes" 0 $?
check "deleted" "gb dele" "$(received sim | grep '^gb dele')"

"$cli" config get "${conn[@]}" > "$dir/stdout.xml"; check "config get exit" 0 $?
(cd "$dir" && "$cli" config get -o get "${conn[@]}"); check "config get -o" 0 $?
cmp -s "$dir/stdout.xml" "$dir/get"; check "config get same bytes" 0 $?
grep -q 'ZELMONT_SF' "$dir/get"; check "config get is the detector's" 0 $?
sed 's/ZELMONT_SF/UPLOADED/' "$dir/get" > "$dir/up.xml"
"$cli" config put "$dir/up.xml" "${conn[@]}"; check "config put" 0 $?
"$cli" config get "${conn[@]}" | cmp -s - "$dir/up.xml"; check "config put arrived" 0 $?
printf 'not a document' > "$dir/bad.xml"
err=$("$cli" config put "$dir/bad.xml" "${conn[@]}" 2>&1); rc=$?
check "refused upload exit" 1 $rc
check "refused upload text" "kervola-cli: 127.0.0.1:$port: upload check failed: sent 14, detector received 0" "$err"

# The history holds what was read and what the detector confirmed, as the program keeps it:
# the first read, the upload; reading back what was sent and the refused upload add nothing.
kinds() { "$cli" history list "${conn[@]}" | cut -f2 | tr '\n' ' ' | sed 's/ $//'; }
check "history of get and put" "read sent" "$(kinds)"
newest=$("$cli" history list "${conn[@]}" | tail -1 | cut -f5)
cmp -s "$newest" "$dir/up.xml"; check "history keeps what was sent" 0 $?
cmp -s "$("$cli" history list "${conn[@]}" | head -1 | cut -f5)" "$dir/get"; check "history keeps what was read" 0 $?
sed 's/UPLOADED/QUIET/' "$dir/get" > "$dir/quiet.xml"
"$cli" config put "$dir/quiet.xml" --no-history "${conn[@]}"; check "config put --no-history" 0 $?
"$cli" config get --no-history "${conn[@]}" | cmp -s - "$dir/quiet.xml"; check "config get --no-history" 0 $?
check "--no-history keeps nothing" "read sent" "$(kinds)"
mkdir -p "$dir/blocked" && : > "$dir/blocked/history" # a file where the folder belongs
err=$(KERVOLA_DATA_DIR="$dir/blocked" "$cli" config get -o "$dir/blocked.xml" "${conn[@]}" 2>&1); rc=$?
check "history not written: still a success" 0 $rc
[[ "$err" == "kervola-cli: 127.0.0.1:$port: history not written: "* ]]; check "history not written: told" 0 $?
cmp -s "$dir/blocked.xml" "$dir/quiet.xml"; check "history not written: configuration kept" 0 $?

printf 'firmware bytes' > "$dir/fw.bin"
"$cli" firmware "$dir/fw.bin" "${conn[@]}" 2> "$dir/progress"; check "firmware exit" 0 $?
check "firmware line" "ud 14,1444,./update/fw.bin" "$(received sim | grep '^ud ')"
grep -q "14/14 bytes" "$dir/progress"; check "firmware progress" 0 $?
truncate -s 33554433 "$dir/big.bin"
"$cli" firmware "$dir/big.bin" "${conn[@]}" 2>/dev/null; check "firmware too big" 1 $?
check "firmware too big sent nothing" 1 "$(received sim | grep -c '^ud ')"

# The address book names a detector; an unknown label is a usage error.
mkdir -p "$dir/data"
printf '<kervola>\r\n <rec caption="Gate" ip="127.0.0.1" port="%s" login="root" pass="kvtp" created="01.01.2026 00:00:00"/>\r\n</kervola>\r\n' "$port" > "$dir/data/hosts.ini"
KERVOLA_DATA_DIR="$dir/data" "$cli" time get --detector Gate > /dev/null; check "--detector" 0 $?
KERVOLA_DATA_DIR="$dir/data" "$cli" time get --detector Nope > /dev/null 2>&1; check "--detector unknown" 2 $?
"$cli" time get --detector Gate --host x > /dev/null 2>&1; check "--detector with --host" 2 $?

"$cli" reboot app "${conn[@]}"; check "reboot app" 0 $?
check "reboot sent" "rb app" "$(received sim | grep '^rb ')"

# A detector that cannot be reached: exit 1 and one line naming it.
closed=1 # nothing listens on a privileged port here
err=$("$cli" time get --host 127.0.0.1 --port "$closed" 2>&1); rc=$?
check "unreachable exit" 1 $rc
check "unreachable text" "kervola-cli: 127.0.0.1:$closed: cannot reach the detector" "$err"
"$cli" network get --host 127.0.0.1 --port 0 > /dev/null 2>&1; check "bad port" 2 $?

# settings: the dialog's view, and changes written back through a temporary file.
"$cli" config --default > "$dir/s.xml"
"$cli" settings "$dir/s.xml" > "$dir/view"; check "settings exit" 0 $?
check "settings keys" "label datainterval jpegquality miles tcpport login pass backup classes device resolution jpegrate serial.port serial.address serial.baudrate serial.proto" "$(cut -d= -f1 "$dir/view" | tr '\n' ' ' | sed 's/ $//')"
"$cli" settings "$dir/s.xml" --set resolution=mid --set trigger=a --set trigger="b c" --set classes="1 2 3 4 5 6"; check "settings --set" 0 $?
check "settings changed" "resolution=mid trigger=a trigger=b c" "$("$cli" settings "$dir/s.xml" | grep -E '^(resolution|trigger)=' | tr '\n' ' ' | sed 's/ $//')"
"$cli" settings "$dir/s.xml" --set resolution=huge 2>/dev/null; check "settings bad word" 2 $?
err=$("$cli" settings "$dir/s.xml" --set classes="1 2" 2>&1 | head -1)
check "settings class check" "kervola-cli: Wrong classes quantity" "$err"
"$cli" settings "$dir/s.xml" --set miles=1 --out "$dir/o.xml"; check "settings --out" 0 $?
check "settings --out leaves FILE" "miles=0" "$("$cli" settings "$dir/s.xml" | grep '^miles=')"
check "settings --out written" "miles=1" "$("$cli" settings "$dir/o.xml" | grep '^miles=')"
check "no temporary files left" "" "$(ls "$dir" | grep tmp)"
# A value holding both kinds of quote is refused; one kind alone is stored as given.
err=$("$cli" settings "$dir/s.xml" --set pass="a'b\"c" 2>&1 | head -1)
check "settings both quotes" "kervola-cli: pass cannot hold both ' and \" quotes: it could not be stored as given" "$err"
"$cli" settings "$dir/s.xml" --set trigger="x'y\"z" 2>/dev/null; check "trigger both quotes" 2 $?
check "both quotes stored nothing" "pass=kvtp" "$("$cli" settings "$dir/s.xml" | grep '^pass=')"
# A line break would be read back as CR LF: refused as well, for a trigger too.
err=$("$cli" settings "$dir/s.xml" --set label=$'North\nramp' 2>&1 | head -1)
check "settings line break" "kervola-cli: label cannot hold a line break: it could not be stored as given" "$err"
"$cli" settings "$dir/s.xml" --set trigger=$'x\ry' 2>/dev/null; check "trigger line break" 2 $?
"$cli" settings "$dir/s.xml" --set pass="a'b"; check "one kind of quote" 0 $?
check "one kind stored" "pass=a'b" "$("$cli" settings "$dir/s.xml" | grep '^pass=')"
KERVOLA_DATA_DIR="$dir/data" "$cli" hosts add Q 10.0.0.9 --password "a'b\"c" 2>/dev/null
check "hosts add both quotes" 2 $?
check "hosts add stored nothing" "" "$(grep 'caption="Q"' "$dir/data/hosts.ini")"

for c in "time get" "time set" "network get" "reboot app" "data delete" firmware "config get" "config put" settings; do
    $cli $c --help > /dev/null; check "$c --help" 0 $?
done
for c in "config get" "config put"; do
    $cli $c --help | grep -q -- '--no-history'; check "$c --help names --no-history" 0 $?
done

finish
