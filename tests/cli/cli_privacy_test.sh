#!/usr/bin/env bash
# The detectors' passwords: the ways to give one without showing it to `ps` and the shell's
# history, and the modes of every file and folder that holds one.
set -u
cli=$(realpath "$1")
sim=$(realpath "$2")
dir=$(mktemp -d)
source "$(dirname "$0")/testlib.sh"
export KERVOLA_DATA_DIR="$dir/data"
unset KERVOLA_PASSWORD
umask 022

start_sim sim --password s3cret
conn=(--host 127.0.0.1 --port "$port")
mode() { stat -c %a "$1"; }

# Which password reaches the detector: only "s3cret" logs in.
printf 's3cret\r\nsecond line\n' > "$dir/right"
printf 'wrong\n' > "$dir/wrong"
printf 's3cret' > "$dir/bare" # no line end at all
while IFS='|' read -r name expected env args; do
    # shellcheck disable=SC2086
    env $env "$cli" time get "${conn[@]}" $args > /dev/null 2>&1
    check "$name" "$expected" $?
done <<ROWS
no password: kvtp is refused|1||
--password|0||--password s3cret
--password-file, its first line without CR LF|0||--password-file $dir/right
--password-file without a line end|0||--password-file $dir/bare
KERVOLA_PASSWORD|0|KERVOLA_PASSWORD=s3cret|
an empty KERVOLA_PASSWORD is none|1|KERVOLA_PASSWORD=|
--password before --password-file|1||--password wrong --password-file $dir/right
--password before KERVOLA_PASSWORD|1|KERVOLA_PASSWORD=s3cret|--password wrong
--password-file before KERVOLA_PASSWORD|0|KERVOLA_PASSWORD=wrong|--password-file $dir/right
ROWS

# A file that cannot be read is named, with exit code 1; a missing value is a usage error.
err=$("$cli" time get "${conn[@]}" --password-file "$dir/none" 2>&1); rc=$?
check "missing password file exit" 1 $rc
check "missing password file text" "kervola-cli: $dir/none: cannot read the password file" "$err"
"$cli" time get "${conn[@]}" --password-file "$dir" > /dev/null 2>&1; check "a folder as password file" 1 $?
"$cli" time get "${conn[@]}" --password-file > /dev/null 2>&1; check "--password-file without FILE" 2 $?
out=$("$cli" time get "${conn[@]}" --password-file "$dir/none" --json 2>/dev/null)
check "unreadable file under --json" "false" "$(jq -r .ok <<< "$out")"

# hosts add takes the same three; the address book keeps what was given.
"$cli" hosts add F 127.0.0.1 --port "$port" --password-file "$dir/right" 2> /dev/null; check "hosts add --password-file" 0 $?
KERVOLA_PASSWORD=s3cret "$cli" hosts add E 127.0.0.1 --port "$port"; check "hosts add KERVOLA_PASSWORD" 0 $?
"$cli" hosts add N 127.0.0.1 --port "$port" --password-file "$dir/none" 2> /dev/null; check "hosts add unreadable file" 1 $?
check "hosts add stored the passwords" 'pass="s3cret" pass="s3cret"' "$(grep -o 'pass="[^"]*"' "$dir/data/hosts.ini" | tr '\n' ' ' | sed 's/ $//')"
# --detector uses the entry's own password; the variable does not override it.
KERVOLA_PASSWORD=wrong "$cli" time get --detector F > /dev/null; check "--detector ignores KERVOLA_PASSWORD" 0 $?
"$cli" time get --detector F --password-file "$dir/right" > /dev/null 2>&1; check "--detector with --password-file" 2 $?

for c in "time get" "config get" "data download" "hosts add"; do
    help=$($cli $c --help)
    grep -q -- '--password-file' <<< "$help"; check "$c --help names --password-file" 0 $?
    grep -q 'KERVOLA_PASSWORD' <<< "$help"; check "$c --help names KERVOLA_PASSWORD" 0 $?
done

# Modes: what kervola-cli writes on its own is its user's alone, under an ordinary umask.
check "data folder made private" 700 "$(mode "$dir/data")"
check "address book" 600 "$(mode "$dir/data/hosts.ini")"
"$cli" config get "${conn[@]}" --password s3cret > "$dir/got.xml"; check "config get" 0 $?
grep -q 'name="pass"' "$dir/got.xml"; check "a configuration holds the password" 0 $?
check "user's own output keeps the umask" 644 "$(mode "$dir/got.xml")"
history=$dir/data/history
check "history folder" 700 "$(mode "$history")"
check "detector's history folder" 700 "$(mode "$history/127.0.0.1_$port")"
check "history index" 600 "$(mode "$history/index.txt")"
check "history files" "600" "$(stat -c %a "$history/127.0.0.1_$port"/*.xml | sort -u | tr '\n' ' ' | sed 's/ $//')"

start_sim fleet --detectors 2 --write-hosts "$dir/fleet/hosts.ini"
KERVOLA_DATA_DIR="$dir/fleet" "$cli" fleet backup > /dev/null 2>&1; check "fleet backup into the history" 0 $?
check "fleet history files" "600" "$(find "$dir/fleet/history" -type f -printf '%m\n' | sort -u | tr '\n' ' ' | sed 's/ $//')"
check "fleet history folders" "700" "$(find "$dir/fleet/history" -type d -printf '%m\n' | sort -u | tr '\n' ' ' | sed 's/ $//')"
KERVOLA_DATA_DIR="$dir/fleet" "$cli" fleet backup -o "$dir/made/backups" > /dev/null 2>&1; check "fleet backup -o" 0 $?
check "backup folders made" "700 700" "$(mode "$dir/made") $(mode "$dir/made/backups")"
check "backup files" "600" "$(find "$dir/made/backups" -type f -printf '%m\n' | sort -u | tr '\n' ' ' | sed 's/ $//')"

finish
