#!/usr/bin/env bash
# The bash completion of kervola-cli: command words come from `kervola-cli --commands`, options
# from `kervola-cli WORDS --help`. First against a stand-in whose answers are fixed, so each rule
# is checked on known lists; then against the real program, whose list grows.
# usage: completion_test.sh COMPLETION-SCRIPT KERVOLA-CLI
set -u
script=$1
real=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

# shellcheck disable=SC1090
source "$script"

cat >"$dir/kervola-cli" <<'STANDIN'
#!/usr/bin/env bash
case "$*" in
--commands) printf 'xml\nconfig\nconfig get\ndata get\ndata csv\ntime\ntime set\n' ;;
"config --help")
    printf 'usage: kervola-cli config FILE [--out OUT]\n'
    printf '       kervola-cli config (--default|--empty)\n\n'
    printf '  --out OUT     save the document to OUT (see also --default)\n'
    printf '  --default, --from=TEXT  write the default document\n'
    printf 'text that mentions --not-an-option\n' ;;
"data get --help") printf '  --days N\n  --host H --port P\n' ;;
"time --help") printf '  --utc\n' ;;
"time set --help") printf '  --to TIME\n' ;;
*) exit 2 ;;
esac
STANDIN
chmod +x "$dir/kervola-cli"
touch "$dir/site.xml"
cd "$dir" || exit 1

# complete PROGRAM WORD... : the candidates for the last word, sorted, one line.
complete_line() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kervola_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}
check() { # name expected words...
    local name=$1 expected=$2
    shift 2
    local got
    got=$(complete_line "$@")
    if [ "$got" != "$expected" ]; then
        echo "FAIL $name: expected [$expected] got [$got]"
        failures=$((failures + 1))
    fi
}

cli=$dir/kervola-cli
check "first words, once each" "config data time xml" "$cli" ""
check "first word by prefix" "data" "$cli" "d"
check "second word" "csv get" "$cli" data ""
check "second word by prefix" "csv" "$cli" data c
check "global options" "--commands --help --version" "$cli" "--"
check "options of the command" "--default --empty --from --out" "$cli" config "--"
check "options of a two-word command" "--days --host --port" "$cli" data get --
check "options of the longer command" "--to" "$cli" time set --
check "options after an argument" "--out" "$cli" config site.xml --o
check "a file or the longer command" "get kervola-cli site.xml" "$cli" config ""
check "file names are left to bash" "" "$cli" config site.xml ""
check "unknown command" "" "$cli" nosuch ""
check "nothing from a failing program" "" "$dir/missing-program" ""

# The real program: every first word it lists is offered, and a listed command's --help answers.
first=$("$real" --commands | awk '{print $1}' | sort -u | tr '\n' ' ' | sed 's/ $//')
[ -n "$first" ] || { echo "FAIL: $real --commands lists nothing"; failures=$((failures + 1)); }
check "real first words" "$first" "$real" ""
while read -r -a words; do
    "$real" "${words[@]}" --help >/dev/null 2>&1 ||
        { echo "FAIL: '${words[*]} --help' fails"; failures=$((failures + 1)); }
done < <("$real" --commands)

[ $failures -eq 0 ] || exit 1
echo "completion: all checks passed"
