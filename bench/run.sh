#!/usr/bin/env bash
# make bench: the speed table, each row a ratio of times measured in one run, printed and written as CSV.
#
# Every measure runs once per round, RUNS rounds, so that load coming and going on a shared machine
# touches all of them alike. A row's value is the median over the rounds of the ratio within each
# round; "spread" is the lowest and highest of those per-round ratios.
#
#   BENCH_RUNS=5  BENCH_WRITES=1000000  BENCH_BATCH_FILES=200  BENCH_BATCH_WRITES=100000
#   BENCH_HOSTILE_MIB=64  BENCH_FIGURES=build/bench/figures.csv  BENCH_BUILD_DIR=build-bench
#   BENCH_REALTIME=1 (as root): the timed commands run at real-time priority, so other work on a shared
#   machine does not take turns with them (the kernel still keeps 5 % of each second for others).
#   BENCH_BEST_OF=1: within a round, the measures take turns this many times and each counts its
#   fastest run. On a machine whose neighbours stall it now and then (a conversion of 40 ms taking
#   200), 3 keeps those stalls out of the ratios, at three times the running time.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BENCH_BUILD_DIR:-build-bench}
FIGURES=${BENCH_FIGURES:-build/bench/figures.csv}
WRITES=${BENCH_WRITES:-1000000}
BATCH_FILES=${BENCH_BATCH_FILES:-200}
BATCH_WRITES=${BENCH_BATCH_WRITES:-100000}
RUNS=${BENCH_RUNS:-5}
BEST_OF=${BENCH_BEST_OF:-1}
for count in "$RUNS" "$BEST_OF"; do
  if ! [[ "$count" =~ ^[1-9][0-9]*$ ]]; then
    echo "bench: BENCH_RUNS and BENCH_BEST_OF take a whole number of 1 or more, not '$count'" >&2
    exit 2
  fi
done
HOSTILE_MIB=${BENCH_HOSTILE_MIB:-64}
# A run whose memory runs away stops here instead of taking the machine with it.
MEMORY_CAP_KB=${BENCH_MEMORY_CAP_KB:-4194304}
RT=()
if [ "${BENCH_REALTIME:-0}" = 1 ]; then RT=(chrt -f 50); fi

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_GUI=OFF -DTAVRIN_BUILD_TESTS=OFF \
  -DTAVRIN_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target tavrin tavrin-bench-generate conversion_bench >/dev/null
bin="$BUILD/bin"
data="$BUILD/bench-data"
rm -rf "$data"
mkdir -p "$data" "$(dirname "$FIGURES")"
trap 'rm -rf "$data"' EXIT

