#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs from there, with no
# variable of ours set: they must find their library and documents by their own location.
# usage: install_test.sh BUILD-DIR VERSION
set -uo pipefail
build=$1
version=$2
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kervola-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# A clean environment: what a desktop session would give, and the headless platform.
clean() {
    env -i PATH=/usr/bin:/bin HOME="$prefix/home" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$@"
}

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }

# Every path of the layout, as the package and the README promise it.
for path in bin/Kervola2 bin/kervola-cli bin/zelmont-sim bin/zelmont-term \
    lib/libzelmont_lib.so lib/libzelmont_lib.so.${version%%.*} include/zelmont_lib.h \
    share/kervola/help.pdf share/kervola/triggers.pdf \
    share/applications/kervola.desktop share/icons/hicolor/scalable/apps/kervola.svg \
    share/icons/hicolor/48x48/apps/kervola.png share/metainfo/kervola.metainfo.xml \
    share/bash-completion/completions/kervola-cli; do
    [ -f "$prefix/$path" ] || fail "$path is not installed"
done
# The copyright, changelog and lintian overrides are the Debian package's, not a prefix's.
[ -e "$prefix/share/lintian" ] && fail "a plain install holds the package's lintian overrides"
# Build helpers and static libraries stay out.
for stray in $(cd "$prefix" && find . -name '*.a' -o -name mkpdf -o -name '*_test' -o -name '*bench*'); do
    fail "$stray should not be installed"
done

# Each program: a manual page that renders without warnings, --version and --help.
for exe in "$prefix"/bin/*; do
    name=${exe##*/}
    page=$prefix/share/man/man1/$name.1.gz
    if [ ! -f "$page" ]; then
        fail "$name has no manual page"
    else
        out=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>"$prefix/man.err")
        [ -s "$prefix/man.err" ] && fail "$name's manual page warns: $(head -3 "$prefix/man.err")"
        grep -q '^NAME' <<<"$out" || fail "$name's manual page has no NAME section"
    fi
    out=$(clean "$exe" --version 2>&1)
    [ "$out" = "$name $version" ] || fail "$name --version printed '$out'"
    out=$(clean "$exe" --help 2>&1) || fail "$name --help failed"
    grep -q "usage: $name" <<<"$out" || fail "$name --help shows no usage line"
done

# The command-line companion's page names every command it has.
page=$(MANWIDTH=200 LC_ALL=C.UTF-8 man -l "$prefix/share/man/man1/kervola-cli.1.gz" 2>/dev/null)
while IFS= read -r command; do
    grep -qF "       $command" <<<"$page" || fail "the kervola-cli page lacks '$command'"
done < <(clean "$prefix/bin/kervola-cli" --commands)

# The program finds its documents and the transport library beside bin/.
out=$(clean "$prefix/bin/Kervola2" --paths 2>&1) || fail "Kervola2 --paths: $out"
grep -qx "help.pdf: $prefix/share/kervola/help.pdf" <<<"$out" || fail "help.pdf not found: $out"
grep -qx "transport library: $prefix/lib/libzelmont_lib.so" <<<"$out" || fail "library not found: $out"
# ... and says so when they are gone.
mv "$prefix/lib/libzelmont_lib.so" "$prefix/lib/moved.so"
clean "$prefix/bin/Kervola2" --paths >/dev/null 2>&1 && fail "--paths succeeds without the library"
# The terminal loads the library the same way; with nobody listening it then reports the refused
# connection, which only a loaded library can do.
out=$(clean timeout 20 "$prefix/bin/zelmont-term" 127.0.0.1 1 root kvtp </dev/null 2>&1)
grep -q "Error loading" <<<"$out" || fail "zelmont-term loaded a library that is not there: $out"
mv "$prefix/lib/moved.so" "$prefix/lib/libzelmont_lib.so"
out=$(clean timeout 20 "$prefix/bin/zelmont-term" 127.0.0.1 1 root kvtp </dev/null 2>&1)
grep -q "ERROR" <<<"$out" || fail "zelmont-term from the prefix: $out"
grep -q "Error loading" <<<"$out" && fail "zelmont-term cannot load its library: $out"

# The window starts headless in either language and keeps running until told to stop.
# Started through exec, so that $! is the program itself and the kill below reaches it: a
# subshell running clean() would take the kill and leave the window running.
for lang in ru en; do
    (exec env -i PATH=/usr/bin:/bin HOME="$prefix/home" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
        KERVOLA_DATA_DIR="$prefix/data-$lang" "$prefix/bin/Kervola2" --lang $lang) \
        >"$prefix/run.out" 2>&1 &
    pid=$!
    sleep 2
    if kill -0 $pid 2>/dev/null; then
        kill $pid
        wait $pid 2>/dev/null
    else
        wait $pid
        fail "Kervola2 --lang $lang ended at start ($?): $(head -5 "$prefix/run.out")"
    fi
done
clean "$prefix/bin/Kervola2" --lang xx >/dev/null 2>&1
[ $? -eq 2 ] || fail "Kervola2 --lang xx is not a usage error"

# The desktop entry is valid and names what was installed.
desktop=$prefix/share/applications/kervola.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
ls "$prefix"/share/icons/hicolor/*/apps/"$icon".* >/dev/null 2>&1 || fail "Icon=$icon is not installed"

# The public header stands alone, in C and in C++.
printf '#include <zelmont_lib.h>\nint main(void) { DATA_RECORD r; return (int)sizeof r; }\n' >"$prefix/use.c"
cc -std=c99 -Wall -Werror -fsyntax-only -I"$prefix/include" "$prefix/use.c" || fail "the header does not compile as C"
c++ -x c++ -Wall -Werror -fsyntax-only -I"$prefix/include" "$prefix/use.c" || fail "the header does not compile as C++"

# A program linked as pkg-config says records the SONAME, so it finds the library of the same
# major version, and the library loads and answers.
pc=$(find "$prefix/lib" -name zelmont_lib.pc)
if [ -z "$pc" ]; then
    fail "zelmont_lib.pc is not installed"
else
    printf '#include <zelmont_lib.h>\nint main(void) { DATA_RECORD r = {0}; return ZelmontClean(&r) != 1; }\n' >"$prefix/link.c"
    flags=$(PKG_CONFIG_PATH=${pc%/*} pkg-config --cflags --libs zelmont_lib) || fail "pkg-config zelmont_lib"
    # shellcheck disable=SC2086 # the flags are words
    cc -std=c99 -Wall -Werror "$prefix/link.c" -o "$prefix/link" $flags || fail "linking as pkg-config says: $flags"
    needed=$(readelf -d "$prefix/link" 2>/dev/null | sed -n 's/.*(NEEDED).*\[\(libzelmont.*\)\]/\1/p')
    [ "$needed" = "libzelmont_lib.so.${version%%.*}" ] || fail "a linked program needs '$needed'"
    out=$(clean LD_LIBRARY_PATH="$prefix/lib" "$prefix/link" 2>&1) || fail "the linked program: $out"
fi

[ $failures -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "install into a prefix: all checks passed"
