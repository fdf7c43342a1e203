#!/usr/bin/env bash
# Builds the Debian package of the build into a temporary folder and checks its name, its file
# list, that its dependencies were computed from the binaries, and that Debian's own checks
# (lintian, appstreamcli) pass it.
# usage: package_test.sh BUILD-DIR VERSION PACKAGE-VERSION SOURCE-DIR
set -uo pipefail
build=$1
version=$2
package_version=$3
source=$4
out=$(mktemp -d "${TMPDIR:-/tmp}/kervola-package.XXXXXX")
trap 'rm -rf "$out"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in lintian appstreamcli; do
    command -v $tool >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
arch=$(dpkg --print-architecture)
# A folder of its own keeps the staging tree apart from a `make package` running at the same time.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
deb=$out/kervola_${package_version}_${arch}.deb
[ -f "$deb" ] || { echo "FAIL: no $deb; made: $(ls "$out")" >&2; exit 1; }

# The last field of each line is the path, once a link's " -> target" is taken off.
files=$(dpkg-deb -c "$deb" | sed 's/ -> .*//' | awk '{print $NF}')
for path in bin/Kervola2 bin/kervola-cli bin/zelmont-sim bin/zelmont-term \
    lib/libzelmont_lib.so lib/libzelmont_lib.so.${version%%.*} lib/libzelmont_lib.so.$version \
    lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/pkgconfig/zelmont_lib.pc include/zelmont_lib.h \
    share/kervola/help.pdf share/kervola/triggers.pdf \
    share/applications/kervola.desktop share/icons/hicolor/scalable/apps/kervola.svg \
    share/metainfo/kervola.metainfo.xml \
    share/doc/kervola/copyright share/doc/kervola/changelog.Debian.gz \
    share/man/man1/Kervola2.1.gz share/man/man1/kervola-cli.1.gz \
    share/man/man1/zelmont-sim.1.gz share/man/man1/zelmont-term.1.gz \
    share/bash-completion/completions/kervola-cli; do
    grep -qx "./usr/$path" <<<"$files" || fail "the package lacks /usr/$path"
done
grep -v '^\./usr/' <<<"$files" | grep -q . && fail "files outside /usr: $(grep -v '^\./usr/' <<<"$files")"

[ "$(dpkg-deb -f "$deb" Package)" = kervola ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$package_version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
# Each library the programs and libzelmont_lib.so link directly must be covered by a dependency.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libboost-thread libturbojpeg0; do
    grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
dpkg-deb -x "$deb" "$out/root"
usr=$out/root/usr
# Every binary stripped (a package of debugging builds would be ten times the size), and no run
# path but the one to the package's own library.
# shellcheck disable=SC2016 # the loader expands $ORIGIN, not the shell
own_path='$ORIGIN/../lib'
for elf in "$usr"/bin/* "$usr"/lib/libzelmont_lib.so.*; do
    [ -L "$elf" ] && continue
    name=${elf#"$out/root"}
    file "$elf" | grep -q 'not stripped' && fail "$name is not stripped"
    runpath=$(readelf -d "$elf" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p')
    case $name in
    /usr/bin/*) [ -z "$runpath" ] || [ "$runpath" = "$own_path" ] || fail "$name runs with the path $runpath" ;;
    *) [ -z "$runpath" ] || fail "$name runs with the path $runpath" ;;
    esac
done

# The library: versioned file, SONAME with the major version, the plain name the programs load
# leading to the same file, and exactly its six entry points exported.
lib=$usr/lib/libzelmont_lib.so.$version
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libzelmont_lib.so.${version%%.*}" ] || fail "the library's SONAME is '$soname'"
[ "$(readlink -f "$usr/lib/libzelmont_lib.so")" = "$(readlink -f "$lib")" ] || fail "libzelmont_lib.so leads elsewhere"
exports=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort | tr '\n' ' ')
[ "$exports" = "ZelmontBegin ZelmontClean ZelmontData ZelmontEnd ZelmontInit ZelmontSend " ] ||
    fail "the library exports: $exports"
# Programs that link it depend on this package from now on.
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./shlibs 2>/dev/null | grep -qx "libzelmont_lib ${version%%.*} kervola (>= $package_version)" ||
    fail "no shlibs entry for the library"

# A PNG at each size, of that size, besides the SVG.
for size in 16 24 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/kervola.png
    file "$png" 2>/dev/null | grep -q "PNG image data, $size x $size," || fail "no $size-pixel icon: $(file "$png")"
done

# The package's own changelog is of the version it describes.
zcat "$usr/share/doc/kervola/changelog.Debian.gz" | head -1 | grep -q "^kervola ($package_version) " ||
    fail "the changelog begins: $(zcat "$usr/share/doc/kervola/changelog.Debian.gz" | head -1)"

# What software centres read: valid, of this release, naming every program the package holds,
# and showing screenshots that the source tree holds at the stated size.
metainfo=$usr/share/metainfo/kervola.metainfo.xml
out_as=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out_as"
grep -Eq '^[EW]: ' <<<"$out_as" && fail "appstreamcli validate warns: $out_as"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo lacks the release $version"
listed=$(sed -n 's|.*<binary>\(.*\)</binary>.*|\1|p' "$metainfo" | sort | tr '\n' ' ')
installed=$(find "$usr/bin" -mindepth 1 -printf '%f\n' | sort | tr '\n' ' ')
[ "$listed" = "$installed" ] || fail "the metainfo provides '$listed', the package has '$installed'"
shots=0
while read -r width height url; do
    shots=$((shots + 1))
    shot=$source/packaging/screenshots/${url##*/}
    file "$shot" 2>/dev/null | grep -q "PNG image data, $width x $height," ||
        fail "screenshot $url: no ${width}x$height picture at $shot"
done < <(sed -n 's|.*<image[^>]* width="\([0-9]*\)" height="\([0-9]*\)">\(.*\)</image>.*|\1 \2 \3|p' "$metainfo")
[ $shots -gt 0 ] || fail "the metainfo shows no screenshot"

# Debian's own judgement of the package; each override in it carries its reason.
lint=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $lint"

[ $failures -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "package $(basename "$deb"): all checks passed"
