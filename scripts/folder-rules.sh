#!/usr/bin/env bash
# Keeps the folders depending downward: reads every #include of the source tree and fails, naming
# each offending line, when one breaks a folder rule.
#
# usage: scripts/folder-rules.sh SOURCE_DIR [TOOLKIT_FREE_SOURCE...]
#        scripts/folder-rules.sh --edges SOURCE_DIR
# TOOLKIT_FREE_SOURCE: the sources of the targets that must build without Qt (CMake passes the
# core's), absolute or relative to SOURCE_DIR; their headers of the same name count with them.
# --edges prints which folder includes which, with the number of includes, and checks nothing.
set -euo pipefail

edges=0
if [ "${1:-}" = --edges ]; then
    edges=1
    shift
fi
src=${1:?usage: folder-rules.sh [--edges] SOURCE_DIR [TOOLKIT_FREE_SOURCE...]}
shift
src=$(cd "$src" && pwd)

# The tracked and new files of a checkout; any other tree (an unpacked release, a tree inside
# someone else's checkout) is walked, leaving out build folders.
list_files() {
    if [ "$(git -C "$src" rev-parse --show-toplevel 2>/dev/null)" = "$src" ]; then
        git -C "$src" ls-files --cached --others --exclude-standard
    else
        (cd "$src" && find . \( -name '.git' -o -name 'build*' \) -prune -o -type f -print |
            sed 's|^\./||')
    fi
}

core_list=$(mktemp)
trap 'rm -f "$core_list"' EXIT
for f in "$@"; do
    f=${f#"$src"/}
    echo "$f"
    echo "${f%.*}.h"
done >"$core_list"

top=$(find "$src" -mindepth 1 -maxdepth 1 -type d -printf '%f ')

# One line per include: file, line number, included path, quoted or angled.
# A file deleted but not yet committed is still listed by git: it includes nothing.
present() { while read -r f; do [ ! -f "$src/$f" ] || echo "$f"; done; }
list_files | grep -E '\.(c|cc|cpp|h|hpp)$' | present |
    (cd "$src" && xargs -r -d '\n' awk '
        match($0, /^[ \t]*#[ \t]*include[ \t]*["<][^">]+[">]/) {
            s = substr($0, RSTART, RLENGTH)
            kind = (index(s, "<") ? "angle" : "quote")
            sub(/^[^"<]*["<]/, "", s); sub(/[">]$/, "", s)
            print FILENAME "\t" FNR "\t" s "\t" kind
        }') | awk -F'\t' -v edges=$edges -v corelist="$core_list" -v top="$top" '
    BEGIN {
        n = split(top, t, " ")
        for (i = 1; i <= n; i++) folder[t[i]] = 1
        while ((getline line < corelist) > 0) core[line] = 1
        # Folders whose every file is core.
        corefolder["channel"] = corefolder["geometry"] = corefolder["config"] = 1
        # The harness may reach any folder: tests drive the whole program, benchmarks time it.
        harness["tests"] = harness["bench"] = 1
    }
    # The folder an include names, resolved against the including file for "../" paths; empty
    # for an include from the same folder or from outside the tree.
    function target(file, path,    dir, parts, k, m, out) {
        if (path !~ /\//) return ""
        if (path ~ /^\.\.?\//) {
            dir = file; sub(/\/[^\/]*$/, "", dir)
            path = dir "/" path
            m = split(path, parts, "/"); out = ""
            for (k = 1; k <= m; k++) {
                if (parts[k] == ".") continue
                if (parts[k] == "..") { sub(/\/?[^\/]*$/, "", out); continue }
                out = (out == "" ? parts[k] : out "/" parts[k])
            }
            path = out
        }
        split(path, parts, "/")
        return (parts[1] in folder) ? parts[1] : ""
    }
    function offend(rule, text) {
        if (!(rule in found)) rules[++nrules] = rule
        found[rule] = found[rule] "  " text "\n"
        bad++
    }
    {
        file = $1; line = $2; path = $3; kind = $4; read++
        split(file, p, "/"); from = (file ~ /\//) ? p[1] : ""
        to = target(file, path)
        quoted = "#include \"" path "\""
        if (to != "" && to != from && !(from in harness)) {
            count[from " -> " to]++
            if (!((from, to) in via)) {
                via[from, to] = file ":" line ": " quoted
                out[from] = out[from] " " to
            }
        }
        if (edges) next
        if (to == "program" && from != "program" && !(from in harness))
            offend("no file outside program/ includes program/", file ":" line ": " quoted)
        if ((file in core || from in corefolder) && kind == "angle" && path ~ /^Q/)
            offend("core files include no Qt", file ":" line ": #include <" path ">")
        if (from == "zones" && to == "safeconfig")
            offend("zones/ does not include safeconfig/", file ":" line ": " quoted)
        # The view tells what happened through its hooks; the count check listens, never the
        # other way round.
        if (from == "zones" && to == "countcheck")
            offend("zones/ does not include countcheck/", file ":" line ": " quoted)
        if ((from == "geometry" || from == "config") && to == "zones")
            offend("geometry/ and config/ include nothing of zones/", file ":" line ": " quoted)
        if (from == "geometry" && to != "" && to != "geometry")
            offend("geometry/ includes no other folder", file ":" line ": " quoted)
    }
    END {
        # A tree read wrong must not pass for a tree that keeps the rules.
        if (!read) { print "no #include read under the source folder"; exit 2 }
        if (edges) {
            for (e in count) print e "\t" count[e]
            exit 0
        }
        # A circle through an edge: the path back from its head to its tail, breadth first so
        # the shortest one is named.
        for (e in via) {
            split(e, ends, SUBSEP); a = ends[1]; b = ends[2]
            delete prev; delete seen; head = 1; tail = 1; queue[1] = b; seen[b] = 1
            while (head <= tail && !(a in seen)) {
                node = queue[head++]
                m = split(out[node], next_, " ")
                for (k = 1; k <= m; k++)
                    if (!(next_[k] in seen)) {
                        seen[next_[k]] = 1
                        prev[next_[k]] = node
                        queue[++tail] = next_[k]
                    }
            }
            if (!(a in seen)) continue
            back = a; node = a
            while (node != b) { node = prev[node]; back = node " -> " back }
            offend("folders form no circle", a " -> " back ", for one: " via[a, b])
        }
        for (i = 1; i <= nrules; i++)
            printf "folder rule broken: %s\n%s", rules[i], found[rules[i]]
        if (bad) { print bad " offence(s)"; exit 1 }
        print "folder rules kept"
    }' | if [ $edges = 1 ]; then sort; else cat; fi
