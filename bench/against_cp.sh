#!/usr/bin/env bash
# zevi-convert against the machine: a plain `cp` of the same file and the
# load + waypoint export of it, in the same run, interleaved so that both meet
# the same load on the machine. Reports medians, their ratio, and the peak
# memory against the file's size. Both are timed three ways: each writing a
# new file, with the disk at rest and the memory the run before freed; so
# after a pause, the memory settled; and each replacing its own file of the
# run before.
#
# zevi-convert has its output on disk before it replaces the target; `cp`
# leaves its copy in the page cache. So a `cp` followed by a sync of the copy
# (coreutils `sync FILE`) is timed too: the cost of writing a file this size
# safely, with no converting at all. Closer still to the program's own
# floor: its output's bytes written from memory as the export writes them
# (bench/safe_write.cpp), with no load and no converting, timed inside that
# program.
#
#   bench/against_cp.sh [LINES]          default 1000000, 7 runs
#   BENCH_RUNS=11 bench/against_cp.sh 10000000
#   BENCH_SETTLE=10 bench/against_cp.sh  pause before a settled run, default 5 s
# Expects a release build in build-release/ (scripts/bench.sh makes one).
set -euo pipefail
cd "$(dirname "$0")/.."

lines=${1:-1000000}
runs=${BENCH_RUNS:-7}
build=${BENCH_BUILD:-build-release}
convert=$build/bin/zevi-convert
safe_write=$build/bin/zevi_safe_write
files=$build/bench-files
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

[ -x "$convert" ] || { echo "no $convert: build it first (scripts/bench.sh)" >&2; exit 1; }
grep -qs DateFormat=D "$files/csv-$lines.ini" || python3 bench/genfiles.py "$lines" "$files"
source="$files/csv-$lines.txt"
settings="$files/csv-$lines.ini"
bytes=$(stat -c %s "$source")

# Wall seconds and peak resident MB of one run.
once() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$scratch/peak" "$@" >/dev/null 2>"$scratch/stderr" || {
    echo "failed: $*" >&2; cat "$scratch/stderr" >&2; exit 1; }
  end=$(date +%s%N)
  awk -v ns=$((end - start)) -v kb="$(tail -1 "$scratch/peak")" 'BEGIN { printf "%.4f %.1f\n", ns / 1e9, kb / 1024 }'
}
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }

cp_walls=() synced_walls=() zevi_walls=() zevi_peaks=() write_walls=()
cat "$source" >/dev/null  # all start from the page cache
# Each command writes a new file: replacing an old one would add the cost of
# freeing it to one side only. Each starts with the disk at rest: freeing the
# file before, or writing back another, would slow whichever came next.
rested() {
  rm -f "$scratch/copy.txt" "$scratch/out.gps"
  sync
}
for ((i = 0; i < runs; i++)); do
  rested
  read -r wall _ < <(once cp "$source" "$scratch/copy.txt")
  cp_walls+=("$wall")
  rested
  read -r wall _ < <(once sh -c 'cp "$1" "$2" && sync "$2"' sh "$source" "$scratch/copy.txt")
  synced_walls+=("$wall")
  rested
  read -r wall peak < <(once "$convert" --settings "$settings" --output "$scratch/out.gps" --force "$source")
  zevi_walls+=("$wall")
  zevi_peaks+=("$peak")
  if [ -x "$safe_write" ]; then
    output_bytes=$(stat -c %s "$scratch/out.gps")
    rested
    write_walls+=("$("$safe_write" "$output_bytes" "$scratch/out.gps")")
  fi
done
# Then each again after a pause. This machine is a virtual one that hands
# memory free for a few seconds back to its host, which must give it back
# when it is written again: memory a command has just freed is quick to fill,
# memory free for a while is not. A command run on its own meets the latter.
settle=${BENCH_SETTLE:-5}
settled_cp_walls=() settled_zevi_walls=()
for ((i = 0; i < runs; i++)); do
  rested
  sleep "$settle"
  read -r wall _ < <(once cp "$source" "$scratch/copy.txt")
  settled_cp_walls+=("$wall")
  rested
  sleep "$settle"
  read -r wall _ < <(once "$convert" --settings "$settings" --output "$scratch/out.gps" --force "$source")
  settled_zevi_walls+=("$wall")
