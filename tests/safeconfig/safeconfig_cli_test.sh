#!/usr/bin/env bash
# kervola-cli's zones, config diff and history commands on real files.
set -u
cli=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export KERVOLA_DATA_DIR=$dir/data
failures=0

check() { # name expected actual
    if [ "$2" != "$3" ]; then
        echo "FAIL $1: expected [$2] got [$3]"
        failures=$((failures + 1))
    fi
}

# A configuration with two sensors, one carrying a param of its own.
"$cli" config --default --to NORTH > "$dir/a.xml"
sensor() { # id val [extra param line]
    printf ' <object id="%s" descr="Sensor %s" type="detector">\r\n' "$1" "$1"
    printf '  <param name="quadrangle" type="set" val="%s"/>\r\n' "$2"
    [ $# -gt 2 ] && printf '  %s\r\n' "$3"
    printf ' </object>\r\n'
}
{
    head -n -1 "$dir/a.xml"
    sensor 1 "0.200 0.450 0.200 0.300 0.600 0.300 0.600 0.450" '<param name="lanes" type="int" val="2"/>'
    sensor 2 "0.220 0.470 0.220 0.320 0.620 0.320 0.620 0.470"
    printf '</message>\r\n'
} > "$dir/two.xml"

# zones export: the sensor objects whole, to standard output or a file.
"$cli" zones export "$dir/two.xml" > "$dir/zones.xml"
check "export exit" 0 $?
check "export keeps the extra param" 1 "$(grep -c 'name="lanes"' "$dir/zones.xml")"
check "export holds only sensors" 2 "$(grep -c '<object' "$dir/zones.xml")"
"$cli" zones export "$dir/two.xml" -o "$dir/zones2.xml"
check "export -o" "$(od -c < "$dir/zones.xml")" "$(od -c < "$dir/zones2.xml")"

# zones import: another detector's settings stay, its sensors are replaced.
"$cli" config --default --to SOUTH | sed 's/val="8080"/val="9001"/' > "$dir/b.xml"
cp "$dir/b.xml" "$dir/b-before.xml"
"$cli" zones import "$dir/b.xml" "$dir/zones.xml" --out "$dir/b-out.xml" 2>/dev/null
check "import exit" 0 $?
check "import --out leaves CONFIG" "$(od -c < "$dir/b-before.xml")" "$(od -c < "$dir/b.xml")"
check "import keeps the target" 1 "$(grep -c 'to="SOUTH"' "$dir/b-out.xml")"
check "import keeps the system settings" 1 "$(grep -c 'val="9001"' "$dir/b-out.xml")"
check "import keeps the camera" 1 "$(grep -c 'type="source"' "$dir/b-out.xml")"
check "import brings the zones" "1 0.200 0.450 0.200 0.300 0.600 0.300 0.600 0.450
2 0.220 0.470 0.220 0.320 0.620 0.320 0.620 0.470" "$("$cli" config "$dir/b-out.xml")"
"$cli" zones import "$dir/b.xml" "$dir/zones.xml" 2>/dev/null
check "import in place" "$(od -c < "$dir/b-out.xml")" "$(od -c < "$dir/b.xml")"
printf '<message type="zones">\r\n</message>\r\n' > "$dir/empty.xml"
err=$("$cli" zones import "$dir/b-before.xml" "$dir/empty.xml" 2>&1); rc=$?
check "import of no sensor fails" 1 $rc
check "import of no sensor says why" "kervola-cli: $dir/empty.xml: holds no sensor; nothing was changed" "$err"
printf '<message><object' > "$dir/broken.xml"
"$cli" zones import "$dir/b-before.xml" "$dir/broken.xml" 2>/dev/null
check "import of a broken file fails" 1 $?

# config diff: exit codes as diff has them, the unified style with context.
"$cli" config diff "$dir/two.xml" "$dir/two.xml"
check "diff same" 0 $?
sed 's/val="0.220 0.470 0.220 0.320 0.620 0.320 0.620 0.470"/val="0.250 0.470 0.220 0.320 0.620 0.320 0.620 0.470"/' \
    "$dir/two.xml" > "$dir/moved.xml"
out=$("$cli" config diff "$dir/two.xml" "$dir/moved.xml"); rc=$?
check "diff differs" 1 $rc
check "diff output" "--- $dir/two.xml
+++ $dir/moved.xml
@@ -25,6 +25,6 @@
   <param name=\"lanes\" type=\"int\" val=\"2\"/>
  </object>
  <object id=\"2\" descr=\"Sensor 2\" type=\"detector\">
-  <param name=\"quadrangle\" type=\"set\" val=\"0.220 0.470 0.220 0.320 0.620 0.320 0.620 0.470\"/>
+  <param name=\"quadrangle\" type=\"set\" val=\"0.250 0.470 0.220 0.320 0.620 0.320 0.620 0.470\"/>
  </object>
 </message>" "$(printf '%s' "$out" | tr -d '\r')"
tr -d '\r' < "$dir/two.xml" > "$dir/lf.xml"
out=$("$cli" config diff "$dir/two.xml" "$dir/lf.xml"); rc=$?
check "diff of line ends only" 1 $rc
check "diff of line ends only says so" "Files $dir/two.xml and $dir/lf.xml differ only in line ends" "$out"
"$cli" config diff "$dir/two.xml" "$dir/none.xml" 2>/dev/null
check "diff unreadable" 2 $?

# history list: the files the program keeps, oldest first; nothing for an unknown detector.
hist=$KERVOLA_DATA_DIR/history/127.0.0.1_8080
mkdir -p "$hist"
cp "$dir/two.xml" "$hist/20261209-101500-000-read.xml"
cp "$dir/moved.xml" "$hist/20261209-101000-500-sent.xml"
echo junk > "$hist/notes.txt"
out=$("$cli" history list --host 127.0.0.1 | cut -f2-4); rc=$?
check "history exit" 0 $rc
check "history lines" "sent	$(wc -c < "$dir/moved.xml")	2
read	$(wc -c < "$dir/two.xml")	2" "$out"
check "history of another port" "" "$("$cli" history list --host 127.0.0.1 --port 8081)"
"$cli" history list 2>/dev/null
check "history without a detector" 2 $?

[ $failures -eq 0 ] && echo "all passed"
exit $failures
