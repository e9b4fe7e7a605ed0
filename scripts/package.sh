#!/usr/bin/env bash
# Builds the Debian package from a built tree (default build/), lists it and
# checks it: its dependencies come from dpkg-shlibdeps, it holds every
# installed file, and the programs unpacked from it convert on their own.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rm -f "$build"/zevi-fileconv_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/zevi-fileconv_*.deb)
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6; do
    [[ $depends == *"$library "* ]] || fail "Depends lacks $library: $depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in usr/bin/zevi-convert usr/bin/zevi-fileconv usr/share/zevi-fileconv/datums.txt \
    usr/share/zevi-fileconv/basegrids.txt usr/share/zevi-fileconv/examples/walk.txt \
    usr/share/applications/org.zevi.FileConverter.desktop \
    usr/share/metainfo/org.zevi.FileConverter.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/org.zevi.FileConverter.svg \
    usr/share/icons/hicolor/128x128/apps/org.zevi.FileConverter.png \
    usr/share/man/man1/zevi-convert.1.gz usr/share/man/man1/zevi-fileconv.1.gz \
    usr/share/bash-completion/completions/zevi-convert usr/share/doc/zevi-fileconv/copyright; do
    grep -qx "./$path" <<<"$contents" || fail "the package lacks /$path"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
cp "$scratch"/root/usr/share/zevi-fileconv/examples/fells-bng.{txt,ini} "$scratch/"
(cd "$scratch" && root/usr/bin/zevi-convert fells-bng.txt) || fail "the unpacked zevi-convert failed"
grep -q "^U BRITISH NATIONAL GRID" "$scratch/fells-bng.gps" || fail "the unpacked zevi-convert found no grid list"
[[ $(env -u DISPLAY -u WAYLAND_DISPLAY "$scratch/root/usr/bin/zevi-fileconv" --version) == \
    "ZEVI Import File Converter 1.36" ]] || fail "the unpacked zevi-fileconv --version"

((failures == 0)) || exit 1
echo "package: $deb checked"
