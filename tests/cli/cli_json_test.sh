#!/usr/bin/env bash
# Every command that takes --json, its answers read by an independent parser (jq): one document
# on standard output, for a result and for a failure alike, the same under any locale (ctest runs
# this under C and under ru_RU.UTF-8).
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
dir=$(mktemp -d)
source "$(dirname "$0")/testlib.sh"
export KERVOLA_DATA_DIR="$dir/data"
# A fixed zone without a time-zone database, so the offsets are known.
export TZ=MSK-3

# Runs the command with its answer in $dir/out.json and its errors in $dir/err; sets `rc`.
# A standard output that is not exactly one JSON document is a failure of its own.
run() { # name, arguments...
    local name=$1
    shift
    "$cli" "$@" > "$dir/out.json" 2> "$dir/err"
    rc=$?
    check "$name: one JSON document" 1 "$(jq -s length "$dir/out.json" 2>/dev/null)"
}
# The last answer, compact, or one value of it.
answer() { jq -c "${1:-.}" "$dir/out.json"; }

# The main help marks exactly the commands that take --json, and each one's help has its keys.
marked=$("$cli" --help | sed -n 's/^  \(.*[^ ]\)  \+.*\[--json\]$/\1/p' | sed 's/ *$//')
check "marked commands" "config|time get|network get|settings|cleaning level|history list|config diff|hosts list|fleet status|fleet backup|fleet time-sync|fleet data-download|count-check" "$(paste -sd'|' <<<"$marked")"
while read -r words; do
    # shellcheck disable=SC2086
    "$cli" $words --help | grep -q -- '--json'; check "$words --help names --json" 0 $?
done <<<"$marked"
"$cli" time set --json 2000-01-01 --host 127.0.0.1 > "$dir/out" 2>/dev/null
check "unmarked command refuses --json" "2 []" "$? [$(cat "$dir/out")]"

start_sim sim --level low
conn=(--host 127.0.0.1 --port "$port")

run "time get" time get --json "${conn[@]}"
check "time get exit" 0 $rc
text=$(answer .text | tr -d '"')
[[ "$text" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2}$ ]]; check "time get text" 0 $?
check "time get time" "\"${text/ /T}+03:00\"" "$(answer .time)"

run "network get" network get "${conn[@]}" --json
check "network get" '0 {"address":"192.168.0.100","netmask":"255.255.255.0","gateway":"192.168.0.1","dns":"192.168.0.53","ntp":["0.pool.ntp.org","1.pool.ntp.org"]}' "$rc $(answer)"

run "cleaning level" cleaning level --json "${conn[@]}"
check "cleaning level" '0 {"level":"low"}' "$rc $(answer)"

# Failures: the line on standard error as without --json, the failure object on standard output.
closed=1 # nothing listens on a privileged port here
for c in "time get" "network get" "cleaning level"; do
    # shellcheck disable=SC2086
    run "$c unreachable" $c --json --host 127.0.0.1 --port $closed
    check "$c unreachable" "1 {\"ok\":false,\"error\":\"127.0.0.1:$closed: cannot reach the detector\"}" "$rc $(answer)"
    check "$c unreachable line" "kervola-cli: 127.0.0.1:$closed: cannot reach the detector" "$(cat "$dir/err")"
done
run "usage error" time get --json --fast "${conn[@]}"
check "usage error" '2 {"ok":false,"error":"unknown option --fast"}' "$rc $(answer)"

# history list: what config get kept, with its size and the time it was kept.
"$cli" config get -o "$dir/got.xml" "${conn[@]}"
run "history list" history list "${conn[@]}" --json
check "history list" "0 1 \"read\" $(stat -c %s "$dir/got.xml") true" \
    "$rc $(answer length) $(answer '.[0].kind') $(answer '.[0].bytes') $(answer '.[0].sensors | type == "number"')"
