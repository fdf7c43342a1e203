#!/usr/bin/env bash
# Writes a manual page whose "@COMMANDS@" line becomes the program's own command list, so the page
# names every command the program has: the words from PROGRAM --commands, each summary from the
# line of the "commands:" block of PROGRAM --help that lists it (the two are in the same order).
# usage: fill-commands.sh PROGRAM TEMPLATE OUTPUT
set -euo pipefail
program=$1
template=$2
output=$3

# Texts for roff: backslashes escaped, a leading dot or quote kept as text, and in command words
# dashes as the hyphen-minus one types.
roff_text() {
    local escaped=${1//\\/\\e}
    [[ $escaped == [.\']* ]] && escaped="\\&$escaped"
    printf '%s' "$escaped"
}
roff_words() {
    local escaped
    escaped=$(roff_text "$1")
    printf '%s' "${escaped//-/\\-}"
}

mapfile -t commands < <("$program" --commands)
mapfile -t listed < <("$program" --help | awk '/^commands:/ { inside = 1; next }
    inside && /^$/ { exit }
    inside { print }')
if [ ${#commands[@]} -eq 0 ] || [ ${#commands[@]} -ne ${#listed[@]} ]; then
    echo "fill-commands.sh: $program lists ${#commands[@]} commands and ${#listed[@]} help lines" >&2
    exit 1
fi

temporary=$output.tmp
while IFS= read -r line; do
    if [ "$line" != "@COMMANDS@" ]; then
        printf '%s\n' "$line"
        continue
    fi
    for i in "${!commands[@]}"; do
        words=${commands[i]}
        summary=${listed[i]#"  $words"}
        summary=${summary#"${summary%%[! ]*}"}
        printf '.TP\n.B %s\n%s\n' "$(roff_words "$words")" "$(roff_text "$summary")"
    done
done <"$template" >"$temporary"
mv "$temporary" "$output"
