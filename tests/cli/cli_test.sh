#!/usr/bin/env bash
# Runs kervola-cli on small documents and checks output bytes and exit codes.
set -u
cli=$1
dir=$(mktemp -d)
source "$(dirname "$0")/testlib.sh"

# xml: LF input comes back in the writer's layout, CR LF after every item.
printf '<a x="1"  y='"'"'2'"'"'>\n  hello\n<b/></a>' > "$dir/in.xml"
"$cli" xml "$dir/in.xml" > "$dir/out.xml"
check "xml exit" 0 $?
check "xml bytes" "$(printf '<a x="1" y='"'"'2'"'"'>\r\n hello\r\n <b/>\r\n</a>\r\n' | od -c)" "$(od -c < "$dir/out.xml")"
"$cli" xml "$dir/out.xml" > "$dir/again.xml"
check "xml idempotent" "$(od -c < "$dir/out.xml")" "$(od -c < "$dir/again.xml")"

# xml: parse failures report code and position, exit 1.
printf '<a><b>' > "$dir/bad.xml"
err=$("$cli" xml "$dir/bad.xml" 2>&1 >/dev/null); rc=$?
check "xml error text" "XML error 4 at 1" "$err"
check "xml error exit" 1 $rc
printf '<a x=1/>' > "$dir/bad3.xml"
check "xml code 3" "XML error 3 at 0" "$("$cli" xml "$dir/bad3.xml" 2>&1 >/dev/null)"
printf 'plain' > "$dir/plain.xml"
check "xml code 1" "XML error 1 at 1" "$("$cli" xml "$dir/plain.xml" 2>&1 >/dev/null)"
"$cli" xml "$dir/none.xml" 2>/dev/null; check "xml missing file" 1 $?
"$cli" xml "$dir" 2>/dev/null; check "xml on a folder" 1 $?
"$cli" config "$dir" 2>/dev/null; check "config on a folder" 1 $?

# usage errors exit 2; --help exits 0.
"$cli" >/dev/null 2>&1; check "no command" 2 $?
"$cli" frobnicate >/dev/null 2>&1; check "unknown command" 2 $?
"$cli" xml >/dev/null 2>&1; check "xml no file" 2 $?
"$cli" config --out >/dev/null 2>&1; check "config --out no value" 2 $?
"$cli" config a b >/dev/null 2>&1; check "config two files" 2 $?
for c in xml config; do "$cli" $c --help >/dev/null; check "$c --help" 0 $?; done

# config --default: the 23-line default document, from and to as given.
"$cli" config --default > "$dir/default.xml"
check "default lines" 23 "$(grep -c $'\r$' "$dir/default.xml")"
check "default top" '<message from="Kervola 5.01" to="ZELMONT_SF" type="config">' "$(head -1 "$dir/default.xml" | tr -d '\r')"
check "default from/to" '<message from="X" to="Y" type="config">' "$("$cli" config --default --from X --to Y | head -1 | tr -d '\r')"

# config FILE: one line per zone; invalid corners become the default zone; --out saves them.
{
    head -n 22 "$dir/default.xml"
    printf ' <object id="4" descr="Sensor 4" type="detector">\r\n  <param name="quadrangle" type="set" val="0,1 0,1 0,1 0,5 0,5 0,5 0,5 0,1"/>\r\n </object>\r\n'
    printf ' <object id="8" descr="Sensor 8" type="detector">\r\n  <param name="quadrangle" type="set" val="0 0 0 0 0 0 0 0"/>\r\n </object>\r\n'
    printf ' <object id="9" descr="Sensor 9" type="detector">\r\n  <param name="quadrangle" type="set" val="1 2 3"/>\r\n </object>\r\n'
    printf '</message>\r\n'
} > "$dir/sensors.xml"
out=$("$cli" config "$dir/sensors.xml" --out "$dir/saved.xml"); rc=$?
check "config exit" 0 $rc
check "config listing" "$(printf '4 0.100 0.100 0.100 0.500 0.500 0.500 0.500 0.100\n8 0.220 0.470 0.220 0.320 0.620 0.320 0.620 0.470')" "$out"
check "config saved default zone" 1 "$(grep -c 'val="0.220 0.470 0.220 0.320 0.620 0.320 0.620 0.470"' "$dir/saved.xml")"
check "config saved untouched" 1 "$(grep -c 'val="1 2 3"' "$dir/saved.xml")"
check "config saved reloads" "$out" "$("$cli" config "$dir/saved.xml")"
err=$("$cli" config "$dir/bad.xml" 2>&1); rc=$?
check "config error" "XML error 4 at 1 / 1" "$err / $rc"

finish