now() { date +%s%N; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# The benchmark log, and the same writes and waits as VGM and as gzip-compressed VGM.
log="$data/song.s98"
vgm="$data/song.vgm"
vgz="$data/songz.vgz"
"$bin/tavrin-bench-generate" "$log" "$WRITES" >/dev/null
"$bin/tavrin-bench-generate" "$vgm" "$WRITES" >/dev/null
gzip -c "$vgm" >"$vgz"
# The finished outputs cp copies, each made once beforehand.
"$bin/tavrin" -v -o "$data/verbose.ref" "$log" >/dev/null
"$bin/tavrin" -o "$data/plain.ref" "$log" >/dev/null
"$bin/tavrin" --json -v -o "$data/json.ref" "$log" >/dev/null
"$bin/tavrin" -v -o "$data/vgm.ref" "$vgm" >/dev/null
commands=$(grep -c '^[0-9a-f]\{8\} : ' "$data/verbose.ref")
vgm_commands=$(grep -c '^[0-9a-f]\{8\} : ' "$data/vgm.ref")

# Each measure writes $data/NAME.out (removed before every run, so each run creates its file as cp does).
tavrin() { "${RT[@]}" "$bin/tavrin" "$@"; }
copy() { "${RT[@]}" cp "$@"; }
m_verbose() { tavrin -v -o "$data/verbose.out" "$log"; }
m_null() { tavrin -v -o /dev/null "$log"; }
m_plain() { tavrin -o "$data/plain.out" "$log"; }
m_json() { tavrin --json -v -o "$data/json.out" "$log"; }
m_notes() { tavrin --notes -o "$data/notes.out" "$log"; }
m_stats() { tavrin -v --stats -o "$data/stats.out" "$log"; }
m_cp_verbose() { copy "$data/verbose.ref" "$data/cp_verbose.out"; }
m_cp_plain() { copy "$data/plain.ref" "$data/cp_plain.out"; }
m_cp_json() { copy "$data/json.ref" "$data/cp_json.out"; }
m_vgm() { tavrin -v -o "$data/vgm.out" "$vgm"; }
m_vgz() { tavrin -v -o "$data/vgz.out" "$vgz"; }
# Decompression alone, into a file as the conversion's report goes into one.
m_zcat() { "${RT[@]}" sh -c 'exec zcat "$1" >"$2"' zcat "$vgz" "$data/zcat.out"; }

# times[NAME]: the run times of NAME in nanoseconds, one per round (the fastest of its BEST_OF), in
# round order.
declare -A times
measure_rounds() {
  local name t0 t
  local -A best
  for _ in $(seq "$RUNS"); do
    best=()
    # The measures take turns, BEST_OF times: a stall of the machine that outlasts one run then spoils
    # one run of several measures, not every run of one.
    for _ in $(seq "$BEST_OF"); do
      for name in "$@"; do
        rm -f "$data/$name.out"
        t0=$(now)
        "m_$name" >/dev/null 2>&1
        t=$(( $(now) - t0 ))
        if [ -z "${best[$name]:-}" ] || [ "$t" -lt "${best[$name]}" ]; then best[$name]=$t; fi
      done
    done
    for name in "$@"; do times[$name]+="${best[$name]} "; done
  done
  for name in "$@"; do rm -f "$data/$name.out"; done
}

# per_round EXPR NAME...: for each round, EXPR (awk, over a b c ... bound to the names' times in that
# round) printed as "median low high".
per_round() {
  local expr=$1
  shift
  local name lines=()
  for name in "$@"; do lines+=("${times[$name]}"); done
  printf '%s\n' "${lines[@]}" | awk -v expr="$expr" '
    { for (i = 1; i <= NF; i++) t[NR, i] = $i; rounds = NF }
    END {
      for (r = 1; r <= rounds; r++) {
        a = t[1, r]; b = t[2, r]; c = t[3, r]
        if (expr == "a/b") v = a / b
        else if (expr == "a/(b+c)") v = a / (b + c)
        else if (expr == "100*a/b") v = 100 * a / b
        else if (expr == "a/1e6") v = a / 1e6
        # Insertion into the sorted values so far (no sort function in every awk).
        for (i = r; i > 1 && values[i - 1] > v; i--) values[i] = values[i - 1]
        values[i] = v
      }
      printf "%.2f %.2f %.2f\n", values[int((rounds + 1) / 2)], values[1], values[rounds]
    }'
}

measure_rounds verbose null plain json notes stats cp_verbose cp_plain cp_json vgm vgz zcat

# Peak resident memory in KB, the largest over the options; "capped" when a run was stopped by the
# MEMORY_CAP_KB limit (it dies of a signal, or says so).
peak_kb() {
  local input=$1 peak=0 report kb opt
  for opt in "" "-v" "--json -v" "--notes" "-v --stats"; do
    # shellcheck disable=SC2086  # the options are meant to split
    report=$( (ulimit -v "$MEMORY_CAP_KB"; /usr/bin/time -f %M "$bin/tavrin" $opt -o "$data/peak.out" "$input") \
               2>&1 >/dev/null || true)
    rm -f "$data/peak.out"
    kb=$(echo "$report" | tail -n 1)
    if [[ "$report" == *"terminated by signal"* || "$report" == *"bad_alloc"* || ! "$kb" =~ ^[0-9]+$ ]]; then
      echo capped
      return
    fi
    if [ "$kb" -gt "$peak" ]; then peak=$kb; fi
  done
  echo "$peak"
}
# A hostile file: a valid head, then a 0xFE wait whose count never ends: HOSTILE_MIB MiB of 0x80 bytes.
hostile="$data/hostile.s98"
{
  printf 'S983\x0a\x00\x00\x00\xe8\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x30\x00\x00\x00'
  printf '\x00\x00\x00\x00\x01\x00\x00\x00\x04\x00\x00\x00\x00\xe0\x79\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  printf '\xfe'
  head -c "$(( HOSTILE_MIB * 1024 * 1024 ))" /dev/zero | tr '\0' '\200'
} >"$hostile"
peak_bench=$(peak_kb "$log")
peak_vgz=$(peak_kb "$vgz")
peak_hostile=$(peak_kb "$hostile")
rm -f "$hostile"

batch=()
for i in $(seq "$BATCH_FILES"); do
  "$bin/tavrin-bench-generate" "$data/b$i.s98" "$BATCH_WRITES" "$i" >/dev/null
  batch+=("$data/b$i.s98")
done
m_jobs1() { tavrin -q -v -j 1 "${batch[@]}"; }
m_jobs2() { tavrin -q -v -j 2 "${batch[@]}"; }
measure_rounds jobs1 jobs2
rm -f "$data"/b*.s98 "$data"/b*.txt

date=$(date +%F)
cores=$(nproc)
echo "measure,value,low,high,unit,goal,date,cores" >"$FIGURES"
# row MEASURE "VALUE LOW HIGH" UNIT GOAL LABEL: one line of the table and of the CSV; GOAL is "<=N",
# ">=N" or "".
row() {
  local value low high verdict=""
  read -r value low high <<<"$2"
  case "$4" in
    "<="*) verdict=$(awk -v v="$value" -v g="${4#<=}" 'BEGIN { print (v != "capped" && v != "n/a" && v + 0 <= g + 0) ? "met" : "MISSED" }') ;;
    ">="*) verdict=$(awk -v v="$value" -v g="${4#>=}" 'BEGIN { print (v != "n/a" && v + 0 >= g + 0) ? "met" : "MISSED" }') ;;
  esac
  local spread=""
  [ -n "${low:-}" ] && spread="($low-$high)"
  printf '%-56s %8s %-3s %-13s %-7s %s\n' "$5" "$value" "$3" "$spread" "$4" "$verdict"
  echo "$1,$value,${low:-},${high:-},$3,$4,$date,$cores" >>"$FIGURES"
}
mb() { if [ "$1" = capped ]; then echo capped; else awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; fi; }

