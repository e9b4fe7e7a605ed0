#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# in build-fuzz/ and runs each one for a while from its seed corpus in fuzz/corpus/.
# A crash, a sanitizer report, a failed check, a hang or a runaway allocation
# fails the run; the input is kept in build-fuzz/findings/.
#
#   scripts/fuzz.sh                      every target, 20 s each
#   scripts/fuzz.sh 600 fuzz_loader      one target for 10 minutes
#   scripts/fuzz.sh 0 fuzz_settings      replay the corpus only
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
scripts/install-deps.sh

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEVI_FUZZ=ON -DZEVI_SANITIZE=ON -DZEVI_BUILD_WINDOW=OFF -DZEVI_BUILD_TESTS=OFF >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-fuzz/findings
passed=0
failed=()
for target in "${targets[@]}"; do
  # New inputs go to build-fuzz/corpus/, so a later local run goes on from there;
  # the seeds in fuzz/corpus/ are only read.
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  log=build-fuzz/findings/$target.log
  if [ "$seconds" -gt 0 ]; then limits=(-max_total_time="$seconds"); else limits=(-runs=0); fi
  if build-fuzz/bin/"$target" "${limits[@]}" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -artifact_prefix=build-fuzz/findings/"$target"- -print_final_stats=1 \
      "$corpus" fuzz/corpus/"$target" >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "$target: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}') runs, no finding"
  else
    failed+=("$target")
    echo "$target: FINDING (log: $log)"
    grep -E 'ERROR|runtime error|check failed|Test unit written' "$log" | head -5 || true
  fi
done
echo "fuzz: $passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
