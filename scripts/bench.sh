#!/usr/bin/env bash
# Speed and memory of zevi-convert on files of 10,000 to 1,000,000 lines, with
# GPSBabel's universal CSV reader on the same comma file for comparison, then
# the core micro-benchmarks. Release build (-O3, no sanitizers) in build-release/.
#
#   scripts/bench.sh                 every size, 5 runs each (median)
#   BENCH_SIZES="10000 100000" BENCH_RUNS=3 scripts/bench.sh
#   BENCH_MICRO=0 scripts/bench.sh   skip the micro-benchmarks
#   BENCH_HUGE=10000000 scripts/bench.sh   also 10,000,000 lines against cp
# The largest size is also measured against `cp` (bench/against_cp.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

sizes=(${BENCH_SIZES:-10000 100000 1000000})
runs=${BENCH_RUNS:-5}
build=build-release
files=$build/bench-files
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

scripts/install-deps.sh
if ! command -v gpsbabel >/dev/null; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq gpsbabel
fi

cmake -S . -B $build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O3 -DNDEBUG" \
  -DZEVI_BUILD_WINDOW=ON -DZEVI_BUILD_TESTS=OFF -DZEVI_SANITIZE=OFF >/dev/null
cmake --build $build -j2 --target zevi-convert zevi_safe_write zevi_microbench zevi_window_load >/dev/null
convert=$build/bin/zevi-convert

# Files of an older bench/genfiles.py (ISO dates in the csv layout) are made again.
for n in "${sizes[@]}"; do
  [ -f "$files/utm-$n-T.ini" ] && grep -q DateFormat=D "$files/csv-$n.ini" || python3 bench/genfiles.py "$n" "$files"
done

# Runs a command $runs times; prints the medians of wall time and processor
# time (user + system) in seconds and of peak resident memory in MB. On a
# shared machine the processor time is the steadier figure.
measure() {
  local walls=() cpus=() peaks=() start end
  for ((i = 0; i < runs; i++)); do
    rm -f "$scratch"/out.*  # each run writes a new file, as cp does below
    # and starts with the disk at rest: freeing the file before, or writing
    # back another, would slow whichever command came next.
    sync
    start=$(date +%s%N)
    /usr/bin/time -v -o "$scratch/time" "$@" >/dev/null 2>"$scratch/stderr" || {
      echo "failed: $*" >&2; cat "$scratch/stderr" >&2; return 1; }
    end=$(date +%s%N)
    walls+=("$(( (end - start) / 1000 ))")
    cpus+=("$(awk -F': ' '/User time|System time/ {t += $2} END {printf "%d", t * 1e6}' "$scratch/time")")
    peaks+=("$(awk -F': ' '/Maximum resident set size/ {print $2}' "$scratch/time")")
  done
  median() { printf '%s\n' "$@" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }
  awk -v w="$(median "${walls[@]}")" -v c="$(median "${cpus[@]}")" -v p="$(median "${peaks[@]}")" \
    'BEGIN { printf "%.3f %.3f %.1f\n", w / 1e6, c / 1e6, p / 1024 }'
}

printf '\nzevi-convert, median of %d runs (load + export, %s cores)\n\n' "$runs" "$(nproc)"
printf '| %-6s | %-11s | %9s | %7s | %8s | %7s | %7s | %8s |\n' file records lines MB "wall s" "cpu s" "MB/s" "peak MB"
printf '|--------|-------------|-----------|---------|----------|---------|---------|----------|\n'
declare -A zevi_wall zevi_cpu
for n in "${sizes[@]}"; do
  for layout in csv dm fixed utm; do
    for mode in W T; do
      source="$files/$layout-$n.txt"
      suffix=""; records=waypoints
      if [ $mode = T ]; then suffix=-T; records=trackpoints; fi
      settings="$files/$layout-$n$suffix.ini"
      read -r wall cpu peak < <(measure "$convert" --settings "$settings" --output "$scratch/out.gps" \
        --force "$source")
      mb=$(awk -v b="$(stat -c %s "$source")" 'BEGIN { printf "%.1f", b / 1e6 }')
      if [ "$layout-$mode" = csv-W ]; then zevi_wall[$n]=$wall; zevi_cpu[$n]=$cpu; fi
      printf '| %-6s | %-11s | %9d | %7s | %8s | %7s | %7.0f | %8s |\n' "$layout" "$records" "$n" "$mb" "$wall" "$cpu" \
        "$(awk -v m="$mb" -v w="$wall" 'BEGIN { print (w > 0 ? m / w : 0) }')" "$peak"
    done
  done
done

# "-" where zevi-convert's time is below the clock's resolution.
ratio() { awk -v g="$1" -v z="$2" 'BEGIN { if (z > 0) printf "%.1fx", g / z; else print "-" }'; }
printf '\nGPSBabel %s, universal CSV to GPX, on the csv file, median of %d runs\n' \
  "$(gpsbabel -V 2>/dev/null | awk '/GPSBabel/ {print $3; exit}')" "$runs"
printf '(its dates written Y-M-D: its reader takes D/M/Y for M/D/Y and stops at a 13th day)\n\n'
printf '| %9s | %8s | %8s | %8s | %11s | %10s | %10s |\n' lines "wall s" "cpu s" "peak MB" "zevi wall s" "wall ratio" "cpu ratio"
printf '|-----------|----------|----------|----------|-------------|------------|------------|\n'
for n in "${sizes[@]}"; do
  sed -E 's#,([0-9]{2})/([0-9]{2})/([0-9]{4}),#,\3-\2-\1,#' "$files/csv-$n.txt" >"$scratch/gpsbabel.csv"
  read -r wall cpu peak < <(measure gpsbabel -i unicsv -f "$scratch/gpsbabel.csv" -o gpx -F "$scratch/out.gpx")
  printf '| %9d | %8s | %8s | %8s | %11s | %10s | %10s |\n' "$n" "$wall" "$cpu" "$peak" "${zevi_wall[$n]}" \
    "$(ratio "$wall" "${zevi_wall[$n]}")" "$(ratio "$cpu" "${zevi_cpu[$n]}")"
done

printf '\nAgainst a plain cp of the same file, in the same run\n'
BENCH_RUNS=$runs bench/against_cp.sh "${sizes[-1]}"
if [ -n "${BENCH_HUGE:-}" ]; then
  BENCH_RUNS=$runs bench/against_cp.sh "$BENCH_HUGE"
fi

printf '\nThe window, from "Open..." to the table on screen, csv file of %d lines: ' "${sizes[-1]}"
printf '%s s (median of %d)\n' "$(QT_QPA_PLATFORM=offscreen $build/bin/zevi_window_load \
  "$files/csv-${sizes[-1]}.txt" "$runs" 2>/dev/null)" "$runs"

if [ "${BENCH_MICRO:-1}" != 0 ]; then
  printf '\nCore micro-benchmarks\n\n'
  $build/bin/zevi_microbench --benchmark_min_time=0.2
fi
