#!/usr/bin/env bash
# No torn file after a crash: kills each writer of kervola-cli with SIGKILL at a random moment of
# its run, again and again, and checks that every file it writes is either its old content or its
# complete new content, and that nothing is left that a reader would take for a real file (a
# hidden ".NAME.*.part" temporary is all a kill may leave, and it stays private).
#   crash_test.sh CLI SIM [KILLS]     KILLS per writer, default 20; CRASH_SEED=N replays a run.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
kills=${3:-20}
dir=$(mktemp -d)
source "$(dirname "$0")/testlib.sh"
unset KERVOLA_PASSWORD
umask 022
seed=${CRASH_SEED:-$(($(date +%s%N) % 32768))}
RANDOM=$seed
echo "crash test: seed $seed (CRASH_SEED=$seed replays it), $kills kills per writer"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Runs the command and kills it after a random part of `budget` ms; counts what happened.
killed=0
finished=0
crash() { # budget_ms command...
    local budget=$1 delay rc
    shift
    delay=$((RANDOM % (budget + 1)))
    "$@" > /dev/null 2>&1 &
    local pid=$!
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kill -9 "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    rc=$?
    if [ "$rc" -eq 137 ]; then killed=$((killed + 1)); else finished=$((finished + 1)); fi
}

# How long the command takes when left alone, as the window to kill it in.
budget_of() { # command...
    local start
    start=$(now_ms)
    "$@" > /dev/null 2>&1
    local took=$(($(now_ms) - start))
    echo $((took * 11 / 10 + 5))
}

torn=0
# The file is its old content or its new one.
old_or_new() { # name file old new
    cmp -s "$2" "$3" || cmp -s "$2" "$4" && return
    echo "FAIL $1: $2 is torn ($(stat -c %s "$2" 2> /dev/null || echo no) bytes)"
    torn=$((torn + 1))
}

# Every entry of the folder is one of the names given, a folder, or a temporary; in the
# program's own folders (private=1) a temporary is as private as the file it was to become.
only_real() { # name folder private allowed-names...
    local name=$1 folder=$2 private=$3 f base
    shift 3
    for f in "$folder"/* "$folder"/.[!.]*; do
        [ -e "$f" ] || continue
        base=${f##*/}
        [ -d "$f" ] && continue
        if [[ " $* " == *" $base "* ]]; then continue; fi
        if [[ "$base" =~ ^\..+\.part$ ]]; then
            [ "$private" == 0 ] || [ "$(stat -c %a "$f")" == 600 ] || check "$name: temporary $base private" 600 "$(stat -c %a "$f")"
            continue
        fi
        echo "FAIL $name: $f would be read as a file of its own"
        torn=$((torn + 1))
    done
}

# --- the address book: hosts import -------------------------------------------------------------
book=$dir/book
mkdir -p "$book"
printf '<kervola>\r\n <rec caption="A" ip="10.0.0.1" port="8080" login="root" pass="kvtp" created="01.01.2026 00:00:00"/>\r\n</kervola>\r\n' > "$dir/hosts.old"
{
    echo "label,address,port,login,password"
    for i in $(seq 300); do echo "H$i,10.1.$((i / 250)).$((i % 250 + 1)),$((8000 + i)),op$i,pw$i"; done
} > "$dir/import.csv"
cp "$dir/hosts.old" "$book/hosts.ini"
export KERVOLA_DATA_DIR=$book
budget=$(budget_of "$cli" hosts import "$dir/import.csv")
expected=$("$cli" hosts list | cut -d' ' -f1 | tr '\n' ' ')
for _ in $(seq "$kills"); do
    cp "$dir/hosts.old" "$book/hosts.ini" && chmod 600 "$book/hosts.ini"
    crash "$budget" "$cli" hosts import "$dir/import.csv"
    if ! cmp -s "$book/hosts.ini" "$dir/hosts.old"; then
        labels=$("$cli" hosts list 2> /dev/null | cut -d' ' -f1 | tr '\n' ' ')
        [ "$labels" == "$expected" ] && [ "$(tail -c 12 "$book/hosts.ini")" == "$(printf '</kervola>\r\n')" ] ||
            { echo "FAIL hosts import: hosts.ini is torn"; torn=$((torn + 1)); }
    fi
    only_real "hosts import" "$book" 1 hosts.ini
done
check "hosts import: $killed killed, $finished finished, none torn" 0 $torn
echo "hosts import: $killed killed, $finished finished"
killed=0 finished=0 torn=0