done
# Then as a user running them again has it: each command replaces what it
# wrote the time before. Freeing the old file becomes part of each, cp's
# truncation as the program's rename; a file system that discards freed
# blocks makes both wait for the disk. Each command's runs go in a row, so
# that each meets only its own earlier files on their way to the disk:
# interleaved, the program would meet cp's copy still being written out.
rested
cp "$source" "$scratch/copy.txt"
"$convert" --settings "$settings" --output "$scratch/out.gps" --force "$source" >/dev/null 2>&1
sync
in_row_cp_walls=() in_row_zevi_walls=()
for ((i = 0; i < runs; i++)); do
  read -r wall _ < <(once cp "$source" "$scratch/copy.txt")
  in_row_cp_walls+=("$wall")
done
sync
for ((i = 0; i < runs; i++)); do
  read -r wall _ < <(once "$convert" --settings "$settings" --output "$scratch/out.gps" --force "$source")
  in_row_zevi_walls+=("$wall")
done
rested

cp_wall=$(median "${cp_walls[@]}")
settled_cp_wall=$(median "${settled_cp_walls[@]}")
settled_zevi_wall=$(median "${settled_zevi_walls[@]}")
in_row_cp_wall=$(median "${in_row_cp_walls[@]}")
in_row_zevi_wall=$(median "${in_row_zevi_walls[@]}")
synced_wall=$(median "${synced_walls[@]}")
zevi_wall=$(median "${zevi_walls[@]}")
zevi_peak=$(median "${zevi_peaks[@]}")
write_wall=$( ((${#write_walls[@]})) && median "${write_walls[@]}" || echo -)
printf '\n%d lines, %.1f MB (csv layout, waypoints), median of %d runs, %s cores\n\n' \
  "$lines" "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" "$runs" "$(nproc)"
row() { printf '| %-24s | %11s | %11s | %11s | %8s |\n' "$@"; }
row command "just freed" "settled" "replacing" "peak MB"
printf '|--------------------------|-------------|-------------|-------------|----------|\n'
row "cp" "$cp_wall" "$settled_cp_wall" "$in_row_cp_wall" "-"
row "zevi-convert" "$zevi_wall" "$settled_zevi_wall" "$in_row_zevi_wall" "$zevi_peak"
row "cp, then sync of copy" "$synced_wall" "-" "-" "-"
row "output's bytes, written" "$write_wall" "-" "-" "-"
printf '\nwall seconds, median of each command writing: a new file with the memory the\n'
printf 'run before freed; a new file after %s s, memory settled; over its own file\n' "$settle"
printf 'of the run before, runs in a row.\n'
ratio() { awk -v z="$1" -v c="$2" 'BEGIN { printf "%.2fx", z / c }'; }
printf '\nzevi-convert / cp:            %s just freed, %s settled, %s replacing\n' \
  "$(ratio "$zevi_wall" "$cp_wall")" "$(ratio "$settled_zevi_wall" "$settled_cp_wall")" \
  "$(ratio "$in_row_zevi_wall" "$in_row_cp_wall")"
printf 'cp, then sync / cp:           %s\n' "$(ratio "$synced_wall" "$cp_wall")"
[ "$write_wall" = - ] || printf 'output written / cp:          %s\n' "$(ratio "$write_wall" "$cp_wall")"
printf 'zevi-convert / synced cp:     %s\n' "$(ratio "$zevi_wall" "$synced_wall")"
printf 'peak memory / file size:      %s\n' "$(awk -v p="$zevi_peak" -v b="$bytes" 'BEGIN { printf "%.2fx", p * 1048576 / b }')"
