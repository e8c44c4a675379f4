#!/usr/bin/env bash
# make fuzz: builds the libFuzzer target in build-fuzz/ and fuzzes the whole conversion for FUZZ_SECONDS.
#   FUZZ_SECONDS  how long each job runs (default 300)
#   FUZZ_JOBS     fuzzing processes side by side, sharing one corpus (default 2 on two or more cores, else 1)
#   FUZZ_DIR      build folder (default build-fuzz)
# Every crash, leak, hang (-timeout=5) or out-of-memory input is copied into tests/regressions/, which
# hostile_test replays on every test run; the script then fails.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-300}
FUZZ_DIR=${FUZZ_DIR:-build-fuzz}
cores=$(nproc 2>/dev/null || echo 1)
FUZZ_JOBS=${FUZZ_JOBS:-$([ "$cores" -ge 2 ] && echo 2 || echo 1)}

cmake -S . -B "$FUZZ_DIR" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRIN_BUILD_FUZZ=ON -DTAVRIN_BUILD_GUI=OFF -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$FUZZ_DIR" -j"$([ "$cores" -ge 2 ] && echo 2 || echo 1)" --target tavrin_fuzz

fuzzer=$FUZZ_DIR/bin/tavrin_fuzz
corpus=$FUZZ_DIR/corpus            # grows from run to run; the seeds and the regressions are read only
artifacts=$FUZZ_DIR/artifacts
logs=$FUZZ_DIR/logs
regressions=tests/regressions
mkdir -p "$corpus" "$logs" "$regressions"
rm -rf "$artifacts" && mkdir -p "$artifacts"
rm -f "$logs"/fuzz-*.log

# Leaks count as failures; a sanitizer report ends the run (the code is built without recovery).
# A smaller quarantine and shorter allocation stacks keep the many small conversions fast.
asan=detect_leaks=1:halt_on_error=1:abort_on_error=1:symbolize=1:quarantine_size_mb=32:malloc_context_size=10
export ASAN_OPTIONS=${ASAN_OPTIONS:-$asan}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

echo "Fuzzing for ${FUZZ_SECONDS}s on ${FUZZ_JOBS} job(s); logs in $logs/"
started=$(date +%s)
pids=()
for ((job = 0; job < FUZZ_JOBS; ++job)); do
  "$fuzzer" -max_total_time="$FUZZ_SECONDS" -timeout=5 -rss_limit_mb=2048 -max_len=4096 \
    -dict=fuzz/s98.dict -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$FUZZ_DIR/fuzz/seeds" "$regressions" >"$logs/fuzz-$job.log" 2>&1 &
  pids+=("$!")
done
status=0
for pid in "${pids[@]}"; do
  wait "$pid" || status=1
done
elapsed=$(($(date +%s) - started))

# What each job reached: its execution count and time, and its last status line (cov: code edges
# reached, ft: features, corp: inputs kept).
total=0
for ((job = 0; job < FUZZ_JOBS; ++job)); do
  log=$logs/fuzz-$job.log
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  echo "job $job: ${runs:-?} executions, ${rate:-?} exec/s; last: ${last:-none}"
  total=$((total + ${runs:-0}))
done
echo "total: $total executions on $FUZZ_JOBS job(s) in ${elapsed}s"

found=0
for artifact in "$artifacts"/*; do
  [ -e "$artifact" ] || continue
  kind=$(basename "$artifact" | cut -d- -f1)
  name=fuzz-$kind-$(sha1sum "$artifact" | cut -c1-12).s98
  cp "$artifact" "$regressions/$name"
  echo "FOUND ($kind): $regressions/$name"
  found=1
done
if [ "$found" = 1 ]; then
  for ((job = 0; job < FUZZ_JOBS; ++job)); do
    grep -n -E 'ERROR|runtime error|SUMMARY|deadly signal|check failed' "$logs/fuzz-$job.log" |
      head -n 20 || true
  done
  echo "The fuzzer found a fault. The inputs are in $regressions/, which hostile_test replays;"
  echo "commit them with the fix."
  exit 1
fi
if [ "$status" != 0 ]; then
  echo "A fuzzing job stopped before its time without a finding (interrupted?); see $logs/."
  exit 1
fi
echo "No crash, leak, hang or sanitizer report."