# --- fleet backup: into a folder, and into the history --------------------------------------------
fleet=$dir/fleet
: > "$dir/port.fleet"
"$sim" --port 0 --detectors 4 --write-hosts "$fleet/hosts.ini" > "$dir/port.fleet" &
pids+=($!)
for _ in $(seq 100); do [ "$(grep -c listening "$dir/port.fleet")" -ge 4 ] && break; sleep 0.05; done
export KERVOLA_DATA_DIR=$fleet
labels=(SIM-0001 SIM-0002 SIM-0003 SIM-0004)
"$cli" fleet backup -o "$dir/backup.new" > /dev/null 2>&1
"$cli" fleet backup > /dev/null 2>&1 && mv "$fleet/history" "$dir/history.new"
for l in "${labels[@]}"; do printf 'older %s' "$l" > "$dir/$l.old"; done
budget=$(budget_of "$cli" fleet backup -o "$dir/budget")
for i in $(seq "$kills"); do
    if [ $((i % 2)) -eq 1 ]; then
        mkdir -p "$dir/backup"
        for l in "${labels[@]}"; do cp "$dir/$l.old" "$dir/backup/$l.xml"; done
        crash "$budget" "$cli" fleet backup -o "$dir/backup"
        for l in "${labels[@]}"; do
            old_or_new "fleet backup" "$dir/backup/$l.xml" "$dir/$l.old" "$dir/backup.new/$l.xml"
        done
        only_real "fleet backup -o" "$dir/backup" 1 "${labels[@]/%/.xml}"
        rm -rf "$dir/backup"
    else
        rm -rf "$fleet/history"
        crash "$budget" "$cli" fleet backup
        [ -d "$fleet/history" ] || continue
        for folder in "$fleet"/history/*/; do
            name=$(basename "$folder")
            real=("$folder"[0-9]*.xml)
            [ -e "${real[0]}" ] || continue
            check "fleet backup: one kept file in $name" 1 ${#real[@]}
            cmp -s "${real[0]}" "$dir/history.new/$name/"[0-9]*.xml ||
                { echo "FAIL fleet backup: ${real[0]} is torn"; torn=$((torn + 1)); }
            only_real "fleet backup history" "$folder" 1 "$(basename "${real[0]}")"
        done
        if [ -e "$fleet/history/index.txt" ]; then
            while IFS= read -r line; do
                grep -qxF "$line" "$dir/history.new/index.txt" ||
                    { echo "FAIL fleet backup: index line [$line] is torn"; torn=$((torn + 1)); }
            done < "$fleet/history/index.txt"
        fi
        only_real "fleet backup history" "$fleet/history" 1 index.txt
    fi
done
check "fleet backup: $killed killed, $finished finished, none torn" 0 $torn
echo "fleet backup: $killed killed, $finished finished"
killed=0 finished=0 torn=0

# --- config get: the configuration file and its history -------------------------------------------
port=$(sed -n '1s/.*://p' "$dir/port.fleet")
conn=(--host 127.0.0.1 --port "$port")
single=$dir/single
export KERVOLA_DATA_DIR=$single
"$cli" config get -o "$dir/config.new" "${conn[@]}" --no-history
printf 'the older configuration' > "$dir/config.old"
budget=$(budget_of "$cli" config get -o "$dir/budget.xml" "${conn[@]}")
for _ in $(seq "$kills"); do
    mkdir -p "$dir/out" && cp "$dir/config.old" "$dir/out/config.xml"
    rm -rf "$single/history"
    crash "$budget" "$cli" config get -o "$dir/out/config.xml" "${conn[@]}"
    old_or_new "config get" "$dir/out/config.xml" "$dir/config.old" "$dir/config.new"
    only_real "config get" "$dir/out" 0 config.xml
    kept=("$single/history/127.0.0.1_$port/"[0-9]*.xml)
    if [ -e "${kept[0]}" ]; then
        cmp -s "${kept[0]}" "$dir/config.new" || { echo "FAIL config get: ${kept[0]} is torn"; torn=$((torn + 1)); }
        only_real "config get history" "$single/history/127.0.0.1_$port" 1 "$(basename "${kept[0]}")"
    fi
done
check "config get: $killed killed, $finished finished, none torn" 0 $torn
echo "config get: $killed killed, $finished finished"
killed=0 finished=0 torn=0

# --- data download: the text table ----------------------------------------------------------------
"$cli" data download -o "$dir/table.new" "${conn[@]}" > /dev/null 2>&1
printf 'older,table\r\n' > "$dir/table.old"
budget=$(budget_of "$cli" data download -o "$dir/budget.csv" "${conn[@]}")
for _ in $(seq "$kills"); do
    cp "$dir/table.old" "$dir/out/table.csv"
    crash "$budget" "$cli" data download -o "$dir/out/table.csv" "${conn[@]}"
    old_or_new "data download" "$dir/out/table.csv" "$dir/table.old" "$dir/table.new"
    only_real "data download" "$dir/out" 0 table.csv config.xml
done
check "data download: $killed killed, $finished finished, none torn" 0 $torn
echo "data download: $killed killed, $finished finished"

finish
