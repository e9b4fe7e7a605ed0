#!/usr/bin/env bash
# An installed tree, moved after installing, works on its own: the programs
# find their datum and grid lists, the desktop files validate, the manual
# pages read and the completion loads.
# Usage: install_test.sh BUILD_DIR
set -u
build=$(realpath "$1")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/first" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
mkdir -p "$scratch/elsewhere/deeper"
mv "$scratch/first" "$scratch/elsewhere/deeper/tree"
tree=$scratch/elsewhere/deeper/tree
share=$tree/share

# What must be there: path under the moved tree | reason
while IFS='|' read -r path reason; do
    [[ -e $tree/$path ]] || fail "$reason: $path is not installed"
done <<'ROWS'
bin/zevi-convert|the batch command
share/zevi-fileconv/datums.txt|the datum list
share/zevi-fileconv/basegrids.txt|a grid list
share/zevi-fileconv/ostn02grids.txt|the last grid list
share/zevi-fileconv/examples/walk.txt|the examples
share/man/man1/zevi-convert.1.gz|the manual page of the batch command
share/bash-completion/completions/zevi-convert|the completion
ROWS
window=""
[[ -x $tree/bin/zevi-fileconv ]] && window=1

# A conversion that needs the grid and datum lists, with no --data-dir, run
# from a folder that holds no lists.
work=$scratch/work
mkdir -p "$work"
cp "$share/zevi-fileconv/examples/fells-bng.txt" "$share/zevi-fileconv/examples/fells-bng.ini" "$work/"
(cd "$work" && "$tree/bin/zevi-convert" fells-bng.txt) >"$scratch/out" 2>&1
status=$?
[[ $status == 0 ]] || fail "installed zevi-convert: status $status: $(cat "$scratch/out")"
header=$(head -n 3 "$work/fells-bng.gps" 2>/dev/null | tr -d '\r')
[[ $header == *"U BRITISH NATIONAL GRID"* ]] || fail "the grid list was not found: $header"
[[ $header == *"M E OSGB 1936             Airy1830"* ]] || fail "the datum list was not found: $header"

# --data-dir still wins over the installed lists.
(cd "$work" && "$tree/bin/zevi-convert" -f --data-dir "$scratch/none" fells-bng.txt) >"$scratch/out" 2>&1
grep -q "Grid File:$scratch/none/basegrids.txt does not exist" "$scratch/out" ||
    fail "--data-dir was not used: $(cat "$scratch/out")"

version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$tree/bin/zevi-convert" --version)
[[ $version == "ZEVI Import File Converter 1.36" ]] || fail "zevi-convert --version: $version"

if [[ -n $window ]]; then
    version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tree/bin/zevi-fileconv" --version 2>&1)
    [[ $version == "ZEVI Import File Converter 1.36" ]] || fail "zevi-fileconv --version without a display: $version"
    usage=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tree/bin/zevi-fileconv" --help 2>&1)
    [[ $usage == "Usage: zevi-fileconv [FILE]"* ]] || fail "zevi-fileconv --help without a display: $usage"

    id=org.zevi.FileConverter
    desktop=$share/applications/$id.desktop
    metainfo=$share/metainfo/$id.metainfo.xml
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
    [[ -z $out ]] || fail "desktop-file-validate has remarks: $out"
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
    grep -qx "Exec=zevi-fileconv %f" "$desktop" || fail "the desktop entry does not start zevi-fileconv %f"
    grep -qx "MimeType=text/csv;text/plain;text/tab-separated-values;" "$desktop" ||
        fail "the desktop entry lacks its file types"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not name the desktop entry"
    [[ -s $share/icons/hicolor/scalable/apps/$id.svg ]] || fail "no scalable icon"
    png=$share/icons/hicolor/128x128/apps/$id.png
    # PNG width and height: big-endian words at bytes 16 and 20.
    size=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | tr -s ' ')
    [[ $size == " 0 0 0 128 0 0 0 128" ]] || fail "the PNG icon is not 128 by 128: $size"
fi

# Manual pages: page | a text the rendered page must hold
while IFS='|' read -r page text; do
    [[ $page == zevi-fileconv && -z $window ]] && continue
    rendered=$(MANWIDTH=80 man -l "$share/man/man1/$page.1.gz" 2>"$scratch/man-errors")
    [[ $rendered == *"$text"* ]] || fail "man -l $page: no '$text'"
    [[ ! -s $scratch/man-errors ]] || fail "man -l $page: $(cat "$scratch/man-errors")"
done <<'ROWS'
zevi-convert|convert text files of GPS positions
zevi-convert|EXIT STATUS
zevi-convert|--on-error MODE
zevi-convert|Vozirado/ZEVI
zevi-convert|share/zevi-fileconv/
zevi-fileconv|Vozirado/ZEVI/rirido.ini
zevi-fileconv|--version
ROWS

out=$(bash -c 'source "$1" && complete -p zevi-convert' _ "$share/bash-completion/completions/zevi-convert" 2>&1)
[[ $out == "complete -F _zevi_convert zevi-convert" ]] || fail "the installed completion does not load: $out"

if ((failures > 0)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "install: all cases passed"