cmp -s "$(answer '.[0].file' | tr -d '"')" "$dir/got.xml"; check "history list file" 0 $?
[[ "$(answer '.[0].time')" =~ ^\"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\+03:00\"$ ]]
check "history list time" 0 $?
run "history list of another detector" history list --host 10.9.9.9 --json
check "history list empty" "0 []" "$rc $(answer)"

# hosts list: labels of any bytes stay valid JSON; an entry never dated has a null time.
run "hosts list without a book" hosts list --json
check "hosts list without a book" "1 false" "$rc $(answer .ok)"
mkdir -p "$dir/data"
printf '<kervola>\r\n <rec caption=\x27Север "1"\x27 ip="10.0.0.1" port="8080" login="root" pass="kvtp" created="09.12.2026 22:41:07"/>\r\n <rec caption="\xd1\xe5\x01" ip="10.0.0.2" port="9000" login="root" pass="kvtp"/>\r\n</kervola>\r\n' > "$dir/data/hosts.ini"
run "hosts list" hosts list --json
check "hosts list" '0 [{"label":"Север \"1\"","address":"10.0.0.1","port":8080,"created":"2026-12-09T22:41:07+03:00"},{"label":"\ufffd\ufffd\u0001","address":"10.0.0.2","port":9000,"created":null}]' \
    "$rc $(answer | sed 's/�/\\ufffd/g')"
# A second parser, written apart from jq, agrees.
python3 -m json.tool "$dir/out.json" > /dev/null; check "hosts list json.tool" 0 $?

# fleet: the same writer, a failure of one detector inside the array.
start_sim fleet --level low --detectors 2 --write-hosts "$dir/data/hosts.ini"
run "fleet status" fleet status --json
check "fleet status" '0 [true,true] ["low","low"]' "$rc $(answer '[.[].ok]') $(answer '[.[].level]')"
run "fleet status no match" fleet status --only 'none*' --json
check "fleet status no match" "1 false" "$rc $(answer .ok)"

# config FILE: corners as numbers with "." whatever the locale; --out is saved before answering.
"$cli" config --default > "$dir/default.xml"
{
    head -n 22 "$dir/default.xml"
    printf ' <object id="4" descr="Sensor 4" type="detector">\r\n  <param name="quadrangle" type="set" val="0,1 0.1 0.1 0.5 0,5 0.5 0.5 0.1"/>\r\n </object>\r\n'
    printf ' <object id="s8" descr="Sensor 8" type="detector">\r\n  <param name="quadrangle" type="set" val="0 0 0 0 0 0 0 0"/>\r\n </object>\r\n'
    printf '</message>\r\n'
} > "$dir/sensors.xml"
run "config zones" config "$dir/sensors.xml" --json --out "$dir/saved.xml"
check "config zones" '0 [{"id":"4","corners":[[0.1,0.1],[0.1,0.5],[0.5,0.5],[0.5,0.1]]},{"id":"s8","corners":[[0.22,0.47],[0.22,0.32],[0.62,0.32],[0.62,0.47]]}]' "$rc $(answer)"
check "config --out saved" "$("$cli" config "$dir/sensors.xml")" "$("$cli" config "$dir/saved.xml")"
run "config no zones" config "$dir/default.xml" --json
check "config no zones" "0 []" "$rc $(answer)"
printf '<a><b>' > "$dir/bad.xml"
run "config bad document" config "$dir/bad.xml" --json
check "config bad document" '1 {"ok":false,"error":"XML error 4 at 1"}' "$rc $(answer)"
run "config --default --json" config --default --json
check "config --default --json" "2 false" "$rc $(answer .ok)"
run "config unwritable --out" config "$dir/sensors.xml" --json --out "$dir/no/such/dir/x.xml"
check "config unwritable --out" "1 false" "$rc $(answer .ok)"

# settings FILE: numbers, a flag, texts, null for a param the document lacks, the triggers.
"$cli" settings "$dir/default.xml" --set trigger=a --set 'trigger=b "c"' --set miles=1 --out "$dir/s.xml"
grep -v 'name="baudrate"' "$dir/s.xml" > "$dir/s2.xml"
run "settings" settings "$dir/s2.xml" --json
check "settings" '0 {"label":"ZELMONT_SF","datainterval":300,"jpegquality":70,"miles":true,"tcpport":8080,"login":"root","pass":"kvtp","backup":3600,"classes":"2,0 3,0 5,5 8,0 12,5 18,75","device":"/dev/video0","resolution":"full","jpegrate":"high","serial_port":"/dev/ttyS0","serial_address":"0000","serial_baudrate":null,"serial_proto":"edge","triggers":["a","b \"c\""]}' "$rc $(answer)"
sed 's/val="300"/val="5 min"/' "$dir/s.xml" > "$dir/s3.xml"
run "settings text in a number" settings "$dir/s3.xml" --json
check "settings text in a number" "null" "$(answer .datainterval)"
run "settings --json --set" settings "$dir/s.xml" --json --set miles=0
check "settings --json --set" "2 false" "$rc $(answer .ok)"
check "settings --json --set changed nothing" "miles=1" "$("$cli" settings "$dir/s.xml" | grep '^miles=')"

# config diff: exit codes as without --json, the hunks with their line numbers.
run "diff same" config diff "$dir/s.xml" "$dir/s.xml" --json
check "diff same" "0 true false []" "$rc $(answer .same) $(answer .line_ends_only) $(answer .hunks)"
run "diff" config diff "$dir/default.xml" "$dir/s.xml" --json
check "diff exit" 1 $rc
check "diff a and b" "\"$dir/default.xml\" \"$dir/s.xml\"" "$(answer .a) $(answer .b)"
check "diff removed miles" '{"kind":"removed","old_line":6,"new_line":null,"text":"  <param name=\"miles\" type=\"int\" val=\"0\"/>"}' \
    "$(answer '[.hunks[].lines[] | select(.kind == "removed")][0]')"
check "diff counts" "$(answer '[.hunks[] | .old_count] | add')" "$(answer '[.hunks[].lines[] | select(.kind != "added")] | length')"
tr -d '\r' < "$dir/s.xml" > "$dir/lf.xml"
run "diff line ends" config diff "$dir/s.xml" "$dir/lf.xml" --json
check "diff line ends" "1 false true []" "$rc $(answer .same) $(answer .line_ends_only) $(answer .hunks)"
run "diff unreadable" config diff "$dir/s.xml" "$dir/none.xml" --json
check "diff unreadable" "2 {\"ok\":false,\"error\":\"$dir/none.xml: cannot read the file\"}" "$rc $(answer)"

finish