best_text=""
if [ "$BEST_OF" -gt 1 ]; then best_text=", each measure the fastest of $BEST_OF runs a round"; fi
echo "== $date, $cores cores, median of $RUNS rounds$best_text${RT[*]:+ at real-time priority} (spread: lowest-highest" \
  "round): $WRITES register writes, $commands commands, $(stat -c %s "$data/verbose.ref") bytes of -v report =="
printf '%-56s %8s %-3s %-13s %-7s %s\n' "measure" "value" "" "spread" "goal" ""
row verbose_vs_cp "$(per_round a/b verbose cp_verbose)" x "<=2.0" "-v report vs cp of it"
row verbose_null_share "$(per_round 100*a/b null verbose)" % "" "-v to /dev/null, share of the -v time"
row plain_vs_cp "$(per_round a/b plain cp_plain)" x "<=1.5" "plain report vs cp of it"
row json_vs_cp "$(per_round a/b json cp_json)" x "<=3.0" "--json -v vs cp of its own output"
row json_vs_verbose "$(per_round a/b json verbose)" x "" "--json -v vs -v"
row notes_vs_verbose "$(per_round a/b notes verbose)" x "<=1.2" "--notes vs -v"
row stats_vs_verbose "$(per_round a/b stats verbose)" x "<=1.2" "-v --stats vs -v"
row peak_memory_bench "$(mb "$peak_bench")" MB "<=16" "peak memory, benchmark log (largest over options)"
row peak_memory_vgz "$(mb "$peak_vgz")" MB "<=16" "peak memory, the same log as VGZ (largest)"
row peak_memory_hostile "$(mb "$peak_hostile")" MB "<=16" "peak memory, 0xFE + $HOSTILE_MIB MiB of 0x80 (largest)"
row jobs_speedup "$(per_round a/b jobs1 jobs2)" x ">=1.8" "-j 2 vs -j 1, $BATCH_FILES files of $BATCH_WRITES writes"
# Per command: the VGM log holds the same writes and waits, but the two formats count commands
# differently, so each time is divided by its own report's command lines.
row vgm_vs_s98_per_command \
  "$(per_round a/b vgm verbose | awk -v s="$commands" -v g="$vgm_commands" '{ for (i = 1; i <= 3; i++) $i = sprintf("%.2f", $i * s / g); print }')" \
  x "<=1.1" "VGM -v vs S98 -v, per command"
# Gzip input: the .vgz conversion against inflating the same file (zcat into a file) plus converting
# the plain VGM; at or below 1.0, reading the compressed file costs no more than the two apart.
row vgz_vs_zcat_plus_vgm "$(per_round 'a/(b+c)' vgz zcat vgm)" x "<=1.0" "VGZ -v vs zcat of it + VGM -v"
echo "n/a: the closest text dumper of chip logs is not measured: no Debian package has one, and nothing else may be fetched"
echo "dumper_vs_tavrin_per_command,n/a,,,x,>=10,$date,$cores" >>"$FIGURES"
row verbose_ms "$(per_round a/1e6 verbose)" ms "" "-v conversion"
row verbose_ns_per_command \
  "$(per_round a/1e6 verbose | awk -v c="$commands" '{ for (i = 1; i <= 3; i++) $i = sprintf("%.1f", $i * 1e6 / c); print }')" \
  ns "" "-v per command (S98)"
row vgm_ns_per_command \
  "$(per_round a/1e6 vgm | awk -v c="$vgm_commands" '{ for (i = 1; i <= 3; i++) $i = sprintf("%.1f", $i * 1e6 / c); print }')" \
  ns "" "-v per command (VGM)"
row plain_ms "$(per_round a/1e6 plain)" ms "" "plain conversion"
row cp_verbose_ms "$(per_round a/1e6 cp_verbose)" ms "" "cp of the -v report"
row json_ms "$(per_round a/1e6 json)" ms "" "--json -v conversion"
row vgz_ms "$(per_round a/1e6 vgz)" ms "" "VGZ -v conversion"
row zcat_ms "$(per_round a/1e6 zcat)" ms "" "zcat of the VGZ into a file"
echo "figures: $FIGURES"

echo "== in-memory conversion per decoder family (Google Benchmark) =="
"$bin/conversion_bench" --benchmark_min_time=0.2 2>/dev/null
