#!/usr/bin/env bash
# kervola-cli on a Russian desktop: zone coordinates are written with the decimal comma and read
# back under any locale, and every other number comes out as the same bytes as under C.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
dir=$(mktemp -d)
source "$(dirname "$0")/testlib.sh"

ru() { LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 "$cli" "$@"; }
en() { LANG=C LC_ALL=C "$cli" "$@"; }

locale -a | grep -qix 'ru_RU.utf8'
check "ru_RU.UTF-8 is generated (scripts/install-deps.sh)" 0 $?

en config --default > "$dir/default.xml"
{
    head -n 22 "$dir/default.xml"
    printf ' <object id="4" descr="Sensor 4" type="detector">\r\n  <param name="quadrangle" type="set" val="0.1 0,1 0.1 0.5 0.5 0.5 0.5 0.1"/>\r\n </object>\r\n'
    printf ' <object id="8" descr="Sensor 8" type="detector">\r\n  <param name="quadrangle" type="set" val="0,2126 0.3 0.2126 0.45 0.6 0.45 0.6 0.3"/>\r\n </object>\r\n'
    printf '</message>\r\n'
} > "$dir/sensors.xml"

# The listing and the saved file carry decimal commas, four significant digits at most.
check "listing" "$(printf '4 0,100 0,100 0,100 0,500 0,500 0,500 0,500 0,100\n8 0,213 0,300 0,213 0,450 0,600 0,450 0,600 0,300')" \
    "$(ru config "$dir/sensors.xml" --out "$dir/ru.xml")"
check "saved coordinates" 2 "$(grep -c 'val="[0-9],[0-9]\{3\}\( [0-9],[0-9]\{3\}\)\{7\}"' "$dir/ru.xml")"
check "nothing else changed" "$(grep -v quadrangle "$dir/sensors.xml")" "$(grep -v quadrangle "$dir/ru.xml")"
en config "$dir/sensors.xml" --out "$dir/en.xml" > /dev/null
check "separators only" "$(tr , . < "$dir/ru.xml" | grep quadrangle)" "$(grep quadrangle "$dir/en.xml")"

# Either desktop reads what the other wrote.
check "ru file read under C" "$(en config "$dir/sensors.xml")" "$(en config "$dir/ru.xml")"
check "C file read under ru" "$(ru config "$dir/sensors.xml")" "$(ru config "$dir/en.xml")"

# Zones carried from a Russian desktop into a document edited under C keep their places.
ru zones export "$dir/ru.xml" -o "$dir/zones.xml"
en zones import "$dir/default.xml" "$dir/zones.xml" --out "$dir/imported.xml" 2>/dev/null
check "zones across desktops" "$(en config "$dir/sensors.xml")" "$(en config "$dir/imported.xml")"

# Settings, differences and traffic tables do not depend on the locale at all.
check "settings listing" "$(en settings "$dir/ru.xml")" "$(ru settings "$dir/ru.xml")"
ru settings "$dir/default.xml" --set classes="2,5 3,0 5,5 8,0 12,5 18,75" --out "$dir/ru-set.xml"
en settings "$dir/default.xml" --set classes="2,5 3,0 5,5 8,0 12,5 18,75" --out "$dir/en-set.xml"
cmp -s "$dir/ru-set.xml" "$dir/en-set.xml"; check "settings --set" 0 $?
check "config diff" "$(en config diff "$dir/en.xml" "$dir/imported.xml")" \
    "$(ru config diff "$dir/en.xml" "$dir/imported.xml")"

start_sim sim --record-size 288 --records 40
en data download -o "$dir/d.Bin" --host 127.0.0.1 --port "$port" 2>/dev/null
check "raw download" $((40 * 288)) "$(stat -c %s "$dir/d.Bin")"
en data convert --record-size 288 "$dir/d.Bin" -o "$dir/en.csv"
ru data convert --record-size 288 "$dir/d.Bin" -o "$dir/ru.csv"
cmp -s "$dir/en.csv" "$dir/ru.csv"; check "traffic table" 0 $?
check "time get" 0 "$(ru time get --host 127.0.0.1 --port "$port" > /dev/null; echo $?)"

finish
