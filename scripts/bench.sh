#!/usr/bin/env bash
# Speed and memory of zevi-convert on files of 10,000 to 1,000,000 lines, with
# GPSBabel's universal CSV reader on the same comma file for comparison, then
# the core micro-benchmarks. Release build (-O2, no sanitizers) in build-release/.
#
#   scripts/bench.sh                 every size, 5 runs each (median)
#   BENCH_SIZES="10000 100000" BENCH_RUNS=3 scripts/bench.sh
#   BENCH_MICRO=0 scripts/bench.sh   skip the micro-benchmarks
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

cmake -S . -B $build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DZEVI_BUILD_WINDOW=OFF -DZEVI_BUILD_TESTS=OFF -DZEVI_SANITIZE=OFF >/dev/null
cmake --build $build -j2 --target zevi-convert zevi_microbench >/dev/null
convert=$build/bin/zevi-convert

for n in "${sizes[@]}"; do
  [ -f "$files/utm-$n-T.ini" ] || python3 bench/genfiles.py "$n" "$files"
done

# Runs a command $runs times; prints the median wall time in seconds and the
# median peak resident memory in MB.
measure() {
  local walls=() peaks=() start end
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    /usr/bin/time -v -o "$scratch/time" "$@" >/dev/null 2>"$scratch/stderr" || {
      echo "failed: $*" >&2; cat "$scratch/stderr" >&2; return 1; }
    end=$(date +%s%N)
    walls+=("$(( (end - start) / 1000 ))")
    peaks+=("$(awk -F': ' '/Maximum resident set size/ {print $2}' "$scratch/time")")
  done
  local wall peak
  wall=$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  peak=$(printf '%s\n' "${peaks[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  awk -v w="$wall" -v p="$peak" 'BEGIN { printf "%.3f %.1f\n", w / 1e6, p / 1024 }'
}

printf '\nzevi-convert, median of %d runs (load + export, %s cores)\n\n' "$runs" "$(nproc)"
printf '| %-6s | %-11s | %9s | %7s | %8s | %7s | %8s |\n' file records lines MB "wall s" "MB/s" "peak MB"
printf '|--------|-------------|-----------|---------|----------|---------|----------|\n'
declare -A zevi_wall
for n in "${sizes[@]}"; do
  for layout in csv dm fixed utm; do
    for mode in W T; do
      source="$files/$layout-$n.txt"
      settings="$files/$layout-$n$([ $mode = T ] && echo -T).ini"
      read -r wall peak < <(measure "$convert" --settings "$settings" --output "$scratch/out.gps" \
        --force "$source")
      mb=$(awk -v b="$(stat -c %s "$source")" 'BEGIN { printf "%.1f", b / 1e6 }')
      records=$([ $mode = W ] && echo waypoints || echo trackpoints)
      [ "$layout-$mode" = csv-W ] && zevi_wall[$n]=$wall
      printf '| %-6s | %-11s | %9d | %7s | %8s | %7.0f | %8s |\n' "$layout" "$records" "$n" "$mb" "$wall" \
        "$(awk -v m="$mb" -v w="$wall" 'BEGIN { print (w > 0 ? m / w : 0) }')" "$peak"
    done
  done
done

printf '\nGPSBabel %s, universal CSV to GPX, on the csv file, median of %d runs\n\n' \
  "$(gpsbabel -V 2>/dev/null | awk '/GPSBabel/ {print $3; exit}')" "$runs"
printf '| %9s | %8s | %8s | %12s | %16s |\n' lines "wall s" "peak MB" "zevi wall s" "GPSBabel / zevi"
printf '|-----------|----------|----------|--------------|------------------|\n'
for n in "${sizes[@]}"; do
  read -r wall peak < <(measure gpsbabel -i unicsv -f "$files/csv-$n.txt" -o gpx -F "$scratch/out.gpx")
  printf '| %9d | %8s | %8s | %12s | %15.1fx |\n' "$n" "$wall" "$peak" "${zevi_wall[$n]}" \
    "$(awk -v g="$wall" -v z="${zevi_wall[$n]}" 'BEGIN { print (z > 0 ? g / z : 0) }')"
done

if [ "${BENCH_MICRO:-1}" != 0 ]; then
  printf '\nCore micro-benchmarks\n\n'
  $build/bin/zevi_microbench --benchmark_min_time=0.2
fi
