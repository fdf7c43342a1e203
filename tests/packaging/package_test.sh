#!/usr/bin/env bash
# Builds the Debian package of the build into a temporary folder and checks its name, its file
# list and that its dependencies were computed from the binaries.
# usage: package_test.sh BUILD-DIR VERSION
set -uo pipefail
build=$1
version=$2
out=$(mktemp -d "${TMPDIR:-/tmp}/kervola-package.XXXXXX")
trap 'rm -rf "$out"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

arch=$(dpkg --print-architecture)
# A folder of its own keeps the staging tree apart from a `make package` running at the same time.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
deb=$out/kervola_${version}_${arch}.deb
[ -f "$deb" ] || { echo "FAIL: no $deb; made: $(ls "$out")" >&2; exit 1; }

files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in bin/Kervola2 bin/kervola-cli bin/zelmont-sim bin/zelmont-term \
    lib/libzelmont_lib.so include/zelmont_lib.h \
    share/kervola/help.pdf share/kervola/triggers.pdf \
    share/applications/kervola.desktop share/icons/hicolor/scalable/apps/kervola.svg \
    share/man/man1/Kervola2.1.gz share/man/man1/kervola-cli.1.gz \
    share/man/man1/zelmont-sim.1.gz share/man/man1/zelmont-term.1.gz \
    share/bash-completion/completions/kervola-cli; do
    grep -qx "./usr/$path" <<<"$files" || fail "the package lacks /usr/$path"
done
grep -v '^\./usr/' <<<"$files" | grep -q . && fail "files outside /usr: $(grep -v '^\./usr/' <<<"$files")"

[ "$(dpkg-deb -f "$deb" Package)" = kervola ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
# Each library the programs and libzelmont_lib.so link directly must be covered by a dependency.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libboost-thread libturbojpeg0; do
    grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
# Stripped: a package of debugging builds would be ten times the size.
dpkg-deb -x "$deb" "$out/root"
file "$out/root/usr/bin/Kervola2" | grep -q 'not stripped' && fail "Kervola2 is not stripped"

[ $failures -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "package $(basename "$deb"): all checks passed"
