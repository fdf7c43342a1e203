#!/usr/bin/env bash
# The folder-rules check on small trees of its own: a tree that keeps the rules passes, and each
# way of breaking one fails and names the offending line. A check that read nothing would pass
# every tree, so every row must be caught.
# usage: folder_rules_test.sh PATH/TO/folder-rules.sh
set -uo pipefail
check=${1:?usage: folder_rules_test.sh FOLDER_RULES_SCRIPT}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A tree that keeps every rule; data/D.cpp stands for a core source of a mixed folder.
clean_tree() {
    local t=$1
    mkdir -p "$t"/{geometry,config,zones,program,channel,data,dialogs,safeconfig,countcheck,tests/program}
    printf '#pragma once\n#include <vector>\n' >"$t/geometry/G.h"
    printf '#pragma once\n#include "geometry/G.h"\n' >"$t/config/C.h"
    printf '#pragma once\n#include "config/C.h"\n#include <QWidget>\n' >"$t/zones/V.h"
    printf '#pragma once\n#include "config/C.h"\n' >"$t/safeconfig/S.h"
    printf '#pragma once\n#include "config/C.h"\n' >"$t/countcheck/K.h"
    printf '#include "zones/V.h"\n#include "dialogs/X.h"\n' >"$t/program/P.cpp"
    printf '#pragma once\n#include <QDialog>\n' >"$t/dialogs/X.h"
    printf '#include "program/P.h"\n#include "../../zones/V.h"\n' >"$t/tests/program/t.cpp"
    printf '#pragma once\n#include <string>\n' >"$t/channel/Ch.h"
    printf '#include "channel/Ch.h"\n' >"$t/data/D.cpp"
    printf '#pragma once\n#include <string>\n' >"$t/data/D.h"
}

run() { bash "$check" "$1" data/D.cpp 2>&1; }

tree=$work/clean
clean_tree "$tree"
out=$(run "$tree")
if [ $? -ne 0 ] || ! grep -q 'folder rules kept' <<<"$out"; then
    echo "FAIL clean tree: $out"
    failures=$((failures + 1))
fi
edges=$(bash "$check" --edges "$tree")
if ! grep -qx $'config -> geometry\t1' <<<"$edges" || grep -q '^tests' <<<"$edges"; then
    echo "FAIL edges of the clean tree: $edges"
    failures=$((failures + 1))
fi

# name | file | line appended | text the report must hold
rows=(
    'program from data|data/D.cpp|#include "program/P.h"|data/D.cpp:2: #include "program/P.h"'
    'Qt in a core source|data/D.cpp|#include <QString>|data/D.cpp:2: #include <QString>'
    'Qt in the header of a core source|data/D.h|#include <QtCore/QObject>|data/D.h:3: #include <QtCore/QObject>'
    'Qt in a core folder, spaced|channel/Ch.h|#  include <QByteArray>|channel/Ch.h:3: #include <QByteArray>'
    'view on safeconfig|zones/V.h|#include "safeconfig/S.h"|zones/V.h:4: #include "safeconfig/S.h"'
    'view on the count check|zones/V.h|#include "countcheck/K.h"|zones/V.h:4: #include "countcheck/K.h"'
    'config on the view|config/C.h|#include "zones/V.h"|config/C.h:3: #include "zones/V.h"'
    'geometry on config, relative|geometry/G.h|#include "../config/C.h"|geometry/G.h:3: #include "../config/C.h"'
    'circle of two|dialogs/X.h|#include "data/D.h"|dialogs -> data -> dialogs'
    'circle of three|config/C.h|#include "program/P.h"|config -> program -> zones -> config'
)
for row in "${rows[@]}"; do
    IFS='|' read -r name file line expect <<<"$row"
    tree=$work/$(tr ' ,' '__' <<<"$name")
    clean_tree "$tree"
    # The other half of the circle of two.
    [ "$name" = 'circle of two' ] && printf '#include "dialogs/X.h"\n' >>"$tree/data/D.h"
    printf '%s\n' "$line" >>"$tree/$file"
    out=$(run "$tree")
    rc=$?
    if [ $rc -ne 1 ] || ! grep -qF -- "$expect" <<<"$out"; then
        echo "FAIL $name (exit $rc), wanted: $expect"
        echo "$out"
        failures=$((failures + 1))
    fi
done

# A tree with no source at all is an error, never a pass.
mkdir -p "$work/empty/zones"
bash "$check" "$work/empty" >/dev/null 2>&1
[ $? -eq 2 ] || { echo "FAIL empty tree passed"; failures=$((failures + 1)); }

[ $failures -eq 0 ] && echo "all rows caught"
exit $((failures > 0))
