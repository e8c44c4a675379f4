#!/usr/bin/env bash
# make bench: conversion speed and memory on a large generated log, against the cost of copying its report.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BENCH_BUILD_DIR:-build-bench}
WRITES=${BENCH_WRITES:-1000000}
BATCH_FILES=${BENCH_BATCH_FILES:-200}
BATCH_WRITES=${BENCH_BATCH_WRITES:-100000}
RUNS=${BENCH_RUNS:-5}

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_GUI=OFF -DTAVRIN_BUILD_TESTS=OFF \
  -DTAVRIN_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target tavrin tavrin-bench-generate conversion_bench >/dev/null
bin="$BUILD/bin"
data="$BUILD/bench-data"
rm -rf "$data"
mkdir -p "$data"
trap 'rm -rf "$data"' EXIT

now() { date +%s%N; }
# Best wall time of RUNS runs, in nanoseconds; the output file is removed before each run so every
# run creates its file, as cp does.
best_ns() {
  local out=$1; shift
  local best=""
  for _ in $(seq "$RUNS"); do
    rm -f "$out"
    local t0; t0=$(now)
    "$@" >/dev/null 2>&1
    local t=$(( $(now) - t0 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

log="$data/song.s98"
"$bin/tavrin-bench-generate" "$log" "$WRITES" >/dev/null
report="$data/song.txt"
"$bin/tavrin" -v -o "$report" "$log" >/dev/null
commands=$(grep -c '^[0-9a-f]\{8\} : ' "$report")
bytes=$(stat -c %s "$report")

verbose_ns=$(best_ns "$report" "$bin/tavrin" -v -o "$report" "$log")
plain_ns=$(best_ns "$data/plain.txt" "$bin/tavrin" -o "$data/plain.txt" "$log")
"$bin/tavrin" -v -o "$report" "$log" >/dev/null
cp_ns=$(best_ns "$data/copy.txt" cp "$report" "$data/copy.txt")

small="$data/small.s98"
"$bin/tavrin-bench-generate" "$small" $(( WRITES / 10 )) >/dev/null
rm -f "$data/small.txt" "$report"
peak_small=$(peak_kb "$bin/tavrin" -v -o "$data/small.txt" "$small")
peak_big=$(peak_kb "$bin/tavrin" -v -o "$report" "$log")

echo "== tavrin -v on $(stat -c %s "$log") bytes of S98: $WRITES register writes, $commands commands =="
echo "report:                 $bytes bytes, sha256 $(sha256sum "$report" | cut -c1-16)"
echo "-v conversion:          $(ratio "$verbose_ns" 1000000) ms, $(ratio "$verbose_ns" "$commands") ns/command, $(awk -v b="$bytes" -v t="$verbose_ns" 'BEGIN { printf "%.0f", b / (t / 1e9) / 1e6 }') MB/s of report"
echo "plain conversion:       $(ratio "$plain_ns" 1000000) ms, $(ratio "$plain_ns" "$commands") ns/command"
echo "cp of the report:       $(ratio "$cp_ns" 1000000) ms (the I/O floor)"
echo "-v / cp:                $(ratio "$verbose_ns" "$cp_ns")"
echo "peak resident memory:   $peak_small KB for $(( WRITES / 10 )) writes, $peak_big KB for $WRITES writes"

# The same writes and waits as VGM, plain and gzip-compressed: the cost per command against S98's,
# and what the compressed file costs beyond inflating it.
vgm="$data/song.vgm"
"$bin/tavrin-bench-generate" "$vgm" "$WRITES" >/dev/null
gzip -c "$vgm" >"$data/songz.vgz"
"$bin/tavrin" -v -o "$data/vgm.txt" "$vgm" >/dev/null
vgm_commands=$(grep -c '^[0-9a-f]\{8\} : ' "$data/vgm.txt")
vgm_ns=$(best_ns "$data/vgm.txt" "$bin/tavrin" -v -o "$data/vgm.txt" "$vgm")
vgz_ns=$(best_ns "$data/vgz.txt" "$bin/tavrin" -v -o "$data/vgz.txt" "$data/songz.vgz")
gunzip_ns=$(best_ns "$data/gunzip.out" sh -c "gzip -dc '$data/songz.vgz' >'$data/gunzip.out'")
peak_vgz=$(peak_kb "$bin/tavrin" -v -o "$data/vgz.txt" "$data/songz.vgz")
echo "== the same log as VGM: $vgm_commands commands =="
echo "VGM -v conversion:      $(ratio "$vgm_ns" 1000000) ms, $(ratio "$vgm_ns" "$vgm_commands") ns/command (S98: $(ratio "$verbose_ns" "$commands"))"
echo "VGZ -v conversion:      $(ratio "$vgz_ns" 1000000) ms; beyond the plain VGM $(ratio "$(( vgz_ns - vgm_ns ))" 1000000) ms, gzip -dc alone $(ratio "$gunzip_ns" 1000000) ms"
echo "peak resident memory:   $peak_vgz KB for the VGZ"

echo "== batch of $BATCH_FILES files of $BATCH_WRITES writes, tavrin -v -j 1 against -j 2 =="
batch=()
for i in $(seq "$BATCH_FILES"); do
  "$bin/tavrin-bench-generate" "$data/b$i.s98" "$BATCH_WRITES" "$i" >/dev/null
  batch+=("$data/b$i.s98")
done
batch_ns() {
  local best=""
  for _ in $(seq "$RUNS"); do
    rm -f "$data"/b*.txt
    local t0; t0=$(now)
    "$bin/tavrin" -v "$@" "${batch[@]}" >/dev/null
    local t=$(( $(now) - t0 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}
j1=$(batch_ns -j 1)
j2=$(batch_ns -j 2)
echo "-j 1: $(ratio "$j1" 1000000) ms   -j 2: $(ratio "$j2" 1000000) ms   speed-up: $(ratio "$j1" "$j2") (on $(nproc) cores)"
rm -f "$data"/b*.s98 "$data"/b*.txt

echo "== in-memory conversion per decoder family (Google Benchmark) =="
"$bin/conversion_bench" --benchmark_min_time=0.2 2>/dev/null
